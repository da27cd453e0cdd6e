#include "ItemIndex.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>
#include <string_view>

#include "CatalogueStore.h"

namespace {

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::string> WordsOf(const std::string& location) {
    std::vector<std::string> words;
    for (size_t start = 0; start < location.size();) {
        size_t end = std::min(location.find(' ', start), location.size());
        if (end > start) words.push_back(location.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

}  // namespace

ItemIndex::ItemIndex(const Catalogue& catalogue, const CatalogueStore* titles)
    : FCatalogue(catalogue), FTitles(titles) {
    const std::vector<Item>& items = catalogue.Items();
    std::map<std::string, uint32_t> places;
    FRows.reserve(items.size());
    FTitleAt.reserve(items.size() + 1);
    int maxCid = 0;
    for (const Category& c : catalogue.Categories()) maxCid = std::max(maxCid, c.cid);
    FCategorySlot.assign(static_cast<size_t>(maxCid) + 1, -1);
    for (const Item& it : items) {
        auto [place, added] = places.emplace(it.location, static_cast<uint32_t>(places.size()));
        if (added) FPlaceWords.push_back(WordsOf(it.location));
        FRows.push_back(Row{it.priceCents,
                            {it.ancestors[0], it.ancestors[1], it.ancestors[2]},
                            place->second,
                            static_cast<uint8_t>(it.credit),
                            it.guarantee});
        FTitleAt.push_back(FLowered.size());
        FLowered += Lowered(it.title);
        FLowered += '\n';  // no word holds a line end, so no match runs into the next title
        uint32_t n = static_cast<uint32_t>(FRows.size() - 1);
        for (int a : it.ancestors) {
            if (a <= 0 || a > maxCid) continue;
            int& slot = FCategorySlot[static_cast<size_t>(a)];
            if (slot < 0) {
                slot = static_cast<int>(FInCategory.size());
                FInCategory.emplace_back();
            }
            FInCategory[static_cast<size_t>(slot)].push_back(n);
        }
    }
    FTitleAt.push_back(FLowered.size());
    for (int s = 0; s < kSortCount; ++s) {
        auto sort = static_cast<ItemQuery::Sort>(s);
        std::vector<uint32_t>& order = FOrder[s];
        order.resize(items.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b) { return SortsBefore(items[a], items[b], sort); });
        FRank[s].resize(items.size());
        for (uint32_t r = 0; r < order.size(); ++r) FRank[s][order[r]] = r;
    }
}

bool ItemIndex::TitleHas(uint32_t item, const std::string& loweredWord) const {
    const char* start = FLowered.data() + FTitleAt[item];
    size_t size = FTitleAt[item + 1] - FTitleAt[item] - 1;
    return memmem(start, size, loweredWord.data(), loweredWord.size()) != nullptr;
}

bool ItemIndex::Keep(uint32_t item, const ItemQuery& q, const std::vector<bool>& places) const {
    const Row& r = FRows[item];
    if (q.cid && r.ancestors[0] != q.cid && r.ancestors[1] != q.cid && r.ancestors[2] != q.cid)
        return false;
    if (q.minCents && r.priceCents < *q.minCents) return false;
    if (q.maxCents && r.priceCents > *q.maxCents) return false;
    if (r.credit < q.minCredit || r.credit > q.maxCredit) return false;
    if (q.guaranteeOnly && !r.guarantee) return false;
    return places.empty() || places[r.place];
}

ItemPage ItemIndex::Search(const ItemQuery& q) const {
    const std::vector<Item>& items = FCatalogue.Items();
    ItemPage page;
    // The locations that name one of the asked areas.
    std::vector<bool> places;
    if (!q.areas.empty()) {
        places.assign(FPlaceWords.size(), false);
        for (size_t p = 0; p < FPlaceWords.size(); ++p)
            for (const std::string& area : q.areas)
                if (std::find(FPlaceWords[p].begin(), FPlaceWords[p].end(), area) !=
                    FPlaceWords[p].end())
                    places[p] = true;
    }
    std::vector<std::string> words;
    for (const std::string& w : q.words) words.push_back(Lowered(w));

    // The smallest list that holds every match: the title index's, the category's, or all.
    std::vector<uint32_t> fromTitles;
    const std::vector<uint32_t>* candidates = nullptr;
    std::vector<int64_t> ids;
    if (FTitles && FTitles->TitleCandidates(q.words, ids)) {
        for (int64_t id : ids)
            if (const Item* it = FCatalogue.FindItem(id))
                fromTitles.push_back(static_cast<uint32_t>(it - items.data()));
        candidates = &fromTitles;
    }
    if (q.cid > 0) {
        static const std::vector<uint32_t> kNone;
        const std::vector<uint32_t>* inCategory = &kNone;
        if (static_cast<size_t>(q.cid) < FCategorySlot.size() &&
            FCategorySlot[static_cast<size_t>(q.cid)] >= 0)
            inCategory =
                &FInCategory[static_cast<size_t>(FCategorySlot[static_cast<size_t>(q.cid)])];
        if (!candidates || inCategory->size() < candidates->size()) candidates = inCategory;
    } else if (q.cid < 0) {
        return page;  // a category that does not exist
    }
    std::vector<uint32_t> hits;
    auto test = [&](uint32_t i) {
        if (!Keep(i, q, places)) return;
        for (const std::string& w : words)
            if (!TitleHas(i, w)) return;
        hits.push_back(i);
    };
    if (candidates)
        for (uint32_t i : *candidates) test(i);
    else
        for (uint32_t i = 0; i < FRows.size(); ++i) test(i);

    page.total = static_cast<int64_t>(hits.size());
    if (q.page < 1 || (q.page - 1) >= (page.total + kPageSize - 1) / kPageSize) return page;
    size_t first = static_cast<size_t>((q.page - 1) * kPageSize);
    size_t last = std::min(hits.size(), first + kPageSize);
    const std::vector<uint32_t>& rank = FRank[q.sort];
    if (hits.size() * 8 > FRows.size()) {
        // Many matches: walk the precomputed order and pick them out.
        std::vector<bool> hit(FRows.size(), false);
        for (uint32_t i : hits) hit[i] = true;
        size_t seen = 0;
        for (uint32_t i : FOrder[q.sort]) {
            if (!hit[i]) continue;
            if (seen >= first) page.items.push_back(&items[i]);
            if (++seen == last) break;
        }
        return page;
    }
    auto before = [&rank](uint32_t a, uint32_t b) { return rank[a] < rank[b]; };
    auto begin = hits.begin() + static_cast<ptrdiff_t>(first);
    auto end = hits.begin() + static_cast<ptrdiff_t>(last);
    std::nth_element(hits.begin(), begin, hits.end(), before);
    std::nth_element(begin, end - 1, hits.end(), before);
    std::sort(begin, end, before);
    for (auto at = begin; at != end; ++at) page.items.push_back(&items[*at]);
    return page;
}
