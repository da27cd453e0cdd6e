#pragma once
// Waiting for the window and its browser in tests.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>

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
