#pragma once
// The result browser: a page that never scrolls by itself and hands every new window (links
// with target="_blank", window.open) to the user's own browser.

#include <QWebEnginePage>
#include <QWebEngineView>

#include "Text.h"

class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit BrowserPage(QObject* parent);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

// Replaces the browser's document with the page (GBK), without navigating; nothing happens
// while the browser holds no document yet.
void LoadHtml(QWebEngineView* browser, const Text& html);
// Marks the browser as holding a document (the blank start page).
void NavigateBlank(QWebEngineView* browser);
