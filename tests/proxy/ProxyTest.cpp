#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "CategoryNames.h"
#include "Http.h"
#include "MD5.h"
#include "ProxyServer.h"
#include "ServiceReplies.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"
#include "TestProxy.h"
#include "Xml.h"
#include "ok.h"

namespace {

const char* const kPid = "mm_27418305_0_0";

class Proxy : public testing::Test {
protected:
    static void SetUpTestSuite() { gServer = StartTestProxy({.items = 3000, .seed = 7}).release(); }
    static void TearDownTestSuite() {
        delete gServer;
        gServer = nullptr;
    }

    static Tbk_Items_Cond Defaults() { return StartUpConditions(gServer->BaseUrl(), kPid); }
    // The items of a successful search, up to the first empty title.
    std::vector<Tbk_Items_Info> Search(const Tbk_Items_Cond& cond) {
        ATbk_Items_Info* table = nullptr;
        EXPECT_TRUE(FItems.GetItems(cond, {}, table)) << FItems.LastUrl();
        std::vector<Tbk_Items_Info> out;
        for (int i = 0; table && i < 40 && !(*table)[i].title.empty(); ++i)
            out.push_back((*table)[i]);
        return out;
    }
    static std::string Get(const std::string& url, bool* ok = nullptr) {
        HttpClient http;
        std::string body;
        bool got = http.Get(url, body);
        if (ok) *ok = got;
        return body;
    }
    static bool IsErrorDocument(const std::string& body) {
        XmlDocument doc;
        return doc.Parse(body) && !ChildElement(doc.Root(), "total_results") &&
               std::string(reinterpret_cast<const char*>(doc.Root()->name)) == "error_response";
    }

