// The window driven the way a person drives it: real mouse, key and wheel events through the
// application's event filter, while a gate in front of the proxy holds or fails the searches.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QWebEngineHistory>
#include <QWheelEvent>
#include <functional>
#include <memory>

#include "GateServer.h"
#include "ProxyServer.h"
#include "Service.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "WindowFixture.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QTreeWidgetItem* NodeOf(const TAB& t) {
    return static_cast<QTreeWidgetItem*>(const_cast<void*>(t.Node));
}

// The window behind a gate that holds or fails its searches.
class RealUse : public WindowFixture {
protected:
    void SetUp() override {
        FGate = std::make_unique<GateServer>("127.0.0.1", gProxy->Port());
        ServiceBaseUrl = FGate->BaseUrl();
        OpenWindow();
    }
    void OpenWindow() {
        FForm.reset();
        FNothingFound = 0;
        FGate->SetMode(GateServer::Mode::Pass);
        FForm = StartWindow(FNothingFound);
        ASSERT_TRUE(FForm);
    }
    void TearDown() override {
        FForm.reset();
        FGate.reset();
        ServiceBaseUrl = gProxy->BaseUrl();
    }

    // The start-up tab and a keyword's tab, the first one shown.
    void TwoTabs() {
        TypeAndEnter("手机");
        ASSERT_TRUE(Finished());
        ClickTab(0);
        ASSERT_EQ(Form().Tabs().Count(), 2);
        ASSERT_EQ(Form().Tabs().Active(), 0);
    }

    QTabBar* Strip() { return Form().bsSkinTabControl1; }
    QTreeWidget* Tree() { return Form().bsSkinTreeView1; }
    QWidget* Surface() { return Form().web->focusProxy(); }
    bool Idle() { return Form().SearchIdle() && Form().bsSkinComboBox1->isEnabled(); }
    bool Finished() {
        return WaitFor([&] { return Idle(); });
    }
    bool SearchHeld() {
        return WaitFor([&] { return FGate->Held() == 1; });
    }
    QString PageText() {
        return Evaluate(Form().web, "document.body ? document.body.innerText : ''").toString();
    }

    // What a person does.
    void ClickNode(QTreeWidgetItem* node) {
        Tree()->scrollToItem(node);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(node).center());
    }
    void ClickTab(int index) {
        QTest::mouseClick(Strip(), Qt::LeftButton, {}, Strip()->tabRect(index).center());
    }
    void CloseTab(int index) {
        QWidget* button = Strip()->tabButton(index, QTabBar::RightSide);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void TypeAndEnter(const char* keyword) {
        QLineEdit* edit = Form().bsSkinComboBox1->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        // Chinese arrives through the input method, committed as a whole word.
        QInputMethodEvent typed;
        typed.setCommitString(Q(keyword));
        QApplication::sendEvent(edit, &typed);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void ClickPicture(QWidget* picture) {
        QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(5, 5));
    }
    // Opens the page list with a click and picks an entry with the arrow keys and Enter.
    void ChoosePage(int entry) {
        QComboBox* box = Form().ComboBoxPage;
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(WaitFor([&] { return view->isVisible(); }, 3000));
        int at = view->currentIndex().row();
        for (; at < entry; ++at) QTest::keyClick(view, Qt::Key_Down);
        for (; at > entry; --at) QTest::keyClick(view, Qt::Key_Up);
        QTest::keyClick(view, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return !view->isVisible(); }, 3000));
    }
    void Wheel(QWidget* target, QPoint angle) {
        QWheelEvent wheel(QPointF(10, 10), target->mapToGlobal(QPointF(10, 10)), QPoint(), angle,
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }

    // The titles the service gives for a tab's stored criteria and page, asked for directly.
    std::vector<Text> ServiceTitles(const TAB& t) {
        QTreeWidgetItem* node = NodeOf(t);
        Criteria c = CriteriaOf(t, Utf8ToGbk(node->text(0).toStdString()));
        c.CategoryId = node->data(0, Qt::UserRole).toLongLong();
        TTaobaoke_Items client;
        ATbk_Items_Info* reply = nullptr;
        EXPECT_TRUE(client.GetItems(BuildConditions(c, t.PageNo, gProxy->BaseUrl(), PublisherId),
                                    {}, reply));
        std::vector<Text> titles;
        for (int i = 0; reply && i < kTabItems && !(*reply)[i].title.empty(); ++i)
            titles.push_back((*reply)[i].title);
        return titles;
    }
    static std::vector<Text> Titles(const TAB& t) {
        std::vector<Text> titles;
        for (int i = 0; i < kTabItems && !t.Items[i].title.empty(); ++i)
            titles.push_back(t.Items[i].title);
        return titles;
    }
    // A tab holds what its caption, node, key and page say: the service's items for them.
    void ExpectTab(int index, const QString& caption, QTreeWidgetItem* node, int pageNo) {
        SCOPED_TRACE(caption.toStdString());
        ASSERT_LT(index, Form().Tabs().Count());
        const TAB& t = Form().Tabs().At(index);
        EXPECT_EQ(Strip()->tabText(index), caption);
        EXPECT_EQ(NodeOf(t), node);
        EXPECT_EQ(t.PageNo, pageNo);
        EXPECT_EQ(t.Key, SearchKey(CriteriaOf(t, Utf8ToGbk(node->text(0).toStdString()))));
        std::vector<Text> titles = Titles(t);
        EXPECT_FALSE(titles.empty());
        EXPECT_EQ(titles, ServiceTitles(t));
    }

    std::unique_ptr<GateServer> FGate;
};

}  // namespace

