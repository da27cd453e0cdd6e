// What the window tells the user about a search: nothing found or failed and why, how many
// items and pages, every character of the service's texts and of the keyword, each tab's
// criteria. The service is quellot-proxy serving an imported feed, behind the gate.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFontMetrics>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "LoopbackServer.h"
#include "Platform.h"
#include "RealUseFixture.h"
#include "TestProxy.h"

namespace fs = std::filesystem;

namespace {

struct FeedItem {
    std::string title, nick;
};

// Titles beyond GBK: emoji, symbols, right-to-left scripts, and one just under the feed's
// 500-byte limit.
std::vector<FeedItem> WideItems() {
    std::string longTitle = "qemoji 超长标题 ";
    for (int i = 0; i < 25; ++i) longTitle += "长款连衣裙😀";
    return {{"❤ 爱心项链 😀 qemoji ✨ 闪亮", "小店❤😀"},
            {"שלום qemoji מרכז عربي مرحبا 连衣裙", "שלום商店"},
            {longTitle, "长标题✨店"}};
}

// Words that find exactly this many items (none holds another).
const std::pair<const char*, int> kCounted[] = {
    {"qa1", 1}, {"qb39", 39}, {"qc40", 40}, {"qd41", 41}, {"qe106", 106}};
constexpr int kFiller = 4100;

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

class FeedUse : public RealUse {
protected:
    static void SetUpTestSuite() {
        RealUse::SetUpTestSuite();
        gDir = fs::temp_directory_path() / ("quellot-feed-" + std::to_string(getpid()));
        fs::create_directories(gDir);
        std::ofstream feed(gDir / "feed.jsonl");
        int64_t id = 30000001;
        auto row = [&](const std::string& title, const std::string& nick) {
            const int64_t at = id++;
            feed << "{\"num_iid\": " << at << ", \"title\": " << Json(title)
                 << ", \"nick\": " << Json(nick)
                 << ", \"price\": \"19.90\", \"category\": \"女装 > 连衣裙\", \"guarantee\": true, "
                    "\"seller_credit_score\": 8, \"item_location\": \"浙江 杭州\", \"volume\": "
                 << (at % 500) << "}\n";
        };
        for (const FeedItem& item : WideItems()) row(item.title, item.nick);
        row("Tom&Jerry 玩偶", "测试小店");
        row("<b>q</b> 标记", "测试小店");
        for (const auto& [word, n] : kCounted)
            for (int i = 0; i < n; ++i) row(std::string(word) + " 商品 " + std::to_string(i), "店");
        for (int i = 0; i < kFiller; ++i) row("填充 商品 " + std::to_string(i), "店");
        feed.close();
        std::string error;
        auto store =
            CatalogueStore::Open((gDir / "c.db").string(), CatalogueStore::Mode::CreateNew, error);
        ASSERT_TRUE(store) << error;
        ImportCount count;
        ASSERT_TRUE(ImportFeed((gDir / "feed.jsonl").string(), *store, count, error)) << error;
        store.reset();
        gFeedProxy = StartTestProxy({.catalogue = (gDir / "c.db").string()}).release();
    }
    static void TearDownTestSuite() {
        delete gFeedProxy;
        gFeedProxy = nullptr;
        fs::remove_all(gDir);
        RealUse::TearDownTestSuite();
    }
    int UpstreamPort() override { return gFeedProxy->Port(); }

    static int AllItems() {
        int n = static_cast<int>(WideItems().size()) + 2 + kFiller;
        for (const auto& [word, count] : kCounted) n += count;
        return n;
    }
    int ItemsOnPage() {
        return Evaluate(Form().web, "document.querySelectorAll('[id=click_url]').length").toInt();
    }
    // The texts of the page's elements, as the engine decoded them.
    QStringList Texts(const char* selector) {
        return Evaluate(Form().web, QString("Array.from(document.querySelectorAll('%1'))"
                                            ".map(e => e.textContent).join('\\n')")
                                        .arg(selector))
            .toString()
            .split('\n');
    }
    QString Caption(int index) { return Strip()->tabText(index); }

