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

}  // namespace

size_t FindFolded(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && AsciiLower(hay[i + k]) == AsciiLower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

Catalogue::Catalogue(int itemCount, uint32_t seed) {
    BuildCategories();
    BuildItems(std::max(0, itemCount), seed);
    std::string unused;
    Finish(unused);
}

void Catalogue::AddCategory(int cid, int parent, std::string name, int sortOrder) {
    FIndexByCid[cid] = FCategories.size();
    FCategories.push_back(Category{cid, parent, std::move(name), sortOrder, {}});
}

void Catalogue::AddItem(Item item) { FItems.push_back(std::move(item)); }

bool Catalogue::Finish(std::string& error) {
    FTopLevel.clear();
    for (Category& c : FCategories) c.children.clear();
    std::vector<Category*> order;
    for (Category& c : FCategories) order.push_back(&c);
    std::stable_sort(order.begin(), order.end(), [](const Category* a, const Category* b) {
        return a->sort_order != b->sort_order ? a->sort_order < b->sort_order : a->cid < b->cid;
    });
    for (Category* c : order) {
        if (c->parent_cid == 0) {
            FTopLevel.push_back(c);
            continue;
        }
        auto parent = FIndexByCid.find(c->parent_cid);
        if (parent == FIndexByCid.end() || c->parent_cid == c->cid)
            return error = "category " + std::to_string(c->cid) + " has no parent", false;
        FCategories[parent->second].children.push_back(c->cid);
    }
    for (size_t i = 0; i < FItems.size(); ++i) {
        Item& it = FItems[i];
        if (i && FItems[i - 1].num_iid >= it.num_iid)
            return error = "items out of order at " + std::to_string(it.num_iid), false;
        int a = it.cid;
        for (int level = 0; level < 3; ++level) {
            it.ancestors[level] = a;
            const Category* c = a ? Find(a) : nullptr;
            if (a && !c)
                return error = "item " + std::to_string(it.num_iid) + " names a missing category",
                       false;
            a = c ? c->parent_cid : 0;
        }
    }
    return true;
}

const Item* Catalogue::FindItem(int64_t numIid) const {
    auto at = std::lower_bound(FItems.begin(), FItems.end(), numIid,
                               [](const Item& it, int64_t id) { return it.num_iid < id; });
    return at != FItems.end() && at->num_iid == numIid ? &*at : nullptr;
}

void Catalogue::BuildCategories() {
    auto add = [this](int parent, std::string_view name, int order) {
        int cid = static_cast<int>(FCategories.size()) + 1;
        AddCategory(cid, parent, std::string(name), order);
        if (parent) FCategories[size_t(parent) - 1].children.push_back(cid);
        return cid;
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
    auto at = FIndexByCid.find(cid);
    return at == FIndexByCid.end() ? nullptr : &FCategories[at->second];
}

std::vector<const Category*> Catalogue::Children(int parent) const {
    if (parent == 0) return FTopLevel;
    std::vector<const Category*> out;
    if (const Category* p = Find(parent))
        for (int cid : p->children) out.push_back(Find(cid));
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
        const Category* top = Find(it.cid);
        while (top->parent_cid) top = Find(top->parent_cid);
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
        it.sellerId = dice.Below(static_cast<int>(sellers.size()));
        const Seller& seller = sellers[it.sellerId];
        it.nick = seller.nick;
        it.credit = seller.credit;
        it.guarantee = seller.guarantee;
        it.location = seller.location;
        it.volume = dice.Chance(20) ? 0 : dice.Below(100) * dice.Below(100) / 10;
        it.commissionRateBp = dice.Between(50, 3000);
        it.commissionCents = it.priceCents * it.commissionRateBp / 10000;
        it.commissionNum = it.volume ? dice.Below(static_cast<int>(it.volume) + 1) : 0;
        it.commissionVolumeCents = it.priceCents * it.commissionRateBp / 10000 * it.commissionNum;
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

bool SortsBefore(const Item& a, const Item& b, ItemQuery::Sort sort) {
    switch (sort) {
        case ItemQuery::PriceUp:
            if (a.priceCents != b.priceCents) return a.priceCents < b.priceCents;
            break;
        case ItemQuery::PriceDown:
            if (a.priceCents != b.priceCents) return a.priceCents > b.priceCents;
            break;
        case ItemQuery::CreditDown:
            if (a.credit != b.credit) return a.credit > b.credit;
            break;
        case ItemQuery::SalesDown:
            if (a.volume != b.volume) return a.volume > b.volume;
            break;
        case ItemQuery::CommissionVolume:
            if (a.commissionVolumeCents != b.commissionVolumeCents)
                return a.commissionVolumeCents > b.commissionVolumeCents;
            break;
    }
    return a.num_iid < b.num_iid;
}

ItemPage ScanItems(const Catalogue& catalogue, const ItemQuery& q) {
    std::vector<const Item*> hits;
    for (const Item& it : catalogue.Items())
        if (Matches(it, q)) hits.push_back(&it);
    ItemPage page;
    page.total = static_cast<int64_t>(hits.size());
    if (q.page < 1 || (q.page - 1) >= (page.total + kPageSize - 1) / kPageSize) return page;
    size_t first = static_cast<size_t>((q.page - 1) * kPageSize);
    size_t last = std::min(hits.size(), first + kPageSize);
    // Only the requested page needs to be in order.
    std::partial_sort(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(last), hits.end(),
                      [&q](const Item* a, const Item* b) { return SortsBefore(*a, *b, q.sort); });
    page.items.assign(hits.begin() + static_cast<ptrdiff_t>(first),
                      hits.begin() + static_cast<ptrdiff_t>(last));
    return page;
}

namespace {

void AppendHtmlChar(std::string& out, char c) {
    switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
    }
}

}  // namespace

std::string HtmlText(std::string_view text) {
    // Most texts hold nothing to replace.
    if (text.find_first_of("&<>\"'") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendHtmlChar(out, c);
    return out;
}

std::string HighlightTitle(const std::string& title, const std::vector<std::string>& words) {
    if (words.empty()) return HtmlText(title);
    std::vector<bool> marked(title.size(), false);
    for (const std::string& w : words)
        for (size_t at = FindFolded(title, w, 0); at != std::string_view::npos;
             at = FindFolded(title, w, at + w.size()))
            std::fill(marked.begin() + static_cast<ptrdiff_t>(at),
                      marked.begin() + static_cast<ptrdiff_t>(at + w.size()), true);
    std::string out;
    for (size_t i = 0; i < title.size(); ++i) {
        if (marked[i] && (i == 0 || !marked[i - 1])) out += "<span class=h>";
        AppendHtmlChar(out, title[i]);
        if (marked[i] && (i + 1 == title.size() || !marked[i + 1])) out += "</span>";
    }
    return out;
}
