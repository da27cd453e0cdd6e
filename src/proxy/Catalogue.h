#pragma once
// The generated marketplace: a category tree three levels deep and items with sellers, all in
// UTF-8 and fully determined by the seed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Category {
    int cid = 0;
    int parent_cid = 0;  // 0 for the top level
    std::string name;
    int sort_order = 0;
    std::vector<int> children;
};

struct Item {
    int64_t num_iid = 0;
    std::string title;
    int priceCents = 0;
    int cid = 0;            // a category without children
    int ancestors[3] = {};  // cid, its parent, its top-level category (0 where none)
    int sellerId = 0;
    std::string nick;
    int credit = 1;  // 1 to 20
    bool guarantee = false;
    std::string location;
    int volume = 0;            // sold in the last 30 days
    int commissionRateBp = 0;  // basis points of the price
    int commissionNum = 0;
    int64_t commissionVolumeCents = 0;
    int priceLowHint = 0;  // the price range of its top-level category, for tests
};

class Catalogue {
public:
    Catalogue(int itemCount, uint32_t seed);

    const std::vector<Item>& Items() const { return FItems; }
    const Category* Find(int cid) const;
    // Children of parent (0: the top level), in sort order.
    std::vector<const Category*> Children(int parent) const;
    const std::vector<Category>& Categories() const { return FCategories; }

private:
    void BuildCategories();
    void BuildItems(int count, uint32_t seed);

    std::vector<Category> FCategories;
    std::vector<int> FIndexByCid;
    std::vector<Item> FItems;
};

// What an item search asks for, already decoded.
struct ItemQuery {
    int cid = 0;                     // 0: every category
    std::vector<std::string> words;  // all must occur in the title
    std::vector<std::string> areas;  // any one must name a word of the location
    std::optional<int64_t> minCents, maxCents;
    int minCredit = 1, maxCredit = 20;
    bool guaranteeOnly = false;
    enum Sort {
        CommissionVolume,
        PriceUp,
        PriceDown,
        CreditDown,
        SalesDown
    } sort = CommissionVolume;
    int64_t page = 1;
};

struct ItemPage {
    int64_t total = 0;
    std::vector<const Item*> items;  // at most 40
};

constexpr int kPageSize = 40;

bool Matches(const Item& item, const ItemQuery& q);
ItemPage SearchItems(const Catalogue& catalogue, const ItemQuery& q);
// The title with every occurrence of the query's words wrapped in a highlight span.
std::string HighlightTitle(const std::string& title, const std::vector<std::string>& words);
