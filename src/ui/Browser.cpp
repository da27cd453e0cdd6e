#include "Browser.h"

#include <QWebEngineHistory>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "PagePolicy.h"
#include "Platform.h"
#include "ResultPage.h"

namespace {

const char* const kHasDocument = "quellotHasDocument";

// The origin result pages are loaded under. A page with an opaque origin (about:blank) gets
// none of the engine's cached pictures back quickly: each re-render cost about 2 ms per picture.
// One fixed http origin keeps them at hand; the reserved name never resolves, so nothing is
// fetched from it and the page gets no same-origin access to any real server.
const char* const kResultPageOrigin = "http://quellot.invalid/";

// Only web addresses reach the user's browser: never a file, a program's scheme, or the
// page's own made-up origin (where a relative or empty link would lead).
void OpenExternally(const QUrl& url) {
    if ((url.scheme() == "http" || url.scheme() == "https") &&
        url.host() != QUrl(kResultPageOrigin).host())
        platform::OpenUrl(url.toString().toStdString());
}

// A window the page asked for: its first navigation goes to the user's browser, then it goes.
class ExternalWindow : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        OpenExternally(url);
        deleteLater();
        return false;
    }
};

}  // namespace

BrowserPage::BrowserPage(QObject* parent) : QWebEnginePage(parent) {
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // The page scrolls only when the window's scroll bar says so, never by itself.
    QWebEngineScript noScroll;
    noScroll.setName("quellot-no-scroll");
    noScroll.setInjectionPoint(QWebEngineScript::DocumentReady);
    noScroll.setWorldId(QWebEngineScript::ApplicationWorld);
    // The result pages were laid out for an engine in which a box with a width never flows
    // under floats and percentage offsets centre a picture; these rules give the same layout
    // here without touching the pages themselves.
    noScroll.setSourceCode(
        "document.documentElement.style.overflow='hidden';"
        "if (document.body) document.body.style.overflow='hidden';"
        "var s=document.createElement('style');"
        "s.textContent='.div_credit,.div_title{display:flow-root}"
        ".div_pic{display:flex;align-items:center;justify-content:center}"
        ".div_pic p,.div_pic img{position:static!important;margin:0}"
        ".div_pic img{display:block;max-width:100%;max-height:100%}';"
        "(document.head||document.documentElement).appendChild(s);");
    scripts().insert(noScroll);
    // Every page is made in memory and replaces the last: there is no history to go back to.
    connect(this, &QWebEnginePage::loadFinished, this, [this] { history()->clear(); });
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType) { return new ExternalWindow(this); }

// The page never goes anywhere: the only loads it takes are the program's own (a typed
// navigation comes only from this side: the blank page and each page set from memory). A link
// goes to the user's browser; a script, a form, a refresh or a frame the page tries is refused.
bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked && isMainFrame) OpenExternally(url);
    return isMainFrame && type == NavigationTypeTyped;
}

void NavigateBlank(QWebEngineView* browser) {
    browser->setUrl(QUrl("about:blank"));
    browser->setProperty(kHasDocument, true);
}

void LoadHtml(QWebEngineView* browser, const Text& html) {
    if (!browser->property(kHasDocument).toBool()) return;
    std::string bytes = HtmlStream(WithPagePolicy(html));
    // The page declares gb2312, and the engine reads that label with its strict two-byte GBK
    // table: a four-byte GB18030 character (an emoji in a title) would show as two broken
    // halves. The charset given with the content counts before the page's own, as a server's
    // header would, and GB18030 reads every GBK byte as GBK does.
    browser->setContent(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                        "text/html;charset=gb18030", QUrl(kResultPageOrigin));
}
