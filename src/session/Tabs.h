#pragma once
// The open search tabs: one TAB per distinct search, parallel to the window's tab strip.

#include <array>
#include <memory>
#include <vector>

#include "Criteria.h"
#include "Taobaoke_Items.h"

constexpr int kTabItems = 40;
constexpr int kMaxPageCount = 99;

struct TAB {
    Text Key;
    NodeRef Node = nullptr;
    int SortIndex = 0;
    int PageNo = 1;
    Text Keyword;
    Text StartPrice;
    Text EndPrice;
    bool Guarantee = false;
    int PageCount = 0;
    Text TotalResults;  // the items found, in digits; empty when the reply gave no count
    int StartCreditIndex = 0;
    int EndCreditIndex = 0;
    int AreaIndex = 0;
    int ViewIndex = 0;
    std::array<Tbk_Items_Info, kTabItems> Items;
    // Given by the tab list when the tab opens and never reused: a search started for this tab
    // finds it again by this, wherever it has moved, or learns that it was closed.
    uint64_t Serial = 0;
};

// The criteria a tab restores into the controls (its category id comes from its node).
Criteria CriteriaOf(const TAB& tab, const Text& nodeCaption);

// Copies the items of a reply into the tab (up to the first empty title) and derives its page
// count: total_results divided by 40 rounded up, at most 99, and one page whenever there are
// items; a missing or non-numeric total counts no pages of its own.
void CopyResults(TAB& tab, const ATbk_Items_Info& results);
int PageCountOf(const Text& totalResults);
// True for a total of digits only.
bool IsCount(const Text& totalResults);

class TabList {
public:
    int Count() const { return static_cast<int>(FTabs.size()); }
    bool Empty() const { return FTabs.empty(); }
    TAB& At(int index) { return *FTabs.at(index); }
    const TAB& At(int index) const { return *FTabs.at(index); }

    // -1 while no tab is open.
    int Active() const { return FActive; }
    void SetActive(int index);
    TAB* ActiveTab() { return FActive >= 0 ? FTabs[FActive].get() : nullptr; }

    // True with the first tab whose key equals key; index 0 otherwise.
    bool FindTab(const Text& key, int& index) const;

    // A new search's result: appends a tab holding the criteria and items, makes it active and
    // returns its index. Its caption is the keyword, or the category's caption without one.
    int OpenTab(const Criteria& c, const Text& key, int pageNo, const ATbk_Items_Info& results);
    static Text CaptionFor(const Criteria& c);
    // A page search's result: tab index takes the new key, page and items but keeps the
    // criteria it was opened with. False when there is no such tab.
    bool StorePage(int index, const Text& key, int pageNo, const ATbk_Items_Info& results);
    // The position of the open tab with this serial, -1 when it has been closed.
    int IndexOfSerial(uint64_t serial) const;

    // Closing rules: never the last tab, never an index outside the list. The neighbour to
    // activate first is the tab to the left, or the second one when the first closes.
    bool CanClose(int index) const { return Count() >= 2 && index >= 0 && index < Count(); }
    int NeighbourOf(int index) const { return index == 0 ? 1 : index - 1; }
    // Removes the tab; the neighbour, already activated, stays active at its new position.
    bool Close(int index);

private:
    std::vector<std::unique_ptr<TAB>> FTabs;
    int FActive = -1;
    uint64_t FNextSerial = 1;
};
