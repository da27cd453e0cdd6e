#include <gtest/gtest.h>

#include "Criteria.h"
#include "Pager.h"
#include "ResultPage.h"
#include "Service.h"
#include "Tabs.h"

namespace {

const Text kPhone = "\xCA\xD6\xBB\xFA";                          // 手机
const Text kAllCategories = "\xCB\xF9\xD3\xD0\xC0\xE0\xC4\xBF";  // 所有类目

Criteria StartUp() {
    Criteria c;
    c.NodeCaption = kAllCategories;
    c.StartPrice = "0";
    c.EndPrice = "999999999";
    c.EndPriceValue = 999999999;
    c.StartCreditIndex = 4;
    c.EndCreditIndex = 19;
    return c;
}

ATbk_Items_Info Reply(int count, const Text& total) {
    ATbk_Items_Info r{};
    for (int i = 0; i < count; ++i) {
        Tbk_Items_Info& it = r[i];
        std::string n = std::to_string(i);
        it.title = "title" + n;
        it.nick = "nick" + n;
        it.price = n + ".00";
        it.pic_url = "http://p/" + n + ".jpg";
        it.click_url = "http://c/" + n;
        it.shop_click_url = "http://s/" + n;
        it.seller_credit_score = std::to_string(i % 20 + 1);
        it.item_location = "loc" + n;
        it.volume = std::to_string(i * 3);
        it.total_results = total;
        it.num_iid = n;
        it.commission = "9";
    }
    return r;
}

}  // namespace

TEST(SearchKey, KnownAnswers) {
    Criteria c = StartUp();
    c.Keyword = kPhone;
    EXPECT_EQ(SearchKey(c), "2eda141b82c9924def89a9e22b978126");
    c.Keyword.clear();
    EXPECT_EQ(SearchKey(c), "8cd56c650f8c9076f85e815efb9180a6");
    Criteria ab = StartUp(), a = StartUp();
    ab.Keyword = "ab";
    ab.NodeCaption = "c";
    a.Keyword = "a";
    a.NodeCaption = "bc";
    EXPECT_EQ(SearchKey(ab), "3e0a5d6c1cd83582d184009891c667db");
    EXPECT_EQ(SearchKey(a), SearchKey(ab));
}

TEST(SearchKey, ViewPageAndCategoryIdAreNotPartOfIt) {
    Criteria a = StartUp(), b = StartUp();
    b.ViewIndex = 1;
    b.CategoryId = 16;
    EXPECT_EQ(SearchKey(a), SearchKey(b));
    for (auto change : std::initializer_list<void (*)(Criteria&)>{
             [](Criteria& c) { c.SortIndex = 1; }, [](Criteria& c) { c.AreaIndex = -1; },
             [](Criteria& c) { c.Guarantee = true; }, [](Criteria& c) { c.EndPrice = "999"; }}) {
        Criteria d = StartUp();
        change(d);
        EXPECT_NE(SearchKey(d), SearchKey(a));
    }
}

