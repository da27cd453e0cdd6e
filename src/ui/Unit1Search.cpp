// The window's side of a search: reading and restoring the criteria controls, the worker,
// storing results in tabs, the pager and the tab strip.

#include <QApplication>
#include <QSignalBlocker>
#include <QTimer>

#include "Browser.h"
#include "CriteriaNames.h"
#include "GbkText.h"
#include "Pictures.h"
#include "ResultPage.h"
#include "Service.h"
#include "Unit1.h"

namespace {
const char* const kSearchingCaption = "正在搜索商品，请稍后......";

QTreeWidgetItem* ItemOf(NodeRef node) {
    return static_cast<QTreeWidgetItem*>(const_cast<void*>(node));
}

bool NothingIn(const ATbk_Items_Info* results) { return !results || (*results)[0].title.empty(); }
}  // namespace

QString SearchFailedText(Failure reason) {
    switch (reason) {
        case Failure::Connection:
            return QString::fromUtf8("无法连接到服务器，请检查网络后再试。");
        case Failure::Tls:
            return QString::fromUtf8("无法与服务器建立安全连接，请稍后再试。");
        case Failure::IdleTimeout:
        case Failure::TotalTimeout:
        case Failure::TooSlow:
            return QString::fromUtf8("服务器响应超时，请稍后再试。");
        case Failure::InvalidRequest:
            return QString::fromUtf8("没有可用的服务地址，搜索未能发出。");
        default:
            return QString::fromUtf8("服务器的回复有误，请稍后再试。");
    }
}

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
    const QSignalBlocker b1(bsSkinComboBox1), b2(bsSkinSpinEdit1), b3(bsSkinSpinEdit2),
        b4(bsSkinComboBoxEx3), b5(bsSkinComboBoxEx1), b6(bsSkinComboBoxEx2), b7(bsSkinComboBox4),
        b8(bsSkinComboBox3), b9(bsSkinCheckRadioBox1);
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
    // Until the service's address is settled there is nowhere to search; the start-up's own
    // search follows then, for the node selected by that time.
    if (FStarting || !SearchIdle()) return;
    Criteria c = ReadCriteria();
    if (NormalizeCriteria(c).Any()) WriteCriteria(c);
    int index = 0;
    if (FTabList.FindTab(SearchKey(c), index)) {
        ShowTab(index);
        return;
    }
    if (!FSearch.TryBegin()) return;
    FAwaitingResult = true;
    FPageNo = 1;
    FTicket = SearchTicket{};
    RememberKeyword(c.Keyword);
    ScrollBar->ResetOnNextDocument();
    LaunchWorker();
    SetControlsEnabled(false);
}

void TForm1::SearchPage() {
    // A page search takes the same gate as a new one: never two workers at once.
    TAB* t = FTabList.ActiveTab();
    if (FStarting || !t || !SearchIdle() || !FSearch.TryBegin()) return;
    FAwaitingResult = true;
    // The page is for this tab and reads the controls as they stand now, before the user can
    // switch to another tab.
    FTicket = SearchTicket{ReadCriteria(), FPageNo, true, t->Serial};
    SetControlsEnabled(false);
    LaunchWorker();
}

void TForm1::LaunchWorker() {
    // A new search's criteria are taken once the user-interface thread is back in its event
    // loop, so the start-up search sees the default filters set after it was asked for.
    FLaunchPending = true;
    ShowSearchRunning(true);
    QTimer::singleShot(0, this, [this] {
        if (!FLaunchPending) return;  // cancelled before it started
        FLaunchPending = false;
        setWindowTitle(QString::fromUtf8(kSearchingCaption));
        if (!FTicket.pageSearch) FTicket = SearchTicket{ReadCriteria(), FPageNo, false, 0};
        if (FWorker.joinable()) FWorker.join();  // the last worker has already ended
        Taobaoke_Items1.Http().ClearInterrupt();
        FWorker = std::thread(
            [this, c = FTicket.criteria, page = FTicket.pageNo] { RunSearch(c, page); });
    });
}

void TForm1::CancelSearch() {
    if (!SearchRunning()) return;
    if (FLaunchPending) {
        FLaunchPending = false;
        FSearch.End();
    } else {
        // The transfer ends at once; the worker then posts its answer and returns, and that
        // answer is dropped when it arrives.
        Taobaoke_Items1.Http().Interrupt();
        if (FWorker.joinable()) FWorker.join();
        ++FDroppedResults;
    }
    EndWithoutResult([] {});
}

