// Start-up: the scroll bar, the category tree with the first search, defaults, position and
// the start pages.

#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>

#include "Browser.h"
#include "Service.h"
#include "Unit1.h"

void TForm1::FormCreate() {
    setWindowTitle("Quellot");
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

void TForm1::CenterWindow() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect s = screen->geometry();
    QRect frame = frameGeometry();
    move((s.width() - frame.width()) / 2 - 10, (s.height() - frame.height()) / 2 - 15);
}

void TForm1::ShowStartPages() {
    NavigateBlank(web);
    LoadHtml(web, "<body leftMargin=0  topMargin=0 scroll=\"no\" style=\";width:100%; border-width=0;\"></body>");
    webCount->setUrl(QUrl(QString::fromStdString(ServiceBaseUrl + kCounterPath)));
}
