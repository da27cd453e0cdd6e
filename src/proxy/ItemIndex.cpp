#include "ItemIndex.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "CatalogueStore.h"

namespace {

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The characters of UTF-8 text; a byte that starts no valid character stands for itself.
std::vector<uint32_t> CodePoints(std::string_view s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            out.push_back(0x110000u + b);
            ++i;
            continue;
        }
        uint32_t cp = n == 1 ? b : b & (0x7Fu >> n);
        for (size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        out.push_back(cp);
        i += n;
    }
    return out;
}

// The items whose price and credit lie in the ranges (and with the guarantee, unless any will
// do), as plain arguments and one type of comparison each, so the compiler makes vector code
// of it. Prices in cents are whole numbers far below 2^53: exact as doubles.
int64_t CountInRanges(const double* price, const uint8_t* credit, const uint8_t* guarantee,
                      size_t n, double lo, double hi, int minCredit, int maxCredit,
                      bool anyGuarantee) {
    const auto creditLow = static_cast<uint8_t>(std::clamp(minCredit, 0, 255));
    const auto creditSpan = static_cast<uint8_t>(std::clamp(maxCredit, 0, 255) - creditLow);
    const uint8_t any = anyGuarantee;
    int64_t total = 0;
    for (size_t i = 0; i < n; ++i)
        total += (price[i] >= lo) & (price[i] <= hi) &
                 (static_cast<uint8_t>(credit[i] - creditLow) <= creditSpan) &
                 ((guarantee[i] | any) != 0);
    return total;
}

uint64_t GramKey(uint32_t a, uint32_t b) { return (uint64_t{a} << 32) | b; }

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

