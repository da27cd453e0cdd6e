#include "Unit1.h"

#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <QWindowStateChangeEvent>
#include <future>

#include "Browser.h"
#include "GbkText.h"
#include "Pictures.h"
#include "Platform.h"
#include "Service.h"
#include "SkinForm.h"
#include "Taobaoke_Items.h"

QEvent::Type MessageEvent(int message) { return static_cast<QEvent::Type>(QEvent::User + message); }

namespace {
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QPushButton* LabelButton(QWidget* parent, const char* caption, int width) {
    auto* b = new QPushButton(Q(caption), parent);
    b->setProperty("class", "LabelButton");
    b->setFlat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    b->setFixedSize(width, 19);
    b->setEnabled(false);
    return b;
}

QLabel* PictureButton(QWidget* parent, const QPixmap& picture, QRect at) {
    auto* l = new QLabel(parent);
    l->setPixmap(picture);
    l->setGeometry(at);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}
}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName("TForm1");
    setWindowTitle("Form1");
    // The window draws its own frame around its client area; the platform's frame would differ
    // from one desktop to the next. The design's size is the default; smaller screens get less.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setWindowIcon(QIcon(pictures::AppIcon(32)));
    setMinimumSize(WindowSizeFor(kMinClientSize));
    resize(WindowSizeFor(kClientSize));
    setMouseTracking(true);  // the border shows where it resizes
    move(277, 41);
    bsBusinessSkinForm1 = new SkinForm(this);
    FClient = new QWidget(this);
    FClient->setObjectName("FormClient");
    FClient->setAttribute(Qt::WA_StyledBackground);
    FClient->setGeometry(QRect(QPoint(SkinForm::kBorder, SkinForm::kCaptionHeight), kClientSize));
    BuildControls();
    LayOut();
    SetUpTree();
    BindEvents();
    NothingFoundBox = [this] { ShowMessage(Q("惜哉..."), Q(kNothingFoundText)); };
    SearchFailedBox = [this](Failure reason) {
        ShowMessage(Q(kSearchFailedCaption), SearchFailedText(reason));
    };
    ReplaceFileBox = [](const std::string& fileName) {
        return QMessageBox::question(
                   nullptr, "File Exists Alert",
                   QString::fromStdString("Replace existing file " + fileName + "?"),
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    Quit = [] { QCoreApplication::quit(); };
    FServiceWorker.OnStop([this] {
        ok1.Cancel();
        Taobao_Itemcats1.Http().Cancel();
    });
    MyUpdate1.SetReplaceQuestion(
        [this](const std::string& fileName) { return AskReplaceOnUiThread(fileName); });
}

void TForm1::ShowMessage(const QString& title, const QString& text) {
    SkinMessage box(this, title, text);
    box.adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen())
        box.move(s->geometry().center() - QPoint(box.width() / 2, box.height() / 2));
    box.exec();
}

bool TForm1::AskReplaceOnUiThread(const std::string& fileName) {
    // Runs on the updater's worker: the question is the window's to show, and the worker waits
    // for the answer without ever blocking a window that is closing.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, fileName, answer] { answer->set_value(ReplaceFileBox && ReplaceFileBox(fileName)); },
        Qt::QueuedConnection);
    while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        if (MyUpdate1.Cancelled()) return false;
    return result.get();
}

TForm1::~TForm1() {
    KeepSettings();
    // A page being destroyed answers its pending scripts at once, the scroll bar's height
    // query among them; by then its view is half gone and must not be touched.
    ScrollBar->m_web = nullptr;
    // No worker may outlive the window: cancel their transfers, then wait for them to return.
    Taobaoke_Items1.Http().Cancel();
    MyUpdate1.Cancel();
    FServiceWorker.Stop();
    if (FWorker.joinable()) FWorker.join();
    MyUpdate1.Wait();
    qApp->removeEventFilter(this);
}