TEST_F(RealUse, ANewSearchIsFiledUnderWhatItSearchedWhateverIsClickedMeanwhile) {
    struct Case {
        const char* what;
        int startNode;  // a top-level category to click, or -1 to search a keyword instead
        std::function<void()> meanwhile;
        int tabsAfter;
    };
    const Case cases[] = {
        {"another category clicked during a category search", 1,
         [&] { ClickNode(Tree()->topLevelItem(2)); }, 3},
        {"another tab activated during a keyword search", -1, [&] { ClickTab(1); }, 3},
        {"a tab closed during a category search", 1, [&] { CloseTab(1); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenWindow();
        TwoTabs();
        QTreeWidgetItem* all = Tree()->topLevelItem(0);
        const std::vector<Text> allTitles = Titles(Form().Tabs().At(0));
        int searches = FGate->Searches();

        FGate->SetMode(GateServer::Mode::Hold);
        QTreeWidgetItem* searched = c.startNode >= 0 ? Tree()->topLevelItem(c.startNode) : all;
        const QString caption = c.startNode >= 0 ? searched->text(0) : Q("连衣裙");
        if (c.startNode >= 0)
            ClickNode(searched);
        else
            TypeAndEnter("连衣裙");
        ASSERT_TRUE(SearchHeld());
        c.meanwhile();
        EXPECT_FALSE(Form().NextBut->isEnabled());  // no paging while a search runs
        FGate->SetMode(GateServer::Mode::Pass);
        FGate->Release();
        ASSERT_TRUE(Finished());
        EXPECT_EQ(FGate->Searches(), searches + 1);  // what was clicked meanwhile searched nothing

        ASSERT_EQ(Form().Tabs().Count(), c.tabsAfter);
        ASSERT_EQ(Strip()->count(), c.tabsAfter);
        int opened = c.tabsAfter - 1;
        EXPECT_EQ(Form().Tabs().Active(), opened);
        EXPECT_EQ(Strip()->currentIndex(), opened);
        ExpectTab(opened, caption, searched, 1);
        ExpectTab(0, Q("所有类目"), all, 1);
        EXPECT_EQ(Titles(Form().Tabs().At(0)), allTitles);
        if (c.tabsAfter == 3) ExpectTab(1, Q("手机"), all, 1);
        // The controls show what the new tab holds.
        EXPECT_EQ(Tree()->currentItem(), searched);
        EXPECT_EQ(Form().bsSkinComboBox1->currentText(), c.startNode >= 0 ? QString() : caption);

        if (c.startNode < 0) continue;
        // Every category can still be searched: the one clicked meanwhile at once, the one
        // searched only brings its tab back.
        QTreeWidgetItem* other = Tree()->topLevelItem(2);
        ClickNode(other);
        ASSERT_TRUE(Finished());
        EXPECT_EQ(FGate->Searches(), searches + 2);
        ExpectTab(Form().Tabs().Count() - 1, other->text(0), other, 1);
        ClickNode(searched);
        EXPECT_EQ(Form().Tabs().Active(), opened);
        EXPECT_EQ(FGate->Searches(), searches + 2);
    }
}

TEST_F(RealUse, APageGoesToTheTabItWasAskedForOrNowhere) {
    struct Case {
        const char* what;
        bool closeIt;  // else another tab is activated
    };
    for (const Case& c : {Case{"another tab activated", false}, Case{"its tab closed", true}}) {
        SCOPED_TRACE(c.what);
        OpenWindow();
        TwoTabs();
        QTreeWidgetItem* all = Tree()->topLevelItem(0);
        const std::vector<Text> allTitles = Titles(Form().Tabs().At(0));
        ClickTab(1);
        const std::vector<Text> phonePage1 = Titles(Form().Tabs().At(1));

        FGate->SetMode(GateServer::Mode::Hold);
        QTest::mouseClick(Form().NextBut, Qt::LeftButton);
        ASSERT_TRUE(SearchHeld());
        if (c.closeIt)
            CloseTab(1);
        else
            ClickTab(0);
        EXPECT_EQ(Form().Tabs().Active(), 0);
        EXPECT_FALSE(Form().NextBut->isEnabled());
        FGate->SetMode(GateServer::Mode::Pass);
        FGate->Release();
        ASSERT_TRUE(Finished());

        // The tab shown keeps its items, its page and the pager that goes with them.
        ASSERT_EQ(Form().Tabs().Count(), c.closeIt ? 1 : 2);
        EXPECT_EQ(Form().Tabs().Active(), 0);
        ExpectTab(0, Q("所有类目"), all, 1);
        EXPECT_EQ(Titles(Form().Tabs().At(0)), allTitles);
        EXPECT_EQ(Form().PageNo(), 1);
        EXPECT_TRUE(Form().NextBut->isEnabled());
        EXPECT_FALSE(Form().BackBut->isEnabled());
        EXPECT_EQ(Form().ComboBoxPage->currentIndex(), 0);
        const QString shown = QString::fromStdString(GbkToUtf8(allTitles[0])).left(4);
        EXPECT_TRUE(WaitFor([&] { return PageText().contains(shown); }));
        if (c.closeIt) continue;
        // The page went to the tab it was asked for.
        ExpectTab(1, Q("手机"), all, 2);
        EXPECT_NE(Titles(Form().Tabs().At(1)), phonePage1);
        ClickTab(1);
        EXPECT_EQ(Form().PageNo(), 2);
        EXPECT_EQ(Form().ComboBoxPage->currentIndex(), 1);
        EXPECT_TRUE(Form().BackBut->isEnabled());
    }
}

TEST_F(RealUse, AfterAFailedPageSearchThePagerAndThePageListWorkOn) {
    const int pages = Form().Tabs().At(0).PageCount;
    ASSERT_GE(pages, 3);
    FGate->SetMode(GateServer::Mode::Fail);
    QTest::mouseClick(Form().NextBut, Qt::LeftButton);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(FNothingFound, 1);
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 1);
    EXPECT_EQ(Form().PageNo(), 1);  // counts from the page shown, not the one that failed
    EXPECT_TRUE(Form().NextBut->isEnabled());
    EXPECT_TRUE(Form().TailBut->isEnabled());
    EXPECT_EQ(Form().ComboBoxPage->count(), pages);
    EXPECT_EQ(Form().ComboBoxPage->currentIndex(), 0);

    FGate->SetMode(GateServer::Mode::Pass);
    int searches = FGate->Searches();
    ChoosePage(0);  // the page shown: nothing to fetch
    Settle(200);
    EXPECT_EQ(FGate->Searches(), searches);
    ChoosePage(2);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(FGate->Searches(), searches + 1);
    ExpectTab(0, Q("所有类目"), Tree()->topLevelItem(0), 3);
    QTest::mouseClick(Form().NextBut, Qt::LeftButton);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 4);
}

