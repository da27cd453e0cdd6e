#include <gtest/gtest.h>

#include <chrono>

#include "LoopbackServer.h"
#include "ok.h"

namespace {

struct Fields {
    const char* extra3;
    const char* extra1;
    const char* update_name;
    const char* version;
    const char* update_url;
    const char* extra2;
};

void ExpectInfo(const SOFT_INFO& i, const Fields& f, const std::string& label) {
    EXPECT_EQ(i.extra3, f.extra3) << label;
    EXPECT_EQ(i.extra1, f.extra1) << label;
    EXPECT_EQ(i.update_name, f.update_name) << label;
    EXPECT_EQ(i.version, f.version) << label;
    EXPECT_EQ(i.update_url, f.update_url) << label;
    EXPECT_EQ(i.extra2, f.extra2) << label;
}

const Fields kSevenLines = {"1", "2", "pkg", "v2.1", "http://x/p.zip", "6"};
const Fields kEmpty = {"", "", "", "", "", ""};

}  // namespace

TEST(SoftInfo, LineParser) {
    std::string twenty = "h\na=1\nb=2\nc=pkg\nd=v2.1\ne=http://x/p.zip\nf=6\n";
    for (int i = 0; i < 13; ++i) twenty += "g=" + std::to_string(i) + "\n";
    const std::pair<std::string, Fields> cases[] = {
        {"h\na=1\nb=2\nc=pkg\nd=v2.1\ne=http://x/p.zip\nf=6", kSevenLines},
        {"h\r\n\r\na=1\r\rb=2\n\n\nc=pkg\r\nd=v2.1\re=http://x/p.zip\n\r\nf=6\r\n", kSevenLines},
        {"\n\nh\na=1\nb=2\nc=pkg\nd=v2.1\ne=http://x/p.zip\nf=6", kSevenLines},
        {twenty, kSevenLines},
        {"only one line", kEmpty},
        {"", kEmpty},
        {"h\na=1\nb=2\nc=pkg\nversion=v2.0=beta", {"1", "2", "pkg", "v2.0=beta", "", ""}},
        {"h\nno equals\nb=\nc=pkg\nver= v2.1", {"no equals", "", "pkg", " v2.1", "", ""}},
        {"h\n\ta=1 \nb=2", {"1 ", "2", "", "", "", ""}},
        // A quote holds the line ends up to the next quote, shifting what follows.
        {"h\na=it's\nb=2\nc='x\nd=4\ne=5\nf=6", {"it's\nb=2\nc='x", "4", "5", "6", "", ""}},
        {"h\na=\"q\nq\"\nb=2", {"\"q\nq\"", "2", "", "", "", ""}},
        {"h\na='unclosed\nb=2\nc=3", {"'unclosed\nb=2\nc=3", "", "", "", "", ""}},
    };
    for (const auto& [reply, fields] : cases) ExpectInfo(ParseSoftInfo(reply), fields, reply);
}

TEST(SoftInfo, QueryAgainstAServer) {
    LoopbackServer server;
    TOK ok;
    SOFT_INFO info;
    server.SetBody("软件\nname=速搜\nb=2\nc=pkg\nd=v2.1\ne=http://x/p.zip\nf=6\n", "text/plain");
    ASSERT_TRUE(ok.GetSoftInfo(server.BaseUrl() + "taobao/IV/ok.php", "mm_27418305_0_0", info));
    EXPECT_EQ(server.LastTarget(), "/taobao/IV/ok.php?pid=mm_27418305_0_0");
    EXPECT_EQ(info.extra3, Utf8ToGbk("速搜"));
    EXPECT_EQ(info.version, "v2.1");

    // Not UTF-8: decodes to nothing, which is a reply without entries.
    server.SetBody("h\na=\xCA\xD6\nb=2\nc=3\nd=4", "text/plain");
    ASSERT_TRUE(ok.GetSoftInfo(server.BaseUrl(), "p", info));
    ExpectInfo(info, kEmpty, "gbk body");
}

TEST(SoftInfo, FailuresGiveFalseAndAnEmptyRecord) {
    LoopbackServer server;
    TOK ok;
    SOFT_INFO info;
    auto stale = [&] { info.version = "stale"; };

    server.SetBody("error", "text/plain");
    stale();
    EXPECT_FALSE(ok.GetSoftInfo(server.BaseUrl(), "p", info));
    ExpectInfo(info, kEmpty, "error body");

    server.SetBody("h\na=1\nb=2\nc=3\nd=4", "text/plain");
    stale();
    EXPECT_FALSE(ok.GetSoftInfo(server.BaseUrl(), "", info));
    EXPECT_EQ(server.RequestCount(), 1);
    ExpectInfo(info, kEmpty, "empty pid");

    LoopbackServer::Reply status;
    status.status = 500;
    status.body = "h\na=1\nb=2\nc=3\nd=4";
    server.SetReply(status);
    stale();
    EXPECT_FALSE(ok.GetSoftInfo(server.BaseUrl(), "p", info));
    ExpectInfo(info, kEmpty, "status 500");

    EXPECT_EQ(ok.FetchSoftInfo("http://127.0.0.1:1/", "p"), "error");
}

TEST(SoftInfo, ATricklingServerCannotHoldTheStartUp) {
    EXPECT_EQ(TOK().TotalTimeout(), 20000);  // at most this long before the window appears
    LoopbackServer server;
    LoopbackServer::Reply slow;
    slow.body = "h\na=1\nb=2\nc=3\nd=v2.1\n" + std::string(2000, ' ');
    slow.contentType = "text/plain";
    slow.trickleMs = 5;  // every byte in time, the whole reply in 10 s
    server.SetReply(slow);
    TOK ok;
    ok.SetTotalTimeout(500);
    SOFT_INFO info;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ok.GetSoftInfo(server.BaseUrl(), "p", info));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}