    inline static ProxyServer* gFeedProxy = nullptr;
    inline static fs::path gDir;
};

}  // namespace

TEST_F(FeedUse, NothingFoundOpensNoTabAndAFailureSaysWhatWentWrong) {
    TypeAndEnter("qnothing");
    ASSERT_TRUE(Finished());
    EXPECT_EQ(FBoxes.nothingFound, 1);
    EXPECT_TRUE(FBoxes.failed.empty());
    EXPECT_EQ(Form().Tabs().Count(), 1);
    EXPECT_EQ(Strip()->count(), 1);
    EXPECT_EQ(Form().bsSkinComboBox1->currentText(), "qnothing");  // as typed
    EXPECT_EQ(Form().windowTitle(), "Quellot");

    HttpClient& http = Form().Taobaoke_Items1.Http();
    const int readTimeout = http.ReadTimeout();
    int closed;
    {
        LoopbackServer gone;
        closed = gone.Port();
    }
    struct Case {
        const char* what;
        std::function<void()> arrange, undo;
        Failure reason;
    };
    const Case cases[] = {
        {"an error status", [&] { FGate->SetMode(GateServer::Mode::Fail); }, [] {},
         Failure::HttpStatus},
        {"a reply cut off", [&] { FGate->SetMode(GateServer::Mode::Garble); }, [] {},
         Failure::Malformed},
        {"no answer in time",
         [&] {
             FGate->SetMode(GateServer::Mode::Hold);
             http.SetReadTimeout(300);
         },
         [&] {
             http.SetReadTimeout(readTimeout);
             FGate->Release();
         },
         Failure::IdleTimeout},
        {"a refused connection",
         [&] { ServiceBaseUrl = "http://127.0.0.1:" + std::to_string(closed) + "/"; },
         [&] { ServiceBaseUrl = FGate->BaseUrl(); }, Failure::Connection},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        TypeAndEnter("qa1");  // found, when the service answers
        ASSERT_TRUE(Finished());
        c.undo();
        FGate->SetMode(GateServer::Mode::Pass);
        ASSERT_FALSE(FBoxes.failed.empty());
        EXPECT_EQ(FBoxes.failed.back(), c.reason);
        EXPECT_EQ(FBoxes.nothingFound, 1);  // no false "nothing found"
        EXPECT_EQ(Form().Tabs().Count(), 1);
        EXPECT_EQ(Form().bsSkinComboBox1->currentText(), "qa1");
        EXPECT_EQ(Form().windowTitle(), "Quellot");
    }
    EXPECT_EQ(FBoxes.failed.size(), std::size(cases));
    // Each kind is told in its own words, none of them the nothing-found text.
    QStringList told;
    for (Failure f : {Failure::HttpStatus, Failure::IdleTimeout, Failure::Connection}) {
        QString text = SearchFailedText(f);
        EXPECT_FALSE(text.isEmpty());
        EXPECT_NE(text, Q(kNothingFoundText));
        EXPECT_FALSE(told.contains(text));
        told << text;
    }
    EXPECT_EQ(SearchFailedText(Failure::Malformed), SearchFailedText(Failure::HttpStatus));

    TypeAndEnter("qa1");  // the service is back: the search that failed now opens its tab
    ASSERT_TRUE(Finished());
    EXPECT_EQ(Form().Tabs().Count(), 2);
}

