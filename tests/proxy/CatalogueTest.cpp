// The catalogue database: indexed search against testing every item, feed imports, refused
// catalogue files, cacheable pictures.

#include <gtest/gtest.h>
#include <httplib.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "ItemIndex.h"
#include "ServiceReplies.h"
#include "Taobaoke_Items.h"
#include "TestProxy.h"
#include "Text.h"

namespace fs = std::filesystem;

namespace {

const char* const kPid = "mm_27418305_0_0";

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// A folder of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "quellot-cat-XXXXXX").string();
        FPath = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(FPath); }
    fs::path operator/(const std::string& name) const { return FPath / name; }

private:
    fs::path FPath;
};

std::unique_ptr<CatalogueStore> OpenStore(const fs::path& file, CatalogueStore::Mode mode) {
    std::string error;
    auto store = CatalogueStore::Open(file.string(), mode, error);
    EXPECT_TRUE(store) << error;
    return store;
}

std::vector<int64_t> Ids(const ItemPage& page) {
    std::vector<int64_t> ids;
    for (const Item* it : page.items) ids.push_back(it->num_iid);
    return ids;
}

const fs::path kFeeds = fs::path(QUELLOT_SOURCE_DIR) / "data" / "feeds";

}  // namespace

// Random combinations of every filter and sort, answered by the indexes and by testing every
// item in turn, must agree on the total and on every item of the page.
TEST(ItemIndex, AgreesWithTestingEveryItem) {
    std::string error;
    auto store = CatalogueStore::Open(":memory:", CatalogueStore::Mode::ReadOnly, error);
    ASSERT_TRUE(store && store->Save(Catalogue(6000, 11), error)) << error;
    Catalogue cat;
    ASSERT_TRUE(store->Load(cat, error)) << error;
    // As it runs, with the trigram index for every long word, and without it.
    ItemIndex index(cat, store.get()), trigrams(cat, store.get(), 0), pairs(cat, nullptr);

    const char* const words[] = {"手机", "连衣裙",     "新款", "裙",         "qq",  "QQ",
                                 "Mp3",  "雪纺连衣裙", "男",   "不存在的词", "T恤", "u"};
    const char* const areas[] = {"浙江", "广州", "上海", "海外", "火星"};
    std::mt19937 dice(5);
    auto below = [&dice](size_t n) { return static_cast<size_t>(dice() % n); };
    int nonEmpty = 0;
    for (int round = 0; round < 400; ++round) {
        ItemQuery q;
        if (below(3) == 0) q.cid = cat.Categories()[below(cat.Categories().size())].cid;
        for (size_t n = below(3); n > 0; --n) q.words.push_back(words[below(std::size(words))]);
        for (size_t n = below(4) == 0 ? 1 + below(2) : 0; n > 0; --n)
            q.areas.push_back(areas[below(std::size(areas))]);
        if (below(3) == 0) q.minCents = static_cast<int64_t>(below(20000));
        if (below(3) == 0) q.maxCents = static_cast<int64_t>(below(200000));
        q.minCredit = 1 + static_cast<int>(below(10));
        q.maxCredit = q.minCredit + static_cast<int>(below(11));
        q.guaranteeOnly = below(2) == 0;
        q.sort = static_cast<ItemQuery::Sort>(below(kSortCount));
        q.page = below(4) == 0 ? 1 + static_cast<int64_t>(below(30)) : 1;
        ItemPage expected = ScanItems(cat, q);
        for (const ItemIndex* way : {&index, &trigrams, &pairs}) {
            ItemPage got = way->Search(q);
            ASSERT_EQ(got.total, expected.total) << "round " << round;
            ASSERT_EQ(Ids(got), Ids(expected)) << "round " << round;
        }
        nonEmpty += !expected.items.empty();
    }
    EXPECT_GT(nonEmpty, 100);  // the cases reach past empty pages
    ItemQuery unknown;
    unknown.cid = -1;
    EXPECT_EQ(index.Search(unknown).total, 0);
    ItemQuery emptyWord;
    emptyWord.words = {""};
    EXPECT_EQ(index.Search(emptyWord).total, ScanItems(cat, emptyWord).total);
}

