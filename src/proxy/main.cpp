// quellot-proxy: the reference proxy service the client talks to.

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "ProxyServer.h"
#include "Query.h"
#include "UpdateSignature.h"

namespace {

const char* const kUsage =
    "Usage: quellot-proxy [options]                     serve\n"
    "       quellot-proxy import FEED --catalogue FILE  add or update the items of a feed\n"
    "       quellot-proxy generate --catalogue FILE [--items N] [--seed N]\n"
    "                                                   write a generated catalogue\n"
    "  --catalogue FILE       the catalogue database (default: a generated one in memory)\n"
    "  --host HOST            address to listen on (default 127.0.0.1)\n"
    "  --port N               port (default 17878; 0 picks a free one)\n"
    "  --items N              generated catalogue size (default 20000)\n"
    "  --seed N               generated catalogue seed (default 1)\n"
    "  --offer-version V      version offered to clients (default v2.0: no update)\n"
    "  --update-package FILE  zip file served as the update package\n"
    "  --update-name NAME     base name of the update (default Quellot)\n"
    "  --update-key FILE     sign the update package with this Ed25519 private key (PEM)\n"
    "  --tls-cert FILE        serve https with this certificate chain (PEM; needs --tls-key)\n"
    "  --tls-key FILE         the certificate's private key (PEM)\n"
    "  --help                 this text\n";

bool SafeName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            return false;
    return true;
}

int Import(const std::string& feed, const std::string& file) {
    std::string error;
    auto store = CatalogueStore::Open(file, CatalogueStore::Mode::ReadWrite, error);
    ImportCount count;
    bool ok =
        store && ImportFeed(feed, *store, count, error, [](int64_t rows) {
            std::fprintf(stderr, "quellot-proxy: %lld rows read\n", static_cast<long long>(rows));
        });
    if (!ok) {
        std::fprintf(stderr, "quellot-proxy: %s\n", error.c_str());
        return 1;
    }
    std::printf("quellot-proxy: %lld items imported into %s (%lld new, %lld updated)\n",
                static_cast<long long>(count.rows), file.c_str(),
                static_cast<long long>(count.added), static_cast<long long>(count.updated));
    return 0;
}

int Generate(const ProxyOptions& options) {
    std::string error;
    auto store = CatalogueStore::Open(options.catalogue, CatalogueStore::Mode::CreateNew, error);
    if (!store || !store->Save(Catalogue(options.items, options.seed), error)) {
        std::fprintf(stderr, "quellot-proxy: %s\n", error.c_str());
        if (store) std::remove(options.catalogue.c_str());
        return 1;
    }
    std::printf("quellot-proxy: %d generated items written to %s\n", options.items,
                options.catalogue.c_str());
    return 0;
}

// SIGTERM and SIGINT end the serving loop from a thread of their own: stopping the server is
// not something a signal handler may do. Requests in flight are answered before it returns.
int Serve(const ProxyOptions& options) {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);  // every thread started from here inherits it
    ProxyServer server(options);
    std::string error;
    if (!server.Bind(error)) {
        std::fprintf(stderr, "quellot-proxy: %s\n", error.c_str());
        return 1;
    }
    std::thread waiter([&server, stops] {
        int signal = 0;
        sigwait(&stops, &signal);
        if (signal == SIGTERM || signal == SIGINT) server.Stop();
    });
    std::printf("quellot-proxy: %d items, serving %s\n",
                static_cast<int>(server.Items().Items().size()), server.BaseUrl().c_str());
    if (!options.updateKey.empty())
        std::printf(
            "quellot-proxy: update package signed; clients built with "
            "-DQUELLOT_UPDATE_PUBLIC_KEY=%s install it\n",
            UpdatePublicKeyOf(options.updateKey).c_str());
    std::fflush(stdout);
    server.Serve();
    // Serve also returns when listening fails; the waiter must not outlive the server.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::printf("quellot-proxy: stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ProxyOptions options;
    std::string command, feed;
    int i = 1;
    if (argc > 1 && (std::string(argv[1]) == "import" || std::string(argv[1]) == "generate")) {
        command = argv[1];
        i = 2;
        if (command == "import") {
            if (argc < 3 || argv[2][0] == '-') {
                std::fprintf(stderr, "quellot-proxy: import needs a feed file\n%s", kUsage);
                return 2;
            }
            feed = argv[2];
            i = 3;
        }
    }
    for (; i < argc; ++i) {
        std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "quellot-proxy: %s needs a value (or is unknown)\n%s",
                         flag.c_str(), kUsage);
            return 2;
        }
        std::string value = argv[++i];
        auto number = [&](int64_t min, int64_t max) {
            auto n = ParseInteger(value, min, max);
            if (!n) {
                std::fprintf(stderr,
                             "quellot-proxy: %s wants a number from %lld to %lld, not '%s'\n",
                             flag.c_str(), static_cast<long long>(min), static_cast<long long>(max),
                             value.c_str());
                std::exit(2);
            }
            return *n;
        };
        if (flag == "--catalogue")
            options.catalogue = value;
        else if (flag == "--host")
            options.host = value;
        else if (flag == "--port")
            options.port = static_cast<int>(number(0, 65535));
        else if (flag == "--items")
            options.items = static_cast<int>(number(0, 5000000));
        else if (flag == "--seed")
            options.seed = static_cast<uint32_t>(number(0, UINT32_MAX));
        else if (flag == "--offer-version")
            options.offerVersion = value;
        else if (flag == "--update-package")
            options.updatePackage = value;
        else if (flag == "--update-name")
            options.updateName = value;
        else if (flag == "--update-key")
            options.updateKey = value;
        else if (flag == "--tls-cert")
            options.tlsCert = value;
        else if (flag == "--tls-key")
            options.tlsKey = value;
        else {
            std::fprintf(stderr, "quellot-proxy: unknown option %s\n%s", flag.c_str(), kUsage);
            return 2;
        }
    }
    if (!SafeName(options.updateName)) {
        std::fprintf(stderr,
                     "quellot-proxy: --update-name takes letters, digits, '_' and '-' only\n");
        return 2;
    }
    for (char c : options.offerVersion)
        if (c == '\r' || c == '\n' || c == '\'' || c == '"') {
            std::fprintf(stderr,
                         "quellot-proxy: --offer-version may not hold quotes or line ends\n");
            return 2;
        }
    if (!options.updatePackage.empty() && !std::ifstream(options.updatePackage, std::ios::binary)) {
        std::fprintf(stderr, "quellot-proxy: cannot read %s\n", options.updatePackage.c_str());
        return 1;
    }
    if (!command.empty() && options.catalogue.empty()) {
        std::fprintf(stderr, "quellot-proxy: %s needs --catalogue FILE\n", command.c_str());
        return 2;
    }
    if (command == "import") return Import(feed, options.catalogue);
    if (command == "generate") return Generate(options);
    return Serve(options);
}
