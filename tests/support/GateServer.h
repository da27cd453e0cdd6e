#pragma once
// A gate in front of a real service: passes every request through to it, but can hold the
// item searches until the test lets them go, or fail them, the way a slow or broken service
// answers over the internet.

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class GateServer {
public:
    // Pass forwards; Hold keeps a search until released; Fail answers 503; Garble answers 200
    // with a reply cut off in its middle.
    enum class Mode { Pass, Hold, Fail, Garble };

    explicit GateServer(std::string upstreamHost, int upstreamPort);
    ~GateServer();

    // Applies to the item searches arriving from now on; other requests always pass.
    void SetMode(Mode mode);
    // Lets every held search go on to the service (or fail, when the mode is Fail by then).
    void Release();
    // Item searches that have arrived and are being held now.
    int Held() const;
    int Searches() const;
    // The request target (path and query, as sent) of the last item search.
    std::string LastSearch() const;

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }

private:
    void Forward(const httplib::Request& req, httplib::Response& res);

    std::string FUpstreamHost;
    int FUpstreamPort;
    httplib::Server FServer;
    std::thread FThread;
    int FPort = 0;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    Mode FMode = Mode::Pass;
    unsigned FReleases = 0;
    int FHeld = 0;
    int FSearches = 0;
    std::string FLastSearch;
    bool FStopping = false;
};