TEST(FeedImport, AddsUpdatesAndServesTheItems) {
    TempDir dir;
    auto store = OpenStore(dir / "c.db", CatalogueStore::Mode::ReadWrite);
    ASSERT_TRUE(store);
    ImportCount count;
    std::string error;
    ASSERT_TRUE(ImportFeed((kFeeds / "example.csv").string(), *store, count, error)) << error;
    EXPECT_EQ(count.rows, 5);
    EXPECT_EQ(count.added, 5);
    ASSERT_TRUE(ImportFeed((kFeeds / "example.jsonl").string(), *store, count, error)) << error;
    EXPECT_EQ(count.added, 1);
    EXPECT_EQ(count.updated, 1);
    store.reset();

    auto proxy = StartTestProxy({.catalogue = (dir / "c.db").string()});
    const Catalogue& cat = proxy->Items();
    ASSERT_EQ(cat.Items().size(), 6u);
    const Item* shirt = cat.FindItem(20000002);
    ASSERT_TRUE(shirt);
    EXPECT_EQ(shirt->title, "简约纯棉T恤 男女同款 夏季");
    EXPECT_EQ(shirt->priceCents, 3590);
    const Item* dress = cat.FindItem(20000001);
    ASSERT_TRUE(dress);
    // The path made three levels, the top one named as the client's pictures know it.
    const Category* leaf = cat.Find(dress->cid);
    ASSERT_TRUE(leaf);
    EXPECT_EQ(leaf->name, "雪纺连衣裙");
    const Category* top = cat.Find(cat.Find(leaf->parent_cid)->parent_cid);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->name, "女装/女士精品");
    EXPECT_EQ(top->parent_cid, 0);

    // A two-character word, through the client.
    Tbk_Items_Cond cond = StartUpConditions(proxy->BaseUrl(), kPid);
    cond.start_credit = "1heart";
    cond.keyword = Utf8ToGbk("手机");
    TTaobaoke_Items client;
    ATbk_Items_Info* table = nullptr;
    ASSERT_TRUE(client.GetItems(cond, {}, table));
    EXPECT_EQ((*table)[0].total_results, "2");
    std::map<std::string, const Tbk_Items_Info*> byId;
    for (int i = 0; i < 2; ++i) byId[(*table)[i].num_iid] = &(*table)[i];
    ASSERT_EQ(byId.count("20000003"), 1u);
    ASSERT_EQ(byId.count("20000004"), 1u);
    // Addresses from the feed are kept; the others are the service's own.
    EXPECT_EQ(byId["20000004"]->pic_url, "https://img.example.com/20000004.jpg");
    EXPECT_EQ(byId["20000003"]->pic_url, proxy->BaseUrl() + "pic/20000003.jpg");
    EXPECT_EQ(byId["20000003"]->click_url, "https://shop.example.com/item/20000003");
    EXPECT_EQ(byId["20000004"]->title,
              Utf8ToGbk("<span class=h>手机</span>壳 &quot;防摔&quot; 透明硅胶"));
    // Texts reach the result page as HTML: markup from a feed arrives as text.
    EXPECT_EQ(HighlightTitle("<b onclick='x'>&手机</b>", {"手机"}),
              "&lt;b onclick=&#39;x&#39;&gt;&amp;<span class=h>手机</span>&lt;/b&gt;");
    EXPECT_EQ(HtmlText("A&B <i>"), "A&amp;B &lt;i&gt;");
    EXPECT_EQ(byId["20000004"]->commission, "1.98");  // 20 % of 9.90, as none was given
}

