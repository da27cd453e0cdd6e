#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <optional>

#include "LoopbackServer.h"
#include "Platform.h"
#include "ProxyServer.h"
#include "Service.h"
#include "SkinForm.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "WindowFixture.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindow : public WindowFixture {
protected:
    int Searches() const { return gProxy->Count("items"); }
    // Waits until the search started last has been handled.
    bool Finished() {
        return WaitFor([&] { return Form().SearchIdle() && Form().bsSkinComboBox1->isEnabled(); });
    }
    void SearchFor(const char* keyword) {
        Form().bsSkinComboBox1->setEditText(Q(keyword));
        Form().StartSearch();
        ASSERT_TRUE(Finished());
    }
    QString PageText() {
        return Evaluate(Form().web, "document.body ? document.body.innerText : ''").toString();
    }
    int ItemsShown() {
        return Evaluate(Form().web, "document.querySelectorAll('[id=click_url]').length").toInt();
    }
};

}  // namespace

TEST_F(MainWindow, StartUpSearchOpensAllCategoriesWithTheDefaults) {
    EXPECT_EQ(Form().bsSkinTabControl1->count(), 1);
    EXPECT_EQ(Form().bsSkinTabControl1->tabText(0), Q("所有类目"));
    EXPECT_EQ(Form().windowTitle(), "Quellot");
    const TAB& t = Form().Tabs().At(0);
    EXPECT_EQ(t.StartCreditIndex, 4);
    EXPECT_EQ(t.EndCreditIndex, 19);
    EXPECT_EQ(t.SortIndex, 0);
    EXPECT_EQ(t.PageNo, 1);
    EXPECT_FALSE(t.Items[39].title.empty());
    EXPECT_TRUE(WaitFor([&] { return ItemsShown() == 40; }));
    EXPECT_FALSE(Form().IndexBut->isEnabled());
    EXPECT_FALSE(Form().BackBut->isEnabled());
    EXPECT_TRUE(Form().NextBut->isEnabled());
    EXPECT_TRUE(Form().TailBut->isEnabled());
    EXPECT_EQ(Form().ComboBoxPage->count(), t.PageCount);
    EXPECT_EQ(Form().ComboBoxPage->currentIndex(), 0);
}

TEST_F(MainWindow, RepeatedSearchActivatesItsTabWithoutARequest) {
    int before = Searches();
    SearchFor("  手机 ");
    EXPECT_EQ(Form().bsSkinComboBox1->currentText(), Q("手机"));  // trimmed in the box too
    EXPECT_EQ(Form().Tabs().Count(), 2);
    EXPECT_EQ(Form().bsSkinTabControl1->tabText(1), Q("手机"));
    EXPECT_EQ(Searches(), before + 1);
    EXPECT_TRUE(WaitFor([&] { return PageText().contains(Q("手机")); }));

    Form().bsSkinComboBox1->setEditText("");
    Form().StartSearch();  // the start-up search again: its tab comes back
    EXPECT_EQ(Form().Tabs().Active(), 0);
    EXPECT_EQ(Form().bsSkinTabControl1->currentIndex(), 0);
    Form().bsSkinComboBox1->setEditText(Q("手机"));
    Form().bsSkinComboBox4->setCurrentIndex(1);  // the view is not part of the key
    Form().StartSearch();
    EXPECT_EQ(Form().Tabs().Active(), 1);
    Settle(200);
    EXPECT_EQ(Searches(), before + 1);
    EXPECT_EQ(Form().History().Entries().size(), 1u);
    EXPECT_EQ(Form().bsSkinComboBox1->count(), 1);
}

