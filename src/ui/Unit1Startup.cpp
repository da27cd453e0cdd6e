// Start-up: the scroll bar, the category tree with the first search, defaults, position and
// the start pages.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>
#include <chrono>

#include "Browser.h"
#include "GbkText.h"
#include "Service.h"
#include "ServiceReply.h"
#include "Settings.h"
#include "SkinForm.h"
#include "Unit1.h"

void TForm1::FormCreate() {
    // The window comes first: everything the service must answer is asked for on the service
    // worker, and the steps that need an answer follow when it arrives, in their order.
    FStarting = true;
    setWindowTitle(QString::fromUtf8(kConnectingCaption));
    BindScrollBar();
    AddRootNode();
    SetDefaultFilters();
    RestoreSettings();
    CenterWindow();
    ShowStartPages();
    // The criteria can be set meanwhile; only searching waits for the service's address.
    bsSkinLinkImage1->setEnabled(false);
    FStartupDeadline = std::chrono::steady_clock::now() + FStartupBound;
    AskSoftInfo();
    LoadTopLevel();
}

void TForm1::AskSoftInfo() {
    FServiceWorker.Post(
        [this, deadline = FStartupDeadline, primary = ServiceBaseUrl, fallback = FallbackBaseUrl] {
            SOFT_INFO info;
            Text base = primary;
            bool got = false;
            // Both queries together stay within the start-up's bound, whatever the service does.
            for (const Text& url : {primary, fallback}) {
                int left = MillisecondsLeft(deadline);
                if (left <= 0) break;
                base = url;
                info = SOFT_INFO{};
                ok1.SetTotalTimeout(std::min(kSmallReplyTotalTimeoutMs, left));
                if ((got = ok1.GetSoftInfo(url + kSoftInfoPath, PublisherId, info))) break;
            }
            // Every later request goes to the address that answered, or to the second one.
            if (!got) base = fallback;
            FWorkerBaseUrl = base;
            QMetaObject::invokeMethod(
                this, [this, info, base] { SoftInfoArrived(info, base); }, Qt::QueuedConnection);
        });
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count());
}

void TForm1::SoftInfoArrived(const SOFT_INFO& info, const Text& baseUrl) {
    ServiceBaseUrl = baseUrl;
    auto post = [this](int message) {
        QCoreApplication::postEvent(this, new QEvent(MessageEvent(message)));
    };
    FStartCaption = MyUpdate1.CheckUpdate(post, info, BuiltInVersion)
                        ? QString::fromUtf8("正在更新软件。。。")
                        : QString(kWindowCaption);
    setWindowTitle(FStartCaption);
    webCount->setUrl(QUrl(QString::fromStdString(ServiceBaseUrl + kCounterPath)));
    FStarting = false;
    SetControlsEnabled(true);
    // The root's selection: the first search, for every category.
    if (FSearchOnSelect && bsSkinTreeView1->currentItem() == bsSkinTreeView1->topLevelItem(0))
        StartSearch();
}

void TForm1::BindScrollBar() { ScrollBar->HookBrowser(); }

void TForm1::SetDefaultFilters() {
    const QSignalBlocker b1(bsSkinComboBoxEx1), b2(bsSkinComboBoxEx2), b3(bsSkinComboBoxEx3);
    bsSkinComboBoxEx1->setCurrentIndex(4);
    bsSkinComboBoxEx2->setCurrentIndex(19);
    bsSkinComboBoxEx3->setCurrentIndex(0);
}

QPoint CenteredPosition(QSize screen, QSize window) {
    // A little left of and above the exact centre; C++ division truncates toward zero.
    return QPoint((screen.width() - window.width()) / 2 - 10,
                  (screen.height() - window.height()) / 2 - 15);
}

QPoint PlacedPosition(QRect available, QSize window) {
    QPoint p = available.topLeft() + CenteredPosition(available.size(), window);
    // Right and bottom edges first, so a window larger than the area keeps its top left,
    // and with it the caption, on the screen.
    p.setX(std::max(available.left(), std::min(p.x(), available.right() + 1 - window.width())));
    p.setY(std::max(available.top(), std::min(p.y(), available.bottom() + 1 - window.height())));
    return p;
}

void TForm1::CenterWindow() {
    // Where the user left it, at the size it had, as long as its caption is on a screen as
    // the screens stand now.
    if (FKeptGeometry.isValid())
        for (QScreen* s : QGuiApplication::screens()) {
            QRect area = s->availableGeometry();
            if (area.contains(FKeptGeometry.topLeft()) &&
                area.contains(FKeptGeometry.topLeft() + QPoint(100, SkinForm::kCaptionHeight))) {
                resize(FKeptGeometry.size().boundedTo(area.size()).expandedTo(minimumSize()));
                move(FKeptGeometry.topLeft());
                return;
            }
        }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    setGeometry(StartGeometry(screen->availableGeometry()));
}

QRect StartGeometry(QRect available) {
    // The design's size where it fits, less on a smaller screen, never below the least.
    const QSize size = WindowSizeFor(kClientSize)
                           .boundedTo(available.size())
                           .expandedTo(WindowSizeFor(kMinClientSize));
    return QRect(PlacedPosition(available, size), size);
}

void TForm1::RestoreSettings() {
    if (SettingsFile.isEmpty()) return;
    const UserSettings kept = LoadSettings(SettingsFile);
    Criteria c = ReadCriteria();
    c.SortIndex = kept.sortIndex;
    c.StartCreditIndex = kept.startCreditIndex;
    c.EndCreditIndex = kept.endCreditIndex;
    c.AreaIndex = kept.areaIndex;
    c.ViewIndex = kept.viewIndex;
    c.Guarantee = kept.guarantee;
    c.StartPrice = std::to_string(kept.startPrice);
    c.EndPrice = std::to_string(kept.endPrice);
    WriteCriteria(c);
    for (const QString& k : kept.keywords) RememberKeyword(ToGbk(k));
    FKeptGeometry = kept.geometry;
}

void TForm1::KeepSettings() {
    if (SettingsFile.isEmpty()) return;
    const Criteria c = ReadCriteria();
    UserSettings v;
    for (const Text& k : FHistory.Entries()) v.keywords << FromGbk(k);
    v.sortIndex = c.SortIndex;
    v.startCreditIndex = c.StartCreditIndex;
    v.endCreditIndex = c.EndCreditIndex;
    v.areaIndex = c.AreaIndex;
    v.viewIndex = c.ViewIndex;
    v.guarantee = c.Guarantee;
    v.startPrice = static_cast<int>(c.StartPriceValue);
    v.endPrice = static_cast<int>(c.EndPriceValue);
    // A maximised window is kept where it goes back to.
    v.geometry = FMaximised ? FNormalGeometry : frameGeometry();
    SaveSettings(SettingsFile, v);
}

void TForm1::ShowStartPages() {
    // The counter page follows once the service's address is settled.
    NavigateBlank(web);
    LoadHtml(web,
             "<body leftMargin=0  topMargin=0 scroll=\"no\" style=\";width:100%; "
             "border-width=0;\"></body>");
}

void TForm1::WMUpdateDone() {
    if (Quit) Quit();
}

void TForm1::WMUpdateFailed() { setWindowTitle(kWindowCaption); }
