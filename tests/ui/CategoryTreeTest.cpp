#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTabBar>
#include <QTest>
#include <memory>

#include "CategoryNames.h"
#include "LoopbackServer.h"
#include "ProxyServer.h"
#include "Service.h"
#include "ServiceReplies.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
int PictureOf(QTreeWidgetItem* item) { return item->data(0, Qt::UserRole + 2).toInt(); }
int IdOf(QTreeWidgetItem* item) { return item->data(0, Qt::UserRole).toInt(); }
bool HasPlaceholder(QTreeWidgetItem* item) {
    return item->childCount() == 1 && IsPlaceholder(item->child(0));
}

struct Window {
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>();
    SearchBoxes boxes;
    Window() {
        boxes.Watch(*form);
        form->FormCreate();
        form->show();
    }
    bool Idle() {
        return WaitFor([&] {
            return form->SearchIdle() && form->bsSkinComboBox1->isEnabled() && !form->TreeBusy();
        });
    }
    // Opens a node as a click on its arrow does, and waits for its children's answer.
    bool Expand(QTreeWidgetItem* node) {
        node->setExpanded(true);
        return WaitFor([&] { return !form->TreeBusy(); });
    }
    QTreeWidgetItem* Top(int i) { return form->bsSkinTreeView1->topLevelItem(i); }
};

LoopbackServer::Reply Body(const std::string& body) {
    LoopbackServer::Reply r;
    r.body = body;
    return r;
}

std::string Cat(const std::string& cid, const std::string& name, bool parent) {
    return "<item_cat><cid>" + cid + "</cid><name>" + name + "</name><is_parent>" +
           (parent ? "true" : "false") + "</is_parent></item_cat>";
}
std::string Cats(const std::string& entries) {
    return "<r><item_cats>" + entries + "</item_cats></r>";
}

}  // namespace

TEST(CategoryTree, FromTheProxy) {
    auto started = StartTestProxy({.items = 3000});
    ProxyServer& proxy = *started;
    ServiceBaseUrl = proxy.BaseUrl();
    Window w;
    ASSERT_TRUE(w.Idle());
    QTreeWidget* tree = w.form->bsSkinTreeView1;
    ASSERT_EQ(tree->topLevelItemCount(), 66);
    EXPECT_EQ(w.Top(0)->text(0), Q("所有类目"));
    EXPECT_EQ(PictureOf(w.Top(0)), 0);
    EXPECT_EQ(w.Top(0)->childCount(), 0);
    for (int k = 1; k <= 65; ++k) {
        EXPECT_EQ(w.Top(k)->text(0).toStdString(), GbkToUtf8(CategoryNames()[k - 1]));
        EXPECT_EQ(PictureOf(w.Top(k)), k);
        EXPECT_TRUE(HasPlaceholder(w.Top(k)));
    }
    // The first search ran for all categories, before the category list was asked for.
    EXPECT_EQ(w.form->bsSkinTabControl1->tabText(0), Q("所有类目"));
    EXPECT_NE(w.form->Taobaoke_Items1.LastUrl().find("&cid=0&"), std::string::npos);

    QTreeWidgetItem* phones = w.Top(35);
    int asked = proxy.Count("itemcats");
    ASSERT_TRUE(w.Expand(phones));
    EXPECT_EQ(proxy.Count("itemcats"), asked + 1);
    ASSERT_GT(phones->childCount(), 1);
    QTreeWidgetItem* withChildren = nullptr;
    for (int i = 0; i < phones->childCount(); ++i) {
        EXPECT_EQ(PictureOf(phones->child(i)), 35);
        if (HasPlaceholder(phones->child(i))) withChildren = phones->child(i);
    }
    ASSERT_NE(withChildren, nullptr);
    phones->setExpanded(false);
    ASSERT_TRUE(w.Expand(phones));
    EXPECT_EQ(proxy.Count("itemcats"), asked + 1);  // loaded once

    // Selecting a category searches with its id and opens a tab with its name.
    tree->setCurrentItem(withChildren);
    ASSERT_TRUE(w.Idle());
    EXPECT_NE(
        w.form->Taobaoke_Items1.LastUrl().find("&cid=" + std::to_string(IdOf(withChildren)) + "&"),
        std::string::npos);
    ASSERT_EQ(w.form->Tabs().Count(), 2);
    EXPECT_EQ(w.form->bsSkinTabControl1->tabText(1), withChildren->text(0));
    // Restoring the first tab selects its node without a search.
    int searches = proxy.Count("items");
    w.form->bsSkinTabControl1->setCurrentIndex(0);
    Settle(200);
    EXPECT_EQ(tree->currentItem(), w.Top(0));
    EXPECT_EQ(proxy.Count("items"), searches);
    // Selecting the root again finds its tab.
    tree->setCurrentItem(withChildren);
    EXPECT_EQ(w.form->Tabs().Active(), 1);
    EXPECT_EQ(proxy.Count("items"), searches);
}

