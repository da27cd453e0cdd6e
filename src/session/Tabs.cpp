#include "Tabs.h"

#include <algorithm>

#include "Decimal.h"

namespace {
// The fields a tab keeps of each item; the others are never shown.
Text Tbk_Items_Info::*const kShownFields[] = {
    &Tbk_Items_Info::nick,
    &Tbk_Items_Info::title,
    &Tbk_Items_Info::price,
    &Tbk_Items_Info::pic_url,
    &Tbk_Items_Info::click_url,
    &Tbk_Items_Info::shop_click_url,
    &Tbk_Items_Info::seller_credit_score,
    &Tbk_Items_Info::item_location,
    &Tbk_Items_Info::volume,
};
}  // namespace

Criteria CriteriaOf(const TAB& t, const Text& nodeCaption) {
    Criteria c;
    c.Keyword = t.Keyword;
    c.NodeCaption = nodeCaption;
    c.StartPrice = t.StartPrice;
    c.EndPrice = t.EndPrice;
    c.SortIndex = t.SortIndex;
    c.StartCreditIndex = t.StartCreditIndex;
    c.EndCreditIndex = t.EndCreditIndex;
    c.AreaIndex = t.AreaIndex;
    c.Guarantee = t.Guarantee;
    c.ViewIndex = t.ViewIndex;
    c.Node = t.Node;
    return c;
}

int PageCountOf(const Text& total) {
    if (!IsCount(total)) return 0;
    std::optional<int64_t> count = ParseDecimal(total);
    if (!count) return kMaxPageCount;  // beyond any count, but still a count
    // A part page is a page: 41 items are two, and the 41st must be reachable.
    return static_cast<int>(std::min<int64_t>((*count + kTabItems - 1) / kTabItems, kMaxPageCount));
}

bool IsCount(const Text& total) {
    return !total.empty() && total.find_first_not_of("0123456789") == Text::npos;
}

void CopyResults(TAB& tab, const ATbk_Items_Info& results) {
    for (Tbk_Items_Info& item : tab.Items)
        for (Text Tbk_Items_Info::*f : kShownFields) (item.*f).clear();
    int shown = 0;
    for (; shown < kTabItems && !results[shown].title.empty(); ++shown)
        for (Text Tbk_Items_Info::*f : kShownFields) tab.Items[shown].*f = results[shown].*f;
    const Text& total = results[0].total_results;
    // Leading zeros say nothing; a total missing or garbled is not shown.
    tab.TotalResults = IsCount(total)
                           ? total.substr(std::min(total.find_first_not_of('0'), total.size() - 1))
                           : Text();
    // Items on screen are at least one page, whatever the total claims.
    tab.PageCount = std::max(PageCountOf(total), shown > 0 ? 1 : 0);
}

void TabList::SetActive(int index) {
    if (index >= 0 && index < Count()) FActive = index;
}

bool TabList::FindTab(const Text& key, int& index) const {
    index = 0;
    for (int i = 0; i < Count(); ++i)
        if (FTabs[i]->Key == key) {
            index = i;
            return true;
        }
    return false;
}

Text TabList::CaptionFor(const Criteria& c) {
    return c.Keyword.empty() ? c.NodeCaption : c.Keyword;
}

int TabList::OpenTab(const Criteria& c, const Text& key, int pageNo,
                     const ATbk_Items_Info& results) {
    auto t = std::make_unique<TAB>();
    t->PageNo = pageNo;
    t->Key = key;
    t->Node = c.Node;
    t->Keyword = c.Keyword;
    t->StartPrice = c.StartPrice;
    t->EndPrice = c.EndPrice;
    t->SortIndex = c.SortIndex;
    t->StartCreditIndex = c.StartCreditIndex;
    t->EndCreditIndex = c.EndCreditIndex;
    t->ViewIndex = c.ViewIndex;
    t->AreaIndex = c.AreaIndex;
    t->Guarantee = c.Guarantee;
    CopyResults(*t, results);
    t->Serial = FNextSerial++;
    FTabs.push_back(std::move(t));
    FActive = Count() - 1;
    return FActive;
}

bool TabList::StorePage(int index, const Text& key, int pageNo, const ATbk_Items_Info& results) {
    if (index < 0 || index >= Count()) return false;
    TAB& t = *FTabs[index];
    t.Key = key;
    t.PageNo = pageNo;
    CopyResults(t, results);
    return true;
}

int TabList::IndexOfSerial(uint64_t serial) const {
    for (int i = 0; i < Count(); ++i)
        if (FTabs[i]->Serial == serial) return i;
    return -1;
}

bool TabList::Close(int index) {
    if (!CanClose(index)) return false;
    int neighbour = NeighbourOf(index);
    FTabs.erase(FTabs.begin() + index);
    FActive = neighbour > index ? neighbour - 1 : neighbour;
    return true;
}
