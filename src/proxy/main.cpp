// quellot-proxy: the reference proxy service the client talks to.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "ProxyServer.h"
#include "Query.h"

namespace {

const char* const kUsage =
    "Usage: quellot-proxy [options]\n"
    "  --host HOST            address to listen on (default 127.0.0.1)\n"
    "  --port N               port (default 17878; 0 picks a free one)\n"
    "  --items N              catalogue size (default 20000)\n"
    "  --seed N               catalogue seed (default 1)\n"
    "  --offer-version V      version offered to clients (default v2.0: no update)\n"
    "  --update-package FILE  zip file served as the update package\n"
    "  --update-name NAME     base name of the update (default Quellot)\n"
    "  --help                 this text\n";

ProxyServer* gServer = nullptr;

void OnSignal(int) {
    if (gServer) gServer->Stop();
}

bool SafeName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ProxyOptions options;
    for (int i = 1; i < argc; ++i) {
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
        if (flag == "--host")
            options.host = value;
        else if (flag == "--port")
            options.port = static_cast<int>(number(0, 65535));
        else if (flag == "--items")
            options.items = static_cast<int>(number(0, 2000000));
        else if (flag == "--seed")
            options.seed = static_cast<uint32_t>(number(0, UINT32_MAX));
        else if (flag == "--offer-version")
            options.offerVersion = value;
        else if (flag == "--update-package")
            options.updatePackage = value;
        else if (flag == "--update-name")
            options.updateName = value;
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
    ProxyServer server(options);
    gServer = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::string error;
    if (!server.Bind(error)) {
        std::fprintf(stderr, "quellot-proxy: %s\n", error.c_str());
        return 1;
    }
    std::printf("quellot-proxy: %d items, serving %s\n",
                static_cast<int>(server.Items().Items().size()), server.BaseUrl().c_str());
    std::fflush(stdout);
    server.Serve();
    return 0;
}
