#pragma once
// Item search over a loaded catalogue, answered from indexes built once at start-up: the items'
// filter fields packed side by side, every sort order precomputed, the items of each category,
// and the store's trigram index for the keyword. Totals are exact.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "Catalogue.h"

class CatalogueStore;

class ItemIndex {
public:
    // titles: the trigram index, asked for words of three characters or more when the other
    // lists at hand are longer than trigramAbove (about 1 ms per 1500 rows it finds, measured
    // with keyword_index_bench at a million items); null: never.
    ItemIndex(const Catalogue& catalogue, const CatalogueStore* titles,
              size_t trigramAbove = 20000);
    ItemPage Search(const ItemQuery& q) const;

private:
    bool TitleHas(uint32_t item, const std::string& loweredWord) const;

    const Catalogue& FCatalogue;
    const CatalogueStore* FTitles;
    size_t FTrigramAbove;
    // The filter fields of each item side by side, for tests of single items in any order...
    struct Row {
        int64_t priceCents;
        int32_t ancestors[3];
        uint32_t place;  // the item's location among the distinct locations
        uint8_t credit;
        bool guarantee;
    };
    std::vector<Row> FRows;
    // ...and the ones a pass over every item tests, a column each.
    std::vector<double> FPriceAsDouble;  // cents: whole numbers, exact as doubles
    std::vector<uint8_t> FCredit, FGuarantee;
    std::vector<std::vector<std::string>> FPlaceWords;  // the words of each distinct location
    std::string FLowered;                               // every title, ASCII letters lowered
    std::vector<size_t> FTitleAt;                       // where each title starts in FLowered
    std::vector<uint32_t> FOrder[kSortCount];           // items in each sort order
    std::vector<uint32_t> FRank[kSortCount];            // each item's place in that order
    std::vector<std::vector<uint32_t>> FInCategory;     // by category index: items under it
    std::vector<int> FCategorySlot;                     // cid to FInCategory index, -1: none
    // Items by each character of their lowered title, and by each pair of neighbours.
    std::unordered_map<uint64_t, std::vector<uint32_t>> FGrams;
};
