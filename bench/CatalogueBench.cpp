// quellot-proxy's catalogue at two sizes, as a timing harness that prints its figures.
//  1. 20,000 generated items over loopback: searches per second answered by the indexes against
//     the same server testing every item (the way it searched before), measured alternately in
//     one run, with and without a keyword.
//  2. 1,000,000 items: a generated feed of that size imported into a new catalogue file, the
//     file loaded by a server, and random filter, sort and keyword combinations timed over
//     loopback (p50, p95, max).
// Usage: catalogue_bench [items for part 2, default 1000000] [folder for the files, default /tmp]
// With QUELLOT_BASELINE_URL set to a running quellot-proxy of an earlier version (serving its
// default catalogue, 20000 items, seed 1), part 1 measures it in the same turns as well.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "Http.h"
#include "ProxyServer.h"
#include "ServiceReplies.h"
#include "Taobaoke_Items.h"
#include "Text.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kPid = "mm_27418305_0_0";

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::unique_ptr<ProxyServer> StartServer(ProxyOptions o) {
    o.port = 0;
    o.accessLog = false;
    auto server = std::make_unique<ProxyServer>(o);
    std::string error;
    if (!server->Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    return server;
}

std::string Url(const std::string& base, Tbk_Items_Cond c) {
    c.url = base + "taobao/tbk_items.php";
    return ItemsRequestUrl(c, ItemNames({}));
}

std::string Url(const ProxyServer& server, const Tbk_Items_Cond& c) {
    return Url(server.BaseUrl(), c);
}

// Requests per second over pages 1 to 10 of one search, for about the given time.
double Rate(HttpClient& http, const std::string& base, const Tbk_Items_Cond& c, double seconds) {
    std::vector<std::string> urls;
    for (int page = 1; page <= 10; ++page) {
        Tbk_Items_Cond p = c;
        p.page_no = std::to_string(page);
        urls.push_back(Url(base, p));
    }
    std::string body;
    int n = 0;
    auto start = Clock::now();
    while (Seconds(start) < seconds)
        if (!http.Get(urls[static_cast<size_t>(n++) % urls.size()], body)) std::exit(1);
    return n / Seconds(start);
}

void CompareAtTwentyThousand() {
    std::printf("== 20000 generated items, one client over loopback ==\n");
    auto scan = StartServer({.items = 20000, .seed = 1, .scanSearch = true});
    auto indexed = StartServer({.items = 20000, .seed = 1});
    const char* baseline = std::getenv("QUELLOT_BASELINE_URL");
    HttpClient http;
    for (const char* keyword : {"", "手机"}) {
        Tbk_Items_Cond c = StartUpConditions("", kPid);
        c.keyword = Utf8ToGbk(keyword);
        double scanRate = 0, indexRate = 0, baselineRate = 0;
        // Alternating half-second turns, five each, so all see the same machine.
        for (int turn = 0; turn < 5; ++turn) {
            scanRate += Rate(http, scan->BaseUrl(), c, 0.5) / 5;
            indexRate += Rate(http, indexed->BaseUrl(), c, 0.5) / 5;
            if (baseline) baselineRate += Rate(http, baseline, c, 0.5) / 5;
        }
        std::printf("keyword '%s': testing every item %.0f/s, indexes %.0f/s: %.1fx\n", keyword,
                    scanRate, indexRate, indexRate / scanRate);
        if (baseline)
            std::printf("keyword '%s': the earlier version %.0f/s, indexes %.1fx it\n", keyword,
                        baselineRate, indexRate / baselineRate);
    }
    // What one client gets from a fixed reply of the same size (the update route): the ceiling
    // that HTTP over loopback leaves, whatever the search costs.
    {
        Tbk_Items_Cond c = StartUpConditions(indexed->BaseUrl(), kPid);
        std::string body;
        if (!http.Get(Url(*indexed, c), body)) std::exit(1);
        const fs::path package = fs::temp_directory_path() / "quellot-bench-reply.bin";
        std::ofstream(package, std::ios::binary) << body;
        auto fixed = StartServer({.updatePackage = package.string()});
        std::string url = fixed->BaseUrl() + "update/Quellot.zip";
        int n = 0;
        auto start = Clock::now();
        while (Seconds(start) < 2)
            if (!http.Get(url, body) || ++n < 0) std::exit(1);
        std::printf("a fixed reply of the same size (%zu bytes): %.0f/s\n", body.size(),
                    n / Seconds(start));
        fs::remove(package);
    }
    // The whole client step (request, reply parsed into its table) for scale.
    for (const char* keyword : {"", "手机"}) {
        double rates[2] = {};
        for (int turn = 0; turn < 4; ++turn)
            for (int which = 0; which < 2; ++which) {
                Tbk_Items_Cond c = StartUpConditions((which ? indexed : scan)->BaseUrl(), kPid);
                c.keyword = Utf8ToGbk(keyword);
                TTaobaoke_Items client;
                ATbk_Items_Info* table = nullptr;
                int n = 0;
                auto start = Clock::now();
                while (Seconds(start) < 0.5) {
                    c.page_no = std::to_string(n++ % 10 + 1);
                    if (!client.GetItems(c, {}, table)) std::exit(1);
                }
                rates[which] += n / Seconds(start) / 4;
            }
        std::printf(
            "keyword '%s', through GetItems: testing every item %.0f/s, indexes %.0f/s: "
            "%.1fx\n",
            keyword, rates[0], rates[1], rates[1] / rates[0]);
    }
}

// A feed of the generated catalogue, as an operator would bring it.
void WriteFeed(const Catalogue& cat, const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << "num_iid,title,nick,price,category,guarantee,seller_credit_score,item_location,"
           "volume,commission_rate,commission_num,commission,commission_volume\n";
    auto money = [](int64_t cents) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld.%02lld", static_cast<long long>(cents / 100),
                      static_cast<long long>(cents % 100));
        return std::string(buf);
    };
    std::vector<std::string> paths(cat.Categories().size() + 1);
    for (const Category& c : cat.Categories()) {
        std::string path = c.name;
        for (const Category* p = cat.Find(c.parent_cid); p; p = cat.Find(p->parent_cid))
            path = p->name + " > " + path;
        paths[static_cast<size_t>(c.cid)] = path;
    }
    for (const Item& it : cat.Items())
        out << it.num_iid << ",\"" << it.title << "\"," << it.nick << ',' << money(it.priceCents)
            << ',' << paths[static_cast<size_t>(it.cid)] << ',' << (it.guarantee ? "true" : "false")
            << ',' << it.credit << ',' << it.location << ',' << it.volume << ','
            << money(it.commissionRateBp) << ',' << it.commissionNum << ','
            << money(it.commissionCents) << ',' << money(it.commissionVolumeCents) << '\n';
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void LargeCatalogue(int items, const fs::path& folder) {
    std::printf("== %d items ==\n", items);
    const fs::path feed = folder / "quellot-bench-feed.csv", db = folder / "quellot-bench.db";
    fs::remove(db);
    auto start = Clock::now();
    {
        Catalogue generated(items, 1);
        WriteFeed(generated, feed);
    }
    std::printf("feed written: %.0f MB in %.1f s\n", static_cast<double>(fs::file_size(feed)) / 1e6,
                Seconds(start));
    {
        std::string error;
        start = Clock::now();
        auto store = CatalogueStore::Open(db.string(), CatalogueStore::Mode::ReadWrite, error);
        ImportCount count;
        if (!store || !ImportFeed(feed.string(), *store, count, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        std::printf("import of %lld rows into a new file: %.1f s (file %.0f MB)\n",
                    static_cast<long long>(count.rows), Seconds(start),
                    static_cast<double>(fs::file_size(db)) / 1e6);
    }
    fs::remove(feed);
    start = Clock::now();
    auto server = StartServer({.catalogue = db.string()});
    std::printf("server start from the file (load and indexes): %.1f s\n", Seconds(start));

    const Catalogue& cat = server->Items();
    const char* const words[] = {"手机", "连衣", "新款", "连衣裙", "蓝牙耳机", "男",
                                 "qq",   "MP3",  "T恤",  "包邮",   "纯棉",     "不存在的词"};
    const char* const areas[] = {"浙江", "广州", "上海", "海外", "北京,上海"};
    std::mt19937 dice(9);
    auto below = [&dice](size_t n) { return static_cast<size_t>(dice() % n); };
    HttpClient http;
    std::vector<double> all, withKeyword, withoutKeyword, inProcess;
    std::string body;
    for (int round = 0; round < 600; ++round) {
        Tbk_Items_Cond c = StartUpConditions("", kPid);
        if (below(3) == 0)
            c.cid = std::to_string(cat.Categories()[below(cat.Categories().size())].cid);
        bool keyword = below(2) == 0;
        if (keyword) c.keyword = Utf8ToGbk(words[below(std::size(words))]);
        if (below(4) == 0) c.area = Utf8ToGbk(areas[below(std::size(areas))]);
        if (below(3) == 0) c.start_price = std::to_string(below(300));
        if (below(3) == 0) c.end_price = std::to_string(100 + below(3000));
        c.start_credit = CreditLevels()[below(10)];
        c.end_credit = CreditLevels()[10 + below(10)];
        if (below(2) == 0) c.guarantee = "true";
        c.sort = SortKeys()[below(5)];
        c.page_no = std::to_string(below(4) == 0 ? 1 + below(50) : 1);
        std::string url = Url(*server, c);
        auto t = Clock::now();
        if (!http.Get(url, body)) std::exit(1);
        double ms = Seconds(t) * 1000;
        all.push_back(ms);
        (keyword ? withKeyword : withoutKeyword).push_back(ms);
    }
    std::printf("600 random searches over loopback: p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
                Percentile(all, 0.5), Percentile(all, 0.95), Percentile(all, 1.0));
    std::printf("  with a keyword: p95 %.1f ms; without: p95 %.1f ms\n",
                Percentile(withKeyword, 0.95), Percentile(withoutKeyword, 0.95));
    server.reset();
    fs::remove(db);
}

}  // namespace

int main(int argc, char** argv) {
    InitServiceLibraries();
    int items = argc > 1 ? std::atoi(argv[1]) : 1000000;
    fs::path folder = argc > 2 ? argv[2] : fs::temp_directory_path();
    CompareAtTwentyThousand();
    LargeCatalogue(items, folder);
    return 0;
}