void TForm1::BuildControls() {
    // Left column: one notebook page holding the category tree.
    bsSkinNotebook1 = new QWidget(FClient);
    bsSkinNotebook1->setObjectName("bsSkinNotebook1");
    bsSkinNotebook1->setGeometry(3, 3, 263, 667);
    auto* page = new QLabel(Q("商品类目"), bsSkinNotebook1);
    FTreePage = page;
    page->setObjectName("NotebookPage");
    page->setAlignment(Qt::AlignCenter);
    page->setGeometry(6, 6, 80, 24);
    bsSkinTreeView1 = new QTreeWidget(bsSkinNotebook1);
    bsSkinTreeView1->setGeometry(6, 36, 251, 625);
    bsSkinTreeView1->setHeaderHidden(true);
    bsSkinTreeView1->setIndentation(19);
    bsSkinTreeView1->setRootIsDecorated(true);
    bsSkinTreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    bsSkinTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bsSkinTreeView1->setIconSize(QSize(16, 16));
    bsSkinTreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    bsSkinTreeView1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* panel1 = new QWidget(FClient);
    FResultPanel = panel1;
    panel1->setGeometry(269, 3, 672, 667);
    bsSkinPanel1 = new QWidget(panel1);
    bsSkinPanel1->setObjectName("bsSkinPanel1");
    bsSkinPanel1->setAttribute(Qt::WA_StyledBackground);
    bsSkinPanel1->setGeometry(0, 0, 672, 59);
    BuildCriteriaBar(bsSkinPanel1);

    bsSkinTabControl1 = new QTabBar(panel1);
    bsSkinTabControl1->setGeometry(0, 61, 672, 22);
    bsSkinTabControl1->setTabsClosable(true);
    bsSkinTabControl1->setExpanding(false);
    bsSkinTabControl1->setDrawBase(false);
    // Captions stay whole; when the tabs overflow the strip scrolls them.
    bsSkinTabControl1->setElideMode(Qt::ElideNone);
    bsSkinTabControl1->setFocusPolicy(Qt::NoFocus);
    bsSkinTabControl1->setUsesScrollButtons(true);
    web = new QWebEngineView(panel1);
    web->setPage(new BrowserPage(web));
    web->setGeometry(0, 83, 651, 561);
    web->setContextMenuPolicy(Qt::NoContextMenu);
    ScrollBar = new TMyScrollBar(panel1);
    ScrollBar->setGeometry(653, 83, 19, 561);
    ScrollBar->m_web = web;

    auto* panel7 = new QWidget(panel1);
    FPagerBar = panel7;
    panel7->setObjectName("Panel7");
    panel7->setGeometry(0, 646, 672, 21);
    BuildPager(panel7);

    Button1 = new QPushButton("Button1", FClient);
    Button1->setGeometry(8, 60, 0, 0);
    Button1->setFocusPolicy(Qt::NoFocus);
    webCount = new QWebEngineView(FClient);
    webCount->setGeometry(2, -100, 0, 0);
    webCount->hide();

    bsSkinPopupMenu2 = new QMenu(this);
    // Only a shortcut that can work is offered: 还原 is for a window that has no keyboard (it
    // is minimised or behind another), and Ctrl+C is copy in every text of the window.
    N2 = bsSkinPopupMenu2->addAction(Q("还原"));
    N3 = bsSkinPopupMenu2->addAction(Q("最小化"));
    N3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    N3->setShortcutContext(Qt::WindowShortcut);
    addAction(N3);  // a window's action: the key works without the menu, from any control
    bsSkinPopupMenu2->addSeparator();
    N4 = bsSkinPopupMenu2->addAction(Q("关闭"));
    N2->setEnabled(false);
}

