#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "MD5.h"
#include "ServiceReplies.h"
#include "Taobao_Itemcats.h"

namespace {

class Itemcats : public testing::Test {
protected:
    ScopedStampSource FStampSource{[] { return 1700000000; }};

    Tb_Itemcats_Cond Top() const {
        Tb_Itemcats_Cond c;
        c.pid = "mm_27418305_0_0";
        c.url = FServer.BaseUrl() + "taobao/tb_itemcats.php";
        c.parent_cid = '0';  // a character: see StartUpConditions
        return c;
    }
    bool Get(const Tb_Itemcats_Cond& cond) { return FClient.GetItemcats(cond, {}, FCats); }

    LoopbackServer FServer;
    TTaobao_Itemcats FClient;
    ATb_Itemcats_Info* FCats = nullptr;
};

}  // namespace

TEST_F(Itemcats, TopLevelUrlMatchesTheKnownAnswer) {
    FServer.SetBody(ItemcatsReply(3));
    ASSERT_TRUE(Get(Top()));
    EXPECT_EQ(
        FServer.LastTarget(),
        "/taobao/tb_itemcats.php?fields=cid,name,status,is_parent,sort_order,parent_cid"
        "&parent_cid=0&stamp=1700000000&pid=mm_27418305_0_0&sign=0c45f6f2d043ec3921b5c5ed936c1bc5");
    EXPECT_EQ((*FCats)[2].name, Utf8ToGbk("类目3"));
    EXPECT_EQ((*FCats)[0].is_parent, "true");
    EXPECT_EQ((*FCats)[1].is_parent, "false");
}

TEST_F(Itemcats, ByIdsSignsBothValuesInOrder) {
    FServer.SetBody(ItemcatsReply(1));
    Tb_Itemcats_Cond c = Top();
    c.cids = "12,34";
    c.parent_cid = '5';
    ASSERT_TRUE(Get(c));
    std::string t = FServer.LastTarget();
    EXPECT_NE(t.find("&cids=12,34&parent_cid=5&stamp="), std::string::npos) << t;
    EXPECT_NE(t.find("&sign=" + SignatureOf(c.pid, "1700000000", "12,345")), std::string::npos);
}

TEST_F(Itemcats, ShorterReplyClearsTheRestAndExtraEntriesAreIgnored) {
    FServer.SetBody(ItemcatsReply(60));
    ASSERT_TRUE(Get(Top()));
    FServer.SetBody(ItemcatsReply(30, 500));
    ASSERT_TRUE(Get(Top()));
    EXPECT_EQ((*FCats)[29].cid, "529");
    for (int i = 30; i <= 70; ++i) EXPECT_EQ((*FCats)[i].cid, "") << i;

    FServer.SetBody(ItemcatsReply(120));
    ASSERT_TRUE(Get(Top()));
    EXPECT_EQ((*FCats)[100].cid, "101");

    FServer.SetBody("<r><item_cats/></r>");
    ASSERT_TRUE(Get(Top()));
    EXPECT_EQ((*FCats)[0].cid, "");

    FServer.SetBody("<r><item_cats><c><cid>7</cid><name>n</name></c></item_cats></r>");
    ASSERT_TRUE(Get(Top()));
    EXPECT_EQ((*FCats)[0].is_parent, "");
}

TEST_F(Itemcats, FailuresReturnFalse) {
    Tb_Itemcats_Cond empty = Top();
    empty.parent_cid.clear();
    EXPECT_FALSE(Get(empty));
    EXPECT_EQ(FServer.RequestCount(), 0);
    for (const char* body : {"", "<r/>", "<r><x><item_cats/></x></r>", "<r><item_cats>",
                             "<r><item_cats><c><name><b/></name></c></item_cats></r>"}) {
        FServer.SetBody(body);
        EXPECT_FALSE(Get(Top())) << body;
    }
    LoopbackServer::Reply error;
    error.status = 404;
    error.body = ItemcatsReply(2);
    FServer.SetReply(error);
    EXPECT_FALSE(Get(Top()));
}