void TForm1::RunSearch(Criteria criteria, int pageNo) {
    Tbk_Items_Cond cond = BuildConditions(criteria, pageNo, ServiceBaseUrl, PublisherId);
    bool ok = Taobaoke_Items1.GetItems(cond, Tbk_Items_Info{}, FResults);
    FSearchFailure = ok ? Failure::None : Taobaoke_Items1.LastFailure();
    FSearch.End();
    QCoreApplication::postEvent(this,
                                new QEvent(MessageEvent(ok ? WM_SEARCH_DONE : WM_SEARCH_FAILED)));
}

void TForm1::ShowSearchRunning(bool running) {
    bsSkinLinkImage1->setPixmap(running ? pictures::StopButton() : pictures::SearchButton());
    bsSkinLinkImage1->setToolTip(running ? QString::fromUtf8("停止搜索 (Esc)") : QString());
}

bool TForm1::DropCancelledResult() {
    if (FDroppedResults == 0) return false;
    --FDroppedResults;
    return true;
}

void TForm1::WMSearchDone() {
    if (DropCancelledResult()) return;
    if (NothingIn(FResults)) {
        // An empty page is no result to keep: no tab for it, and the user is told so.
        EndWithoutResult([this] {
            if (NothingFoundBox) NothingFoundBox();
        });
        return;
    }
    FAwaitingResult = false;
    ShowSearchRunning(false);
    StoreSearch();
    SetControlsEnabled(true);
    setWindowTitle(kWindowCaption);
}

void TForm1::WMSearchFailed() {
    if (DropCancelledResult()) return;
    Failure reason = FSearchFailure;
    EndWithoutResult([this, reason] {
        // A search given up on purpose needs no word about it.
        if (SearchFailedBox && reason != Failure::Cancelled) SearchFailedBox(reason);
    });
}

void TForm1::EndWithoutResult(const std::function<void()>& tell) {
    FAwaitingResult = false;
    ShowSearchRunning(false);
    setWindowTitle(kWindowCaption);
    tell();
    // Nothing new to show: the page on screen scrolls again, and the next page asked for
    // counts from the page the active tab shows, not from the one that gave nothing.
    ScrollBar->CancelReset();
    SetControlsEnabled(true);
    if (TAB* t = FTabList.ActiveTab()) FPageNo = t->PageNo;
    UpdatePager();
}