TEST_F(MainWindow, EnterInTheKeywordBoxSearchesAndRequestsDuringASearchAreDropped) {
    int before = Searches();
    Form().bsSkinComboBox1->setFocus();
    Form().bsSkinComboBox1->setEditText(Q("连衣裙"));
    QTest::keyClick(Form().bsSkinComboBox1->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(Form().SearchIdle() && Form().bsSkinComboBox1->isEnabled());
    EXPECT_TRUE(Form().bsSkinLinkImage1->isEnabled());  // now it stops the search
    EXPECT_TRUE(Form().SearchRunning());
    EXPECT_FALSE(Form().NextBut->isEnabled());
    // These arrive while the search runs and are dropped, not queued.
    Form().StartSearch();
    Form().bsSkinTreeView1Change();
    Form().NextButClick();
    ASSERT_TRUE(Finished());
    Settle(300);
    EXPECT_EQ(Searches(), before + 1);
    EXPECT_EQ(Form().Tabs().Count(), 2);
    EXPECT_EQ(Form().bsSkinTabControl1->tabText(1), Q("连衣裙"));
    EXPECT_EQ(Form().windowTitle(), "Quellot");
}

TEST_F(MainWindow, PagingFetchesTheRightPages) {
    auto firstTitle = [&] { return Form().Tabs().At(Form().Tabs().Active()).Items[0].title; };
    Text page1 = firstTitle();
    Form().NextButClick();
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 2);
    EXPECT_EQ(Form().PageNo(), 2);
    EXPECT_NE(firstTitle(), page1);
    EXPECT_TRUE(Form().IndexBut->isEnabled());
    EXPECT_EQ(Form().ComboBoxPage->currentIndex(), 1);

    Form().TailButClick();
    ASSERT_TRUE(Finished());
    int count = Form().Tabs().At(0).PageCount;
    EXPECT_EQ(Form().Tabs().At(0).PageNo, count);
    EXPECT_FALSE(Form().NextBut->isEnabled());
    EXPECT_FALSE(Form().TailBut->isEnabled());

    Form().ComboBoxPage->setCurrentIndex(2);  // the user picks page 3
    emit Form().ComboBoxPage->activated(2);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 3);
    Form().BackButClick();
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 2);
    Form().IndexButClick();
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 1);
    EXPECT_EQ(firstTitle(), page1);
    EXPECT_EQ(Form().Tabs().Count(), 1);
}

TEST_F(MainWindow, FailedSearchesShowTheBoxAndLeaveTheTabs) {
    LoopbackServer forged;
    forged.SetBody("<?xml version=\"1.0\"?><error_response><code>25</code></error_response>");
    ServiceBaseUrl = forged.BaseUrl();
    SearchFor("abc");
    EXPECT_EQ(FBoxes.failed, std::vector<Failure>{Failure::NotAReply});
    EXPECT_EQ(FBoxes.nothingFound, 0);
    EXPECT_EQ(Form().Tabs().Count(), 1);
    EXPECT_EQ(Form().windowTitle(), "Quellot");
    EXPECT_TRUE(Form().NextBut->isEnabled());  // the pager is the active tab's again
    EXPECT_EQ(Form().PageNo(), 1);

    int closed;
    {
        LoopbackServer gone;
        closed = gone.Port();
    }
    ServiceBaseUrl = "http://127.0.0.1:" + std::to_string(closed) + "/";
    Form().NextButClick();
    ASSERT_TRUE(Finished());
    EXPECT_EQ(FBoxes.failed, (std::vector<Failure>{Failure::NotAReply, Failure::Connection}));
    EXPECT_EQ(FBoxes.nothingFound, 0);
    EXPECT_EQ(Form().Tabs().At(0).PageNo, 1);
    EXPECT_EQ(Form().PageNo(), 1);  // counts from the page shown again, not the one that failed
    EXPECT_TRUE(Form().NextBut->isEnabled());
}

TEST_F(MainWindow, ClosingRulesAndTheStripStayInStep) {
    SearchFor("正品");
    SearchFor("特价");
    ASSERT_EQ(Form().Tabs().Count(), 3);
    auto captions = [&] {
        QStringList c;
        for (int i = 0; i < Form().bsSkinTabControl1->count(); ++i)
            c << Form().bsSkinTabControl1->tabText(i);
        return c;
    };
    Form().bsSkinTabControl1->tabCloseRequested(0);  // the first of three: the second comes forward
    EXPECT_EQ(captions(), (QStringList{Q("正品"), Q("特价")}));
    EXPECT_EQ(Form().Tabs().Active(), 0);
    EXPECT_EQ(Form().bsSkinComboBox1->currentText(), Q("正品"));
    bool canClose = true;
    Form().bsSkinTabControl1Close(-1, canClose);  // a double click outside every tab
    EXPECT_FALSE(canClose);
    Form().bsSkinTabControl1->tabCloseRequested(1);
    EXPECT_EQ(captions(), (QStringList{Q("正品")}));
    Form().bsSkinTabControl1->tabCloseRequested(0);  // the last tab stays
    EXPECT_EQ(captions(), (QStringList{Q("正品")}));
    EXPECT_EQ(Form().Tabs().Count(), 1);
}

