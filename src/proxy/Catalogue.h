#pragma once
// The marketplace the proxy serves: a category tree and items with their sellers, in UTF-8.
// It is loaded from the catalogue database; the generator makes one fully determined by a seed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct Category {
    int cid = 0;
    int parent_cid = 0;  // 0 for the top level
    std::string name;
    int sort_order = 0;
    std::vector<int> children;  // in sort order
};

struct Item {
    int64_t num_iid = 0;
    std::string title;
    int64_t priceCents = 0;
    int cid = 0;
    int ancestors[3] = {};  // cid, its parent, its top-level category (0 where none)
    int sellerId = 0;
    std::string nick;
    int credit = 1;  // 1 to 20
    bool guarantee = false;
    std::string location;  // words separated by spaces
    int64_t volume = 0;    // sold in the last 30 days
    int64_t commissionCents = 0;
    int64_t commissionRateBp = 0;  // basis points of the price
    int64_t commissionNum = 0;
    int64_t commissionVolumeCents = 0;
    // Addresses an imported item brings along; empty: this service's own picture and pages.
    std::string picUrl, clickUrl, shopClickUrl;
};

class Catalogue {
public:
    Catalogue() = default;
    // The generated marketplace.
    Catalogue(int itemCount, uint32_t seed);

    const std::vector<Item>& Items() const { return FItems; }
    const Category* Find(int cid) const;
    // Children of parent (0: the top level), in sort order.
    std::vector<const Category*> Children(int parent) const;
    const std::vector<Category>& Categories() const { return FCategories; }
    const Item* FindItem(int64_t numIid) const;

    // Building one up from stored rows: categories first, then items in num_iid order.
    void AddCategory(int cid, int parent, std::string name, int sortOrder);
    void AddItem(Item item);
    // Links children to parents and fills the items' ancestors; false when a row names a
    // category that is not there or the items are out of order.
    bool Finish(std::string& error);

private:
    void BuildCategories();
    void BuildItems(int count, uint32_t seed);

    std::vector<Category> FCategories;
    std::unordered_map<int, size_t> FIndexByCid;
    std::vector<const Category*> FTopLevel;
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
constexpr int kSortCount = 5;

bool Matches(const Item& item, const ItemQuery& q);
// True when a sorts before b in the order the query asks for (ties: lower num_iid first).
bool SortsBefore(const Item& a, const Item& b, ItemQuery::Sort sort);
// Every item tested in turn: the reference the indexed search is compared with.
ItemPage ScanItems(const Catalogue& catalogue, const ItemQuery& q);
// The result page takes the item's texts as HTML (the title carries the highlight markup), so
// they leave here as HTML text: an imported title cannot bring markup or script along.
std::string HtmlText(std::string_view text);
// The title as HTML with every occurrence of the query's words wrapped in a highlight span.
std::string HighlightTitle(const std::string& title, const std::vector<std::string>& words);
// Byte offset of needle in hay from 'from' on, ASCII letters compared without case.
size_t FindFolded(std::string_view hay, std::string_view needle, size_t from);
