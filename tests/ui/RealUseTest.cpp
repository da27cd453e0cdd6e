// The window driven the way a person drives it: real mouse, key and wheel events through the
// application's event filter, while a gate in front of the proxy holds or fails the searches.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QWebEngineHistory>
#include <QWheelEvent>
#include <functional>
#include <memory>

#include "GateServer.h"
#include "ProxyServer.h"
#include "RealUseFixture.h"
#include "Service.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "WindowFixture.h"

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
    EXPECT_EQ(FBoxes.failed.size(), 1u);
    EXPECT_EQ(FBoxes.nothingFound, 0);
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
    EXPECT_EQ(FBoxes.failed.size(), 2u);
    EXPECT_EQ(FBoxes.nothingFound, 0);
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
    Form().bsSkinComboBox1->setEditText(Q("热卖"));
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

TEST_F(RealUse, TheMinimiseKeyWorksFromEveryControlAndCopyStaysCopy) {
    QLineEdit* edit = Form().bsSkinComboBox1->lineEdit();
    ASSERT_TRUE(WaitFor([&] { return Form().web->focusProxy() != nullptr; }));
    for (QWidget* w : {static_cast<QWidget*>(edit), static_cast<QWidget*>(Tree()),
                       Form().web->focusProxy(), static_cast<QWidget*>(Form().bsSkinComboBox3)}) {
        SCOPED_TRACE(w->metaObject()->className());
        Form().N2Click();
        ASSERT_TRUE(WaitFor([&] { return !Form().isMinimized() && Form().isActiveWindow(); }));
        w->setFocus();
        QTest::keyClick(w, Qt::Key_N, Qt::ControlModifier);
        EXPECT_TRUE(WaitFor([&] { return Form().isMinimized(); }));
    }
    Form().N2Click();
    ASSERT_TRUE(WaitFor([&] { return Form().isActiveWindow(); }));
    edit->setFocus();
    edit->setText("abc");
    edit->selectAll();
    QApplication::clipboard()->clear();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "abc");
    EXPECT_TRUE(Form().isVisible());
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

TEST_F(RealUse, EscapeOrTheStopPictureEndsASearchAtOnceAndTheNextOneRuns) {
    QLineEdit* edit = Form().bsSkinComboBox1->lineEdit();
    for (bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "Escape" : "the stop picture");
        FGate->SetMode(GateServer::Mode::Hold);
        TypeAndEnter(byKey ? "手机" : "连衣裙");
        ASSERT_TRUE(SearchHeld());
        EXPECT_TRUE(Form().SearchRunning());
        QElapsedTimer clock;
        clock.start();
        if (byKey)
            QTest::keyClick(edit, Qt::Key_Escape);
        else
            ClickPicture(Form().bsSkinLinkImage1);
        EXPECT_TRUE(Idle());  // no waiting: the controls are back
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_FALSE(Form().SearchRunning());
        EXPECT_EQ(Form().windowTitle(), "Quellot");
        EXPECT_TRUE(FBoxes.failed.empty());  // the user's own doing needs no word
        // The abandoned search's answer, let through now, changes nothing.
        FGate->SetMode(GateServer::Mode::Pass);
        FGate->Release();
        Settle(400);
        EXPECT_EQ(Form().Tabs().Count(), 1);
    }
    TypeAndEnter("手机");
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().Count(), 2);
    EXPECT_EQ(Strip()->tabText(1), Q("手机"));
}

TEST_F(RealUse, KeysScrollThePageWhereNoControlUsesThem) {
    const ScrollModel& bar = Form().ScrollBar->Model();
    // The whole page of 40 rows is laid out.
    ASSERT_TRUE(WaitFor([&] {
        return Form().ScrollBar->isEnabled() && !bar.ResetPending() &&
               bar.PositionLimit() > 3 * bar.LargeChange();
    }));
    Settle(300);
    Surface()->setFocus();
    QTest::keyClick(Surface(), Qt::Key_PageDown);
    EXPECT_EQ(bar.Position(), bar.LargeChange());
    QTest::keyClick(Surface(), Qt::Key_Down);
    EXPECT_EQ(bar.Position(), bar.LargeChange() + bar.SmallChange());
    QTest::keyClick(Surface(), Qt::Key_End);
    const int end = bar.Position();
    EXPECT_EQ(end, bar.PositionLimit());
    EXPECT_TRUE(WaitFor([&] { return Evaluate(Form().web, "window.scrollY").toInt() > 0; }));
    QTest::keyClick(Surface(), Qt::Key_PageUp);
    EXPECT_EQ(bar.Position(), end - bar.LargeChange());
    QTest::keyClick(Surface(), Qt::Key_Home);
    EXPECT_EQ(bar.Position(), 0);
    // In the keyword box the same keys edit the text.
    QLineEdit* edit = Form().bsSkinComboBox1->lineEdit();
    edit->setFocus();
    edit->setText("abc");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_PageDown);
    EXPECT_EQ(edit->cursorPosition(), 0);
    EXPECT_EQ(bar.Position(), 0);
}

TEST_F(RealUse, EveryFocusableControlShowsItsFocus) {
    Form().activateWindow();
    ASSERT_TRUE(WaitFor([&] { return Form().isActiveWindow(); }));
    QWidget* parking = Surface();  // the page: the focus is in no control
    for (QWidget* w : std::initializer_list<QWidget*>{
             Form().bsSkinComboBox1, Form().bsSkinSpinEdit1, Form().bsSkinSpinEdit2,
             Form().bsSkinComboBoxEx3, Form().bsSkinComboBoxEx1, Form().bsSkinComboBoxEx2,
             Form().bsSkinComboBox3, Form().bsSkinCheckRadioBox1, Form().bsSkinComboBox4, Tree()}) {
        SCOPED_TRACE(w->metaObject()->className());
        parking->setFocus();
        ASSERT_TRUE(WaitFor(
            [&] { return !w->hasFocus() && !w->isAncestorOf(QApplication::focusWidget()); }));
        Settle(50);  // the style follows the focus on its next paint
        const QImage without = w->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitFor([&] { return w->hasFocus(); }));
        Settle(50);
        EXPECT_NE(w->grab().toImage(), without);
    }
}
