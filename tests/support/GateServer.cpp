#include "GateServer.h"

#include <chrono>
#include <stdexcept>

namespace {
const char* const kItemsPath = "/taobao/tbk_items.php";
}

GateServer::GateServer(std::string upstreamHost, int upstreamPort)
    : FUpstreamHost(std::move(upstreamHost)), FUpstreamPort(upstreamPort) {
    FServer.set_tcp_nodelay(true);
    FServer.set_keep_alive_timeout(1);
    FServer.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        if (req.path != kItemsPath) return Forward(req, res);
        Mode mode;
        {
            std::unique_lock lock(FMutex);
            ++FSearches;
            FLastSearch = req.target;
            if (FMode == Mode::Hold) {
                ++FHeld;
                unsigned release = FReleases;
                FWake.wait(lock, [&] { return FStopping || FReleases != release; });
                --FHeld;
                if (FStopping) return;
            }
            mode = FMode;
        }
        if (mode == Mode::Fail) {
            res.status = 503;
            res.set_content("busy", "text/plain");
            return;
        }
        if (mode == Mode::Garble) {
            res.set_content("<?xml version=\"1.0\"?><r><total_results>12</total", "text/xml");
            return;
        }
        Forward(req, res);
    });
    FPort = FServer.bind_to_any_port("127.0.0.1");
    if (FPort <= 0) throw std::runtime_error("cannot bind a loopback port");
    FThread = std::thread([this] { FServer.listen_after_bind(); });
    while (!FServer.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

GateServer::~GateServer() {
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    FServer.stop();
    FThread.join();
}

void GateServer::Forward(const httplib::Request& req, httplib::Response& res) {
    httplib::Client upstream(FUpstreamHost, FUpstreamPort);
    // The signature covers the query exactly as the client wrote it: pass it on untouched.
    upstream.set_url_encode(false);
    auto reply = upstream.Get(req.target);
    if (!reply) {
        res.status = 502;
        return;
    }
    res.status = reply->status;
    res.set_content(reply->body, reply->get_header_value("Content-Type").c_str());
}

void GateServer::SetMode(Mode mode) {
    std::lock_guard lock(FMutex);
    FMode = mode;
}

void GateServer::Release() {
    {
        std::lock_guard lock(FMutex);
        ++FReleases;
    }
    FWake.notify_all();
}

int GateServer::Held() const {
    std::lock_guard lock(FMutex);
    return FHeld;
}

int GateServer::Searches() const {
    std::lock_guard lock(FMutex);
    return FSearches;
}

std::string GateServer::LastSearch() const {
    std::lock_guard lock(FMutex);
    return FLastSearch;
}