TEST_F(MainWindow, ViewLayoutBelongsToEachTab) {
    SearchFor("手机");
    Form().bsSkinComboBox4->setCurrentIndex(1);  // the user picks the grid for this tab
    ASSERT_TRUE(WaitFor([&] { return PageText().contains(Q("30天已售出")); }));
    EXPECT_EQ(Form().Tabs().At(1).ViewIndex, 1);
    Form().bsSkinTabControl1->setCurrentIndex(0);
    EXPECT_EQ(Form().bsSkinComboBox4->currentIndex(), 0);
    ASSERT_TRUE(WaitFor([&] { return PageText().contains(Q("30天售出")); }));
    Form().bsSkinTabControl1->setCurrentIndex(1);
    EXPECT_EQ(Form().bsSkinComboBox4->currentIndex(), 1);
    ASSERT_TRUE(WaitFor([&] { return PageText().contains(Q("30天已售出")); }));
}

TEST_F(MainWindow, SortOrderChangeSearchesAndRestoringDoesNot) {
    int before = Searches();
    Form().bsSkinComboBoxEx3->setCurrentIndex(1);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Searches(), before + 1);
    ASSERT_EQ(Form().Tabs().Count(), 2);
    Form().bsSkinTabControl1->setCurrentIndex(0);  // restores sort 0 without a search
    Settle(200);
    EXPECT_EQ(Form().bsSkinComboBoxEx3->currentIndex(), 0);
    EXPECT_EQ(Searches(), before + 1);
}

TEST_F(MainWindow, KeysAndRightClicksNeverReachThePageWhileTheWheelScrolls) {
    QWidget* surface = Form().web->focusProxy();
    ASSERT_NE(surface, nullptr);
    Evaluate(Form().web,
             "window.hits=0;document.addEventListener('keydown',function(){hits++});"
             "document.addEventListener('contextmenu',function(){hits++});"
             "document.addEventListener('mousedown',function(e){if(e.button==2)hits++});1");
    Form().web->setFocus();
    QTest::keyClick(surface, Qt::Key_A);
    QTest::keyClick(surface, Qt::Key_Return);
    QTest::keyClick(surface, Qt::Key_End);
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(100, 100));
    Settle(300);
    EXPECT_EQ(Evaluate(Form().web, "hits").toInt(), 0);
    Evaluate(Form().web, "document.dispatchEvent(new KeyboardEvent('keydown'));1");
    EXPECT_EQ(Evaluate(Form().web, "hits").toInt(), 1);  // the counter does count

    ASSERT_TRUE(WaitFor([&] { return Form().ScrollBar->isEnabled(); }));
    QTest::keyClick(surface, Qt::Key_Home);  // End moved the window's bar, not the page itself
    for (int notch : {-120, -120, 120, -120}) {
        QWheelEvent wheel(QPointF(100, 100), surface->mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, notch), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface, &wheel);
    }
    EXPECT_EQ(Form().ScrollBar->Model().Position(), 160);
    ASSERT_TRUE(WaitFor([&] { return Evaluate(Form().web, "window.scrollY").toInt() == 160; }));
}

TEST_F(MainWindow, ItemLinksOpenInTheUsersBrowser) {
    const TAB& t = Form().Tabs().At(0);
    Evaluate(Form().web, "OnPic(2);1");
    ASSERT_TRUE(WaitFor([&] { return !FOpened.empty(); }));
    EXPECT_EQ(FOpened.back(), t.Items[2].click_url);
    Evaluate(Form().web, "document.querySelectorAll('.div_nick a')[1].click();1");
    ASSERT_TRUE(WaitFor([&] { return FOpened.size() == 2; }));
    EXPECT_EQ(FOpened.back(), t.Items[1].shop_click_url);
    EXPECT_EQ(Form().web->url(), QUrl("http://quellot.invalid/"));  // the result page stays
}