void TForm1::StoreSearch() {
    if (!FResults) return;
    const Criteria& c = FTicket.criteria;
    Text key = SearchKey(c);
    if (FTicket.pageSearch) {
        // The page belongs to the tab it was asked for; closed meanwhile, it has nowhere to go.
        // A tab shown in the meantime keeps the screen; its pager waited for the search's end.
        int index = FTabList.IndexOfSerial(FTicket.tabSerial);
        if (index >= 0) FTabList.StorePage(index, key, FTicket.pageNo, *FResults);
        if (index >= 0 && index == FTabList.Active()) {
            ShowTab(index);
        } else {
            UpdatePager();
            RefreshTabStrip();
        }
        return;
    }
    int index = FTabList.OpenTab(c, key, FTicket.pageNo, *FResults);
    {
        const QSignalBlocker block(bsSkinTabControl1);
        // A keyword is shown as typed: "&" is no shortcut marker here.
        bsSkinTabControl1->addTab(FromGbk(TabList::CaptionFor(c)).replace('&', "&&"));
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
    RefreshTabStrip();
}

void TForm1::RefreshTabStrip() {
    QTabBar* strip = bsSkinTabControl1;
    for (int i = 0; i < FTabList.Count() && i < strip->count(); ++i) {
        const TAB& t = FTabList.At(i);
        QStringList path;
        for (QTreeWidgetItem* n = t.Node ? ItemOf(t.Node) : nullptr; n; n = n->parent())
            path.prepend(n->text(0));
        strip->setTabToolTip(i, TabToolTip(t, path, bsSkinComboBox3->itemText(t.AreaIndex)));
        // The last tab cannot close, and its button says so.
        if (QWidget* close = strip->tabButton(i, QTabBar::RightSide))
            close->setEnabled(strip->count() > 1);
    }
}

void TForm1::RenderPage() {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    // The view list shows the tab's layout: restoring a tab and a change of view both set it.
    LoadHtml(web, BuildPage(*t));
    ScrollBar->SetPosition(0);
}

void TForm1::UpdatePager() {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    FoundLabel->setText(t->TotalResults.empty()
                            ? QString()
                            : QString::fromUtf8("共 %1 件").arg(FromGbk(t->TotalResults)));
    PagerState p = ::UpdatePager(t->PageCount, t->PageNo);
    // A tab shown while a search runs gets its page list, but no paging until the search ends.
    bool idle = SearchIdle();
    IndexBut->setEnabled(idle && p.first);
    BackBut->setEnabled(idle && p.back);
    NextBut->setEnabled(idle && p.next);
    TailBut->setEnabled(idle && p.last);
    const QSignalBlocker block(ComboBoxPage);
    ComboBoxPage->clear();
    for (const Text& page : p.pages) ComboBoxPage->addItem(QString::fromStdString(page));
    ComboBoxPage->setCurrentIndex(p.selected);
}

void TForm1::SetControlsEnabled(bool Enabled) {
    const std::initializer_list<QWidget*> controls{
        bsSkinComboBox1,   bsSkinComboBox3,   bsSkinSpinEdit1,   bsSkinSpinEdit2,
        bsSkinComboBoxEx1, bsSkinComboBoxEx2, bsSkinComboBoxEx3, bsSkinCheckRadioBox1,
        ComboBoxPage,      bsSkinComboBox4};
    // The window's own focus, which it keeps while another window is active.
    QWidget* focus = focusWidget();
    if (!Enabled && focus) {
        // Disabling the focused control would pass the focus on along the tab chain, into the
        // page, which then scrolls to its first link. The window keeps it meanwhile, and the
        // control gets it back when the search is over.
        for (QWidget* w : controls)
            if (w == focus || w->isAncestorOf(focus)) {
                FFocusBeforeSearch = focus;
                setFocus(Qt::OtherFocusReason);
            }
    }
    for (QWidget* w : controls) w->setEnabled(Enabled);
    // The search picture stays: while a search runs it stops it. Before start-up has an
    // address there is nothing to search or stop.
    bsSkinLinkImage1->setEnabled(!FStarting);
    if (!Enabled)
        for (QWidget* w : {BackBut, NextBut, TailBut, IndexBut}) w->setEnabled(false);
    if (Enabled && FFocusBeforeSearch) {
        if (focusWidget() == this) FFocusBeforeSearch->setFocus(Qt::OtherFocusReason);
        FFocusBeforeSearch = nullptr;
    }
}

void TForm1::RememberKeyword(const Text& keyword) {
    if (!FHistory.RememberKeyword(keyword)) return;
    const QSignalBlocker block(bsSkinComboBox1);
    QString text = bsSkinComboBox1->currentText();
    bsSkinComboBox1->addItem(FromGbk(keyword));
    bsSkinComboBox1->setEditText(text);
}

void TForm1::RequestPage(int page) {
    // A click that cannot start a search changes nothing, not even the page asked for.
    if (!SearchIdle() || !FTabList.ActiveTab()) return;
    FPageNo = page;
    SearchPage();
}

void TForm1::IndexButClick() { RequestPage(1); }
void TForm1::BackButClick() { RequestPage(FPageNo - 1); }
void TForm1::NextButClick() { RequestPage(FPageNo + 1); }
void TForm1::TailButClick() { RequestPage(ComboBoxPage->count()); }

void TForm1::ComboBoxPageChange(int index) {
    int page = index + 1;
    if (index < 0 || page == FPageNo) return;
    RequestPage(page);
}

void TForm1::bsSkinComboBoxEx3Change(int) {
    if (FTabList.Count() >= 1) StartSearch();
}

void TForm1::bsSkinComboBox4Change(int index) {
    TAB* t = FTabList.ActiveTab();
    if (!t) return;
    t->ViewIndex = index;
    RenderPage();
    RefreshTabStrip();
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
    if (index != bsSkinTabControl1->currentIndex() && index >= 0 && index < FTabList.Count())
        ShowTab(index);
    FTabAtPointer = index;
    MenuItem1Click();
}

void TForm1::MenuItem1Click() {
    bool canClose = true;
    bsSkinTabControl1Close(FTabAtPointer, canClose);
    if (!canClose) return;
    {
        const QSignalBlocker block(bsSkinTabControl1);
        bsSkinTabControl1->removeTab(FTabAtPointer);
        bsSkinTabControl1->setCurrentIndex(FTabList.Active());
    }
    RefreshTabStrip();
}
