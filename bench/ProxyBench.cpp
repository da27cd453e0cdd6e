// Item searches per second against quellot-proxy over loopback, and the catalogue's start-up.

#include <benchmark/benchmark.h>

#include <memory>

#include "ProxyServer.h"
#include "ServiceReplies.h"
#include "Taobaoke_Items.h"

namespace {

ProxyServer& Server() {
    static std::unique_ptr<ProxyServer> server = [] {
        ProxyOptions o;
        o.port = 0;
        o.accessLog = false;
        auto s = std::make_unique<ProxyServer>(o);
        std::string error;
        if (!s->Start(error)) std::abort();
        return s;
    }();
    return *server;
}

void BM_CatalogueGeneration20000(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Catalogue(20000, 1));
}
BENCHMARK(BM_CatalogueGeneration20000)->Unit(benchmark::kMillisecond);

void BM_ItemSearch(benchmark::State& state) {
    TTaobaoke_Items client;
    Tbk_Items_Cond c = StartUpConditions(Server().BaseUrl(), "mm_27418305_0_0");
    c.keyword = state.range(0) ? Utf8ToGbk("手机") : "";
    int page = 0;
    ATbk_Items_Info* items = nullptr;
    for (auto _ : state) {
        c.page_no = std::to_string(page++ % 10 + 1);
        if (!client.GetItems(c, {}, items)) state.SkipWithError("search failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ItemSearch)->ArgName("keyword")->Arg(0)->Arg(1)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
