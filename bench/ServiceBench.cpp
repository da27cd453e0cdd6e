// The client's own work for one item search against the loopback round trip that carries it.

#include <benchmark/benchmark.h>

#include "LoopbackServer.h"
#include "ServiceReplies.h"
#include "Taobaoke_Items.h"

namespace {

Tbk_Items_Cond Conditions(const std::string& base) {
    Tbk_Items_Cond c;
    c.pid = "mm_27418305_0_0";
    c.url = base + "taobao/tbk_items.php";
    c.cid = "16";
    c.area = TableValue(RegionValues(), 1);
    c.sort = "price_asc";
    c.keyword = Utf8ToGbk("手机 全网通");
    c.start_price = "100";
    c.end_price = "500";
    c.page_no = '3';  // a character: see StartUpConditions
    c.start_credit = "1heart";
    c.end_credit = "5crown";
    return c;
}

std::string Reply40() {
    std::string xml =
        "<?xml version=\"1.0\" "
        "encoding=\"utf-8\"?>\n<r><total_results>12345</total_results><taobaoke_items>";
    for (int i = 0; i < 40; ++i)
        xml += ItemXml(i, "<![CDATA[<span class=h>手机</span>正品行货 全网通4G智能手机 双卡双待 " +
                              std::to_string(i) + "]]>");
    return xml + "</taobaoke_items></r>\n";
}

void BM_BuildSignedUrl(benchmark::State& state) {
    Tbk_Items_Cond cond = Conditions("http://127.0.0.1:17878/");
    for (auto _ : state) benchmark::DoNotOptimize(ItemsRequestUrl(cond, ItemNames({})));
}
BENCHMARK(BM_BuildSignedUrl);

void BM_Parse40Items(benchmark::State& state) {
    const Tbk_Items_Info names = ItemNames({});
    XmlDocument xml;
    ATbk_Items_Info table;
    std::string body = Reply40();
    for (auto _ : state)
        if (ParseItemsReply(body, names, xml, table) != Failure::None)
            state.SkipWithError("parse failed");
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_Parse40Items);

void BM_LoopbackGet40Items(benchmark::State& state) {
    LoopbackServer server;
    server.SetBody(Reply40());
    HttpClient http;
    std::string body;
    std::string url = server.BaseUrl() + "taobao/tbk_items.php?x=1";
    for (auto _ : state)
        if (!http.Get(url, body)) state.SkipWithError("GET failed");
}
BENCHMARK(BM_LoopbackGet40Items);

void BM_GetItemsOverLoopback(benchmark::State& state) {
    LoopbackServer server;
    server.SetBody(Reply40());
    TTaobaoke_Items client;
    Tbk_Items_Cond cond = Conditions(server.BaseUrl());
    ATbk_Items_Info* items = nullptr;
    for (auto _ : state)
        if (!client.GetItems(cond, {}, items)) state.SkipWithError("GetItems failed");
}
BENCHMARK(BM_GetItemsOverLoopback);

}  // namespace

BENCHMARK_MAIN();