TEST_F(MainWindow, ClosingTheWindowMidSearchNeitherCrashesNorHangs) {
    LoopbackServer silent;
    LoopbackServer::Reply reply;
    reply.silent = true;
    silent.SetReply(reply);
    ServiceBaseUrl = silent.BaseUrl();
    Form().bsSkinComboBox1->setEditText("x");
    Form().StartSearch();
    ASSERT_TRUE(WaitFor([&] { return silent.RequestCount() == 1; }));
    QElapsedTimer t;
    t.start();
    FForm.reset();
    EXPECT_LT(t.elapsed(), 5000);
    Settle(100);  // a late result event would find nothing to deliver to
}

TEST_F(MainWindow, WindowMenuStatesAndThePressEffect) {
    EXPECT_FALSE(Form().N2->isEnabled());  // shown: 还原 off, 最小化 on
    EXPECT_TRUE(Form().N3->isEnabled());
    Form().bsBusinessSkinForm1Minimize();
    EXPECT_TRUE(Form().N2->isEnabled());
    EXPECT_FALSE(Form().N3->isEnabled());
    Form().bsBusinessSkinForm1Restore();
    EXPECT_FALSE(Form().N2->isEnabled());
    // Only a key that works is shown: no restore key for a window without the keyboard, and
    // Ctrl+C stays copy.
    EXPECT_EQ(Form().N2->text(), Q("还原"));
    EXPECT_EQ(Form().N4->text(), Q("关闭"));
    EXPECT_TRUE(Form().N2->shortcut().isEmpty() && Form().N4->shortcut().isEmpty());
    EXPECT_EQ(Form().N3->shortcut(), QKeySequence("Ctrl+N"));

    QPoint at = Form().bsSkinLinkImage1->pos();
    QTest::mousePress(Form().bsSkinLinkImage1, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(Form().bsSkinLinkImage1->pos(), at + QPoint(1, 1));
    QTest::mouseRelease(Form().bsSkinLinkImage1, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(Form().bsSkinLinkImage1->pos(), at);
    EXPECT_TRUE(Form().SearchIdle());  // a right click is no click

    Form().N4Click();
    EXPECT_FALSE(Form().isVisible());
}

TEST_F(MainWindow, TheWindowsOwnFrameAndItsGeometry) {
    TForm1& f = Form();
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.FClient->size(), QSize(944, 673));
    EXPECT_EQ(f.size(), QSize(944 + 2 * 3, 673 + 26 + 3));
    SkinForm* frame = f.bsBusinessSkinForm1;
    for (QWidget* b :
         std::initializer_list<QWidget*>{frame->SystemMenuButton(), frame->MinimiseButton(),
                                         frame->MaximiseButton(), frame->CloseButton()})
        EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    f.setWindowTitle(Q("正在搜索商品，请稍后......"));
    EXPECT_EQ(frame->Caption()->text(), Q("正在搜索商品，请稍后......"));
    f.setWindowTitle("Quellot");

    // The system-menu button and a right click on the caption open the window menu (with the
    // window where the menu fits on the small test screen).
    f.move(0, 0);
    QTest::mouseClick(frame->SystemMenuButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return f.bsSkinPopupMenu2->isVisible(); }, 3000));
    EXPECT_EQ(f.bsSkinPopupMenu2->pos(), frame->SystemMenuButton()->mapToGlobal(
                                             QPoint(0, frame->SystemMenuButton()->height())));
    f.bsSkinPopupMenu2->close();
    QTest::mousePress(frame, Qt::RightButton, {}, QPoint(300, 10));
    ASSERT_TRUE(WaitFor([&] { return f.bsSkinPopupMenu2->isVisible(); }, 3000));
    EXPECT_EQ(f.bsSkinPopupMenu2->pos(), frame->mapToGlobal(QPoint(300, 10)));
    f.bsSkinPopupMenu2->close();

    // The page list: 36 wide, opening as at most 12 entries of 13 pixels.
    EXPECT_EQ(f.ComboBoxPage->width(), 36);
    ASSERT_GT(f.ComboBoxPage->count(), 12);
    f.ComboBoxPage->setEnabled(true);
    f.ComboBoxPage->showPopup();
    QAbstractItemView* list = f.ComboBoxPage->view();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }, 3000));
    EXPECT_EQ(list->visualRect(list->model()->index(0, 0)).height(), 13);
    EXPECT_LE(list->window()->height(), 12 * 13 + 6);
    EXPECT_GE(list->window()->height(), 12 * 13);
    f.ComboBoxPage->hidePopup();

    // The browser beside its bar, below the strip of tabs.
    EXPECT_EQ(f.web->width(), 651);
    EXPECT_EQ(f.ScrollBar->geometry().left(), f.web->geometry().right() + 3);

    QTest::mouseClick(frame->MinimiseButton(), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return f.isMinimized(); }, 3000));
    EXPECT_TRUE(f.N2->isEnabled());
}

