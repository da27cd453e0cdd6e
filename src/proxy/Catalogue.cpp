#include "Catalogue.h"

#include <algorithm>
#include <random>
#include <string_view>

#include "CatalogueData.h"

namespace {

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(sep, start);
        if (end == std::string_view::npos) end = s.size();
        if (end > start) parts.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Our own draws from the engine, so the catalogue is the same with every standard library.
struct Dice {
    std::mt19937 engine;
    explicit Dice(uint32_t seed) : engine(seed) {}
    int Below(int n) { return static_cast<int>(engine() % static_cast<uint32_t>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t FindFolded(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && AsciiLower(hay[i + k]) == AsciiLower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

}  // namespace

Catalogue::Catalogue(int itemCount, uint32_t seed) {
    BuildCategories();
    BuildItems(std::max(0, itemCount), seed);
}

void Catalogue::BuildCategories() {
    auto add = [this](int parent, std::string_view name, int order) {
        Category c;
        c.cid = static_cast<int>(FCategories.size()) + 1;
        c.parent_cid = parent;
        c.name = std::string(name);
        c.sort_order = order;
        FCategories.push_back(std::move(c));
        if (parent) FCategories[parent - 1].children.push_back(FCategories.back().cid);
        return FCategories.back().cid;
    };
    // Top-level categories take cids 1 to 65, in the order the client's pictures follow.
    for (int k = 0; k < 65; ++k) add(0, kTopCategories[k].name, k + 1);
    for (int k = 0; k < 65; ++k) {
        int order = 1;
        for (std::string_view child : Split(kTopCategories[k].children, '|')) {
            size_t gt = child.find('>');
            int cid = add(k + 1, child.substr(0, gt), order++);
            if (gt == std::string_view::npos) continue;
            int sub = 1;
            for (std::string_view grand : Split(child.substr(gt + 1), ',')) add(cid, grand, sub++);
        }
    }
}

const Category* Catalogue::Find(int cid) const {
    if (cid < 1 || cid > static_cast<int>(FCategories.size())) return nullptr;
    return &FCategories[cid - 1];
}

std::vector<const Category*> Catalogue::Children(int parent) const {
    std::vector<const Category*> out;
    if (parent == 0) {
        for (const Category& c : FCategories)
            if (c.parent_cid == 0) out.push_back(&c);
    } else if (const Category* p = Find(parent)) {
        for (int cid : p->children) out.push_back(Find(cid));
    }
    return out;
}

void Catalogue::BuildItems(int count, uint32_t seed) {
    Dice dice(seed);
    std::vector<int> leaves;
    for (const Category& c : FCategories)
        if (c.children.empty()) leaves.push_back(c.cid);
    struct Seller {
        std::string nick;
        int credit;
        bool guarantee;
        std::string location;
    };
    std::vector<Seller> sellers(std::max(1, count / 8));
    for (size_t s = 0; s < sellers.size(); ++s) {
        Seller& x = sellers[s];
        int first = dice.Below(kNickPartCount);
        int second = (first + 1 + dice.Below(kNickPartCount - 1)) % kNickPartCount;
        x.nick =
            std::string(kNickParts[first]) + kNickParts[second] + "小店" + std::to_string(s + 1);
        // Most sellers are in the lower credit levels, a few reach the crowns.
        int r = dice.Below(100);
        x.credit = r < 45   ? dice.Between(1, 5)
                   : r < 80 ? dice.Between(6, 10)
                   : r < 95 ? dice.Between(11, 15)
                            : dice.Between(16, 20);
        x.guarantee = dice.Chance(60);
        x.location = kLocations[dice.Below(kLocationCount)];
    }
    FItems.reserve(count);
    for (int i = 0; i < count; ++i) {
        Item it;
        it.num_iid = 10000001 + i;
        it.cid = leaves[dice.Below(static_cast<int>(leaves.size()))];
        int a = it.cid;
        for (int level = 0; level < 3 && a; ++level) {
            it.ancestors[level] = a;
            a = Find(a)->parent_cid;
        }
        const Category* top = Find(it.ancestors[2]   ? it.ancestors[2]
                                   : it.ancestors[1] ? it.ancestors[1]
                                                     : it.cid);
        const TopCategoryData& data = kTopCategories[top->cid - 1];
        it.title = std::string(kTitleOpeners[dice.Below(kTitleOpenerCount)]) + " " +
                   kTitleFeatures[dice.Below(kTitleFeatureCount)] + Find(it.cid)->name + " " +
                   kTitleFeatures[dice.Below(kTitleFeatureCount)] + " " +
                   kTitleClosers[dice.Below(kTitleCloserCount)];
        // Cheap items are more common than dear ones within a category's range.
        int span = data.priceHigh - data.priceLow;
        int yuan = data.priceLow +
                   static_cast<int>(int64_t{span} * dice.Below(1000) * dice.Below(1000) / 1000000);
        static const int kCents[] = {0, 0, 50, 90, 99, 80};
        it.priceCents = yuan * 100 + kCents[dice.Below(6)];
        it.priceLowHint = data.priceLow;
        it.sellerId = dice.Below(static_cast<int>(sellers.size()));
        const Seller& seller = sellers[it.sellerId];
        it.nick = seller.nick;
        it.credit = seller.credit;
        it.guarantee = seller.guarantee;
        it.location = seller.location;
        it.volume = dice.Chance(20) ? 0 : dice.Below(100) * dice.Below(100) / 10;
        it.commissionRateBp = dice.Between(50, 3000);
        it.commissionNum = it.volume ? dice.Below(it.volume + 1) : 0;
        it.commissionVolumeCents =
            int64_t{it.priceCents} * it.commissionRateBp / 10000 * it.commissionNum;
        FItems.push_back(std::move(it));
    }
}

bool Matches(const Item& item, const ItemQuery& q) {
    if (q.cid && item.ancestors[0] != q.cid && item.ancestors[1] != q.cid &&
        item.ancestors[2] != q.cid)
        return false;
    if (q.minCents && item.priceCents < *q.minCents) return false;
    if (q.maxCents && item.priceCents > *q.maxCents) return false;
    if (item.credit < q.minCredit || item.credit > q.maxCredit) return false;
    if (q.guaranteeOnly && !item.guarantee) return false;
    if (!q.areas.empty()) {
        std::vector<std::string_view> names = Split(item.location, ' ');
        bool any = false;
        for (const std::string& area : q.areas)
            any |= std::find(names.begin(), names.end(), area) != names.end();
        if (!any) return false;
    }
    for (const std::string& w : q.words)
        if (FindFolded(item.title, w, 0) == std::string_view::npos) return false;
    return true;
}

ItemPage SearchItems(const Catalogue& catalogue, const ItemQuery& q) {
    std::vector<const Item*> hits;
    for (const Item& it : catalogue.Items())
        if (Matches(it, q)) hits.push_back(&it);
    auto key = [&q](const Item* a, const Item* b) {
        switch (q.sort) {
            case ItemQuery::PriceUp:
                if (a->priceCents != b->priceCents) return a->priceCents < b->priceCents;
                break;
            case ItemQuery::PriceDown:
                if (a->priceCents != b->priceCents) return a->priceCents > b->priceCents;
                break;
            case ItemQuery::CreditDown:
                if (a->credit != b->credit) return a->credit > b->credit;
                break;
            case ItemQuery::SalesDown:
                if (a->volume != b->volume) return a->volume > b->volume;
                break;
            case ItemQuery::CommissionVolume:
                if (a->commissionVolumeCents != b->commissionVolumeCents)
                    return a->commissionVolumeCents > b->commissionVolumeCents;
                break;
        }
        return a->num_iid < b->num_iid;
    };
    ItemPage page;
    page.total = static_cast<int64_t>(hits.size());
    if (q.page < 1 || (q.page - 1) >= (page.total + kPageSize - 1) / kPageSize) return page;
    size_t first = static_cast<size_t>((q.page - 1) * kPageSize);
    size_t last = std::min(hits.size(), first + kPageSize);
    // Only the requested page needs to be in order.
    std::partial_sort(hits.begin(), hits.begin() + last, hits.end(), key);
    page.items.assign(hits.begin() + first, hits.begin() + last);
    return page;
}

std::string HighlightTitle(const std::string& title, const std::vector<std::string>& words) {
    std::vector<bool> marked(title.size(), false);
    for (const std::string& w : words)
        for (size_t at = FindFolded(title, w, 0); at != std::string_view::npos;
             at = FindFolded(title, w, at + w.size()))
            std::fill(marked.begin() + at, marked.begin() + at + w.size(), true);
    std::string out;
    for (size_t i = 0; i < title.size(); ++i) {
        if (marked[i] && (i == 0 || !marked[i - 1])) out += "<span class=h>";
        out += title[i];
        if (marked[i] && (i + 1 == title.size() || !marked[i + 1])) out += "</span>";
    }
    return out;
}
