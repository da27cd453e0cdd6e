#include <gtest/gtest.h>

#include "PageLiterals.h"
#include "ResultPage.h"

namespace {

TAB TabWith(int count) {
    TAB t;
    for (int i = 0; i < count; ++i) {
        Tbk_Items_Info& it = t.Items[i];
        std::string n = std::to_string(i);
        it.title = "\xC9\xCC\xC6\xB7" + n;  // 商品n
        it.nick = "nick" + n;
        it.price = n + ".50";
        it.pic_url = "http://p/" + n + ".jpg";
        it.click_url = "http://c/" + n;
        it.shop_click_url = "http://s/" + n;
        it.seller_credit_score = std::to_string(i % 20 + 1);
        it.item_location = "\xD5\xE3\xBD\xAD";  // 浙江
        it.volume = std::to_string(i * 7);
    }
    return t;
}

const char* const kIcons[20] = {"b_red_1.gif",   "b_red_2.gif",   "b_red_3.gif",   "b_red_4.gif",
                                "b_red_5.gif",   "s_blue_1.gif",  "s_blue_2.gif",  "s_blue_3.gif",
                                "s_blue_4.gif",  "s_blue_5.gif",  "s_cap_1.gif",   "s_cap_2.gif",
                                "s_cap_3.gif",   "s_cap_4.gif",   "s_cap_5.gif",   "s_crown_1.gif",
                                "s_crown_2.gif", "s_crown_3.gif", "s_crown_4.gif", "s_crown_5.gif"};

Text ExpectedList(const TAB& t, int count) {
    using namespace expected;
    Text page = ListHead();
    for (int i = 0; i < count; ++i) {
        const auto& it = t.Items[i];
        page += ListItemOpen() + ListPicture(std::to_string(i), it.pic_url) +
                ListTitle(it.click_url, it.title) + ListNick(it.shop_click_url, it.nick) +
                ListPrice(it.price) + ListLocation(it.item_location) + ListSold(it.volume) +
                ListCredit(kIcons[i % 20]) + ListItemClose();
    }
    return page + PageEnd();
}

Text ExpectedGrid(const TAB& t, int count) {
    using namespace expected;
    Text page = GridHead();
    for (int i = 0; i < count; ++i) {
        const auto& it = t.Items[i];
        page += GridItemOpen() + GridPicture(std::to_string(i), it.pic_url) +
                GridTitle(it.click_url, it.title) + GridPrice(it.price) + GridSold(it.volume) +
                GridNick(it.shop_click_url, it.nick, kIcons[i % 20]) +
                GridLocation(it.item_location) + GridItemClose();
    }
    return page + PageEnd();
}

}  // namespace

TEST(ResultPage, BothLayoutsPieceByPiece) {
    for (int count : {0, 3, 40}) {
        TAB t = TabWith(count);
        EXPECT_EQ(BuildListPage(t), ExpectedList(t, count)) << count;
        EXPECT_EQ(BuildGridPage(t), ExpectedGrid(t, count)) << count;
        t.ViewIndex = 1;
        EXPECT_EQ(BuildPage(t), ExpectedGrid(t, count));
        t.ViewIndex = 0;
        EXPECT_EQ(BuildPage(t), ExpectedList(t, count));
    }
    Text forty = BuildListPage(TabWith(40));
    EXPECT_NE(forty.find("OnPic(39)"), Text::npos);
    EXPECT_EQ(forty.find("OnPic(40)"), Text::npos);
    // 30天售出 in the list, 30天已售出 in the grid
    EXPECT_NE(forty.find("30\xCC\xEC\xCA\xDB\xB3\xF6 7 "), Text::npos);
    EXPECT_NE(BuildGridPage(TabWith(2)).find("30\xCC\xEC\xD2\xD1\xCA\xDB\xB3\xF6 7 "), Text::npos);
}

TEST(ResultPage, EndsAtTheFirstEmptyTitle) {
    TAB t = TabWith(12);
    t.Items[20] = t.Items[0];  // a stale entry after the end
    EXPECT_EQ(BuildGridPage(t), ExpectedGrid(t, 12));
}

TEST(ResultPage, CreditPictureAndPercentSigns) {
    const std::pair<const char*, const char*> scores[] = {{"1", "b_red_1.gif"},
                                                          {"6", "s_blue_1.gif"},
                                                          {"20", "s_crown_5.gif"},
                                                          {"0", ""},
                                                          {"21", ""},
                                                          {"", ""},
                                                          {"x", ""}};
    for (auto [score, icon] : scores) {
        TAB t = TabWith(1);
        t.Items[0].seller_credit_score = score;
        EXPECT_NE(BuildListPage(t).find(expected::ListCredit(icon)), Text::npos) << score;
        EXPECT_NE(BuildGridPage(t).find(RankIconBaseUrl + "/newrank/" + icon + "\" />"), Text::npos)
            << score;
    }
    TAB t = TabWith(1);
    t.Items[0].title = "<span class=h>\xCA\xD6\xBB\xFA</span> 100% %s %d";
    Text page = BuildListPage(t);
    EXPECT_NE(page.find("<span class=h>\xCA\xD6\xBB\xFA</span> 100% %s %d</span>"), Text::npos);
    EXPECT_EQ(page, ExpectedList(t, 1));
    t.Items[0].price = "%d";  // not a number: shows nothing, and is not a placeholder either
    EXPECT_NE(BuildListPage(t).find(">\xA3\xA4</span><span class=\"b\"></span>"), Text::npos);
}

TEST(ResultPage, StreamForTheBrowser) {
    const std::pair<std::string, std::string> cases[] = {
        {"a", "a\r\n"},
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\rb\nc", "a\r\nb\r\nc\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},
        {"a\r\n", "a\r\n"},
        {"a\r\n\r\n", "a\r\n\r\n"},
        {"", ""},
        {"\xCA\xD6\n", "\xCA\xD6\r\n"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(HtmlStream(in), out);
    Text page = BuildListPage(TabWith(3));
    EXPECT_EQ(HtmlStream(page), page + "\r\n");  // the pages hold no line ends of their own
}
