// The result page's rules for untrusted text change nothing the proxy sends: every item of the
// generated catalogue and of the example feeds, with and without keyword highlights, reaches
// the page exactly as it arrived.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "PageText.h"
#include "ServiceReplies.h"
#include "TestProxy.h"

namespace {

namespace fs = std::filesystem;

// Every item of every page of the search; the count of items seen.
int CheckEveryPage(ProxyServer& proxy, const char* keywordUtf8) {
    Tbk_Items_Cond cond = StartUpConditions(proxy.BaseUrl(), "mm_1_0_0");
    cond.start_credit = "1heart";
    cond.keyword = Utf8ToGbk(keywordUtf8);
    TTaobaoke_Items client;
    int seen = 0;
    for (int page = 1;; ++page) {
        cond.page_no = std::to_string(page);
        ATbk_Items_Info* table = nullptr;
        if (!client.GetItems(cond, {}, table)) {
            ADD_FAILURE() << client.LastUrl();
            return seen;
        }
        int i = 0;
        for (; i < 40 && !(*table)[i].title.empty(); ++i, ++seen) {
            const Tbk_Items_Info& it = (*table)[i];
            EXPECT_EQ(PageTitle(it.title), it.title);
            EXPECT_EQ(PageText(it.nick), it.nick);
            EXPECT_EQ(PageText(it.item_location), it.item_location);
            for (const Text* address : {&it.pic_url, &it.click_url, &it.shop_click_url})
                EXPECT_EQ(PageAddress(*address), *address);
            EXPECT_EQ(PageNumber(it.price, true), it.price);
            EXPECT_EQ(PageNumber(it.volume, false), it.volume);
        }
        if (i < 40 || ::testing::Test::HasFailure()) return seen;
    }
}

TEST(PageBytes, TheGeneratedCatalogueServedAsItIs) {
    auto proxy = StartTestProxy({.items = 20000, .seed = 1});  // what scripts/run serves
    EXPECT_EQ(CheckEveryPage(*proxy, ""), 20000);
    for (const char* word : {"手机", "连衣裙", "新款", "mp3"})
        EXPECT_GT(CheckEveryPage(*proxy, word), 0) << word;
}

TEST(PageBytes, TheExampleFeedsServedAsTheyAre) {
    std::string tmpl = (fs::temp_directory_path() / "quellot-pages-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    const std::string file = (dir / "shop.db").string();
    {
        std::string error;
        auto store = CatalogueStore::Open(file, CatalogueStore::Mode::ReadWrite, error);
        ASSERT_TRUE(store) << error;
        for (const char* feed : {"example.csv", "example.jsonl"}) {
            ImportCount count;
            ASSERT_TRUE(ImportFeed(QUELLOT_SOURCE_DIR "/data/feeds/" + std::string(feed), *store,
                                   count, error, {}))
                << error;
        }
    }
    {
        auto proxy = StartTestProxy({.catalogue = file});
        EXPECT_EQ(CheckEveryPage(*proxy, ""), static_cast<int>(proxy->Items().Items().size()));
        EXPECT_GT(CheckEveryPage(*proxy, "手机"), 0);
    }
    fs::remove_all(dir);
}

}  // namespace
