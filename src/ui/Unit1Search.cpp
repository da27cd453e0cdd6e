// The window's side of a search: reading and restoring the criteria controls, the worker,
// storing results in tabs, the pager and the tab strip.

#include <QCoreApplication>
#include <QSignalBlocker>
#include <QTimer>

#include "Browser.h"
#include "ResultPage.h"
#include "Service.h"
#include "Unit1.h"

namespace {
QString FromGbk(const Text& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
Text ToGbk(const QString& s) { return Utf8ToGbk(s.toStdString()); }
const char* const kSearchingCaption = "正在搜索商品，请稍后......";

QTreeWidgetItem* ItemOf(NodeRef node) { return static_cast<QTreeWidgetItem*>(const_cast<void*>(node)); }
}  // namespace

Criteria TForm1::ReadCriteria() const {
    // A value typed but not yet committed counts as the box's value.
    bsSkinSpinEdit1->interpretText();
    bsSkinSpinEdit2->interpretText();
    Criteria c;
    c.Keyword = ToGbk(bsSkinComboBox1->currentText());
    QTreeWidgetItem* node = bsSkinTreeView1->currentItem();
    if (node && !IsPlaceholder(node)) {
        c.NodeCaption = ToGbk(node->text(0));
        c.CategoryId = node->data(0, Qt::UserRole).toLongLong();
        c.Node = node;
    }
    c.StartPrice = ToGbk(bsSkinSpinEdit1->cleanText());
    c.EndPrice = ToGbk(bsSkinSpinEdit2->cleanText());
    c.StartPriceValue = bsSkinSpinEdit1->value();
    c.EndPriceValue = bsSkinSpinEdit2->value();
    c.SortIndex = bsSkinComboBoxEx3->currentIndex();
    c.StartCreditIndex = bsSkinComboBoxEx1->currentIndex();
    c.EndCreditIndex = bsSkinComboBoxEx2->currentIndex();
    c.AreaIndex = bsSkinComboBox3->currentIndex();
    c.Guarantee = bsSkinCheckRadioBox1->isChecked();
    c.ViewIndex = bsSkinComboBox4->currentIndex();
    return c;
}

void TForm1::WriteCriteria(const Criteria& c) {
    // Restoring the controls is no user change: none of their change actions may run.
    const QSignalBlocker b1(bsSkinComboBox1), b2(bsSkinSpinEdit1), b3(bsSkinSpinEdit2), b4(bsSkinComboBoxEx3),
        b5(bsSkinComboBoxEx1), b6(bsSkinComboBoxEx2), b7(bsSkinComboBox4), b8(bsSkinComboBox3),
        b9(bsSkinCheckRadioBox1);
    bsSkinComboBox1->setEditText(FromGbk(c.Keyword));
    bsSkinSpinEdit1->setValue(QString::fromStdString(c.StartPrice).toInt());
    bsSkinSpinEdit2->setValue(QString::fromStdString(c.EndPrice).toInt());
    bsSkinComboBoxEx3->setCurrentIndex(c.SortIndex);
    bsSkinComboBoxEx1->setCurrentIndex(c.StartCreditIndex);
    bsSkinComboBoxEx2->setCurrentIndex(c.EndCreditIndex);
    bsSkinComboBox4->setCurrentIndex(c.ViewIndex);
    bsSkinComboBox3->setCurrentIndex(c.AreaIndex);
    bsSkinCheckRadioBox1->setChecked(c.Guarantee);
}

void TForm1::StartSearch() {
    if (!FSearch.Idle()) return;
    Criteria c = ReadCriteria();
    if (NormalizeCriteria(c).Any()) WriteCriteria(c);
    int index = 0;
    if (FTabList.FindTab(SearchKey(c), index)) {
        ShowTab(index);
        return;
    }
    if (!FSearch.TryBegin()) return;
    FPageNo = 1;
    FReuseTab = false;
    RememberKeyword(c.Keyword);
    ScrollBar->ResetOnNextDocument();
    LaunchWorker();
    SetControlsEnabled(false);
}

void TForm1::SearchPage() {
    // A page search takes the same gate as a new one: never two workers at once, even when
    // a tab activated during a search has re-enabled the pager.
    if (!FSearch.TryBegin()) return;
    FReuseTab = true;
    SetControlsEnabled(false);
    LaunchWorker();
}

void TForm1::LaunchWorker() {
    // The criteria are taken once the user-interface thread is back in its event loop, so the
    // start-up search sees the default filters set after it was asked for.
    QTimer::singleShot(0, this, [this] {
        setWindowTitle(QString::fromUtf8(kSearchingCaption));
        Criteria c = ReadCriteria();
        if (FWorker.joinable()) FWorker.join();  // the last worker has already ended
        FWorker = std::thread([this, c, page = FPageNo] { RunSearch(c, page); });
    });
}

void TForm1::RunSearch(Criteria criteria, int pageNo) {
    Tbk_Items_Cond cond = BuildConditions(criteria, pageNo, ServiceBaseUrl, PublisherId);
    bool ok = Taobaoke_Items1.GetItems(cond, Tbk_Items_Info{}, FResults);
    QCoreApplication::postEvent(this, new QEvent(MessageEvent(ok ? WM_SEARCH_DONE : WM_SEARCH_FAILED)));
    FSearch.End();
}

void TForm1::WMSearchDone() {
    StoreSearch();
    SetControlsEnabled(true);
    setWindowTitle("Quellot");
}

void TForm1::WMSearchFailed() {
    setWindowTitle("Quellot");
    if (NothingFoundBox) NothingFoundBox();
    SetControlsEnabled(true);
}

void TForm1::StoreSearch() {
    if (!FResults) return;
    Criteria c = ReadCriteria();
    Text key = SearchKey(c);
    if (!FTabList.Empty() && FReuseTab) {
        FTabList.StorePage(key, FPageNo, *FResults);
        ShowTab(FTabList.Active());
        return;
    }
    int index = FTabList.OpenTab(c, key, FPageNo, *FResults);
    {
        const QSignalBlocker block(bsSkinTabControl1);
        bsSkinTabControl1->addTab(FromGbk(TabList::CaptionFor(c)));
        bsSkinTabControl1->setCurrentIndex(index);
    }
    ShowTab(index);
}

void TForm1::ShowTab(int Index) {
    if (Index < 0 || Index >= FTabList.Count()) return;
    FTabList.SetActive(Index);
    const TAB& t = FTabList.At(Index);
    FSearchOnSelect = false;
    if (t.Node) {
        const QSignalBlocker block(bsSkinTreeView1);
        bsSkinTreeView1->setCurrentItem(ItemOf(t.Node));
        FLastNode = ItemOf(t.Node);
    }
    WriteCriteria(CriteriaOf(t, Text()));
    {
        const QSignalBlocker block(bsSkinTabControl1);
        bsSkinTabControl1->setCurrentIndex(Index);
    }
    FPageNo = t.PageNo;
    FSearchOnSelect = true;
    RenderPage();
    UpdatePager();
}

void TForm1::RenderPage() {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    LoadHtml(web, bsSkinComboBox4->currentIndex() == 0 ? BuildListPage(*t) : BuildGridPage(*t));
    ScrollBar->SetPosition(0);
}

void TForm1::UpdatePager() {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    PagerState p = ::UpdatePager(t->PageCount, t->PageNo);
    IndexBut->setEnabled(p.first);
    BackBut->setEnabled(p.back);
    NextBut->setEnabled(p.next);
    TailBut->setEnabled(p.last);
    const QSignalBlocker block(ComboBoxPage);
    ComboBoxPage->clear();
    for (const Text& page : p.pages) ComboBoxPage->addItem(QString::fromStdString(page));
    ComboBoxPage->setCurrentIndex(p.selected);
}

void TForm1::SetControlsEnabled(bool Enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{bsSkinComboBox1, bsSkinComboBox3, bsSkinSpinEdit1, bsSkinSpinEdit2,
                                                      bsSkinLinkImage1, bsSkinComboBoxEx1, bsSkinComboBoxEx2,
                                                      bsSkinComboBoxEx3, bsSkinCheckRadioBox1, ComboBoxPage,
                                                      bsSkinComboBox4})
        w->setEnabled(Enabled);
    if (!Enabled)
        for (QWidget* w : {BackBut, NextBut, TailBut, IndexBut}) w->setEnabled(false);
}