void TForm1::BuildCriteriaBar(QWidget* bar) {
    bsSkinStdLabel1 = new QLabel(Q("关键字："), bar);
    bsSkinStdLabel1->move(21, 10);
    bsSkinComboBox1 = new QComboBox(bar);
    bsSkinComboBox1->setGeometry(68, 6, 133, 20);
    bsSkinComboBox1->setEditable(true);
    bsSkinComboBox1->setInsertPolicy(QComboBox::NoInsert);
    bsSkinComboBox1->completer()->setCompletionMode(QCompleter::InlineCompletion);
    bsSkinComboBox1->completer()->setCaseSensitivity(Qt::CaseSensitive);

    const QVector<QPixmap> sorts = pictures::SortPictures();
    bsSkinComboBoxEx3 = new QComboBox(bar);
    bsSkinComboBoxEx3->setGeometry(204, 6, 133, 20);
    bsSkinComboBoxEx3->setIconSize(QSize(103, 14));
    for (int i = 0; i < sorts.size(); ++i)
        bsSkinComboBoxEx3->addItem(QIcon(sorts[i]), QString(i + 1, ' '));
    bsSkinComboBoxEx3->setCurrentIndex(-1);

    bsSkinStdLabel2 = new QLabel(Q("价格："), bar);
    bsSkinStdLabel2->move(345, 10);
    bsSkinSpinEdit1 = new QSpinBox(bar);
    bsSkinSpinEdit1->setGeometry(380, 6, 81, 20);
    bsSkinSpinEdit1->setRange(0, 999999999);
    bsSkinSpinEdit1->setValue(0);
    bsSkinSpinEdit2 = new QSpinBox(bar);
    bsSkinSpinEdit2->setGeometry(464, 6, 81, 20);
    bsSkinSpinEdit2->setRange(0, 999999999);
    bsSkinSpinEdit2->setValue(999999999);
    bsSkinCheckRadioBox1 = new QCheckBox(Q("消保"), bar);
    bsSkinCheckRadioBox1->setGeometry(550, 9, 52, 16);
    bsSkinLinkImage1 = PictureButton(bar, pictures::SearchButton(), QRect(608, 12, 57, 31));

    bsSkinStdLabel3 = new QLabel(Q("信用区间："), bar);
    bsSkinStdLabel3->move(9, 36);
    const QVector<QPixmap> credits = pictures::CreditPictures();
    bsSkinComboBoxEx1 = new QComboBox(bar);
    bsSkinComboBoxEx2 = new QComboBox(bar);
    bsSkinComboBoxEx1->setGeometry(68, 31, 133, 20);
    bsSkinComboBoxEx2->setGeometry(204, 31, 133, 20);
    for (QComboBox* box : {bsSkinComboBoxEx1, bsSkinComboBoxEx2}) {
        box->setIconSize(QSize(88, 22));
        for (const QPixmap& p : credits) box->addItem(QIcon(p), QString());
        box->setCurrentIndex(-1);
    }
    bsSkinStdLabel4 = new QLabel(Q("所在："), bar);
    bsSkinStdLabel4->move(345, 35);
    bsSkinComboBox3 = new QComboBox(bar);
    bsSkinComboBox3->setGeometry(380, 31, 81, 20);
    for (const Text& name : RegionNames()) bsSkinComboBox3->addItem(FromGbk(name));
    bsSkinComboBox3->setMaxVisibleItems(20);
    bsSkinComboBox3->setCurrentIndex(0);
    bsSkinComboBox4 = new QComboBox(bar);
    bsSkinComboBox4->setGeometry(464, 31, 81, 20);
    bsSkinComboBox4->addItems({Q("列表显示"), Q("大图显示")});
    bsSkinComboBox4->setCurrentIndex(0);
    Image1 = PictureButton(bar, pictures::Calculator(), QRect(550, 28, 25, 25));
    Image2 = PictureButton(bar, pictures::WebBrowser(), QRect(577, 28, 25, 25));
    Image2->setToolTip(Q("打开浏览器"));

    // Keyboard order within the bar.
    QWidget* order[] = {bsSkinComboBox1,   bsSkinSpinEdit1,      bsSkinSpinEdit2,
                        bsSkinComboBoxEx3, bsSkinComboBoxEx1,    bsSkinComboBoxEx2,
                        bsSkinComboBox3,   bsSkinCheckRadioBox1, bsSkinComboBox4};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::BuildPager(QWidget* bar) {
    IndexBut = LabelButton(bar, "首页", 32);
    BackBut = LabelButton(bar, "上页", 36);
    ComboBoxPage = new QComboBox(bar);
    ComboBoxPage->setObjectName("ComboBoxPage");
    ComboBoxPage->setFixedSize(36, 19);
    // A short list of small entries under the box, not a menu over the whole screen.
    auto* pages = new QListView(ComboBoxPage);
    pages->setUniformItemSizes(true);
    pages->setMinimumWidth(48);  // room for two digits beside its scroll bar
    ComboBoxPage->setView(pages);
    ComboBoxPage->setMaxVisibleItems(12);
    ComboBoxPage->setEnabled(false);
    NextBut = LabelButton(bar, "下页", 36);
    TailBut = LabelButton(bar, "尾页", 32);
    // How many items the active tab's search found, beside the pages they make.
    FoundLabel = new QLabel(bar);
    FoundLabel->setObjectName("FoundLabel");
    FoundLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FoundLabel->setFixedSize(160, 19);
    // Right-aligned in the bar by LayOut, whatever the window's width.
}

void TForm1::BindEvents() {
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(IndexBut, &QPushButton::clicked, this, &TForm1::IndexButClick);
    connect(BackBut, &QPushButton::clicked, this, &TForm1::BackButClick);
    connect(NextBut, &QPushButton::clicked, this, &TForm1::NextButClick);
    connect(TailBut, &QPushButton::clicked, this, &TForm1::TailButClick);
    // Every choice the user makes counts, the entry already shown included.
    connect(ComboBoxPage, &QComboBox::activated, this, &TForm1::ComboBoxPageChange);
    connect(bsSkinComboBoxEx3, &QComboBox::currentIndexChanged, this,
            &TForm1::bsSkinComboBoxEx3Change);
    connect(bsSkinComboBox4, &QComboBox::currentIndexChanged, this, &TForm1::bsSkinComboBox4Change);
    connect(bsSkinTabControl1, &QTabBar::currentChanged, this, &TForm1::bsSkinTabControl1Change);
    connect(bsSkinTabControl1, &QTabBar::tabCloseRequested, this, &TForm1::CloseTabAt);
    connect(bsSkinTreeView1, &QTreeWidget::currentItemChanged, this,
            &TForm1::bsSkinTreeView1Change);
    connect(ScrollBar, &TMyScrollBar::MouseEntered, this, [this] { ScrollBar->m_web->setFocus(); });
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(N3, &QAction::triggered, this, &TForm1::N3Click);
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    connect(bsSkinPopupMenu2, &QMenu::aboutToShow, this, &TForm1::UpdateMenuState);
    connect(bsBusinessSkinForm1, &SkinForm::MenuRequested, this, &TForm1::ShowWindowMenu);
    connect(bsBusinessSkinForm1, &SkinForm::MinimiseRequested, this, &TForm1::N3Click);
    connect(bsBusinessSkinForm1, &SkinForm::MaximiseToggled, this, &TForm1::ToggleMaximised);
    connect(bsBusinessSkinForm1, &SkinForm::CloseRequested, this, &TForm1::N4Click);
    // One application-wide filter sees every event first, the way the message filter sees
    // every queued message.
    qApp->installEventFilter(this);
}

bool TForm1::InsideBrowser(QObject* target) const {
    auto* w = qobject_cast<QWidget*>(target);
    return w && w != web && web->isAncestorOf(w);
}

bool TForm1::BrowserHistoryKey(QObject* target, QKeyEvent* k) const {
    // The result browser has no history a user may walk: its pages are made in memory.
    if (!InsideBrowser(target) && target != web) return false;
    switch (k->key()) {
        case Qt::Key_Back:
        case Qt::Key_Forward:
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            return k->modifiers() & Qt::AltModifier;
        default:
            return false;
    }
}

bool TForm1::ApplicationEvents1Message(QObject* target, QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            if (BrowserHistoryKey(target, k)) return true;
            // Alt combinations are system keys and pass, as F10 does.
            if (k->modifiers() & Qt::AltModifier) return false;
            if (k->key() == Qt::Key_F10) return false;
            if (e->type() == QEvent::KeyPress && ScrollKey(target, k)) return true;
            return InsideBrowser(target);
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            Qt::MouseButton button = static_cast<QMouseEvent*>(e)->button();
            bool history = button == Qt::BackButton || button == Qt::ForwardButton;
            return (button == Qt::RightButton || history) &&
                   (InsideBrowser(target) || (history && target == web));
        }
        case QEvent::ContextMenu:
            return InsideBrowser(target);
        case QEvent::Wheel:
            return WheelFilter(target, static_cast<QWheelEvent*>(e));
        default:
            return false;
    }
}

