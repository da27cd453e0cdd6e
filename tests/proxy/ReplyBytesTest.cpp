// The bytes of the item, category and page replies for one generated catalogue, pinned by their
// MD5 as the in-memory server answered them before the catalogue moved into a database: clients
// must not notice where the catalogue lives.

#include <gtest/gtest.h>

#include <functional>

#include "Http.h"
#include "MD5.h"
#include "ServiceReplies.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"
#include "TestProxy.h"
#include "Text.h"

namespace {

const char* const kPid = "mm_27418305_0_0";

std::string Md5(const std::string& body) { return MD5Print(MD5String(body)); }

std::string BodyWithoutBase(const std::string& url, const std::string& base) {
    HttpClient http;
    std::string body;
    EXPECT_TRUE(http.Get(url, body)) << url;
    // The links carry the port, which differs from run to run.
    for (size_t at; (at = body.find(base)) != std::string::npos;)
        body.replace(at, base.size(), "B/");
    return body;
}

}  // namespace

TEST(ReplyBytes, StayAsTheyWere) {
    auto proxy = StartTestProxy({.items = 3000, .seed = 7});
    const std::string base = proxy->BaseUrl();
    struct Case {
        const char* label;
        std::function<void(Tbk_Items_Cond&)> set;
        const char* md5;
    };
    const Case items[] = {
        {"defaults", [](auto&) {}, "ea9b1102c212784dc627f865b0793867"},
        {"keyword", [](auto& c) { c.keyword = Utf8ToGbk("手机"); },
         "fecd00ab08b75fdcf26cf7f55029cb53"},
        {"two words", [](auto& c) { c.keyword = Utf8ToGbk("新款 男"); },
         "999a2edfb02f21889a86d0a4bd30c88f"},
        {"ascii keyword", [](auto& c) { c.keyword = "qq"; }, "bc7e658f73f7494917142c200475d197"},
        // One-character values as characters: see StartUpConditions.
        {"category", [](auto& c) { c.cid = '5'; }, "f66f761ac74a0de00c2fe0ed16f924be"},
        {"area", [](auto& c) { c.area = Utf8ToGbk("浙江,广州"); },
         "eebfcb6cfe965b500868e6af35a90663"},
        {"price",
         [](auto& c) {
             c.start_price = "10.5";
             c.end_price = "300";
         },
         "27746825a3d489c7bd86e164ab6738f2"},
        {"credit",
         [](auto& c) {
             c.start_credit = "3diamond";
             c.end_credit = "1heart";
         },
         "a39dd6f8b3d64749bf939a7698d64a5d"},
        {"guarantee", [](auto& c) { c.guarantee = "true"; }, "02361203497855627171d5bcab58b723"},
        {"price up", [](auto& c) { c.sort = "price_asc"; }, "c1613b65a133900dadabae875ace75f6"},
        {"price down page 3",
         [](auto& c) {
             c.sort = "price_desc";
             c.page_no = '3';
         },
         "b105a652503aae9b3a2928808988c0f7"},
        {"credit down",
         [](auto& c) {
             c.sort = "credit_desc";
             c.cid = '1';
         },
         "6dc0161893703860e2ae3e3e1176e98c"},
        {"sales",
         [](auto& c) {
             c.sort = "commissionNum_desc";
             c.keyword = Utf8ToGbk("裙");
         },
         "c63388104f35f7f58419c20c8a99b9f9"},
        {"past the end", [](auto& c) { c.page_no = "1000"; }, "f1c74936e8c95e70a725dabacf3e2da5"},
        {"unknown category", [](auto& c) { c.cid = "99999"; }, "abe2eef11412a0c5c92d367fc838831f"},
    };
    for (const Case& c : items) {
        Tbk_Items_Cond cond = StartUpConditions(base, kPid);
        c.set(cond);
        TTaobaoke_Items client;
        ATbk_Items_Info* table = nullptr;
        ASSERT_TRUE(client.GetItems(cond, {}, table)) << c.label;
        EXPECT_EQ(Md5(BodyWithoutBase(client.LastUrl(), base)), c.md5) << c.label;
    }
    const std::pair<std::string, const char*> pages[] = {
        {"item/10000042", "a371ab831266d7103530034dcb765540"},
        {"shop/17", "9d6170bdb91c8c0c0d31c1e9ae7cb69f"},
    };
    for (const auto& [path, md5] : pages)
        EXPECT_EQ(Md5(BodyWithoutBase(base + path, base)), md5) << path;
    const struct {
        std::string parent, cids;
        const char* md5;
    } cats[] = {{"0", "", "aee7094c82b4003faa50aced2c09333c"},
                {"", "1,7,70,99999", "621f985e350ea7317bfe4aa5628d75ac"},
                {"3", "", "fb083c91f61b1f2fa5eb154de9d3d845"}};
    for (const auto& [parent, cids, md5] : cats) {
        Tb_Itemcats_Cond cond{kPid, base + "taobao/tb_itemcats.php", cids, parent};
        TTaobao_Itemcats client;
        ATb_Itemcats_Info* table = nullptr;
        ASSERT_TRUE(client.GetItemcats(cond, {}, table)) << parent << cids;
        EXPECT_EQ(Md5(BodyWithoutBase(client.LastUrl(), base)), md5) << parent << cids;
    }
}
