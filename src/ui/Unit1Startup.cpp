// Start-up: the scroll bar, the category tree with the first search, defaults, position and
// the start pages.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>

#include "Browser.h"
#include "Service.h"
#include "Unit1.h"

void TForm1::FormCreate() {
    SOFT_INFO info;
    if (!ok1.GetSoftInfo(ServiceBaseUrl + kSoftInfoPath, PublisherId, info)) {
        // One more try, at the second address; every later request goes there as well.
        ServiceBaseUrl = FallbackBaseUrl;
        info = SOFT_INFO{};
        ok1.GetSoftInfo(ServiceBaseUrl + kSoftInfoPath, PublisherId, info);
    }
    auto post = [this](int message) {
        QCoreApplication::postEvent(this, new QEvent(MessageEvent(message)));
    };
    if (MyUpdate1.CheckUpdate(post, info, BuiltInVersion))
        setWindowTitle(QString::fromUtf8("正在更新软件。。。"));
    else
        setWindowTitle(kWindowCaption);
    BindScrollBar();
    LoadRootCategories();
    SetDefaultFilters();
    CenterWindow();
    ShowStartPages();
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

void TForm1::CenterWindow() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    move(CenteredPosition(screen->geometry().size(), frameGeometry().size()));
}

void TForm1::ShowStartPages() {
    NavigateBlank(web);
    LoadHtml(web,
             "<body leftMargin=0  topMargin=0 scroll=\"no\" style=\";width:100%; "
             "border-width=0;\"></body>");
    webCount->setUrl(QUrl(QString::fromStdString(ServiceBaseUrl + kCounterPath)));
}

void TForm1::WMUpdateDone() {
    if (Quit) Quit();
}

void TForm1::WMUpdateFailed() { setWindowTitle(kWindowCaption); }
