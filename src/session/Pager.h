#pragma once
// The paging controls' state for a tab, and the keyword box's history.

#include <atomic>
#include <vector>

#include "Text.h"

struct PagerState {
    bool first = false;       // IndexBut
    bool back = false;        // BackBut
    bool next = false;        // NextBut
    bool last = false;        // TailBut
    std::vector<Text> pages;  // "1" to the page count
    int selected = -1;        // the entry of the shown page, -1 when there is none
};

PagerState UpdatePager(int pageCount, int pageNo);

class KeywordHistory {
public:
    // Appends a non-empty keyword not yet in the list (exact comparison); true when added.
    bool RememberKeyword(const Text& keyword);
    const std::vector<Text>& Entries() const { return FEntries; }

private:
    std::vector<Text> FEntries;
};

// True while no search worker exists. A search of either kind may start only by taking it, so
// a page search can never start while another search runs.
class SearchGate {
public:
    bool Idle() const { return FIdle; }
    bool TryBegin() {
        bool expected = true;
        return FIdle.compare_exchange_strong(expected, false);
    }
    void End() { FIdle = true; }

private:
    std::atomic<bool> FIdle{true};
};