TEST_F(FeedUse, EveryResultIsReachableAndTheCountIsShown) {
    for (const auto& [word, total] : kCounted) {
        SCOPED_TRACE(word);
        const int pages = (total + 39) / 40;
        TypeAndEnter(word);
        ASSERT_TRUE(Finished());
        const TAB& t = Form().Tabs().At(Form().Tabs().Active());
        EXPECT_EQ(t.PageCount, pages);
        EXPECT_EQ(Form().ComboBoxPage->count(), pages);
        EXPECT_EQ(Form().FoundLabel->text(), Q("共 %1 件").arg(total));
        EXPECT_EQ(Form().NextBut->isEnabled(), pages > 1);
        EXPECT_EQ(Form().TailBut->isEnabled(), pages > 1);
        EXPECT_TRUE(WaitFor([&] { return ItemsOnPage() == std::min(total, 40); }));
        if (pages == 1) continue;
        QTest::mouseClick(Form().TailBut, Qt::LeftButton);
        ASSERT_TRUE(Finished());
        EXPECT_EQ(Form().PageNo(), pages);
        EXPECT_EQ(Form().ComboBoxPage->currentIndex(), pages - 1);
        EXPECT_FALSE(Form().NextBut->isEnabled());
        const int last = total - 40 * (pages - 1);
        EXPECT_TRUE(WaitFor([&] { return ItemsOnPage() == last; })) << ItemsOnPage();
    }
    // The start-up tab holds them all: more than 99 pages' worth, offered as 99.
    ClickTab(0);
    EXPECT_EQ(Form().Tabs().At(0).PageCount, 99);
    EXPECT_EQ(Form().ComboBoxPage->count(), 99);
    EXPECT_EQ(Form().FoundLabel->text(), Q("共 %1 件").arg(AllItems()));
}

TEST_F(FeedUse, CharactersBeyondGbkShowAsThemselvesInBothViews) {
    TypeAndEnter("qemoji");
    ASSERT_TRUE(Finished());
    QStringList titles, nicks;
    for (const FeedItem& item : WideItems()) {
        titles << QString::fromStdString(item.title);
        nicks << QString::fromStdString(item.nick);
    }
    titles.sort();
    nicks.sort();
    for (int view : {0, 1}) {
        SCOPED_TRACE(view);
        if (view == 1) {
            Form().bsSkinComboBox4->setFocus();
            QTest::keyClick(Form().bsSkinComboBox4, Qt::Key_Down);
        }
        ASSERT_TRUE(WaitFor([&] { return ItemsOnPage() == 3; }));
        if (view == 1) {
            ASSERT_TRUE(WaitFor([&] { return PageText().contains(Q("30天已售出")); }));
        }
        QStringList shownTitles = Texts("[id=click_url]"), shownNicks = Texts(".div_nick a");
        shownTitles.sort();
        shownNicks.sort();
        EXPECT_EQ(shownTitles, titles);
        EXPECT_EQ(shownNicks, nicks);
        EXPECT_FALSE(PageText().contains(QChar(0xFFFD)));
    }
}

TEST_F(FeedUse, AnEmojiKeywordGoesOutAsUtf8AndIsShownAsTyped) {
    TypeAndEnter("😀");
    ASSERT_TRUE(Finished());
    EXPECT_NE(FGate->LastSearch().find("keyword=%F0%9F%98%80"), std::string::npos)
        << FGate->LastSearch();
    ASSERT_EQ(Form().Tabs().Count(), 2);
    EXPECT_EQ(Caption(1), Q("😀"));
    EXPECT_EQ(Form().bsSkinComboBox1->currentText(), Q("😀"));
    EXPECT_EQ(Form().bsSkinComboBox1->itemText(0), Q("😀"));  // the history too
    EXPECT_EQ(Form().FoundLabel->text(), Q("共 2 件"));      // two titles hold it
    EXPECT_TRUE(Strip()->tabToolTip(1).contains(Q("😀")));
}

TEST_F(FeedUse, KeywordsAreShownLiterallyInTabCaptions) {
    TypeAndEnter("Tom&Jerry");
    ASSERT_TRUE(Finished());
    ASSERT_EQ(Strip()->count(), 2);
    // A doubled "&" is how the strip shows one "&" instead of underlining the next letter.
    EXPECT_EQ(Caption(1), Q("Tom&&Jerry"));
    EXPECT_EQ(Form().Tabs().At(1).Keyword, "Tom&Jerry");
}

