#pragma once
// A real HTTP server on an ephemeral loopback port that answers what the test says and records
// what it was asked.

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        std::string contentType = "text/xml; charset=utf-8";
        bool silent = false;   // accept the request and never answer
        bool chunked = false;  // stream the body without a Content-Length
        int trickleMs = 0;     // send the body a byte at a time, this long apart
        // Send the body in as many equal bursts, each this long after the request came in.
        std::vector<int> burstsAtMs;
        // A large chunked body served without a copy per request (instead of body).
        std::shared_ptr<const std::string> shared;
    };

    LoopbackServer();
    ~LoopbackServer();

    void SetReply(Reply reply);
    // The reply for one path ("/taobao/tb_itemcats.php"); other paths get the general one.
    void SetReplyFor(const std::string& path, Reply reply);
    int RequestCountFor(const std::string& path) const;
    void SetBody(std::string body, std::string contentType = "text/xml; charset=utf-8");

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }
    int Port() const { return FPort; }
    // The request line's target exactly as sent: path and raw query.
    std::string LastTarget() const;
    int RequestCount() const { return FCount.load(); }

private:
    httplib::Server FServer;
    std::thread FThread;
    int FPort = 0;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    bool FStopping = false;
    Reply FReply;
    std::map<std::string, Reply> FReplies;
    std::map<std::string, int> FCounts;
    std::string FLastTarget;
    std::atomic<int> FCount{0};
};