bool TForm1::ScrollKey(QObject* target, QKeyEvent* k) {
    // Keys the page would use to scroll itself move the window's scroll bar instead, where no
    // control of the window uses them: in the page, on the bar, on the window itself.
    if (!(InsideBrowser(target) || target == ScrollBar || target == this || target == FClient))
        return false;
    if (k->modifiers() & ~Qt::KeypadModifier) return false;
    QAbstractSlider::SliderAction action;
    switch (k->key()) {
        case Qt::Key_PageDown:
            action = QAbstractSlider::SliderPageStepAdd;
            break;
        case Qt::Key_PageUp:
            action = QAbstractSlider::SliderPageStepSub;
            break;
        case Qt::Key_Down:
            action = QAbstractSlider::SliderSingleStepAdd;
            break;
        case Qt::Key_Up:
            action = QAbstractSlider::SliderSingleStepSub;
            break;
        case Qt::Key_Home:
            action = QAbstractSlider::SliderToMinimum;
            break;
        case Qt::Key_End:
            action = QAbstractSlider::SliderToMaximum;
            break;
        default:
            return false;
    }
    if (ScrollBar->isEnabled()) ScrollBar->triggerAction(action);
    return true;
}

bool TForm1::WheelFilter(QObject* target, QWheelEvent* e) {
    auto* w = qobject_cast<QWidget*>(target);
    if (!w || w->window() != this) return false;
    if (InsideBrowser(target) || target == ScrollBar) {
        // Only the vertical wheel scrolls, a step a notch; turns smaller than a notch (fine
        // wheels, touchpads) add up. Neither the page, which never scrolls by itself, nor the
        // bar, which would step again, gets the wheel: the engine, handed wheels it leaves
        // unused, could crash when the window closed right after one.
        FWheelRemainder += e->angleDelta().y();
        for (; FWheelRemainder >= 120; FWheelRemainder -= 120) ScrollBar->WheelUp();
        for (; FWheelRemainder <= -120; FWheelRemainder += 120) ScrollBar->WheelDown();
        return true;
    }
    // A list or number box the user has not put the focus in ignores the wheel: scrolling
    // past it must not change a filter, let alone start a search.
    for (QWidget* p = w; p && p != this; p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
            return !p->hasFocus();
    return false;
}

bool TForm1::PressEffect(QObject* target, QEvent* e) {
    QLabel* picture = target == bsSkinLinkImage1 ? bsSkinLinkImage1
                      : target == Image1         ? Image1
                      : target == Image2         ? Image2
                                                 : nullptr;
    if (!picture) return false;
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // A disabled picture takes no presses; one already down is not moved twice.
            if (!picture->isEnabled()) return false;
            if (!FPressedPicture) {
                picture->move(picture->x() + 1, picture->y() + 1);
                FPressedPicture = picture;
                FPressWasDouble = e->type() == QEvent::MouseButtonDblClick;
            }
            return true;
        case QEvent::MouseButtonRelease: {
            if (FPressedPicture != picture) return picture->isEnabled();
            // Back where it was, even when a search disabled it meanwhile.
            picture->move(picture->x() - 1, picture->y() - 1);
            FPressedPicture = nullptr;
            auto* m = static_cast<QMouseEvent*>(e);
            // The second half of a double click is no second click: the first one launched.
            if (FPressWasDouble || m->button() != Qt::LeftButton ||
                !picture->rect().contains(m->position().toPoint()))
                return true;
            if (picture == bsSkinLinkImage1) bsSkinLinkImage1Click();
            if (picture == Image1) Image1Click();
            if (picture == Image2) Image2Click();
            return true;
        }
        default:
            return false;
    }
}

