#pragma once
// quellot-proxy as a library: the HTTP endpoints over a catalogue database. Tests run it
// in-process on an ephemeral port; the program wraps it with flags.

#include <httplib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Catalogue.h"
#include "CatalogueStore.h"
#include "ItemIndex.h"

struct ProxyOptions {
    std::string host = "127.0.0.1";
    int port = 17878;       // 0: any free port
    std::string catalogue;  // the catalogue database; empty: a generated one, kept in memory
    int items = 20000;      // size and seed of the generated one
    uint32_t seed = 1;
    bool scanSearch = false;  // test every item instead of using the indexes (for comparisons)
    std::string offerVersion = "v2.0";
    std::string updatePackage;  // a file to serve as the update package; empty: none
    std::string updateName = "Quellot";
    std::string updateKey;  // the maker's Ed25519 private key (PEM) the package is signed with
    bool accessLog = true;
    // Both set: the service speaks https only, with this certificate chain and key (PEM files).
    std::string tlsCert, tlsKey;
};

class ProxyServer {
public:
    explicit ProxyServer(ProxyOptions options);
    ~ProxyServer();

    // Binds and serves on a thread of its own; false (with the reason) when the port is taken
    // or the catalogue could not be loaded.
    bool Start(std::string& error);
    // Or the two steps on the calling thread: Bind, then Serve until Stop.
    bool Bind(std::string& error);
    void Serve();
    void Stop();

    int Port() const { return FPort; }
    std::string BaseUrl() const;
    const Catalogue& Items() const { return FCatalogue; }
    // Requests answered per endpoint name ("items", "itemcats", "softinfo", "count", ...).
    int Count(const std::string& endpoint) const;

private:
    void Routes();
    // The update package, and its signature when a key is named; false with the reason.
    bool LoadPackage(std::string& error);
    void Counted(const std::string& endpoint);
    std::string PublicBase(const httplib::Request& req) const;
    const char* Scheme() const { return FOptions.tlsCert.empty() ? "http" : "https"; }

    void HandleItems(const httplib::Request& req, httplib::Response& res);
    void HandleItemcats(const httplib::Request& req, httplib::Response& res);
    void HandleSoftInfo(const httplib::Request& req, httplib::Response& res);

    ProxyOptions FOptions;
    std::unique_ptr<CatalogueStore> FStore;
    Catalogue FCatalogue;
    std::unique_ptr<ItemIndex> FIndex;
    std::string FLoadError;
    std::unique_ptr<httplib::Server> FServer;
    std::thread FThread;
    int FPort = 0;
    mutable std::mutex FMutex;
    std::map<std::string, int> FCounts;
    std::shared_ptr<const std::string> FPackage;  // the update package served, if any
    std::string FUpdateSignature;  // the software information's signature entry, when signed
};

// The XML error document every refused request gets: it has no total_results, so the client
// treats it as a failed search.
std::string ErrorDocument(int code, const std::string& message);
std::string XmlEscape(const std::string& text);