    static ProxyServer* gServer;
    TTaobaoke_Items FItems;
};
ProxyServer* Proxy::gServer = nullptr;

// An oracle written apart from the server's own filter.
struct Expect {
    int cid = 0;
    std::string word;  // UTF-8, ASCII letters compared without case
    std::vector<std::string> areas;
    int64_t minCents = 0, maxCents = INT64_MAX;
    int minCredit = 5, maxCredit = 20;
    bool guarantee = false;
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Wanted(const Catalogue& cat, const Item& it, const Expect& e) {
    bool inCategory = e.cid == 0;
    for (const Category* c = cat.Find(it.cid); c && !inCategory; c = cat.Find(c->parent_cid))
        inCategory = c->cid == e.cid;
    bool inArea = e.areas.empty();
    for (const std::string& a : e.areas)
        inArea |=
            it.location == a || it.location.rfind(a + " ", 0) == 0 ||
            (it.location.size() > a.size() && it.location.compare(it.location.size() - a.size() - 1,
                                                                  std::string::npos, " " + a) == 0);
    return inCategory && inArea && it.priceCents >= e.minCents && it.priceCents <= e.maxCents &&
           it.credit >= e.minCredit && it.credit <= e.maxCredit && (!e.guarantee || it.guarantee) &&
           Lower(it.title).find(Lower(e.word)) != std::string::npos;
}

}  // namespace

TEST_F(Proxy, AcceptsTheClientsSignatureAndRejectsAForgedOne) {
    ASSERT_FALSE(Search(Defaults()).empty());
    std::string url = FItems.LastUrl();
    bool ok = false;
    std::string body = Get(url, &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(IsErrorDocument(body));

    std::string forged = url;
    forged.replace(forged.find("page_no=1"), 9, "page_no=2");
    std::string badSign = url;
    badSign.back() = badSign.back() == '0' ? '1' : '0';
    std::string badPid = url;
    badPid.replace(badPid.find("pid=mm_"), 7, "pid=xx_");
    std::string noFields = url;
    noFields.replace(noFields.find("fields="), 7, "fieldz=");
    for (const std::string& u : {forged, badSign, badPid, noFields}) {
        EXPECT_TRUE(IsErrorDocument(Get(u))) << u;
    }
    Tbk_Items_Cond wrongPid = Defaults();
    wrongPid.pid = "mm_1_0_1";
    ATbk_Items_Info* table = nullptr;
    EXPECT_FALSE(FItems.GetItems(wrongPid, {}, table));
}

TEST_F(Proxy, FiltersMatchAnIndependentCount) {
    const Catalogue& cat = gServer->Items();
    const Category* phones =
        cat.Find(CategoryPicture(Utf8ToGbk("手机")));  // top-level cid = position + 1
    ASSERT_NE(phones, nullptr);
    ASSERT_EQ(phones->name, "手机");
    const Category* child = cat.Find(phones->children.front());
    ASSERT_FALSE(child->children.empty());
    const Category* grandchild = cat.Find(child->children.front());

    struct Case {
        std::string label;
        std::function<void(Tbk_Items_Cond&)> set;
        Expect expect;
    };
    std::vector<Case> cases = {
        {"defaults", [](auto&) {}, {}},
        {"keyword", [](auto& c) { c.keyword = Utf8ToGbk("手机"); }, {.word = "手机"}},
        {"ascii case", [](auto& c) { c.keyword = Utf8ToGbk("t恤"); }, {.word = "T恤"}},
        {"top category",
         [&](auto& c) { c.cid = std::to_string(phones->cid); },
         {.cid = phones->cid}},
        {"child category",
         [&](auto& c) { c.cid = std::to_string(child->cid); },
         {.cid = child->cid}},
        {"grandchild",
         [&](auto& c) { c.cid = std::to_string(grandchild->cid); },
         {.cid = grandchild->cid}},
        {"unknown category", [](auto& c) { c.cid = "999999"; }, {.cid = 999999}},
        {"region group",
         [](auto& c) { c.area = TableValue(RegionValues(), 1); },
         {.areas = {"江苏", "浙江", "上海"}}},
        {"city", [](auto& c) { c.area = TableValue(RegionValues(), 8); }, {.areas = {"杭州"}}},
        {"prices",
         [](auto& c) {
             c.start_price = "100";
             c.end_price = "500";
         },
         {.minCents = 10000, .maxCents = 50000}},
        {"credits reversed",
         [](auto& c) {
             c.start_credit = "3crown";
             c.end_credit = "2heart";
         },
         {.minCredit = 2, .maxCredit = 13}},
        {"guarantee", [](auto& c) { c.guarantee = "true"; }, {.guarantee = true}},
        {"combined",
         [&](auto& c) {
             c.cid = std::to_string(phones->cid);
             c.guarantee = "true";
             c.start_price = "1000";
         },
         {.cid = phones->cid, .minCents = 100000, .guarantee = true}},
    };
    for (const Case& c : cases) {
        Tbk_Items_Cond cond = Defaults();
        c.set(cond);
        std::vector<Tbk_Items_Info> page = Search(cond);
        int64_t expected = std::count_if(cat.Items().begin(), cat.Items().end(),
                                         [&](const Item& it) { return Wanted(cat, it, c.expect); });
        ASSERT_TRUE(c.label == "unknown category" || expected > 0) << c.label;
        EXPECT_EQ(page.size(), std::min<int64_t>(expected, 40)) << c.label;
        if (!page.empty()) {
            EXPECT_EQ(page[0].total_results, std::to_string(expected)) << c.label;
        }
    }
}

TEST_F(Proxy, SortOrdersAndPages) {
    const Catalogue& cat = gServer->Items();
    auto itemOf = [&](const Tbk_Items_Info& info) -> const Item& {
        return cat.Items()[std::stoll(info.num_iid) - cat.Items().front().num_iid];
    };
    using Less = std::function<bool(const Item&, const Item&)>;
    const std::pair<const char*, Less> sorts[] = {
        {"commissionVolume_desc",
         [](const Item& a, const Item& b) {
             return a.commissionVolumeCents > b.commissionVolumeCents;
         }},
        {"price_asc", [](const Item& a, const Item& b) { return a.priceCents < b.priceCents; }},
        {"price_desc", [](const Item& a, const Item& b) { return a.priceCents > b.priceCents; }},
        {"credit_desc", [](const Item& a, const Item& b) { return a.credit > b.credit; }},
        {"commissionNum_desc", [](const Item& a, const Item& b) { return a.volume > b.volume; }},
    };
    for (const auto& [key, before] : sorts) {
        Tbk_Items_Cond cond = Defaults();
        cond.sort = key;
        std::vector<const Item*> all;
        for (int page = 1; page <= 3; ++page) {
            cond.page_no = std::to_string(page);
            for (const auto& info : Search(cond)) all.push_back(&itemOf(info));
        }
        ASSERT_EQ(all.size(), 120u) << key;
        for (size_t i = 1; i < all.size(); ++i) {
            const Item& a = *all[i - 1];
            const Item& b = *all[i];
            EXPECT_FALSE(before(b, a)) << key << " at " << i;
            if (!before(a, b)) {
                EXPECT_LT(a.num_iid, b.num_iid) << key << " tie at " << i;
            }
        }
        // Nothing before the first page's head is left out.
        Expect e;
        const Item* best = nullptr;
        for (const Item& it : cat.Items())
            if (Wanted(cat, it, e) &&
                (!best || before(it, *best) || (!before(*best, it) && it.num_iid < best->num_iid)))
                best = &it;
        EXPECT_EQ(all.front(), best) << key;
    }
    // A page past the end is empty but still counts everything.
    Tbk_Items_Cond cond = Defaults();
    cond.page_no = "100000";
    ATbk_Items_Info* table = nullptr;
    ASSERT_TRUE(FItems.GetItems(cond, {}, table));
    EXPECT_EQ((*table)[0].title, "");
    EXPECT_EQ(Get(FItems.LastUrl()).find("<taobaoke_items></taobaoke_items>") != std::string::npos,
              true);
}

TEST_F(Proxy, HighlightsTheKeywordAndSendsOnlyRequestedFields) {
    Tbk_Items_Cond cond = Defaults();
    cond.keyword = Utf8ToGbk("手机");
    auto page = Search(cond);
    ASSERT_FALSE(page.empty());
    EXPECT_NE(page[0].title.find(Utf8ToGbk("<span class=h>手机</span>")), std::string::npos);

    std::string url = SignQuery(gServer->BaseUrl() + "taobao/tbk_items.php",
                                "fields=title,price&cid=0&page_no=2", kPid, "02");
    std::string body = Get(url);
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(body)) << body;
    xmlNode* items = ChildElement(doc.Root(), "taobaoke_items");
    ASSERT_NE(items, nullptr);
    xmlNode* first = items->children;
    ASSERT_NE(first, nullptr);
    int fields = 0;
    for (xmlNode* n = first->children; n; n = n->next) ++fields;
    EXPECT_EQ(fields, 2);
    EXPECT_NE(ChildElement(first, "title"), nullptr);
    EXPECT_NE(ChildElement(first, "price"), nullptr);
}

TEST_F(Proxy, MalformedQueriesGetAnErrorDocument) {
    const std::string base = gServer->BaseUrl() + "taobao/tbk_items.php?";
    auto signedWith = [&](const std::string& params, const std::string& values) {
        return SignQuery(gServer->BaseUrl() + "taobao/tbk_items.php", "fields=title" + params, kPid,
                         values);
    };
    const std::string cases[] = {
        base,
        base + "fields=title&keyword=%G1",
        base + "fields=title&keyword=%",
        base + "fields=title,title",
        base + "fields=bogus",
        signedWith("&page_no=abc", "abc"),
        signedWith("&page_no=0", "0"),
        signedWith("&page_no=99999999999999999999", "99999999999999999999"),
        signedWith("&cid=-4", "-4"),
        signedWith("&start_price=1e9", "1e9"),
        signedWith("&sort=random", "random"),
        signedWith("&start_credit=6heart", "6heart"),
        signedWith("&keyword=%FF", "\xFF"),
        signedWith("&cid=1&cid=2", "12"),
    };
    for (const std::string& url : cases) {
        bool ok = false;
        std::string body = Get(url, &ok);
        EXPECT_TRUE(ok) << url;
        EXPECT_TRUE(IsErrorDocument(body)) << url << "\n" << body;
    }
    // Still serving.
    EXPECT_FALSE(Search(Defaults()).empty());
}

TEST_F(Proxy, CategoryLevels) {
    TTaobao_Itemcats cats;
    Tb_Itemcats_Cond c;
    c.pid = kPid;
    c.url = gServer->BaseUrl() + "taobao/tb_itemcats.php";
    c.parent_cid = "0";
    ATb_Itemcats_Info* table = nullptr;
    ASSERT_TRUE(cats.GetItemcats(c, {}, table));
    for (int k = 0; k < 65; ++k) {
        EXPECT_EQ((*table)[k].name, CategoryNames()[k]) << k;
        EXPECT_EQ(CategoryPicture((*table)[k].name), k + 1);
        EXPECT_EQ((*table)[k].is_parent, "true") << k;
    }
    EXPECT_EQ((*table)[65].cid, "");

    // Some second-level categories have children of their own, and those have none.
    std::vector<std::string> tops;  // the table is rewritten by every call
    for (int k = 0; k < 65; ++k) tops.push_back((*table)[k].cid);
    int withChildren = 0;
    for (int k = 0; k < 65; ++k) {
        Tb_Itemcats_Cond sub = c;
        const std::string& top = tops[k];
        sub.parent_cid = top;
        ATb_Itemcats_Info* level2 = nullptr;
        ASSERT_TRUE(cats.GetItemcats(sub, {}, level2));
        ASSERT_FALSE((*level2)[0].cid.empty()) << k;
        EXPECT_EQ((*level2)[0].parent_cid, top);
        std::vector<std::string> parents;
        for (int i = 0; i < 71 && !(*level2)[i].cid.empty(); ++i)
            if ((*level2)[i].is_parent == "true") parents.push_back((*level2)[i].cid);
        for (const std::string& p : parents) {
            ++withChildren;
            sub.parent_cid = p;
            ATb_Itemcats_Info* level3 = nullptr;
            ASSERT_TRUE(cats.GetItemcats(sub, {}, level3));
            ASSERT_FALSE((*level3)[0].cid.empty());
            EXPECT_EQ((*level3)[0].is_parent, "false");
        }
    }
    EXPECT_GT(withChildren, 5);

    Tb_Itemcats_Cond byIds = c;
    byIds.parent_cid.clear();
    byIds.cids = "35,1";
    ASSERT_TRUE(cats.GetItemcats(byIds, {}, table));
    EXPECT_EQ((*table)[0].name, Utf8ToGbk("手机"));
    EXPECT_EQ((*table)[1].name, Utf8ToGbk("女装/女士精品"));
    EXPECT_EQ((*table)[2].cid, "");
}

TEST_F(Proxy, SoftInfoPicturesAndCounters) {
    TOK ok;
    SOFT_INFO info;
    ASSERT_TRUE(ok.GetSoftInfo(gServer->BaseUrl() + "taobao/IV/ok.php", kPid, info));
    EXPECT_EQ(info.version, "v2.0");
    EXPECT_EQ(info.update_name, "Quellot");
    EXPECT_EQ(info.update_url, gServer->BaseUrl() + "update/Quellot.zip");

    auto page = Search(Defaults());
    ASSERT_GE(page.size(), 2u);
    HttpClient http;
    std::string a, b;
    ASSERT_TRUE(http.Get(page[0].pic_url + "_sum.jpg", a));
    ASSERT_TRUE(http.Get(page[1].pic_url + "_160x160.jpg", b));
    EXPECT_EQ(a.rfind("\x89PNG\r\n\x1a\n", 0), 0u);
    EXPECT_NE(a, b);
    for (const Text& icon : CreditIcons()) {
        std::string svg;
        EXPECT_TRUE(http.Get(gServer->BaseUrl() + "newrank/" + icon, svg)) << icon;
    }
    std::string body;
    EXPECT_FALSE(http.Get(gServer->BaseUrl() + "newrank/b_red_6.gif", body));
    EXPECT_TRUE(http.Get(page[0].click_url, body));
    EXPECT_TRUE(http.Get(page[0].shop_click_url, body));

    int before = gServer->Count("count");
    EXPECT_TRUE(http.Get(gServer->BaseUrl() + "taobao/IV/count.html", body));
    EXPECT_EQ(gServer->Count("count"), before + 1);
    ASSERT_TRUE(http.Get(gServer->BaseUrl() + "stats", body));
    EXPECT_NE(body.find("\"count\":" + std::to_string(before + 1)), std::string::npos) << body;
    // The start page the client's browser button opens.
    ASSERT_TRUE(http.Get(gServer->BaseUrl(), body));
    EXPECT_NE(body.find("<h1>Quellot</h1>"), std::string::npos) << body;
}

TEST_F(Proxy, ServesConcurrentClients) {
    auto run = [](int* failures) {
        TTaobaoke_Items client;
        for (int i = 0; i < 30; ++i) {
            Tbk_Items_Cond c = Defaults();
            c.page_no = std::to_string(i % 5 + 1);
            ATbk_Items_Info* t = nullptr;
            if (!client.GetItems(c, {}, t) || (*t)[0].title.empty()) ++*failures;
        }
    };
    int f1 = 0, f2 = 0;
    std::thread t1(run, &f1), t2(run, &f2);
    t1.join();
    t2.join();
    EXPECT_EQ(f1 + f2, 0);
}

TEST(ProxyOptions, OffersTheConfiguredUpdateAndRefusesATakenPort) {
    std::string package = testing::TempDir() + "quellot_pkg.zip";
    { std::ofstream(package, std::ios::binary) << "PK\x05\x06" << std::string(18, '\0'); }
    auto started = StartTestProxy({.items = 10,
                                   .offerVersion = "v2.1",
                                   .updatePackage = package,
                                   .updateName = "QuellotNew"});
    ProxyServer& server = *started;
    TOK ok;
    SOFT_INFO info;
    ASSERT_TRUE(ok.GetSoftInfo(server.BaseUrl() + "taobao/IV/ok.php", kPid, info));
    EXPECT_EQ(info.version, "v2.1");
    EXPECT_EQ(info.update_name, "QuellotNew");
    HttpClient http;
    std::string body;
    ASSERT_TRUE(http.Get(info.update_url, body));
    EXPECT_EQ(body.size(), 22u);

    ProxyOptions same;
    same.port = server.Port();
    same.items = 10;
    same.accessLog = false;
    ProxyServer second(same);
    std::string error;
    EXPECT_FALSE(second.Start(error));
    EXPECT_NE(error.find("in use"), std::string::npos);
}

TEST(Catalogue, IsDeterministicForASeed) {
    Catalogue a(500, 3), b(500, 3), c(500, 4);
    ASSERT_EQ(a.Items().size(), 500u);
    bool differs = false;
    for (size_t i = 0; i < 500; ++i) {
        EXPECT_EQ(a.Items()[i].title, b.Items()[i].title);
        EXPECT_EQ(a.Items()[i].priceCents, b.Items()[i].priceCents);
        differs |= a.Items()[i].title != c.Items()[i].title;
        EXPECT_GE(a.Items()[i].credit, 1);
        EXPECT_LE(a.Items()[i].credit, 20);
    }
    EXPECT_TRUE(differs);
}
