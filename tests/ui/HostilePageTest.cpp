// A service that answers with markup, script and foreign addresses in every field: the result
// page shows it all as text, runs none of it, opens only web addresses and never leaves.

#include <gtest/gtest.h>

#include <QTest>
#include <fstream>
#include <optional>
#include <sstream>

#include "Browser.h"
#include "LoopbackServer.h"
#include "Platform.h"
#include "ResultPage.h"
#include "Service.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "WindowFixture.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class HostilePage : public WindowFixture {
protected:
    QWebEngineView* Web() { return FForm->web; }
    QString Js(const char* script) { return Evaluate(Web(), Q(script)).toString(); }
    QString Pwned() { return Js("String(document.documentElement.dataset.pwned || '')"); }
    // The centre of the n-th element matching the selector, when the view shows it. The view
    // is made tall enough for the whole page (the window's own scroll bar is another test's).
    QPoint Centre(const char* selector, int n) {
        Web()->resize(1000, 1600);
        QString script =
            QString(
                "(function(){var e=document.querySelectorAll('%1')[%2];"
                "if(!e)return '';var r=e.getClientRects()[0];"
                "if(r.bottom>innerHeight||r.right>innerWidth)return '';"
                "return Math.round(r.left+r.width/2)+','+Math.round(r.top+r.height/2);})()")
                .arg(Q(selector))
                .arg(n);
        QStringList xy = Evaluate(Web(), script).toString().split(',');
        return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint(-1, -1);
    }
    void Click(const char* selector, int n) {
        QPoint at = Centre(selector, n);
        ASSERT_GE(at.x(), 0) << selector << " " << n;
        QTest::mouseClick(Web()->focusProxy(), Qt::LeftButton, {}, at);
    }
    void Hover(const char* selector, int n) {
        QPoint at = Centre(selector, n);
        ASSERT_GE(at.x(), 0) << selector << " " << n;
        QTest::mouseMove(Web()->focusProxy(), at);
    }
};

std::string Fixture() {
    std::ifstream file(QUELLOT_SOURCE_DIR "/tests/fixtures/hostile_items.xml", std::ios::binary);
    std::stringstream body;
    body << file.rdbuf();
    return body.str();
}

}  // namespace

TEST_F(HostilePage, RepliesShowAsTextRunNothingAndOpenOnlyWebAddresses) {
    LoopbackServer hostile;
    hostile.SetBody(Fixture());
    ServiceBaseUrl = hostile.BaseUrl();
    FForm->bsSkinComboBox1->setEditText("x");
    FForm->StartSearch();
    ASSERT_TRUE(WaitFor([&] { return FForm->Tabs().Count() == 2 && FForm->SearchIdle(); }));
    const QUrl origin = Web()->url();

    for (int view : {0, 1}) {
        SCOPED_TRACE(view);
        FForm->bsSkinComboBox4->setCurrentIndex(view);
        ASSERT_TRUE(WaitFor([&] {
            return Js("document.querySelectorAll('[id=click_url]').length + ''") == "5" &&
                   Js("document.body.innerText").contains(view ? Q("30天已售出") : Q("30天售出"));
        }));
        QString text = Js("document.body.innerText");
        for (const char* shown : {"<img src=x onerror=", "<script>document", "<form action=",
                                  "<iframe src=", "<style>body{display:none}</style>", "<b>粗</b>",
                                  "<meta http-equiv=\"refresh\"", "<base href=", "<textarea>"})
            EXPECT_TRUE(text.contains(Q(shown))) << shown;
        EXPECT_EQ(Js("Array.from(new Set(Array.from(document.querySelectorAll('*'),"
                     "function(e){return e.tagName}))).sort().join(',')"),
                  view ? "A,BODY,BR,DIV,HEAD,HTML,IMG,META,P,SCRIPT,SPAN,STYLE"
                       : "A,BODY,DIV,HEAD,HTML,IMG,META,P,SCRIPT,SPAN,STYLE");
        EXPECT_EQ(Js("document.scripts.length + ''"), "1");
        // The service's highlight still shows in its colour.
        EXPECT_EQ(Js("getComputedStyle(document.querySelector('span.h')).color"),
                  "rgb(255, 41, 0)");

        // Real clicks on every link and picture that must open nothing, then one that must:
        // when its address arrives, every click before it has been handled.
        FOpened.clear();
        for (int item : {0, 1, 3}) {
            Click("[id=click_url]", item);
            Click(".div_pic", item);
        }
        Click(".div_nick a", 1);
        Click(".div_nick a", 3);
        Hover(".div_nick a", 0);  // where a broken-out onmouseover would sit
        Click("[id=click_url]", 2);
        ASSERT_TRUE(WaitFor([&] { return !FOpened.empty(); }));
        EXPECT_EQ(FOpened, std::vector<std::string>{"http://ok.example/item?id=3&from=list"});
        Click(".div_pic", 4);
        ASSERT_TRUE(WaitFor([&] { return FOpened.size() == 2; }));
        EXPECT_EQ(FOpened[1], "https://ok.example/item/5");
        EXPECT_EQ(Pwned(), "");
        EXPECT_EQ(Web()->url(), origin);  // no navigation: the page is still ours
    }
    EXPECT_EQ(FBoxes.nothingFound, 0);
    EXPECT_TRUE(FBoxes.failed.empty());
}

TEST_F(HostilePage, OnlyThePagesOwnScriptAndHandlersRun) {
    // A page that got past the text rules would still run nothing of its own: the policy
    // allows the head's script and the pages' handlers by their hashes, and nothing else.
    TAB tab;
    tab.Items[0].title = "t";
    tab.Items[0].click_url = "http://ok.example/after";
    Text page = BuildListPage(tab);
    const Text injected =
        "<script>document.documentElement.dataset.pwned='inline'</script>"
        "<img src=\"data:,\" onerror=\"document.documentElement.dataset.pwned='handler'\">"
        "<a id=\"bad\" href=\"javascript:document.documentElement.dataset.pwned='js-url'\">bad</a>"
        "<iframe srcdoc=\"<script>parent.document.documentElement.dataset.pwned='frame'</script>\">"
        "</iframe><meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">";
    page.insert(page.find("</body>"), injected);
    bool loaded = false;
    auto connection = QObject::connect(Web()->page(), &QWebEnginePage::loadFinished,
                                       [&](bool) { loaded = true; });
    LoadHtml(Web(), page);
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    QObject::disconnect(connection);
    EXPECT_EQ(Js("typeof OnPic"), "function");  // the head's own script ran
    EXPECT_EQ(Pwned(), "");
    Click("#bad", 0);
    Hover(".div_price", 0);  // the row's own handler frames it
    ASSERT_TRUE(WaitFor([&] {
        return Js("document.querySelector('.item').style.borderColor") == "rgb(153, 187, 232)";
    }));
    Click("[id=click_url]", 0);
    ASSERT_TRUE(WaitFor([&] { return !FOpened.empty(); }));
    EXPECT_EQ(FOpened, std::vector<std::string>{"http://ok.example/after"});
    EXPECT_EQ(Pwned(), "");
    EXPECT_EQ(Web()->url(), QUrl("http://quellot.invalid/"));  // the refresh went nowhere
}
