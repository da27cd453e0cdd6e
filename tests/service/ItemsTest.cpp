#include <gtest/gtest.h>

#include <chrono>

#include "LoopbackServer.h"
#include "MD5.h"
#include "ServiceReplies.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"

namespace {

const char* const kFields =
    "fields=nick,title,price,pic_url,num_iid,click_url,commission,commission_num,commission_rate,"
    "commission_volume,shop_click_url,seller_credit_score,item_location,volume";

class Items : public testing::Test {
protected:
    Tbk_Items_Cond Defaults() const {
        return StartUpConditions(FServer.BaseUrl(), "mm_27418305_0_0");
    }
    bool Search(const Tbk_Items_Cond& cond) {
        ATbk_Items_Info* items = nullptr;
        bool ok = FClient.GetItems(cond, Tbk_Items_Info{}, items);
        if (ok) {
            EXPECT_EQ(items, FItems == nullptr ? items : FItems);
            FItems = items;
        }
        return ok;
    }
    // The query the server received, with the endpoint path taken off.
    std::string Query() const {
        std::string target = FServer.LastTarget();
        return target.substr(target.find('?') + 1);
    }

    int32_t FStamp = 1700000000;
    ScopedStampSource FStampSource{[this] { return FStamp; }};
    LoopbackServer FServer;
    TTaobaoke_Items FClient;
    ATbk_Items_Info* FItems = nullptr;
};

}  // namespace

TEST_F(Items, DefaultSearchUrlMatchesTheKnownAnswer) {
    FServer.SetBody(ItemsReply(0, "0"));
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ(Query(),
              std::string(kFields) +
                  "&cid=0&sort=commissionVolume_desc&keyword=&start_price=0&end_price=999999999"
                  "&page_no=1&start_credit=5heart&end_credit=5goldencrown&stamp=1700000000"
                  "&pid=mm_27418305_0_0&sign=80a832daf2ab2aa49bf6e4115540bf3a");
    EXPECT_EQ(FClient.LastUrl(),
              FServer.BaseUrl().substr(0, FServer.BaseUrl().size() - 1) + FServer.LastTarget());
}

TEST_F(Items, FilteredSearchUrlMatchesTheKnownAnswer) {
    FServer.SetBody(ItemsReply(0, "0"));
    FStamp = 1234567890;
    Tbk_Items_Cond c = Defaults();
    c.cid = "16";
    c.area = TableValue(RegionValues(), 1);
    c.sort = "price_asc";
    c.keyword = "\xCA\xD6\xBB\xFA";  // 手机 as typed, GBK
    c.start_price = "100";
    c.end_price = "500";
    c.page_no = "3";
    c.start_credit = "1heart";
    c.end_credit = "5crown";
    c.guarantee = "true";
    ASSERT_TRUE(Search(c));
    EXPECT_EQ(Query(),
              std::string(kFields) +
                  "&cid=16&area=%E6%B1%9F%E8%8B%8F%2C%E6%B5%99%E6%B1%9F%2C%E4%B8%8A%E6%B5%B7"
                  "&sort=price_asc&keyword=%E6%89%8B%E6%9C%BA&start_price=100&end_price=500"
                  "&page_no=3&start_credit=1heart&end_credit=5crown&guarantee=true"
                  "&stamp=1234567890&pid=mm_27418305_0_0&sign=2a28d72a77ebbb755d3ffa6623beaa11");
}

