#pragma once
// The main window: criteria bar, category tree, search tabs with the result browser, pager.
// It is glue: the search logic lives in the session layer, the service talks in the service layer.

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeWidget>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <unordered_set>
#include <vector>

#include "Criteria.h"
#include "MyScrollBar.h"
#include "Pager.h"
#include "ServiceWorker.h"
#include "Tabs.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"
#include "WindowMessages.h"
#include "myupdate.h"
#include "ok.h"

// The private window messages arrive as posted events of these types.
QEvent::Type MessageEvent(int message);

// The client area inside the window's own frame: the design's size, and the least it takes
// (the criteria bar whole, beside a narrower tree).
inline constexpr QSize kClientSize(944, 673);
inline constexpr QSize kMinClientSize(861, 520);
// The whole window, frame included, around a client area of this size.
QSize WindowSizeFor(QSize client);

// The window's caption whenever no search or update is under way.
inline constexpr const char* kWindowCaption = "Quellot";

// Where the window goes on a screen: centred, then 10 pixels left and 15 up.
QPoint CenteredPosition(QSize screen, QSize window);
// The same inside a screen's available area (without panels and docks), moved as little as
// needed to keep the window inside it, its caption first when it is too big.
QPoint PlacedPosition(QRect available, QSize window);
// The window's place and size at start-up on a screen with this available area.
QRect StartGeometry(QRect available);

// What the user is told when a search fails for this reason.
QString SearchFailedText(Failure reason);
inline constexpr const char* kSearchFailedCaption = "搜索失败";
inline constexpr const char* kNothingFoundText = "很抱歉，没有搜索到相关数据  ╮(╯▽╰)╭";

// Captions and rows while the service is asked.
inline constexpr const char* kConnectingCaption = "正在连接服务器……";
inline constexpr const char* kLoadingRow = "加载中…";

// Milliseconds from now until deadline; negative once it has passed.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline);

