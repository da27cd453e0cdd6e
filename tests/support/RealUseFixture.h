#pragma once
// The window as a person uses it, behind a gate that holds, fails or garbles its searches:
// clicks, keys and typing as real events, and what the window then holds and shows.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <vector>

#include "GateServer.h"
#include "Service.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "WindowFixture.h"

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
inline QTreeWidgetItem* NodeOf(const TAB& t) {
    return static_cast<QTreeWidgetItem*>(const_cast<void*>(t.Node));
}

// The window behind a gate that holds or fails its searches.
class RealUse : public WindowFixture {
protected:
    // The service behind the gate.
    virtual int UpstreamPort() { return gProxy->Port(); }
    void SetUp() override {
        FGate = std::make_unique<GateServer>("127.0.0.1", UpstreamPort());
        ServiceBaseUrl = FGate->BaseUrl();
        OpenWindow();
    }
    void OpenWindow() {
        FForm.reset();
        FBoxes = {};
        FGate->SetMode(GateServer::Mode::Pass);
        FForm = StartWindow(FBoxes);
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
