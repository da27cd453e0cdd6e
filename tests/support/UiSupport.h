#pragma once
// Waiting for the window and its browser in tests.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <vector>

#include "Unit1.h"

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs a script in the page and waits for its result.
inline QVariant Evaluate(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool got = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        got = true;
    });
    WaitFor([&] { return got; }, 10000);
    return result;
}

// Lets the event loop run for a while with nothing to wait for.
inline void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// What a window told the user about its searches instead of showing its boxes.
struct SearchBoxes {
    int nothingFound = 0;
    std::vector<Failure> failed;  // the reason of each failed search, in order
    void Watch(TForm1& form) {
        form.NothingFoundBox = [this] { ++nothingFound; };
        form.SearchFailedBox = [this](Failure reason) { failed.push_back(reason); };
    }
};

// A window started as the program starts it, its search boxes recorded instead of shown;
// empty when the first result page did not show.
inline std::unique_ptr<TForm1> StartWindow(SearchBoxes& boxes) {
    auto form = std::make_unique<TForm1>();
    boxes.Watch(*form);
    form->FormCreate();
    form->show();
    const QString shown = QString::fromUtf8("30天售出");
    bool up = WaitFor([&] {
                  return form->Tabs().Count() == 1 && form->SearchIdle() &&
                         form->bsSkinComboBox1->isEnabled() && !form->TreeBusy();
              }) &&
              WaitFor([&] {
                  return Evaluate(form->web, "document.body ? document.body.innerText : ''")
                      .toString()
                      .contains(shown);
              });
    if (!up) form.reset();
    return form;
}
