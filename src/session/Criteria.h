#pragma once
// The search criteria as values: what the window's controls hold when a search starts.

#include <cstdint>

#include "Taobaoke_Items.h"
#include "Text.h"

// A category tree node, owned by the window; this layer only carries it.
using NodeRef = const void*;

struct Criteria {
    // The nine values that identify a search (its key), GBK where text.
    Text Keyword;
    Text NodeCaption;
    Text StartPrice;  // texts of the price boxes
    Text EndPrice;
    int SortIndex = 0;  // list positions, -1 when nothing is selected
    int StartCreditIndex = 0;
    int EndCreditIndex = 0;
    int AreaIndex = 0;
    bool Guarantee = false;

    // Carried along but not part of the key.
    int ViewIndex = 0;
    int64_t CategoryId = 0;  // the node's category id; 0 for all categories
    NodeRef Node = nullptr;
    int64_t StartPriceValue = 0;  // numeric values of the price boxes
    int64_t EndPriceValue = 0;
};

// 32 lowercase hex digits: MD5 over the nine key values joined without separators.
Text SearchKey(const Criteria& c);

struct NormalizeChanges {
    bool keyword = false;
    bool prices = false;
    bool credits = false;
    bool Any() const { return keyword || prices || credits; }
};

// Trims bytes <= 32 from both ends of the keyword, puts the prices and the credit positions in
// ascending order. Reports what changed so the window can write it back to its controls.
NormalizeChanges NormalizeCriteria(Criteria& c);

// A category id as the service writes it: decimal, within 32 bits. False for anything else.
bool ParseCategoryId(const Text& text, int32_t& id);

// The conditions of one item search for page pageNo; a list position outside its table gives
// the empty value.
Tbk_Items_Cond BuildConditions(const Criteria& c, int pageNo, const Text& baseUrl, const Text& pid);