TEST(CategoryTree, EdgeCasesOfTheReplies) {
    LoopbackServer server;
    server.SetReplyFor("/taobao/tbk_items.php", Body(ItemsReply(5, "5")));
    server.SetReplyFor(
        "/taobao/tb_itemcats.php",
        Body(Cats(Cat("10", "女装/女士精品", true) + Cat("", "no id", false) +
                  Cat("11", "error", false) + Cat("abc", "bad id", false) +
                  Cat("99999999999", "too big", false) + Cat("12", "乐器/吉他/钢琴/配件", false) +
                  Cat("13", "不在表中", true))));
    ServiceBaseUrl = server.BaseUrl();
    Window w;
    ASSERT_TRUE(w.Idle());
    QTreeWidget* tree = w.form->bsSkinTreeView1;
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    EXPECT_EQ(w.Top(1)->text(0), Q("女装/女士精品"));
    EXPECT_EQ(PictureOf(w.Top(1)), 1);
    EXPECT_TRUE(HasPlaceholder(w.Top(1)));
    EXPECT_EQ(w.Top(2)->text(0), Q("乐器/吉他/钢琴/配件"));
    EXPECT_EQ(PictureOf(w.Top(2)), 65);
    EXPECT_EQ(w.Top(2)->childCount(), 0);
    EXPECT_EQ(PictureOf(w.Top(3)), 0);

    // A failed expansion closes the node and keeps the placeholder; it cannot be searched for.
    LoopbackServer::Reply broken;
    broken.status = 500;
    server.SetReplyFor("/taobao/tb_itemcats.php", broken);
    int asked = server.RequestCountFor("/taobao/tb_itemcats.php");
    ASSERT_TRUE(w.Expand(w.Top(1)));
    EXPECT_EQ(server.RequestCountFor("/taobao/tb_itemcats.php"), asked + 1);
    ASSERT_TRUE(HasPlaceholder(w.Top(1)));
    EXPECT_FALSE(w.Top(1)->isExpanded());
    int searches = server.RequestCountFor("/taobao/tbk_items.php");
    tree->setCurrentItem(w.Top(1)->child(0));
    Settle(200);
    EXPECT_NE(tree->currentItem(), w.Top(1)->child(0));
    EXPECT_EQ(server.RequestCountFor("/taobao/tbk_items.php"), searches);

    // The next expansion asks again: 70 children show as 61, with the parent's picture.
    server.SetReplyFor("/taobao/tb_itemcats.php", Body(ItemcatsReply(70, 100)));
    w.Top(1)->setExpanded(false);
    ASSERT_TRUE(w.Expand(w.Top(1)));
    ASSERT_EQ(w.Top(1)->childCount(), 61);
    EXPECT_EQ(PictureOf(w.Top(1)->child(60)), 1);
    EXPECT_EQ(IdOf(w.Top(1)->child(0)), 100);

    // A third entry without an id ends the list.
    server.SetReplyFor("/taobao/tb_itemcats.php",
                       Body(Cats(Cat("20", "a", false) + Cat("21", "b", false) +
                                 Cat("", "c", false) + Cat("23", "d", false))));
    ASSERT_TRUE(w.Expand(w.Top(3)));
    ASSERT_EQ(w.Top(3)->childCount(), 2);
    EXPECT_EQ(w.Top(3)->child(1)->text(0), "b");
}

TEST(CategoryTree, AFailedTopLevelLeavesTheRootAlone) {
    LoopbackServer server;
    server.SetReplyFor("/taobao/tbk_items.php", Body(ItemsReply(5, "5")));
    server.SetReplyFor("/taobao/tb_itemcats.php", Body("<r/>"));
    ServiceBaseUrl = server.BaseUrl();
    Window w;
    ASSERT_TRUE(w.Idle());
    EXPECT_EQ(w.form->bsSkinTreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(w.form->Tabs().Count(), 1);
}

TEST(CategoryTree, AnExpansionWaitingForTheServiceBlocksNothing) {
    LoopbackServer server;
    server.SetReplyFor("/taobao/tbk_items.php", Body(ItemsReply(40, "400")));
    server.SetReplyFor("/taobao/tb_itemcats.php",
                       Body(Cats(Cat("1", "a", true) + Cat("2", "b", true))));
    ServiceBaseUrl = server.BaseUrl();
    Window w;
    ASSERT_TRUE(w.Idle());
    ASSERT_EQ(w.form->bsSkinTreeView1->topLevelItemCount(), 3);
    w.form->bsSkinComboBox1->setEditText("x");
    w.form->StartSearch();
    ASSERT_TRUE(w.Idle());
    ASSERT_EQ(w.form->Tabs().Count(), 2);

    LoopbackServer::Reply slow = Body(Cats(Cat("10", "child", false)));
    slow.burstsAtMs = {3000};
    server.SetReplyFor("/taobao/tb_itemcats.php", slow);
    QElapsedTimer clock;
    clock.start();
    w.Top(1)->setExpanded(true);
    EXPECT_EQ(w.Top(1)->child(0)->text(0), Q("加载中…"));
    // The pager and the tab strip act at once while the tree waits.
    QTest::mouseClick(w.form->NextBut, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return w.form->SearchIdle() && w.form->PageNo() == 2; }));
    QTabBar* strip = w.form->bsSkinTabControl1;
    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(0).center());
    EXPECT_EQ(w.form->Tabs().Active(), 0);
    EXPECT_TRUE(w.form->TreeBusy());
    EXPECT_LT(clock.elapsed(), 2500);
    ASSERT_TRUE(w.Idle());
    EXPECT_GE(clock.elapsed(), 2900);
    ASSERT_EQ(w.Top(1)->childCount(), 1);
    EXPECT_EQ(w.Top(1)->child(0)->text(0), "child");

    // An answer for a node closed meanwhile is dropped; the next opening asks again.
    w.Top(2)->setExpanded(true);
    w.Top(2)->setExpanded(false);
    ASSERT_TRUE(w.Idle());
    EXPECT_TRUE(HasPlaceholder(w.Top(2)));
    server.SetReplyFor("/taobao/tb_itemcats.php", Body(Cats(Cat("20", "late", false))));
    ASSERT_TRUE(w.Expand(w.Top(2)));
    EXPECT_EQ(w.Top(2)->child(0)->text(0), "late");
}
