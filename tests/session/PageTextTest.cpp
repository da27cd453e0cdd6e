#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "PageMarkup.h"
#include "PageText.h"
#include "ResultPage.h"
#include "Taobaoke_Items.h"

namespace {

struct Case {
    std::string in, out;
};

TEST(PageText, TitlesKeepOnlyTheHighlight) {
    const Case cases[] = {
        {"<span class=h>\xCA\xD6\xBB\xFA</span> 100% %s",
         "<span class=h>\xCA\xD6\xBB\xFA</span> 100% %s"},
        {"<span class=\"h\">a</span><SPAN CLASS='h'>b</Span>",
         "<span class=\"h\">a</span><SPAN CLASS='h'>b</Span>"},
        {"&lt;b&gt; &amp; &quot;x&quot; &#39; &#x26;",
         "&lt;b&gt; &amp; &quot;x&quot; &#39; &#x26;"},
        {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
        {"<span class=h onclick=x>a</span>", "&lt;span class=h onclick=x&gt;a&lt;/span&gt;"},
        {"a</span>b", "a&lt;/span&gt;b"},  // nothing to close
        {"<span class=h>a<span class=h>b", "<span class=h>a&lt;span class=h&gt;b</span>"},
        {"AT&T &; &#; &#xZ; &1a;", "AT&amp;T &amp;; &amp;#; &amp;#xZ; &amp;1a;"},
        {"<!--", "&lt;!--"},
        {std::string("a\0b", 3), "ab"},
        {"\"quoted\" 'too'", "\"quoted\" 'too'"},  // text, not an attribute: harmless
        // A lead byte without its trail: the browser reads the "<" after it afresh.
        {"<span class=h>\xFA</span><script>", "<span class=h>\xFA</span>&lt;script&gt;"},
        {"\xFA<script>\x81\x30\x81<b>", "\xFA&lt;script&gt;\x81\x30\x81&lt;b&gt;"},
        {"\x81\x30\x81\x30<\xCA\xD6", "\x81\x30\x81\x30&lt;\xCA\xD6"},
    };
    for (const Case& c : cases) EXPECT_EQ(PageTitle(c.in), c.out) << c.in;
    EXPECT_EQ(PageText("<span class=h>a</span>"), "&lt;span class=h&gt;a&lt;/span&gt;");
    // A cut for length keeps whole characters and leaves no highlight open.
    std::string longTitle = "<span class=h>";
    for (int i = 0; i < 3000; ++i) longTitle += "\xCA\xD6";
    Text cut = PageTitle(longTitle);
    EXPECT_LT(cut.size(), 2100u);
    EXPECT_EQ(cut.substr(cut.size() - 9), "\xCA\xD6</span>");
    EXPECT_EQ((cut.size() - std::string("<span class=h></span>").size()) % 2, 0u);
}

TEST(PageText, AddressesAreWebAddressesThatStayInTheirAttribute) {
    const Case cases[] = {
        {"http://127.0.0.1:17878/item/1", "http://127.0.0.1:17878/item/1"},
        {"https://s.example/a?b=1&c=2#d", "https://s.example/a?b=1&c=2#d"},
        {"HTTP://X/", "HTTP://X/"},
        {"http://x/\" onmouseover=\"a()", "http://x/%22%20onmouseover=%22a()"},
        {"http://x/'><script>", "http://x/%27%3E%3Cscript%3E"},
        {"http://x/\t\n`", "http://x/%09%0A%60"},
        {"javascript:alert(1)", kInertAddress},
        {" http://x/", kInertAddress},
        {"data:text/html,x", kInertAddress},
        {"//evil/x", kInertAddress},
        {"x.jpg", kInertAddress},
        {"http://", kInertAddress},
        {"", kInertAddress},
        {"http://x/" + std::string(3000, 'a'), kInertAddress},
    };
    for (const Case& c : cases) EXPECT_EQ(PageAddress(c.in), c.out) << c.in;
}

TEST(PageText, NumbersAreDigits) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"99.50", true, "99.50"}, {"12", true, "12"},  {"0.01", true, "0.01"},
        {"12.", true, ""},        {".5", true, ""},    {"-1", true, ""},
        {"1e9", false, ""},       {"12.5", false, ""}, {"312", false, "312"},
        {"", false, ""},          {"1<b>", true, ""},  {"1234567890123456", false, ""},
    };
    for (auto [in, fraction, out] : cases) EXPECT_EQ(PageNumber(in, fraction), out) << in;
}

TEST(PageText, AHostileReplyGivesPagesOfTheProgramsOwnMarkup) {
    std::ifstream file(QUELLOT_SOURCE_DIR "/tests/fixtures/hostile_items.xml", std::ios::binary);
    ASSERT_TRUE(file);
    std::stringstream body;
    body << file.rdbuf();
    XmlDocument xml;
    ATbk_Items_Info table;
    ASSERT_EQ(ParseItemsReply(body.str(), ItemNames({}), xml, table), Failure::None);
    TAB tab;
    for (int i = 0; i < kTabItems; ++i) tab.Items[i] = table[i];
    ASSERT_FALSE(tab.Items[4].title.empty());
    // Over-long values and every dangerous character in every field, as a fuzzer would send.
    Tbk_Items_Info& worst = tab.Items[5];
    for (Text* field : {&worst.title, &worst.nick, &worst.item_location, &worst.click_url,
                        &worst.pic_url, &worst.shop_click_url, &worst.price, &worst.volume})
        for (int i = 0; i < 2000; ++i) *field += "\"'<>&`= \x01\xCA";
    worst.click_url = "http://" + worst.click_url.substr(0, 1500);
    for (int view : {0, 1}) {
        tab.ViewIndex = view;
        Text page = BuildPage(tab);
        EXPECT_EQ(page_markup::Check(page), "") << view;
        EXPECT_LT(page.size(), 200000u);
        EXPECT_NE(page.find("<a id=\"click_url\" href=\"about:invalid\""), Text::npos);
        EXPECT_NE(page.find("&lt;img src=x onerror="), Text::npos);
        EXPECT_NE(page.find("<span class=h>" + Utf8ToGbk("手机") + "</span>&lt;svg"), Text::npos);
        EXPECT_NE(page.find("href=\"http://ok.example/item?id=3&from=list\""), Text::npos);
    }
    // The checker itself refuses what it is there to find.
    for (const char* bad : {"<head><script>x</script></head><script>y</script>",
                            "<div onclick=\"alert(1)\"></div>", "<a href=\"javascript:x\"></a>",
                            "<img src=x onerror=y>", "<iframe>", "<span class=\"evil\">"})
        EXPECT_NE(page_markup::Check(bad), "") << bad;
}

}  // namespace
