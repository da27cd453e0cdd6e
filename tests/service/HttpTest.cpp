#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Http.h"
#include "LoopbackServer.h"

TEST(Http, ReturnsTheBodyByteForByteAndReusesTheClient) {
    LoopbackServer server;
    std::string binary("a\0\xFF\r\n\xCA\xD6", 7);
    server.SetBody(binary, "application/octet-stream");
    HttpClient http;
    std::string body;
    ASSERT_TRUE(http.Get(server.BaseUrl() + "x?q=%9&r=%E4", body));
    EXPECT_EQ(body, binary);
    EXPECT_EQ(server.LastTarget(), "/x?q=%9&r=%E4");
    server.SetBody("second");
    ASSERT_TRUE(http.Get(server.BaseUrl() + "y", body));
    EXPECT_EQ(body, "second");
}

TEST(Http, FailsOnErrorStatusesAndConnectionErrors) {
    LoopbackServer server;
    HttpClient http;
    std::string body;
    for (int status : {301, 404, 500, 503}) {
        LoopbackServer::Reply reply;
        reply.status = status;
        reply.body = "<r><total_results>1</total_results></r>";
        server.SetReply(reply);
        EXPECT_FALSE(http.Get(server.BaseUrl(), body)) << status;
        EXPECT_EQ(http.LastFailure(), Failure::HttpStatus);
    }
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.Port();
    }
    for (std::string url : {"http://127.0.0.1:" + std::to_string(closedPort) + "/",
                            std::string("not a url"), std::string("file:///etc/passwd")}) {
        EXPECT_FALSE(http.Get(url, body)) << url;
        EXPECT_EQ(http.LastFailure(), Failure::Connection) << url;
    }
    server.SetBody("fine");
    EXPECT_TRUE(http.Get(server.BaseUrl(), body));
    EXPECT_EQ(http.LastFailure(), Failure::None);
}

TEST(Http, SilentServerFailsAfterTheReadTimeout) {
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.silent = true;
    server.SetReply(reply);
    HttpClient http;
    http.SetReadTimeout(300);
    std::string body;
    EXPECT_FALSE(http.Get(server.BaseUrl(), body));
    EXPECT_EQ(http.LastFailure(), Failure::IdleTimeout);
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST(Http, BodyOverTheLimitFailsEvenWithoutContentLength) {
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    reply.body.assign(HttpClient::kDefaultMaxBody + 1, 'x');
    server.SetReply(reply);
    HttpClient http;
    std::string body;
    EXPECT_FALSE(http.Get(server.BaseUrl(), body));
    reply.body.resize(HttpClient::kDefaultMaxBody);
    server.SetReply(reply);
    ASSERT_TRUE(http.Get(server.BaseUrl(), body));
    EXPECT_EQ(body.size(), HttpClient::kDefaultMaxBody);
}

TEST(Http, CancelEndsATransferInProgressAndLaterCalls) {
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.silent = true;
    server.SetReply(reply);
    HttpClient http;  // no read time-out: only the cancel can end this
    std::string body;
    bool result = true;
    std::thread worker([&] { result = http.Get(server.BaseUrl(), body); });
    while (server.RequestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    http.Cancel();
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(http.LastFailure(), Failure::Cancelled);
    server.SetBody("ok");
    EXPECT_FALSE(http.Get(server.BaseUrl(), body));
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST(Http, TheMinimumRateHoldsOverAnyWindow) {
    // 100 bytes a second over any 1.5 s. Bursts in three windows laid end to end would each
    // pass, but nothing arrives between 0 s and 2.9 s; one every 1.4 s keeps the rate.
    const struct {
        std::vector<int> bursts;
        bool completes;
    } cases[] = {{{0, 2900, 3050}, false}, {{0, 1400, 2800, 4200}, true}};
    for (const auto& c : cases) {
        LoopbackServer server;
        LoopbackServer::Reply reply;
        reply.body.assign(300 * c.bursts.size(), 'x');
        reply.burstsAtMs = c.bursts;
        server.SetReply(reply);
        HttpClient http;
        http.SetReadTimeout(5000);
        http.SetMinimumRate(100, 1500);
        std::string body;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(http.Get(server.BaseUrl(), body), c.completes);
        auto took = std::chrono::steady_clock::now() - start;
        if (!c.completes) {
            EXPECT_EQ(http.LastFailure(), Failure::TooSlow);
            EXPECT_LT(took, std::chrono::milliseconds(2800));  // before the second burst
        }
    }
}

TEST(Http, ATricklingServerCannotHoldACallPastItsBounds) {
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.body.assign(400, 'x');
    reply.trickleMs = 20;  // 50 bytes a second, each well inside the idle time-out
    server.SetReply(reply);
    struct Case {
        const char* bound;
        int totalMs;
        size_t minRate;
        int windowMs;
        bool completes;
        Failure failure;
    };
    const Case cases[] = {
        {"total time", 600, 0, 0, false, Failure::TotalTimeout},
        {"minimum rate", 0, 1000, 300, false, Failure::TooSlow},
        {"a rate the line keeps", 0, 20, 300, true, Failure::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bound);
        HttpClient http;
        http.SetReadTimeout(1000);
        http.SetTotalTimeout(c.totalMs);
        http.SetMinimumRate(c.minRate, c.windowMs);
        std::string body;
        auto start = std::chrono::steady_clock::now();
        bool ok = http.Get(server.BaseUrl(), body);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ok, c.completes);
        EXPECT_EQ(http.LastFailure(), c.failure);
        if (c.completes) {
            EXPECT_EQ(body.size(), 400u);
        } else {
            EXPECT_GE(took, std::chrono::milliseconds(c.totalMs ? c.totalMs : c.windowMs));
            EXPECT_LT(took, std::chrono::milliseconds(3000));  // the body would take 8 s
        }
    }
}

TEST(Http, AStreamedBodyArrivesInPiecesAndTheSinkCanStopIt) {
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    for (int i = 0; reply.body.size() < (4u << 20); ++i) reply.body += std::to_string(i) + ",";
    server.SetReply(reply);
    HttpClient http;
    std::string got;
    size_t pieces = 0, largest = 0;
    ASSERT_TRUE(http.Get(server.BaseUrl(), [&](const char* data, size_t size) {
        got.append(data, size);
        ++pieces;
        largest = std::max(largest, size);
        return true;
    }));
    EXPECT_EQ(got, reply.body);
    EXPECT_GT(pieces, 10u);
    EXPECT_LE(largest, size_t{1} << 20);
    EXPECT_FALSE(http.Get(server.BaseUrl(), [](const char*, size_t) { return false; }));
    EXPECT_EQ(http.LastFailure(), Failure::Refused);
}