TEST_F(Items, KeywordParameterRules) {
    FServer.SetBody(ItemsReply(0, "0"));
    struct Case {
        const char* keyword;
        const char* sent;  // nullptr: no keyword parameter at all
    };
    const Case cases[] = {{"", "&keyword=&"},
                          {"keyword", nullptr},
                          {"Keyword", "&keyword=%4B%65"},
                          {"\xD6\xD0", "&keyword=%E4%B8%AD&"}};
    for (const Case& c : cases) {
        Tbk_Items_Cond cond = Defaults();
        cond.keyword = c.keyword;
        ASSERT_TRUE(Search(cond));
        std::string q = Query();
        if (c.sent)
            EXPECT_NE(q.find(c.sent), std::string::npos) << q;
        else
            EXPECT_EQ(q.find("keyword="), std::string::npos) << q;
        // The keyword is signed in its raw form even when it is not sent.
        Text values =
            "0"
            "commissionVolume_desc" +
            GbkToUtf8(c.keyword) +
            "1"
            "999999999"
            "5goldencrown"
            "0"
            "5heart";
        EXPECT_NE(q.find("&sign=" + SignatureOf("mm_27418305_0_0", "1700000000", values)),
                  std::string::npos)
            << c.keyword;
    }
}

TEST_F(Items, InvalidConditionsMakeNoRequest) {
    FServer.SetBody(ItemsReply(3, "3"));
    Tbk_Items_Cond noPid = Defaults(), noUrl = Defaults(), nothing = Defaults();
    noPid.pid.clear();
    noUrl.url.clear();
    nothing.cid.clear();
    for (const auto& c : {noPid, noUrl, nothing}) {
        EXPECT_FALSE(Search(c));
        EXPECT_EQ(FClient.LastFailure(), Failure::InvalidRequest);
    }
    EXPECT_EQ(FServer.RequestCount(), 0);
    Tbk_Items_Cond keywordOnly = nothing;
    keywordOnly.keyword = "abc";
    EXPECT_TRUE(Search(keywordOnly));
    EXPECT_EQ(Query().find("cid="), std::string::npos);
}

TEST_F(Items, ParsesItemsIntoGbkAndClearsWhatAShorterReplyLeaves) {
    FServer.SetBody(ItemsReply(40, "1234"));
    ASSERT_TRUE(Search(Defaults()));
    const ATbk_Items_Info& t = *FItems;
    EXPECT_EQ(t[0].title, Utf8ToGbk("商品0"));
    EXPECT_EQ(t[39].title, Utf8ToGbk("商品39"));
    EXPECT_EQ(t[39].total_results, "1234");
    EXPECT_EQ(t[7].seller_credit_score, "8");
    EXPECT_EQ(t[7].item_location, "\xD5\xE3\xBD\xAD \xBA\xBC\xD6\xDD");  // 浙江 杭州
    EXPECT_EQ(t[7].click_url, "http://c/7");
    EXPECT_EQ(t[40].title, "");

    FServer.SetBody(ItemsReply(10, "10", 100));
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ(t[9].title, Utf8ToGbk("商品109"));
    for (int i = 10; i <= 42; ++i) EXPECT_EQ(t[i].title, "") << i;
}

TEST_F(Items, RepliesThatStillSucceed) {
    // total_results without a list: the table is cleared.
    FServer.SetBody(ItemsReply(40, "40"));
    ASSERT_TRUE(Search(Defaults()));
    FServer.SetBody("<r><total_results>5</total_results></r>");
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ((*FItems)[0].title, "");
    EXPECT_EQ((*FItems)[0].total_results, "");

    // CDATA, a missing property, markup in a title, a character beyond GBK, GBK declared.
    FServer.SetBody(
        "<?xml version=\"1.0\" "
        "encoding=\"GBK\"?><r><total_results>2</total_results><taobaoke_items>"
        "<a><title><![CDATA[<span class=h>\xCA\xD6\xBB\xFA</span>]]></title></a>"
        "<b><title>x&#x1F600;y</title><nick>n</nick></b></taobaoke_items></r>");
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ((*FItems)[0].title, "<span class=h>\xCA\xD6\xBB\xFA</span>");
    EXPECT_EQ((*FItems)[0].seller_credit_score, "");
    EXPECT_EQ((*FItems)[1].title, "x\x94\x39\xFC\x36y");  // GB18030 keeps the emoji
    EXPECT_EQ((*FItems)[1].nick, "n");
    EXPECT_EQ((*FItems)[1].total_results, "2");

    // More items than the table holds: the rest are ignored.
    FServer.SetBody(ItemsReply(70, "70"));
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ((*FItems)[63].title, Utf8ToGbk("商品63"));
}