TEST(Criteria, Normalisation) {
    struct Case {
        Text keyword;
        int64_t lo, hi;
        int c1, c2;
        Text wantKeyword;
        int64_t wantLo, wantHi;
        int wantC1, wantC2;
        bool kw, prices, credits;
    };
    const Case cases[] = {
        {"  abc \t", 0, 10, 4, 19, "abc", 0, 10, 4, 19, true, false, false},
        {"\x01"
         "a b\x20",
         5, 5, 3, 3, "a b", 5, 5, 3, 3, true, false, false},
        {"   ", 0, 1, 0, 0, "", 0, 1, 0, 0, true, false, false},
        {"x", 500, 100, 4, 19, "x", 100, 500, 4, 19, false, true, false},
        {"x", 0, 1, 10, 3, "x", 0, 1, 3, 10, false, false, true},
        {kPhone + " ", 9, 8, 19, 0, kPhone, 8, 9, 0, 19, true, true, true},
    };
    for (const Case& t : cases) {
        Criteria c = StartUp();
        c.Keyword = t.keyword;
        c.StartPriceValue = t.lo;
        c.EndPriceValue = t.hi;
        c.StartPrice = std::to_string(t.lo);
        c.EndPrice = std::to_string(t.hi);
        c.StartCreditIndex = t.c1;
        c.EndCreditIndex = t.c2;
        NormalizeChanges ch = NormalizeCriteria(c);
        EXPECT_EQ(c.Keyword, t.wantKeyword) << t.keyword;
        EXPECT_EQ(c.StartPriceValue, t.wantLo);
        EXPECT_EQ(c.EndPriceValue, t.wantHi);
        EXPECT_EQ(c.StartPrice, std::to_string(t.wantLo));
        EXPECT_EQ(c.EndPrice, std::to_string(t.wantHi));
        EXPECT_EQ(c.StartCreditIndex, t.wantC1);
        EXPECT_EQ(c.EndCreditIndex, t.wantC2);
        EXPECT_EQ(ch.keyword, t.kw);
        EXPECT_EQ(ch.prices, t.prices);
        EXPECT_EQ(ch.credits, t.credits);
    }
    // The key of 500..100 after normalisation is the key of 100..500.
    Criteria swapped = StartUp(), straight = StartUp();
    swapped.StartPrice = "500", swapped.StartPriceValue = 500, swapped.EndPrice = "100",
    swapped.EndPriceValue = 100;
    straight.StartPrice = "100", straight.StartPriceValue = 100, straight.EndPrice = "500",
    straight.EndPriceValue = 500;
    NormalizeCriteria(swapped);
    EXPECT_EQ(SearchKey(swapped), SearchKey(straight));
}

TEST(Criteria, ConditionsFromTheFilterTables) {
    Criteria c = StartUp();
    Tbk_Items_Cond d = BuildConditions(c, 1, "http://h/", "mm_1_0_0");
    EXPECT_EQ(d.cid, "0");
    EXPECT_EQ(d.pid, "mm_1_0_0");
    EXPECT_EQ(d.url, "http://h/taobao/tbk_items.php");
    EXPECT_EQ(d.sort, "commissionVolume_desc");
    EXPECT_EQ(d.start_credit, "5heart");
    EXPECT_EQ(d.end_credit, "5goldencrown");
    EXPECT_EQ(d.area, "");
    EXPECT_EQ(d.page_no, "1");
    EXPECT_EQ(d.guarantee, "");
    EXPECT_EQ(d.start_price, "0");
    EXPECT_EQ(d.end_price, "999999999");
    EXPECT_TRUE(d.auto_send.empty() && d.start_commissionNum.empty() &&
                d.end_commissionRate.empty());

    c.CategoryId = 16;
    c.AreaIndex = 1;
    c.SortIndex = 1;
    c.Keyword = kPhone;
    c.Guarantee = true;
    d = BuildConditions(c, 3, "http://h/", "p");
    EXPECT_EQ(d.cid, "16");
    EXPECT_EQ(d.area, TableValue(RegionValues(), 1));
    EXPECT_EQ(d.sort, "price_asc");
    EXPECT_EQ(d.keyword, kPhone);
    EXPECT_EQ(d.page_no, "3");
    EXPECT_EQ(d.guarantee, "true");

    c.SortIndex = c.StartCreditIndex = c.EndCreditIndex = c.AreaIndex = -1;
    d = BuildConditions(c, 1, "http://h/", "p");
    EXPECT_EQ(d.sort, "");
    EXPECT_EQ(d.start_credit, "");
    EXPECT_EQ(d.end_credit, "");
    EXPECT_EQ(d.area, "");
}

TEST(Tabs, PageCountFromTheTotalReachesEveryItem) {
    const std::pair<Text, int> cases[] = {
        {"0", 0},     {"1", 1},     {"39", 1},      {"40", 1},
        {"41", 2},    {"80", 2},    {"81", 3},      {"106", 3},
        {"3960", 99}, {"3961", 99}, {"100000", 99}, {"", 0},
        {"abc", 0},   {"12x", 0},   {"-80", 0},     {"99999999999999999999999", 99}};
    for (const auto& [total, pages] : cases) EXPECT_EQ(PageCountOf(total), pages) << total;
}