TEST(FeedImport, RefusesABadRowAndLeavesTheCatalogueAsItWas) {
    const std::string header =
        "num_iid,title,nick,price,category,guarantee,seller_credit_score,item_location\n";
    const std::string good = "30000001,好物,店,1.00,男装 > T恤,true,3,上海\n";
    struct Case {
        const char* label;
        const char* file;
        std::string feed;
        const char* where;  // "file:line: reason", the reason's start
    };
    const Case cases[] = {
        {"missing column", "a.csv", "num_iid,title,nick,price,category\n1,a,b,1,c\n",
         ":1: missing column seller_credit_score"},
        {"price not a number", "a.csv", header + good + "30000002,t,n,12元,男装,true,3,上海\n",
         ":3: price '12元'"},
        {"too many decimals", "a.csv", header + "30000002,t,n,1.005,男装,true,3,上海\n",
         ":2: price '1.005'"},
        {"credit out of range", "a.csv",
         header + good + good + "30000002,t,n,1,男装,true,21,上海\n",
         ":4: seller_credit_score '21'"},
        {"invalid UTF-8", "a.csv", header + "30000002,t\xC3\x28,n,1,男装,true,3,上海\n",
         ":2: title is not valid UTF-8"},
        {"field missing in a row", "a.csv", header + "30000002,t,n,1,男装,true,3\n",
         ":2: 7 fields where the header has 8"},
        {"quote never closed", "a.csv", header + good + "30000002,\"t,n,1,男装,true,3,上海\n",
         ":3: a quoted field is never closed"},
        {"script address", "a.csv",
         "num_iid,title,nick,price,category,seller_credit_score,item_location,click_url\n"
         "30000002,t,n,1,男装,3,上海,javascript:alert(1)\n",
         ":2: click_url is not an http or https address"},
        {"four levels", "a.csv", header + "30000002,t,n,1,a > b > c > d,true,3,上海\n",
         ":2: category has more than three levels"},
        {"guarantee word", "a.csv", header + "30000002,t,n,1,男装,yes,3,上海\n",
         ":2: guarantee 'yes'"},
        {"empty title", "a.csv", header + "30000002,,n,1,男装,true,3,上海\n", ":2: missing title"},
        {"not JSON", "a.jsonl",
         "{\"num_iid\":30000002,\"title\":\"t\",\"nick\":\"n\",\"price\":1,\"category\":\"男装\","
         "\"seller_credit_score\":3,\"item_location\":\"上海\"}\n{oops\n",
         ":2: not a JSON object"},
        {"unknown JSON field", "a.jsonl", "{\"num_iid\":1,\"prize\":3}\n",
         ":1: unknown field 'prize'"},
        {"JSON without a field", "a.jsonl",
         "{\"num_iid\":30000002,\"title\":\"t\",\"nick\":\"n\",\"category\":\"男装\","
         "\"seller_credit_score\":3,\"item_location\":\"上海\"}\n",
         ":1: missing price"},
    };
    TempDir dir;
    const fs::path db = dir / "c.db";
    {
        auto store = OpenStore(db, CatalogueStore::Mode::ReadWrite);
        ASSERT_TRUE(store);
        ImportCount count;
        std::string error;
        ASSERT_TRUE(ImportFeed((kFeeds / "example.csv").string(), *store, count, error)) << error;
    }
    const std::string before = ReadAll(db);
    for (const Case& c : cases) {
        const fs::path feed = dir / c.file;
        WriteAll(feed, c.feed);
        auto store = OpenStore(db, CatalogueStore::Mode::ReadWrite);
        ASSERT_TRUE(store);
        ImportCount count;
        std::string error;
        EXPECT_FALSE(ImportFeed(feed.string(), *store, count, error)) << c.label;
        EXPECT_EQ(error.rfind(feed.string() + c.where, 0), 0u) << c.label << ": " << error;
        Catalogue cat;
        ASSERT_TRUE(store->Load(cat, error)) << error;
        EXPECT_EQ(cat.Items().size(), 5u) << c.label;
        EXPECT_FALSE(cat.FindItem(30000001)) << c.label;
        store.reset();
        EXPECT_TRUE(ReadAll(db) == before) << c.label;
    }
}