TEST_F(RealUse, AfterAFailedSearchThePageStillScrolls) {
    ASSERT_TRUE(WaitFor([&] { return Form().ScrollBar->isEnabled(); }));
    for (const char* keyword : {"x", "y"}) {
        SCOPED_TRACE(keyword);
        FGate->SetMode(GateServer::Mode::Fail);
        TypeAndEnter(keyword);
        ASSERT_TRUE(Finished());
        ASSERT_TRUE(WaitFor([&] { return Form().ScrollBar->isEnabled(); }));
        int at = Form().ScrollBar->Model().Position();
        Wheel(Surface(), QPoint(0, -120));
        EXPECT_EQ(Form().ScrollBar->Model().Position(), at + 80);
        EXPECT_TRUE(
            WaitFor([&] { return Evaluate(Form().web, "window.scrollY").toInt() == at + 80; }));
    }
    EXPECT_EQ(FNothingFound, 2);
    EXPECT_EQ(Form().Tabs().Count(), 1);
}

TEST_F(RealUse, ClosingTheWindowWhileThePageIsAskedForItsHeightDoesNotCrash) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WaitFor([&] { return Form().ScrollBar->isEnabled(); }));
        Wheel(Surface(), QPoint(0, -120));
        Form().ScrollBar->UpdateRange();  // its answer cannot have come yet
        FForm.reset();
        OpenWindow();
    }
}