// A row standing for children not loaded yet.
bool IsPlaceholder(const QTreeWidgetItem* item);

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The start-up sequence; the main block runs it right after construction. It returns at
    // once: the service's answers are waited for off the window thread.
    void FormCreate();
    // From FormCreate until the software information has been answered (or has failed).
    bool Starting() const { return FStarting; }
    // The caption the update decision gave.
    QString StartCaption() const { return FStartCaption; }
    // The bound of the whole start-up's asking; tests make it short.
    void SetStartupBound(std::chrono::milliseconds bound) { FStartupBound = bound; }
    // The top level of the category tree is in (not the root alone).
    bool TopLevelLoaded() const { return FTopLevel == TreeState::Loaded; }
    // Some part of the tree is being asked for.
    bool TreeBusy() const { return FTopLevel == TreeState::Loading || !FLoadingNodes.empty(); }
    // Gives up the running search: its transfer ends, the controls come back, its answer is
    // dropped.
    void CancelSearch();
    // True while a search runs that the user may cancel.
    bool SearchRunning() const { return !FSearch.Idle() || FLaunchPending; }

    // Where the window keeps what it remembers between runs; empty (as in tests): nothing.
    QString SettingsFile;

    // Shown when a search finds nothing, and when it fails with the reason; tests put their
    // own in their place.
    std::function<void()> NothingFoundBox;
    std::function<void(Failure)> SearchFailedBox;
    // Asks whether an update may replace an existing file; true for Yes.
    std::function<bool(const std::string& fileName)> ReplaceFileBox;
    // Ends the program once an update has started the new version.
    std::function<void()> Quit;

    // Controls, by their form names.
    class SkinForm* bsBusinessSkinForm1;  // the frame: caption bar and its buttons
    QWidget* FClient;                     // everything inside the frame
    QWidget* bsSkinPanel1;
    QLabel* bsSkinStdLabel1;
    QComboBox* bsSkinComboBox1;
    QComboBox* bsSkinComboBoxEx3;
    QLabel* bsSkinStdLabel2;
    QSpinBox* bsSkinSpinEdit1;
    QSpinBox* bsSkinSpinEdit2;
    QCheckBox* bsSkinCheckRadioBox1;
    QLabel* bsSkinLinkImage1;
    QLabel* bsSkinStdLabel3;
    QComboBox* bsSkinComboBoxEx1;
    QComboBox* bsSkinComboBoxEx2;
    QLabel* bsSkinStdLabel4;
    QComboBox* bsSkinComboBox3;
    QComboBox* bsSkinComboBox4;
    QLabel* Image1;
    QLabel* Image2;
    QWidget* bsSkinNotebook1;
    QTreeWidget* bsSkinTreeView1;
    QTabBar* bsSkinTabControl1;
    QWebEngineView* web;
    QWebEngineView* webCount;
    TMyScrollBar* ScrollBar;
    QPushButton* IndexBut;
    QPushButton* BackBut;
    QComboBox* ComboBoxPage;
    QPushButton* NextBut;
    QPushButton* TailBut;
    QLabel* FoundLabel;
    QPushButton* Button1;
    QMenu* bsSkinPopupMenu2;
    QAction* N2;
    QAction* N3;
    QAction* N4;

    // Components.
    TTaobaoke_Items Taobaoke_Items1;
    TTaobao_Itemcats Taobao_Itemcats1;
    TOK ok1;
    TMyUpdate MyUpdate1;

    // State a caller may look at.
    const TabList& Tabs() const { return FTabList; }
    int PageNo() const { return FPageNo; }
    // No search runs and none has a result waiting to be handled.
    bool SearchIdle() const { return FSearch.Idle() && !FAwaitingResult; }
    const KeywordHistory& History() const { return FHistory; }

    // Searches and their steps.
    void StartSearch();
    void SearchPage();
    void ShowTab(int Index);
    void UpdatePager();
    void SetControlsEnabled(bool Enabled);
    void RenderPage();
    Criteria ReadCriteria() const;

    // Handlers bound to the controls.
    void Button1Click() { StartSearch(); }
    // The search picture searches, or stops the search that runs.
    void bsSkinLinkImage1Click() { SearchRunning() ? CancelSearch() : StartSearch(); }
    void IndexButClick();
    void BackButClick();
    void NextButClick();
    void TailButClick();
    void ComboBoxPageChange(int index);
    void bsSkinComboBoxEx3Change(int index);
    void bsSkinComboBox4Change(int index);
    void bsSkinTabControl1Change(int index);
    void bsSkinTabControl1Close(int Index, bool& CanClose);
    void MenuItem1Click();
    void bsSkinTreeView1Change();
    void N2Click();
    void N3Click();
    void N4Click();
    void bsBusinessSkinForm1Minimize();
    void bsBusinessSkinForm1Restore();
    void Image1Click();
    void Image2Click();
    // A short word to the user in the caption, which comes back after kNoticeMs.
    void Notice(const QString& text);
    static constexpr int kNoticeMs = 4000;
    // Fills the screen's available area, or goes back to where it was. Done by the window
    // itself: a frameless window gets no help from a window manager, and there may be none.
    void ToggleMaximised();
    bool Maximised() const { return FMaximised; }
    // Opens the window menu at a screen position.
    void ShowWindowMenu(const QPoint& at);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void BuildControls();
    // Places every control for the window's present size: the tree and the result browser
    // take what the design's size leaves over.
    void LayOut();
    Qt::Edges EdgesAt(QPoint at) const;
    QRect FNormalGeometry;  // where a maximised window goes back to
    bool FMaximised = false;
    QWidget* FResultPanel = nullptr;
    QWidget* FPagerBar = nullptr;
    QWidget* FTreePage = nullptr;
    Qt::Edges FResizing;  // the edges a drag without a window manager moves
    QRect FResizeStart;
    QPoint FResizeFrom;
    void BuildCriteriaBar(QWidget* bar);
    void BuildPager(QWidget* bar);
    void BindEvents();
    // Application-wide: keys and right clicks never reach the page, the wheel steps the bar.
    bool ApplicationEvents1Message(QObject* target, QEvent* e);
    bool InsideBrowser(QObject* target) const;
    bool PressEffect(QObject* target, QEvent* e);
    bool WheelFilter(QObject* target, QWheelEvent* e);
    bool EnterClicksDefault(QObject* target, QKeyEvent* k);
    bool ServiceKey(QObject* target, QKeyEvent* k);
    bool ScrollKey(QObject* target, QKeyEvent* k);
    bool BrowserHistoryKey(QObject* target, QKeyEvent* k) const;
    void UpdateMenuState();

    // What a running search was started with; its result is filed under this, whatever the
    // controls and the tab strip show by the time it arrives.
    struct SearchTicket {
        Criteria criteria;
        int pageNo = 1;
        bool pageSearch = false;
        uint64_t tabSerial = 0;  // a page search's tab
    };
    void LaunchWorker();
    void RunSearch(Criteria criteria, int pageNo);
    void RequestPage(int page);
    void WMSearchDone();
    void WMSearchFailed();
    // A search that ended with nothing to show: tell the user, give the controls back.
    void EndWithoutResult(const std::function<void()>& tell);
    // The search picture shows whether a click searches or stops the search.
    void ShowSearchRunning(bool running);
    // True, once, for the answer of a search the user stopped.
    bool DropCancelledResult();
    void WMUpdateDone();
    void WMUpdateFailed();
    void ShowMessage(const QString& title, const QString& text);
    bool AskReplaceOnUiThread(const std::string& fileName);
    void StoreSearch();
    void WriteCriteria(const Criteria& c);
    void RememberKeyword(const Text& keyword);
    void CloseTabAt(int index);
    // Each tab's tooltip, and the close buttons' state.
    void RefreshTabStrip();

    void BindScrollBar();
    void SetUpTree();
    void AddRootNode();
    void LoadTopLevel();
    void TopLevelArrived(bool ok, const std::vector<Tb_Itemcats_Info>& cats);
    void ChildrenArrived(QTreeWidgetItem* node, bool ok, const std::vector<Tb_Itemcats_Info>& cats);
    std::vector<Tb_Itemcats_Info> FetchCategories(const Text& baseUrl, const Text& parent,
                                                  int entries, int timeLeftMs, bool& ok);
    void AskSoftInfo();
    void SoftInfoArrived(const SOFT_INFO& info, const Text& baseUrl);
    void bsSkinTreeView1Expanding(QTreeWidgetItem* Node);
    QTreeWidgetItem* AddCategoryNode(QTreeWidgetItem* parent, const Tb_Itemcats_Info& cat,
                                     int32_t id, int picture);
    Tb_Itemcats_Cond CategoryRequest(const Text& baseUrl, const Text& parent) const;
    void SetDefaultFilters();
    // What was kept from the last run, over the defaults; and what to keep from this one.
    void RestoreSettings();
    void KeepSettings();
    QRect FKeptGeometry;
    void CenterWindow();
    void ShowStartPages();

    TabList FTabList;
    KeywordHistory FHistory;
    SearchGate FSearch;
    std::thread FWorker;
    SearchTicket FTicket;
    bool FAwaitingResult = false;  // from a search's start until its message is handled
    ATbk_Items_Info* FResults = nullptr;
    Failure FSearchFailure = Failure::None;  // written by the worker before its message
    int FPageNo = 1;
    bool FSearchOnSelect = true;
    int FTabAtPointer = -1;
    QPoint FMenuPoint;
    QVector<QPixmap> FCategoryIcons;       // ImageList3
    QTreeWidgetItem* FLastNode = nullptr;  // the last category node selected
    QLabel* FPressedPicture = nullptr;     // the picture button held down, moved by the press
    bool FPressWasDouble = false;
    QPointer<QWidget> FFocusBeforeSearch;  // the control that had the focus when a search began
    int FWheelRemainder = 0;  // wheel turns smaller than a notch, kept for the next event

    // Start-up and the category tree, asked on the service worker.
    ServiceWorker FServiceWorker;
    bool FStarting = false;
    QString FStartCaption;
    std::chrono::milliseconds FStartupBound{30000};
    std::chrono::steady_clock::time_point FStartupDeadline;
    Text FWorkerBaseUrl;  // the address the software information settled on; worker only
    enum class TreeState { NotLoaded, Loading, Loaded };
    TreeState FTopLevel = TreeState::NotLoaded;
    std::unordered_set<QTreeWidgetItem*> FLoadingNodes;  // their children asked for

    // A cancelled search: launched or not yet, and the answers still to be dropped.
    bool FLaunchPending = false;
    bool FShownOnce = false;
    int FDroppedResults = 0;
};