TEST(CatalogueFile, RefusedWithAOneLineReason) {
    TempDir dir;
    {
        auto store = OpenStore(dir / "good.db", CatalogueStore::Mode::CreateNew);
        std::string error;
        ASSERT_TRUE(store && store->Save(Catalogue(2000, 1), error)) << error;
    }
    std::string good = ReadAll(dir / "good.db");
    ASSERT_GT(good.size(), 8192u);
    // Every page past the header damaged, as a broken copy would leave it.
    std::string damaged = good;
    for (size_t at = 4096; at < damaged.size(); at += 7) damaged[at] = '\x5A';
    WriteAll(dir / "damaged.db", damaged);
    WriteAll(dir / "text.db", "num_iid,title\n1,a\n");
    {
        sqlite3* db = nullptr;
        sqlite3_open((dir / "foreign.db").c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    fs::create_directory(dir / "folder.db");
    const std::pair<const char*, const char*> cases[] = {
        {"missing.db", "No such file"}, {"folder.db", "is not a file"},
        {"text.db", "not a database"},  {"foreign.db", "not a Quellot catalogue"},
        {"damaged.db", "malformed"},
    };
    for (const auto& [name, reason] : cases) {
        ProxyOptions o;
        o.port = 0;
        o.accessLog = false;
        o.catalogue = (dir / name).string();
        ProxyServer server(o);
        std::string error;
        EXPECT_FALSE(server.Start(error)) << name;
        EXPECT_NE(error.find(reason), std::string::npos) << name << ": " << error;
        EXPECT_NE(error.find(name), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    // Generating never overwrites.
    std::string error;
    EXPECT_FALSE(
        CatalogueStore::Open((dir / "good.db").string(), CatalogueStore::Mode::CreateNew, error));
    EXPECT_EQ(ReadAll(dir / "good.db"), good);
}

TEST(Pictures, CacheableWithATagAndNotSentAgain) {
    auto proxy = StartTestProxy({.items = 50});
    httplib::Client http("127.0.0.1", proxy->Port());
    for (const auto& [path, width, height] : {std::tuple{"/pic/10000007.jpg_sum.jpg", 80, 80},
                                              std::tuple{"/pic/10000007.jpg_160x160.jpg", 160, 160},
                                              std::tuple{"/newrank/s_crown_3.gif", 48, 16}}) {
        auto res = http.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Cache-Control"), "public, max-age=86400, immutable");
        std::string etag = res->get_header_value("ETag");
        ASSERT_FALSE(etag.empty()) << path;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, res->body.data(), res->body.size()))
            << path;
        EXPECT_EQ(image.width, static_cast<unsigned>(width)) << path;
        EXPECT_EQ(image.height, static_cast<unsigned>(height)) << path;
        std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
        image.format = PNG_FORMAT_RGBA;
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << path;

        for (const std::string& asked : {etag, "\"other\", W/" + etag}) {
            auto again = http.Get(path, {{"If-None-Match", asked}});
            ASSERT_TRUE(again);
            EXPECT_EQ(again->status, 304) << path << " " << asked;
            EXPECT_TRUE(again->body.empty());
        }
        auto other = http.Get(path, {{"If-None-Match", "\"p1-1-80\""}});
        ASSERT_TRUE(other);
        EXPECT_EQ(other->status, 200);
        EXPECT_EQ(other->body, res->body);
    }
    // The two sizes of one item are different pictures under different tags.
    auto small = http.Get("/pic/10000007.jpg_sum.jpg"),
         big = http.Get("/pic/10000007.jpg_160x160.jpg");
    ASSERT_TRUE(small && big);
    EXPECT_NE(small->get_header_value("ETag"), big->get_header_value("ETag"));
}