void TForm1::RememberKeyword(const Text& keyword) {
    if (!FHistory.RememberKeyword(keyword)) return;
    const QSignalBlocker block(bsSkinComboBox1);
    QString text = bsSkinComboBox1->currentText();
    bsSkinComboBox1->addItem(FromGbk(keyword));
    bsSkinComboBox1->setEditText(text);
}

void TForm1::IndexButClick() {
    FPageNo = 1;
    SearchPage();
}

void TForm1::BackButClick() {
    FPageNo = FPageNo - 1;
    SearchPage();
}

void TForm1::NextButClick() {
    FPageNo = FPageNo + 1;
    SearchPage();
}

void TForm1::TailButClick() {
    FPageNo = ComboBoxPage->count();
    SearchPage();
}

void TForm1::ComboBoxPageChange(int index) {
    int page = index + 1;
    if (index < 0 || page == FPageNo) return;
    FPageNo = page;
    SearchPage();
}

void TForm1::bsSkinComboBoxEx3Change(int) {
    if (FTabList.Count() >= 1) StartSearch();
}

void TForm1::bsSkinComboBox4Change(int index) {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    t->ViewIndex = index;
    RenderPage();
    web->setFocus();
}

void TForm1::bsSkinTabControl1Change(int index) { ShowTab(index); }

void TForm1::bsSkinTabControl1Close(int Index, bool& CanClose) {
    CanClose = FTabList.CanClose(Index);
    if (!CanClose) return;
    ShowTab(FTabList.NeighbourOf(Index));
    FTabList.Close(Index);
}

void TForm1::CloseTabAt(int index) {
    // Pressing a tab's close button makes that tab the active one first.
    if (index != bsSkinTabControl1->currentIndex() && index >= 0 && index < FTabList.Count()) ShowTab(index);
    FTabAtPointer = index;
    MenuItem1Click();
}

void TForm1::MenuItem1Click() {
    bool canClose = true;
    bsSkinTabControl1Close(FTabAtPointer, canClose);
    if (!canClose) return;
    const QSignalBlocker block(bsSkinTabControl1);
    bsSkinTabControl1->removeTab(FTabAtPointer);
    bsSkinTabControl1->setCurrentIndex(FTabList.Active());
}