ItemIndex::ItemIndex(const Catalogue& catalogue, const CatalogueStore* titles, size_t trigramAbove)
    : FCatalogue(catalogue), FTitles(titles), FTrigramAbove(trigramAbove) {
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
        FPriceAsDouble.push_back(static_cast<double>(it.priceCents));
        FCredit.push_back(static_cast<uint8_t>(it.credit));
        FGuarantee.push_back(it.guarantee);
        FTitleAt.push_back(FLowered.size());
        std::string lowered = Lowered(it.title);
        FLowered += lowered;
        FLowered += '\n';  // no word holds a line end, so no match runs into the next title
        uint32_t n = static_cast<uint32_t>(FRows.size() - 1);
        // Each character and each pair of neighbours, for words too short for the title index.
        std::vector<uint32_t> cps = CodePoints(lowered);
        for (size_t k = 0; k < cps.size(); ++k)
            for (uint64_t key :
                 {GramKey(cps[k], 0), k + 1 < cps.size() ? GramKey(cps[k], cps[k + 1]) : 0}) {
                if (!key) continue;
                std::vector<uint32_t>& list = FGrams[key];
                if (list.empty() || list.back() != n) list.push_back(n);
            }
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

ItemPage ItemIndex::Search(const ItemQuery& q) const {
    const std::vector<Item>& items = FCatalogue.Items();
    ItemPage page;
    // The locations that name one of the asked areas (all of them when none is asked).
    std::vector<uint8_t> places(FPlaceWords.size(), q.areas.empty());
    for (size_t p = 0; p < FPlaceWords.size() && !q.areas.empty(); ++p)
        for (const std::string& area : q.areas)
            if (std::find(FPlaceWords[p].begin(), FPlaceWords[p].end(), area) !=
                FPlaceWords[p].end())
                places[p] = 1;
    // The bounds as plain numbers, so one row is tested without a branch.
    const int64_t lo = q.minCents.value_or(INT64_MIN), hi = q.maxCents.value_or(INT64_MAX);
    const int cid = q.cid;
    const bool anyCategory = cid == 0, anyGuarantee = !q.guaranteeOnly;
    const uint8_t* place = places.data();
    const int minCredit = q.minCredit, maxCredit = q.maxCredit;
    const Row* rows = FRows.data();
    auto Keep = [=](uint32_t i) {
        const Row& r = rows[i];
        return static_cast<bool>((anyCategory | (r.ancestors[0] == cid) | (r.ancestors[1] == cid) |
                                  (r.ancestors[2] == cid)) &
                                 (r.priceCents >= lo) & (r.priceCents <= hi) &
                                 (r.credit >= minCredit) & (r.credit <= maxCredit) &
                                 (anyGuarantee | r.guarantee) & (place[r.place] != 0));
    };
    std::vector<std::string> words;
    for (const std::string& w : q.words) words.push_back(Lowered(w));
    auto keep = [&](uint32_t i) {
        if (!Keep(i)) return false;
        for (const std::string& w : words)
            if (!TitleHas(i, w)) return false;
        return true;
    };
    if (q.cid < 0) return page;  // a category that does not exist

    // The shortest list that holds every match: each word's rarest character pair, the
    // category's items, the trigram index's where those are long; none: every item.
    const std::vector<uint32_t>* candidates = nullptr;
    auto consider = [&candidates](const std::vector<uint32_t>* list) {
        if (!candidates || list->size() < candidates->size()) candidates = list;
    };
    static const std::vector<uint32_t> kNone;
    bool longWord = false;
    for (const std::string& w : words) {
        // The word's rarest character pair (its character, when it has only one).
        std::vector<uint32_t> cps = CodePoints(w);
        if (cps.empty()) return page;  // as FindFolded has it: an empty word matches nothing
        longWord |= cps.size() >= 3;
        const std::vector<uint32_t>* rarest = nullptr;
        for (size_t k = 0; k < std::max<size_t>(1, cps.size() - 1); ++k) {
            auto at = FGrams.find(GramKey(cps[k], cps.size() > 1 ? cps[k + 1] : 0));
            const std::vector<uint32_t>* list = at == FGrams.end() ? &kNone : &at->second;
            if (!rarest || list->size() < rarest->size()) rarest = list;
        }
        consider(rarest);
    }
    if (q.cid > 0) {
        size_t slot = static_cast<size_t>(q.cid);
        consider(slot < FCategorySlot.size() && FCategorySlot[slot] >= 0
                     ? &FInCategory[static_cast<size_t>(FCategorySlot[slot])]
                     : &kNone);
    }
    // The trigram index costs a few milliseconds a lookup: worth it only where the lists at hand
    // are long, as for words made of common characters.
    std::vector<uint32_t> fromTitles;
    std::vector<int64_t> ids;
    if (longWord && FTitles && candidates->size() > FTrigramAbove &&
        FTitles->TitleCandidates(q.words, ids)) {
        for (int64_t id : ids)
            if (const Item* it = FCatalogue.FindItem(id))
                fromTitles.push_back(static_cast<uint32_t>(it - items.data()));
        consider(&fromTitles);
    }

    std::vector<bool> hit;  // by item, when the matches are many
    std::vector<uint32_t> hits;
    if (candidates) {
        for (uint32_t i : *candidates)
            if (keep(i)) hits.push_back(i);
        page.total = static_cast<int64_t>(hits.size());
    } else {
        // Every item, category aside (a category always gives a list): a plain count the
        // compiler can turn into vector code when no area is asked.
        const auto n = static_cast<uint32_t>(FRows.size());
        int64_t total = 0;
        if (lo > hi || minCredit > maxCredit) {
            total = 0;
        } else if (q.areas.empty()) {
            constexpr double kAll = std::numeric_limits<double>::infinity();
            total = CountInRanges(FPriceAsDouble.data(), FCredit.data(), FGuarantee.data(), n,
                                  q.minCents ? static_cast<double>(*q.minCents) : -kAll,
                                  q.maxCents ? static_cast<double>(*q.maxCents) : kAll, minCredit,
                                  maxCredit, anyGuarantee);
        } else {
            for (uint32_t i = 0; i < n; ++i) total += Keep(i);
        }
        page.total = total;
    }
    if (q.page < 1 || (q.page - 1) >= (page.total + kPageSize - 1) / kPageSize) return page;
    size_t first = static_cast<size_t>((q.page - 1) * kPageSize);
    size_t last = std::min(static_cast<size_t>(page.total), first + kPageSize);
    if (!candidates || hits.size() * 8 > FRows.size()) {
        // Many matches: walk the precomputed order and pick them out.
        if (candidates) {
            hit.assign(FRows.size(), false);
            for (uint32_t i : hits) hit[i] = true;
        }
        size_t seen = 0;
        for (uint32_t i : FOrder[q.sort]) {
            if (candidates ? !hit[i] : !Keep(i)) continue;
            if (seen >= first) page.items.push_back(&items[i]);
            if (++seen == last) break;
        }
        return page;
    }
    const std::vector<uint32_t>& rank = FRank[q.sort];
    auto before = [&rank](uint32_t a, uint32_t b) { return rank[a] < rank[b]; };
    auto begin = hits.begin() + static_cast<ptrdiff_t>(first);
    auto end = hits.begin() + static_cast<ptrdiff_t>(last);
    std::nth_element(hits.begin(), begin, hits.end(), before);
    std::nth_element(begin, end - 1, hits.end(), before);
    std::sort(begin, end, before);
    for (auto at = begin; at != end; ++at) page.items.push_back(&items[*at]);
    return page;
}