TEST(Tabs, CopyResultsKeepsOnlyTheShownFieldsAndStopsAtAnEmptyTitle) {
    TAB tab;
    CopyResults(tab, Reply(40, "1234"));
    EXPECT_EQ(tab.PageCount, 31);
    EXPECT_EQ(tab.TotalResults, "1234");
    EXPECT_EQ(tab.Items[39].title, "title39");
    EXPECT_EQ(tab.Items[5].item_location, "loc5");
    EXPECT_EQ(tab.Items[5].num_iid, "");
    EXPECT_EQ(tab.Items[5].total_results, "");
    EXPECT_EQ(tab.Items[5].commission, "");

    ATbk_Items_Info ten = Reply(10, "10");
    ten[12].title = "left over from an earlier reply";  // past the end: never read
    CopyResults(tab, ten);
    EXPECT_EQ(tab.PageCount, 1);
    EXPECT_EQ(tab.Items[9].title, "title9");
    for (int i = 10; i < 40; ++i) EXPECT_EQ(tab.Items[i].title, "") << i;

    // Items without a usable total are still one page, and no count is claimed for them.
    for (const Text total : {"", "x", "0"}) {
        CopyResults(tab, Reply(3, total));
        EXPECT_EQ(tab.PageCount, 1) << total;
        EXPECT_EQ(tab.TotalResults, total == "0" ? "0" : "") << total;
    }
    CopyResults(tab, Reply(1, "000106"));
    EXPECT_EQ(tab.TotalResults, "106");
}

TEST(Tabs, OpenFindAndStorePages) {
    TabList tabs;
    EXPECT_EQ(tabs.Active(), -1);
    int n1 = 1, n2 = 2;
    Criteria all = StartUp();
    all.Node = &n1;
    Criteria phone = StartUp();
    phone.Keyword = kPhone;
    phone.Node = &n2;
    phone.ViewIndex = 1;

    EXPECT_EQ(tabs.OpenTab(all, SearchKey(all), 1, Reply(40, "400")), 0);
    EXPECT_EQ(TabList::CaptionFor(all), kAllCategories);
    EXPECT_EQ(tabs.OpenTab(phone, SearchKey(phone), 1, Reply(3, "3")), 1);
    EXPECT_EQ(TabList::CaptionFor(phone), kPhone);
    EXPECT_EQ(tabs.Active(), 1);
    EXPECT_EQ(tabs.At(1).ViewIndex, 1);
    EXPECT_EQ(tabs.At(1).Node, &n2);

    int index = -5;
    EXPECT_TRUE(tabs.FindTab(SearchKey(all), index));
    EXPECT_EQ(index, 0);
    Criteria other = all;
    other.Guarantee = true;
    EXPECT_FALSE(tabs.FindTab(SearchKey(other), index));
    EXPECT_EQ(index, 0);

    // A page search into its tab: new key, page and items, same stored criteria; the tab it was
    // started for need not be the active one.
    uint64_t first = tabs.At(0).Serial;
    EXPECT_NE(first, tabs.At(1).Serial);
    EXPECT_EQ(tabs.IndexOfSerial(first), 0);
    Criteria edited = all;
    edited.Keyword = "edited";
    ASSERT_TRUE(tabs.StorePage(tabs.IndexOfSerial(first), SearchKey(edited), 3, Reply(12, "400")));
    EXPECT_EQ(tabs.At(1).PageNo, 1);
    EXPECT_EQ(tabs.At(1).Items[2].title, "title2");
    EXPECT_EQ(tabs.At(0).PageNo, 3);
    EXPECT_EQ(tabs.At(0).Key, SearchKey(edited));
    EXPECT_EQ(tabs.At(0).Keyword, "");
    EXPECT_EQ(tabs.At(0).PageCount, 10);
    EXPECT_EQ(tabs.At(0).Items[11].title, "title11");
    EXPECT_EQ(tabs.At(0).Items[12].title, "");
    Criteria back = CriteriaOf(tabs.At(0), kAllCategories);
    EXPECT_EQ(back.Node, &n1);
    EXPECT_EQ(back.EndCreditIndex, 19);

    // A closed tab's serial is never found again, not even after another tab opens.
    tabs.SetActive(0);
    ASSERT_TRUE(tabs.Close(1));
    Criteria third = StartUp();
    third.Keyword = "third";
    tabs.OpenTab(third, SearchKey(third), 1, Reply(1, "1"));
    EXPECT_EQ(tabs.IndexOfSerial(first), 0);
    EXPECT_NE(tabs.At(1).Serial, first);
    EXPECT_EQ(tabs.IndexOfSerial(first + 1), -1);
    EXPECT_FALSE(tabs.StorePage(tabs.IndexOfSerial(first + 1), "k", 2, Reply(1, "1")));

    TabList none;
    EXPECT_FALSE(none.StorePage(0, "k", 2, Reply(1, "1")));
}