TEST_F(RealUse, TheResultBrowserHasNoHistoryToGoBackTo) {
    // List, then grid, then list again: three documents the engine could go back through.
    QComboBox* view = Form().bsSkinComboBox4;
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return PageText().contains(Q("30天已售出")); }));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Up);
    ASSERT_TRUE(WaitFor([&] {
        return PageText().contains(Q("30天售出")) && !PageText().contains(Q("30天已售出"));
    }));
    EXPECT_TRUE(WaitFor([&] { return !Form().web->history()->canGoBack(); }));
    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"the mouse's back button",
         [&] { QTest::mouseClick(Surface(), Qt::BackButton, {}, QPoint(100, 100)); }},
        {"Alt+Left", [&] { QTest::keyClick(Surface(), Qt::Key_Left, Qt::AltModifier); }},
        {"the keyboard's back key", [&] { QTest::keyClick(Surface(), Qt::Key_Back); }},
        {"the engine's own back action",
         [&] { Form().web->page()->triggerAction(QWebEnginePage::Back); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Form().web->setFocus();
        c.act();
        Settle(500);
        EXPECT_TRUE(PageText().contains(Q("30天售出")));
        EXPECT_FALSE(PageText().contains(Q("30天已售出")));
        EXPECT_EQ(view->currentText(), Q("列表显示"));
    }
}

