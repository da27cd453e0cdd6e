#include "Pager.h"

#include <algorithm>

PagerState UpdatePager(int pageCount, int pageNo) {
    PagerState p;
    bool backward = false, forward = false;
    if (pageCount >= 2) {
        backward = forward = true;
        if (pageNo == 1)
            backward = false;
        else if (pageNo == pageCount)
            forward = false;
    }
    p.first = p.back = backward;
    p.next = p.last = forward;
    for (int i = 1; i <= pageCount; ++i) p.pages.push_back(std::to_string(i));
    p.selected = pageNo >= 1 && pageNo <= pageCount ? pageNo - 1 : -1;
    return p;
}

bool KeywordHistory::RememberKeyword(const Text& keyword) {
    if (keyword.empty() || std::find(FEntries.begin(), FEntries.end(), keyword) != FEntries.end())
        return false;
    FEntries.push_back(keyword);
    return true;
}