bool TForm1::EnterClicksDefault(QObject* target, QKeyEvent* k) {
    // Enter in any control of the window that has no use for it clicks the default button:
    // the criteria, the tree, the lists, the check box. The page swallows its keys; an open
    // list or completion takes Enter for itself.
    if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
    auto* w = qobject_cast<QWidget*>(target);
    if (!w || (w != this && !isAncestorOf(w)) || InsideBrowser(target) || w == web) return false;
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) return false;
    Button1->click();
    return true;
}

bool TForm1::ServiceKey(QObject* target, QKeyEvent* k) {
    auto* w = qobject_cast<QWidget*>(target);
    if (!w || w->window() != this || k->modifiers() != Qt::NoModifier) return false;
    // Escape stops a running search from anywhere in the window; an open list closes first.
    if (k->key() == Qt::Key_Escape && SearchRunning() && !QApplication::activePopupWidget()) {
        CancelSearch();
        return true;
    }
    // F5 asks again for a category top level that could not be loaded.
    if (k->key() == Qt::Key_F5) {
        LoadTopLevel();
        return true;
    }
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && ServiceKey(watched, static_cast<QKeyEvent*>(e)))
        return true;
    if (ApplicationEvents1Message(watched, e)) return true;
    if (PressEffect(watched, e)) return true;
    if (e->type() == QEvent::KeyPress && EnterClicksDefault(watched, static_cast<QKeyEvent*>(e)))
        return true;
    if (watched == bsSkinTabControl1 && e->type() == QEvent::MouseButtonDblClick) {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::LeftButton) {
            FTabAtPointer = bsSkinTabControl1->tabAt(m->position().toPoint());
            MenuItem1Click();
            return true;
        }
    }
    if (watched == bsSkinPanel1 && e->type() == QEvent::ContextMenu) {
        // This system has no taskbar-button menu message; the bar's right click opens the menu.
        ShowWindowMenu(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

bool TForm1::event(QEvent* e) {
    if (e->type() == MessageEvent(WM_SEARCH_DONE)) {
        WMSearchDone();
        return true;
    }
    if (e->type() == MessageEvent(WM_SEARCH_FAILED)) {
        WMSearchFailed();
        return true;
    }
    if (e->type() == MessageEvent(WM_UPDATE_DONE)) {
        WMUpdateDone();
        return true;
    }
    if (e->type() == MessageEvent(WM_UPDATE_FAILED)) {
        WMUpdateFailed();
        return true;
    }
    return QWidget::event(e);
}

void TForm1::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        if (isMinimized())
            bsBusinessSkinForm1Minimize();
        else
            bsBusinessSkinForm1Restore();
    }
}

