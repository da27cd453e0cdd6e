// The cost of a 48 MB update, against plainly downloading the same package to a file: the
// signature, the digest, staging with every file synced, the commit and the new program's
// start. Three alternating turns; prints milliseconds and the ratio.

#include <stdlib.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>

#include "Http.h"
#include "LoopbackServer.h"
#include "UpdateKeys.h"
#include "UpdatePackage.h"
#include "WindowMessages.h"
#include "myupdate.h"

namespace fs = std::filesystem;

namespace {

std::string Package(const std::string& exe, const std::string& big) {
    std::string path = (fs::temp_directory_path() / "quellot-bench.zip").string();
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    zip_file_add(z, "QuellotNew.exe", zip_source_buffer(z, exe.data(), exe.size(), 0), 0);
    zip_int64_t i = zip_file_add(z, "big.dat", zip_source_buffer(z, big.data(), big.size(), 0), 0);
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
    zip_close(z);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(path);
    return bytes;
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main() {
    InitServiceLibraries();
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    std::string big(48u << 20, '\0');
    for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
    const std::string exe =
        "#!/bin/sh\n: > \"$(dirname \"$0\")/.quellot-update/ready\"\nexec sleep 2\n";
    const std::string bytes = Package(exe, big);
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    reply.shared = std::make_shared<const std::string>(bytes);
    server.SetReply(reply);
    UpdateOffer offer;
    std::string error;
    DescribePackage(bytes, offer, error);
    SOFT_INFO info;
    info.version = "v2.1";
    info.update_name = "QuellotNew";
    info.update_url = server.BaseUrl() + "u.zip";
    info.extra2 = SignUpdate("QuellotNew", "v2.1", offer, keys.Maker(), error);
    const fs::path root = fs::temp_directory_path() / "quellot-bench-update";
    for (int turn = 0; turn < 3; ++turn) {
        fs::remove_all(root);
        fs::create_directories(root / "program");
        std::ofstream(root / "program" / "quellot") << "old";
        auto t0 = std::chrono::steady_clock::now();
        {
            HttpClient http;
            std::ofstream out(root / "plain.zip", std::ios::binary);
            http.Get(info.update_url, [&](const char* d, size_t n) {
                return !!out.write(d, static_cast<std::streamsize>(n));
            });
        }
        auto t1 = std::chrono::steady_clock::now();
        std::promise<int> posted;
        {
            TMyUpdate update;
            update.SetPlaces({root.string() + "/", (root / "program").string() + "/",
                              (root / "program" / "quellot").string()});
            update.SetReplaceQuestion([](const std::string&) { return true; });
            update.CheckUpdate([&](int m) { posted.set_value(m); }, info, "v2.0");
            if (posted.get_future().get() != WM_UPDATE_DONE) std::printf("update failed\n");
        }
        auto t2 = std::chrono::steady_clock::now();
        std::printf(
            "48 MB package: download to a file %.0f ms, whole update %.0f ms (%.1fx); "
            "work folder at most %.0f MB (package, then its files)\n",
            Ms(t1 - t0), Ms(t2 - t1), Ms(t2 - t1) / Ms(t1 - t0),
            static_cast<double>(offer.size + offer.unpacked) / 1e6);
    }
    fs::remove_all(root);
}
