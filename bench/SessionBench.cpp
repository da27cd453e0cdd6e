// Building a full result page in each layout, and the search key.

#include <benchmark/benchmark.h>

#include "Criteria.h"
#include "ResultPage.h"

namespace {

TAB FullTab() {
    TAB t;
    for (int i = 0; i < kTabItems; ++i) {
        Tbk_Items_Info& it = t.Items[i];
        std::string n = std::to_string(10000001 + i);
        it.title =
            Utf8ToGbk("2026新款 时尚<span class=h>手机</span> 全网通 双卡双待 全国包邮 " + n);
        it.nick = Utf8ToGbk("阳光小店") + n;
        it.price = "1299.00";
        it.pic_url = "http://127.0.0.1:17878/pic/" + n + ".jpg";
        it.click_url = "http://127.0.0.1:17878/item/" + n;
        it.shop_click_url = "http://127.0.0.1:17878/shop/" + n;
        it.seller_credit_score = std::to_string(i % 20 + 1);
        it.item_location = Utf8ToGbk("浙江 杭州");
        it.volume = "1234";
    }
    return t;
}

void BM_ListPage40(benchmark::State& state) {
    TAB t = FullTab();
    for (auto _ : state) benchmark::DoNotOptimize(BuildListPage(t));
}
BENCHMARK(BM_ListPage40);

void BM_GridPage40(benchmark::State& state) {
    TAB t = FullTab();
    for (auto _ : state) benchmark::DoNotOptimize(BuildGridPage(t));
}
BENCHMARK(BM_GridPage40);

void BM_HtmlStream(benchmark::State& state) {
    Text page = BuildListPage(FullTab());
    for (auto _ : state) benchmark::DoNotOptimize(HtmlStream(page));
}
BENCHMARK(BM_HtmlStream);

void BM_SearchKey(benchmark::State& state) {
    Criteria c;
    c.Keyword = Utf8ToGbk("手机");
    c.NodeCaption = Utf8ToGbk("所有类目");
    c.StartPrice = '0';  // a character: see StartUpConditions
    c.EndPrice = "999999999";
    c.StartCreditIndex = 4;
    c.EndCreditIndex = 19;
    for (auto _ : state) benchmark::DoNotOptimize(SearchKey(c));
}
BENCHMARK(BM_SearchKey);

}  // namespace

BENCHMARK_MAIN();