void TForm1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    bsBusinessSkinForm1Restore();
    // The first thing a user does is type a keyword.
    if (!FShownOnce) bsSkinComboBox1->setFocus(Qt::ActiveWindowFocusReason);
    FShownOnce = true;
}

void TForm1::ShowWindowMenu(const QPoint& at) {
    FMenuPoint = at;
    bsSkinPopupMenu2->popup(FMenuPoint);
}

void TForm1::N2Click() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    bsBusinessSkinForm1Restore();
}

void TForm1::N3Click() {
    showMinimized();
    bsBusinessSkinForm1Minimize();
}

void TForm1::N4Click() { close(); }

void TForm1::bsBusinessSkinForm1Minimize() {
    N2->setEnabled(true);
    N3->setEnabled(false);
}

void TForm1::bsBusinessSkinForm1Restore() {
    N2->setEnabled(false);
    N3->setEnabled(true);
}

void TForm1::UpdateMenuState() {
    // Where the menu is opened from decides nothing; the window's state does. 还原 can act
    // while the window is minimised or behind another window, 最小化 while it is not minimised.
    if (isMinimized()) {
        bsBusinessSkinForm1Minimize();
        return;
    }
    bsBusinessSkinForm1Restore();
    if (!isActiveWindow()) N2->setEnabled(true);
}

void TForm1::Image1Click() {
    if (!platform::StartCalculator()) Notice(Q("没有找到计算器程序"));
}

void TForm1::Image2Click() {
    if (!platform::OpenUrl(HomePage)) Notice(Q("没有找到网页浏览器"));
}

void TForm1::Notice(const QString& text) {
    // Said in the caption for a few seconds; a caption set meanwhile (a search) is left alone.
    const QString caption = Q(kWindowCaption) + " - " + text;
    setWindowTitle(caption);
    QTimer::singleShot(kNoticeMs, this, [this, caption] {
        if (windowTitle() == caption) setWindowTitle(kWindowCaption);
    });
}