TEST_F(FeedUse, TabsAlikeInCaptionTellTheirCriteriaAndTheLastCannotClose) {
    QWidget* close0 = Strip()->tabButton(0, QTabBar::RightSide);
    ASSERT_TRUE(close0);
    EXPECT_FALSE(close0->isEnabled());  // the only tab

    TypeAndEnter("qd41");
    ASSERT_TRUE(Finished());
    EXPECT_TRUE(close0->isEnabled());
    QSpinBox* upper = Form().bsSkinSpinEdit2;
    upper->setFocus();
    upper->selectAll();
    QTest::keyClicks(upper, "50");
    TypeAndEnter("qd41");
    ASSERT_TRUE(Finished());
    ASSERT_EQ(Strip()->count(), 3);
    EXPECT_EQ(Caption(1), Caption(2));
    QTest::mouseClick(Form().NextBut, Qt::LeftButton);
    ASSERT_TRUE(Finished());

    const QString wide = Strip()->tabToolTip(1), narrow = Strip()->tabToolTip(2);
    EXPECT_NE(wide, narrow);
    for (const QString& tip : {wide, narrow}) {
        EXPECT_TRUE(tip.contains("qd41"));
        EXPECT_TRUE(tip.contains(Q("所有类目")));
        EXPECT_TRUE(tip.contains(Q("列表显示")));
        EXPECT_TRUE(tip.contains(Q("所有地区")));
    }
    EXPECT_TRUE(wide.contains("0 - 999999999"));
    EXPECT_TRUE(wide.contains(Q("1 / 2（共 41 件）")));
    EXPECT_TRUE(narrow.contains("0 - 50"));
    EXPECT_TRUE(narrow.contains(Q("2 / 2（共 41 件）")));

    TypeAndEnter("<b>q</b>");  // markup in a keyword is shown as typed, not applied
    ASSERT_TRUE(Finished());
    ASSERT_EQ(Strip()->count(), 4);
    EXPECT_FALSE(Strip()->tabToolTip(3).contains("<b>"));
    EXPECT_TRUE(Strip()->tabToolTip(3).contains("&lt;b&gt;q&lt;/b&gt;"));

    for (int i = Strip()->count() - 1; i > 0; --i) CloseTab(i);
    ASSERT_EQ(Strip()->count(), 1);
    QWidget* last = Strip()->tabButton(0, QTabBar::RightSide);
    EXPECT_FALSE(last->isEnabled());
    QTest::mouseClick(last, Qt::LeftButton, {}, last->rect().center());
    EXPECT_EQ(Strip()->count(), 1);
}

TEST_F(FeedUse, TheUpperPriceBoxShowsItsWholeValue) {
    for (QSpinBox* box : {Form().bsSkinSpinEdit1, Form().bsSkinSpinEdit2}) {
        box->setValue(999999999);
        QLineEdit* edit = box->findChild<QLineEdit*>();
        ASSERT_TRUE(edit);
        // A line edit keeps two pixels either side and a cursor's width inside its frame.
        const int room = edit->contentsRect().width() - 5;
        EXPECT_LE(QFontMetrics(edit->font()).horizontalAdvance(edit->text()), room);
    }
}

// The picture buttons reach the desktop's own programs, and say when there is none.
TEST_F(FeedUse, TheBrowserButtonFallsBackToXdgOpenAndAMissingCalculatorIsSaid) {
    FOpener.reset();  // the system's opener, on a desktop whose only launcher is xdg-open
    const fs::path bin = gDir / "bin";
    fs::create_directories(bin);
    const fs::path opened = gDir / "opened";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\necho \"$@\" > " << opened.string() << ".part && /bin/mv "
               << opened.string() << ".part " << opened.string() << "\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", bin.c_str(), 1);
    ClickPicture(Form().Image2);
    EXPECT_TRUE(WaitFor([&] { return fs::exists(opened); }, 5000));
    std::ifstream in(opened);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, HomePage);

    ClickPicture(Form().Image1);  // no calculator on this path
    EXPECT_TRUE(Form().windowTitle().contains(Q("没有找到计算器程序")))
        << Form().windowTitle().toStdString();
    setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(
        WaitFor([&] { return Form().windowTitle() == "Quellot"; }, TForm1::kNoticeMs + 2000));
}