TEST_F(RealUse, ADoubleClickOnAPictureMovesItBackAndClicksOnce) {
    for (QLabel* picture : {Form().bsSkinLinkImage1, Form().Image1, Form().Image2}) {
        SCOPED_TRACE(picture->objectName().toStdString());
        const QPoint at = picture->pos();
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(picture->pos(), at + QPoint(1, 1));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5),
                        picture->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(picture, &dbl);
        EXPECT_EQ(picture->pos(), at + QPoint(1, 1));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(picture->pos(), at);
        ASSERT_TRUE(Finished());
    }
    // The search picture searched once: a new keyword opened one tab, with one request.
    int searches = FGate->Searches();
    Form().bsSkinComboBox1->setEditText("abc");
    QLabel* search = Form().bsSkinLinkImage1;
    QTest::mousePress(search, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(search, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), search->mapToGlobal(QPointF(5, 5)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(search, &dbl);
    QTest::mouseRelease(search, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(Finished());
    Settle(200);
    EXPECT_EQ(FGate->Searches(), searches + 1);
    EXPECT_EQ(Form().Tabs().Count(), 2);
}

TEST_F(RealUse, OnlyTheVerticalWheelScrollsANotchAt80AndUnfocusedListsIgnoreIt) {
    ASSERT_TRUE(WaitFor(
        [&] { return Form().ScrollBar->isEnabled() && Form().ScrollBar->Model().Max() > 1000; }));
    Form().web->setFocus();
    Wheel(Surface(), QPoint(-120, 0));  // tilted sideways
    Wheel(Surface(), QPoint(120, 0));
    EXPECT_EQ(Form().ScrollBar->Model().Position(), 0);
    Wheel(Form().ScrollBar, QPoint(0, -120));  // over the bar itself
    EXPECT_EQ(Form().ScrollBar->Model().Position(), 80);
    EXPECT_EQ(Form().ScrollBar->value(), 80);
    for (int i = 0; i < 4; ++i) Wheel(Surface(), QPoint(0, -30));  // a fine wheel: four quarters
    EXPECT_EQ(Form().ScrollBar->Model().Position(), 160);
    EXPECT_TRUE(WaitFor([&] { return Evaluate(Form().web, "window.scrollY").toInt() == 160; }));

    int searches = FGate->Searches();
    for (QComboBox* list :
         {Form().bsSkinComboBoxEx3, Form().ComboBoxPage, Form().bsSkinComboBox3}) {
        SCOPED_TRACE(list->objectName().toStdString());
        int index = list->currentIndex();
        Wheel(list, QPoint(0, -120));
        EXPECT_EQ(list->currentIndex(), index);
    }
    QSpinBox* price = Form().bsSkinSpinEdit1;
    Wheel(price, QPoint(0, 120));
    EXPECT_EQ(price->value(), 0);
    Settle(200);
    EXPECT_EQ(FGate->Searches(), searches);
    EXPECT_EQ(Form().Tabs().Count(), 1);
    // With the focus put in it, a list takes the wheel as it takes the arrow keys.
    Form().bsSkinComboBox3->setFocus();
    Wheel(Form().bsSkinComboBox3, QPoint(0, -120));
    EXPECT_EQ(Form().bsSkinComboBox3->currentIndex(), 1);
}

TEST_F(RealUse, EnterInAnyControlWithoutAUseForItSearches) {
    struct Case {
        const char* control;
        QWidget* (*widget)(TForm1&);
    };
    const Case cases[] = {
        {"category tree", [](TForm1& f) -> QWidget* { return f.bsSkinTreeView1; }},
        {"page list", [](TForm1& f) -> QWidget* { return f.ComboBoxPage; }},
        {"guarantee box", [](TForm1& f) -> QWidget* { return f.bsSkinCheckRadioBox1; }},
        {"region list", [](TForm1& f) -> QWidget* { return f.bsSkinComboBox3; }},
        {"view list", [](TForm1& f) -> QWidget* { return f.bsSkinComboBox4; }},
        {"lowest price", [](TForm1& f) -> QWidget* { return f.bsSkinSpinEdit1; }},
    };
    int price = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        int searches = FGate->Searches();
        int tabs = Form().Tabs().Count();
        Form().bsSkinSpinEdit1->setValue(price++);  // criteria no tab has yet
        QWidget* w = c.widget(Form());
        w->setFocus();
        ASSERT_TRUE(w->hasFocus());
        QTest::keyClick(w, Qt::Key_Return);
        ASSERT_TRUE(Finished());
        EXPECT_EQ(FGate->Searches(), searches + 1);
        EXPECT_EQ(Form().Tabs().Count(), tabs + 1);
    }
}

TEST_F(RealUse, KeywordsAreShownLiterallyInTabCaptions) {
    TypeAndEnter("a&b");
    ASSERT_TRUE(Finished());
    ASSERT_EQ(Strip()->count(), 2);
    // A doubled "&" is how the strip shows one "&" instead of underlining the next letter.
    EXPECT_EQ(Strip()->tabText(1), Q("a&&b"));
    EXPECT_EQ(Form().Tabs().At(1).Keyword, "a&b");
}

TEST_F(RealUse, RestoreIsOfferedWhenTheWindowIsBehindAnotherAndBringsItToTheFront) {
    QWidget other;
    other.resize(200, 200);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return other.isActiveWindow() && !Form().isActiveWindow(); }, 3000));
    Form().ShowWindowMenu(Form().mapToGlobal(QPoint(400, 20)));
    ASSERT_TRUE(WaitFor([&] { return Form().bsSkinPopupMenu2->isVisible(); }, 3000));
    EXPECT_TRUE(Form().N2->isEnabled());
    EXPECT_TRUE(Form().N3->isEnabled());
    Form().bsSkinPopupMenu2->close();
    Form().N2->trigger();
    EXPECT_TRUE(WaitFor([&] { return Form().isActiveWindow(); }, 3000));

    Form().ShowWindowMenu(Form().mapToGlobal(QPoint(400, 20)));
    ASSERT_TRUE(WaitFor([&] { return Form().bsSkinPopupMenu2->isVisible(); }, 3000));
    EXPECT_FALSE(Form().N2->isEnabled());  // in front already: nothing to restore
    EXPECT_TRUE(Form().N3->isEnabled());
    Form().bsSkinPopupMenu2->close();
}