TEST_F(Items, FailuresReturnFalse) {
    const std::pair<std::string, Failure> failures[] = {
        {"", Failure::Malformed},
        {"not xml", Failure::Malformed},
        {"<r><taobaoke_items>" + ItemXml(0, "t") + "</taobaoke_items></r>", Failure::NotAReply},
        {"<r><x><total_results>1</total_results></x></r>", Failure::NotAReply},  // not under root
        {"<r><total_results>1</total_results><taobaoke_items><i><title>a<b>c</b></title></i>"
         "</taobaoke_items></r>",
         Failure::Malformed},
        {"<r><total_results>1</total_results><taobaoke_items><i><price><!--x--></price></i>"
         "</taobaoke_items></r>",
         Failure::Malformed},
        {"<!DOCTYPE r><r><total_results>1</total_results></r>", Failure::Malformed},
    };
    for (const auto& [body, failure] : failures) {
        FServer.SetBody(body);
        EXPECT_FALSE(Search(Defaults())) << body;
        EXPECT_EQ(FClient.LastFailure(), failure) << body;
    }
    LoopbackServer::Reply error;
    error.status = 500;
    error.body = ItemsReply(1, "1");
    FServer.SetReply(error);
    EXPECT_FALSE(Search(Defaults()));
    EXPECT_EQ(FClient.LastFailure(), Failure::HttpStatus);

    LoopbackServer::Reply silent;
    silent.silent = true;
    FServer.SetReply(silent);
    FClient.Http().SetReadTimeout(200);
    EXPECT_FALSE(Search(Defaults()));
    EXPECT_EQ(FClient.LastFailure(), Failure::IdleTimeout);
}

TEST(ItemsClient, WaitsFifteenSecondsForDataAndHalfAMinuteInAll) {
    TTaobaoke_Items client;
    EXPECT_EQ(client.Http().ReadTimeout(), 15000);
    EXPECT_EQ(client.Http().TotalTimeout(), 30000);
    TTaobao_Itemcats categories;  // runs on the window's thread: a shorter bound
    EXPECT_EQ(categories.Http().ReadTimeout(), 15000);
    EXPECT_EQ(categories.Http().TotalTimeout(), 20000);
}

TEST_F(Items, ATricklingReplyFailsWhenTheWholeCallRunsOut) {
    LoopbackServer::Reply slow;
    slow.body = std::string(2000, ' ') + "<r><total_results>1</total_results></r>";
    slow.trickleMs = 5;  // every byte in time, the whole reply in 10 s
    FServer.SetReply(slow);
    FClient.Http().SetTotalTimeout(500);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Search(Defaults()));
    EXPECT_EQ(FClient.LastFailure(), Failure::TotalTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(Items, RequestAndReplyStepsWorkWithoutTheNetwork) {
    FServer.SetBody(ItemsReply(3, "3"));
    ASSERT_TRUE(Search(Defaults()));
    EXPECT_EQ(ItemsRequestUrl(Defaults(), ItemNames({})), FClient.LastUrl());

    XmlDocument xml;
    ATbk_Items_Info table;
    ASSERT_EQ(ParseItemsReply(ItemsReply(3, "3"), ItemNames({}), xml, table), Failure::None);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table[i].title, (*FItems)[i].title) << i;
        EXPECT_EQ(table[i].total_results, (*FItems)[i].total_results) << i;
    }
    EXPECT_EQ(ParseItemsReply("<r/>", ItemNames({}), xml, table), Failure::NotAReply);
    EXPECT_EQ(ParseItemsReply("<r>", ItemNames({}), xml, table), Failure::Malformed);
}
