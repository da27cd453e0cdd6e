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
    }
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.Port();
    }
    EXPECT_FALSE(http.Get("http://127.0.0.1:" + std::to_string(closedPort) + "/", body));
    EXPECT_FALSE(http.Get("not a url", body));
    EXPECT_FALSE(http.Get("file:///etc/passwd", body));
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
    server.SetBody("ok");
    EXPECT_FALSE(http.Get(server.BaseUrl(), body));
    EXPECT_EQ(server.RequestCount(), 1);
}