TEST(Tabs, ClosingRules) {
    struct Case {
        int tabs, close;
        bool closes;
        int neighbour;               // the tab activated before the removal
        int activeAfter;             // its index once the tab is gone
        std::vector<int> remaining;  // tabs by their original positions
    };
    const Case cases[] = {
        {3, 0, true, 1, 0, {1, 2}},       {3, 1, true, 0, 0, {0, 2}},
        {3, 2, true, 1, 1, {0, 1}},       {1, 0, false, -1, 0, {0}},
        {3, -1, false, -1, 2, {0, 1, 2}}, {3, 3, false, -1, 2, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        TabList tabs;
        for (int i = 0; i < c.tabs; ++i) {
            Criteria cr = StartUp();
            cr.Keyword = std::to_string(i);
            tabs.OpenTab(cr, SearchKey(cr), 1, Reply(1, "1"));
        }
        ASSERT_EQ(tabs.CanClose(c.close), c.closes) << c.tabs << "/" << c.close;
        if (c.closes) {
            EXPECT_EQ(tabs.NeighbourOf(c.close), c.neighbour);
            tabs.SetActive(tabs.NeighbourOf(c.close));
        }
        EXPECT_EQ(tabs.Close(c.close), c.closes);
        EXPECT_EQ(tabs.Active(), c.activeAfter) << c.tabs << "/" << c.close;
        ASSERT_EQ(tabs.Count(), static_cast<int>(c.remaining.size()));
        for (size_t i = 0; i < c.remaining.size(); ++i)
            EXPECT_EQ(tabs.At(static_cast<int>(i)).Keyword, std::to_string(c.remaining[i]));
    }
}

TEST(Pager, ButtonsAndPageList) {
    struct Case {
        int count, page;
        bool first, back, next, last;
        int selected;
    };
    const Case cases[] = {
        {0, 1, false, false, false, false, -1}, {1, 1, false, false, false, false, 0},
        {5, 1, false, false, true, true, 0},    {5, 3, true, true, true, true, 2},
        {5, 5, true, true, false, false, 4},    {5, 7, true, true, true, true, -1},
    };
    for (const Case& c : cases) {
        PagerState p = UpdatePager(c.count, c.page);
        EXPECT_EQ(p.first, c.first) << c.count << "/" << c.page;
        EXPECT_EQ(p.back, c.back);
        EXPECT_EQ(p.next, c.next);
        EXPECT_EQ(p.last, c.last);
        EXPECT_EQ(p.selected, c.selected);
        ASSERT_EQ(p.pages.size(), static_cast<size_t>(c.count));
        if (c.count) {
            EXPECT_EQ(p.pages.back(), std::to_string(c.count));
        }
    }
}

TEST(Pager, KeywordHistoryAndSearchGate) {
    KeywordHistory h;
    EXPECT_TRUE(h.RememberKeyword("abc"));
    EXPECT_FALSE(h.RememberKeyword("abc"));
    EXPECT_TRUE(h.RememberKeyword("ABC"));
    EXPECT_FALSE(h.RememberKeyword(""));
    EXPECT_EQ(h.Entries(), (std::vector<Text>{"abc", "ABC"}));

    SearchGate gate;
    EXPECT_TRUE(gate.Idle());
    EXPECT_TRUE(gate.TryBegin());
    EXPECT_FALSE(gate.Idle());
    EXPECT_FALSE(gate.TryBegin());  // a page search is refused like a new one
    gate.End();
    EXPECT_TRUE(gate.TryBegin());
}

TEST(Criteria, CategoryIds) {
    const std::pair<Text, bool> cases[] = {
        {"0", true}, {"16", true}, {"2147483647", true}, {"-5", true},  {"2147483648", false},
        {"", false}, {"-", false}, {"12a", false},       {" 1", false}, {"99999999999", false}};
    for (const auto& [text, ok] : cases) {
        int32_t id = -1;
        EXPECT_EQ(ParseCategoryId(text, id), ok) << text;
        if (ok) {
            EXPECT_EQ(std::to_string(id), text);
        }
    }
}