TEST(Translations, QtsOwnTextsSpeakChinese) {
    // The test program loads them as the client does.
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    const QString undo = menu->actions().first()->text();
    EXPECT_TRUE(undo.contains(Q("撤"))) << undo.toStdString();
    EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text(),
              Q("取消"));
}

TEST(SkinMessageBox, TheNothingFoundBoxInTheWindowsFrame) {
    SkinMessage box(nullptr, Q("惜哉..."), Q("很抱歉，没有搜索到相关数据  ╮(╯▽╰)╭"));
    box.show();
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(box.Frame()->Caption()->text(), Q("惜哉..."));
    EXPECT_EQ(box.Text()->text(), Q("很抱歉，没有搜索到相关数据  ╮(╯▽╰)╭"));
    EXPECT_FALSE(box.Frame()->MinimiseButton()->isVisible());
    EXPECT_TRUE(box.Frame()->CloseButton()->isVisible());
    QList<QPushButton*> buttons = box.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), Q("确定"));
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(MainWindow, ResizingGivesTheSpaceToTheTreeAndThePage) {
    TForm1& f = Form();
    ASSERT_TRUE(WaitFor([&] { return f.ScrollBar->isEnabled(); }));
    const QRect before = f.geometry();
    for (QSize client : {QSize(1200, 800), QSize(861, 520), QSize(1600, 1000)}) {
        SCOPED_TRACE(client.width());
        f.resize(WindowSizeFor(client));
        ASSERT_EQ(f.size(), WindowSizeFor(client));
        const int browserHeight = client.height() - 6 - 83 - 23;
        EXPECT_EQ(f.web->height(), browserHeight);
        EXPECT_EQ(f.ScrollBar->height(), browserHeight);
        EXPECT_EQ(f.bsSkinTreeView1->height(), client.height() - 48);
        QWidget* panel = f.web->parentWidget();
        EXPECT_EQ(f.ScrollBar->geometry().right(), panel->width() - 1);
        EXPECT_EQ(f.TailBut->geometry().bottom() + 1 + f.TailBut->parentWidget()->y(),
                  panel->height() - 1);
        EXPECT_GE(f.bsSkinPanel1->width(), 672);  // the criteria bar stays whole
        // The bar fits the page again at the browser's new height.
        EXPECT_TRUE(WaitFor([&] { return f.ScrollBar->Model().PageSize() == browserHeight; }));
    }
    f.resize(100, 100);
    EXPECT_EQ(f.size(), WindowSizeFor(kMinClientSize));

    // The border resizes without a window manager's help: a drag on the bottom right corner.
    f.setGeometry(before);
    const QPoint corner(f.width() - 1, f.height() - 1);
    QTest::mousePress(&f, Qt::LeftButton, {}, corner);
    QMouseEvent drag(QEvent::MouseMove, QPointF(corner + QPoint(50, 40)),
                     f.mapToGlobal(QPointF(corner + QPoint(50, 40))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&f, &drag);
    QTest::mouseRelease(&f, Qt::LeftButton, {}, corner + QPoint(50, 40));
    EXPECT_EQ(f.size(), before.size() + QSize(50, 40));

    // A double click on the caption maximises into the screen's available area and back.
    f.setGeometry(before);
    QWidget* caption = f.bsBusinessSkinForm1;
    QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_TRUE(f.Maximised());
    EXPECT_EQ(f.geometry(), f.screen()->availableGeometry());
    QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_FALSE(f.Maximised());
    EXPECT_EQ(f.geometry(), before);
    QTest::mouseClick(static_cast<SkinForm*>(caption)->MaximiseButton(), Qt::LeftButton);
    EXPECT_TRUE(f.Maximised());
}
