#include <gtest/gtest.h>
#include <signal.h>
#include <zip.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include "LoopbackServer.h"
#include "ProxyServer.h"
#include "Service.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"
#include "UpdateKeys.h"
#include "UpdatePackage.h"
#include "WindowMessages.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::unique_ptr<ProxyServer> StartProxy(const std::string& offer = "v2.0") {
    return StartTestProxy({.offerVersion = offer});
}

std::string DeadUrl() {
    int port;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

class Startup : public testing::Test {
protected:
    void TearDown() override {
        FForm.reset();
        ServiceBaseUrl = "http://127.0.0.1:17878/";
        FallbackBaseUrl = "http://localhost:17878/";
    }
    void Create() {
        FForm = std::make_unique<TForm1>();
        FForm->NothingFoundBox = [] {};
        FForm->Quit = [this] { ++FQuits; };
        FForm->FormCreate();
        FForm->show();
        // The caption the update decision gives, once the software information is in.
        ASSERT_TRUE(WaitFor([&] { return !FForm->Starting(); }));
        FCaptionAfterCreate = FForm->StartCaption();
    }
    bool FirstTab() {
        return WaitFor([&] {
            return FForm->Tabs().Count() == 1 && FForm->SearchIdle() &&
                   FForm->bsSkinComboBox1->isEnabled() && !FForm->TreeBusy();
        });
    }
    std::unique_ptr<TForm1> FForm;
    QString FCaptionAfterCreate;
    int FQuits = 0;
};

}  // namespace

TEST_F(Startup, PrimaryServerAnswersOnce) {
    auto proxy = StartProxy();
    ServiceBaseUrl = proxy->BaseUrl();
    FallbackBaseUrl = DeadUrl();
    Create();
    EXPECT_EQ(FCaptionAfterCreate, "Quellot");
    ASSERT_TRUE(FirstTab());
    EXPECT_EQ(proxy->Count("softinfo"), 1);
    EXPECT_EQ(ServiceBaseUrl, proxy->BaseUrl());
    EXPECT_EQ(FForm->bsSkinTabControl1->tabText(0), Q("所有类目"));
    EXPECT_EQ(FForm->bsSkinComboBoxEx1->currentIndex(), 4);
    EXPECT_EQ(FForm->bsSkinComboBoxEx2->currentIndex(), 19);
    EXPECT_EQ(FForm->bsSkinComboBoxEx3->currentIndex(), 0);
    EXPECT_TRUE(WaitFor([&] { return proxy->Count("count") == 1; }));  // the hidden counter page
    // The whole window, its own frame included, is what is centred.
    EXPECT_EQ(FForm->frameGeometry().size(), FForm->size());
    EXPECT_EQ(FForm->pos(), PlacedPosition(QGuiApplication::primaryScreen()->availableGeometry(),
                                           FForm->frameGeometry().size()));
    // The keyword box has the keyboard.
    QWidget* focus = FForm->focusWidget();
    EXPECT_TRUE(focus == FForm->bsSkinComboBox1 || FForm->bsSkinComboBox1->isAncestorOf(focus));
}

TEST_F(Startup, TheWindowShowsAtOnceAndTheTreeFillsWhenTheServiceAnswers) {
    LoopbackServer stalled;
    LoopbackServer::Reply silent;
    silent.silent = true;
    stalled.SetReply(silent);
    for (const std::string& url : {stalled.BaseUrl(), DeadUrl()}) {
        SCOPED_TRACE(url);
        ServiceBaseUrl = FallbackBaseUrl = url;
        FForm = std::make_unique<TForm1>();
        FForm->NothingFoundBox = [] {};
        FForm->SearchFailedBox = [](Failure) {};
        FForm->SetStartupBound(std::chrono::milliseconds(1500));
        QElapsedTimer clock;
        clock.start();
        FForm->FormCreate();
        FForm->show();
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_TRUE(FForm->isVisible());
        EXPECT_EQ(FForm->windowTitle(), Q(kConnectingCaption));
        EXPECT_FALSE(FForm->bsSkinLinkImage1->isEnabled());  // nowhere to search yet
        EXPECT_TRUE(FForm->bsSkinComboBox1->isEnabled());    // but the criteria can be set
        // The whole start-up keeps to its one bound, both addresses included.
        ASSERT_TRUE(WaitFor([&] { return !FForm->Starting() && !FForm->TreeBusy(); }, 10000));
        EXPECT_LT(clock.elapsed(), 1500 + 1500);
        EXPECT_EQ(FForm->bsSkinTreeView1->topLevelItemCount(), 1);
        // The first search went to the service as well; a stalled one the user stops.
        if (FForm->SearchRunning()) QTest::keyClick(FForm->bsSkinTreeView1, Qt::Key_Escape);
        ASSERT_TRUE(WaitFor([&] { return FForm->SearchIdle(); }));
        EXPECT_TRUE(FForm->bsSkinComboBox1->isEnabled());

        // The service is back: F5 fills the tree.
        auto proxy = StartProxy();
        ServiceBaseUrl = proxy->BaseUrl();
        QTest::keyClick(FForm->bsSkinTreeView1, Qt::Key_F5);
        ASSERT_TRUE(WaitFor([&] { return FForm->TopLevelLoaded(); }));
        EXPECT_EQ(FForm->bsSkinTreeView1->topLevelItemCount(), 66);
        FForm.reset();
    }
}

TEST(CenterWindow, Placement) {
    EXPECT_EQ(CenteredPosition(QSize(1920, 1080), QSize(1000, 700)), QPoint(450, 175));
    EXPECT_EQ(CenteredPosition(QSize(800, 600), QSize(951, 600)).x(), -85);
    EXPECT_EQ(CenteredPosition(QSize(1024, 768), QSize(1024, 768)), QPoint(-10, -15));
    // Inside the available area, the caption always on the screen.
    const QSize window(950, 702);
    const std::tuple<QRect, QPoint> cases[] = {
        {QRect(0, 0, 1024, 600), QPoint(27, 0)},       // too low: the top stays visible
        {QRect(0, 32, 1280, 768), QPoint(155, 50)},    // a panel at the top
        {QRect(0, 0, 1280, 800), QPoint(155, 34)},     // 2560x1600 at scale 2
        {QRect(1920, 0, 800, 600), QPoint(1920, 0)},   // a second screen, smaller than it
        {QRect(0, 0, 1920, 1040), QPoint(475, 154)}};  // a panel at the bottom
    // Each screen gets the design's size where it fits and is reachable in whole where the
    // least size fits.
    for (const QRect& area : {QRect(0, 0, 1024, 600), QRect(0, 0, 1280, 800),
                              QRect(0, 27, 1280, 773), QRect(0, 0, 2560, 1600)}) {
        const QRect g = StartGeometry(area);
        EXPECT_TRUE(area.contains(g)) << area.width() << "x" << area.height();
        EXPECT_EQ(g.size(), WindowSizeFor(kClientSize).boundedTo(area.size()));
    }
    for (const auto& [available, at] : cases) {
        EXPECT_EQ(PlacedPosition(available, window), at) << available.x() << "," << available.y();
        QRect placed(PlacedPosition(available, window), window);
        EXPECT_TRUE(available.contains(placed.topLeft()));
    }
}

TEST_F(Startup, FallbackServerAfterAFailure) {
    auto fallback = StartProxy();
    for (bool sayError : {false, true}) {
        LoopbackServer primary;
        primary.SetBody("error", "text/plain");
        ServiceBaseUrl = sayError ? primary.BaseUrl() : DeadUrl();
        FallbackBaseUrl = fallback->BaseUrl();
        int before = fallback->Count("softinfo");
        Create();
        ASSERT_TRUE(FirstTab());
        EXPECT_EQ(fallback->Count("softinfo"), before + 1);
        EXPECT_EQ(ServiceBaseUrl, fallback->BaseUrl());
        // Categories and searches now go to the second server.
        EXPECT_EQ(FForm->bsSkinTreeView1->topLevelItemCount(), 66);
        EXPECT_EQ(primary.RequestCountFor("/taobao/tbk_items.php"), 0);
        FForm.reset();
    }
}

TEST_F(Startup, AReplyWithoutUsableLinesIsNoFailure) {
    auto fallback = StartProxy("v9.9");
    LoopbackServer primary;
    primary.SetReplyFor("/taobao/IV/ok.php", [] {
        LoopbackServer::Reply r;
        r.body = "just one line";
        return r;
    }());
    primary.SetReplyFor("/taobao/tbk_items.php", [] {
        LoopbackServer::Reply r;
        r.body =
            "<r><total_results>1</total_results><taobaoke_items><i><title>t</title>"
            "</i></taobaoke_items></r>";
        return r;
    }());
    ServiceBaseUrl = primary.BaseUrl();
    FallbackBaseUrl = fallback->BaseUrl();
    Create();
    EXPECT_EQ(FCaptionAfterCreate, "Quellot");  // no version: no update
    ASSERT_TRUE(FirstTab());
    EXPECT_EQ(fallback->Count("softinfo"), 0);
    EXPECT_EQ(ServiceBaseUrl, primary.BaseUrl());
}

TEST_F(Startup, AnOfferedUpdateThatFailsRestoresTheCaption) {
    auto proxy = StartProxy("v2.1");  // offers a package it does not have
    ServiceBaseUrl = proxy->BaseUrl();
    Create();
    EXPECT_EQ(FCaptionAfterCreate, Q("正在更新软件。。。"));
    ASSERT_TRUE(FirstTab());
    ASSERT_TRUE(WaitFor([&] { return FForm->windowTitle() == "Quellot"; }));
    Settle(300);
    EXPECT_EQ(FForm->windowTitle(), "Quellot");
    EXPECT_EQ(FQuits, 0);
}

TEST_F(Startup, AnOfferedUpdateInstallsUnderTheProgramsNameAsksAndQuits) {
    namespace fs = std::filesystem;
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    fs::path root = fs::temp_directory_path() / ("quellot-ui-update-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "temp");
    std::string marker = (root / "marker").string();
    std::string package = (root / "package.zip").string();
    // The new program says it is up, as the real one does once its window shows.
    static std::string exe, text = "new settings";
    exe = "#!/bin/sh\necho \"$0\" > '" + marker +
          "'\n: > \"$(dirname \"$0\")/.quellot-update/ready\"\nexec sleep 3\n";
    {
        int err = 0;
        zip_t* z = zip_open(package.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        ASSERT_NE(z, nullptr);
        zip_int64_t i =
            zip_file_add(z, "Next.exe", zip_source_buffer(z, exe.data(), exe.size(), 0), 0);
        zip_file_set_external_attributes(z, i, 0, ZIP_OPSYS_UNIX, 0100755u << 16);
        zip_file_add(z, "settings.ini", zip_source_buffer(z, text.data(), text.size(), 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    // Signed by the maker it installs; signed with any other key it changes nothing.
    for (bool byMaker : {false, true}) {
        SCOPED_TRACE(byMaker);
        fs::remove_all(root / "program");
        fs::create_directories(root / "program");
        std::ofstream(root / "program" / "settings.ini") << "mine";
        std::ofstream(root / "program" / "quellot") << "old";
        auto proxy = StartTestProxy({.items = 500,
                                     .offerVersion = "v2.1",
                                     .updatePackage = package,
                                     .updateName = "Next",
                                     .updateKey = byMaker ? keys.Maker() : keys.Other()});
        ServiceBaseUrl = proxy->BaseUrl();
        FQuits = 0;
        FForm = std::make_unique<TForm1>();
        FForm->NothingFoundBox = [] {};
        FForm->Quit = [this] { ++FQuits; };
        std::vector<std::string> asked;
        FForm->ReplaceFileBox = [&](const std::string& name) {
            asked.push_back(name);
            return name == "quellot";  // No for the user's settings: the update goes on
        };
        FForm->MyUpdate1.SetPlaces({(root / "temp").string() + "/",
                                    (root / "program").string() + "/",
                                    (root / "program" / "quellot").string()});
        FForm->FormCreate();
        ASSERT_TRUE(WaitFor([&] { return !FForm->Starting(); }));
        EXPECT_EQ(FForm->StartCaption(), Q("正在更新软件。。。"));
        if (!byMaker) {
            ASSERT_TRUE(WaitFor([&] { return FForm->windowTitle() == Q("Quellot"); }));
            EXPECT_EQ(read(root / "program" / "quellot"), "old");
            EXPECT_EQ(proxy->Count("update"), 0);
            EXPECT_EQ(FQuits, 0);
            FForm.reset();
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return FQuits == 1; }));
        EXPECT_EQ(asked, (std::vector<std::string>{"quellot", "settings.ini"}));
        // The new program runs under the program's own name, in its own place.
        EXPECT_EQ(read(marker), (root / "program" / "quellot").string() + "\n");
        EXPECT_EQ(read(root / "program" / "quellot"), exe);
        EXPECT_EQ(read(root / "program" / "settings.ini"), "mine");
        EXPECT_FALSE(fs::exists(root / "program" / "Next.exe"));
        EXPECT_FALSE(fs::exists(root / "program" / ".quellot-update"));
        FForm.reset();
        EXPECT_TRUE(fs::is_empty(root / "temp"));
    }
    fs::remove_all(root);
}

namespace {

// The processes running this executable, by the link the system keeps to it.
std::vector<pid_t> Running(const std::filesystem::path& exe) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator("/proc", error)) {
        std::error_code none;
        auto target = std::filesystem::read_symlink(e.path() / "exe", none);
        if (!none && target == exe) found.push_back(std::stoi(e.path().filename().string()));
    }
    return found;
}

}  // namespace

TEST_F(Startup, TheRealProgramSaysItIsUpOnceAnUpdateStartsIt) {
    // The package brings this build's own program: started by the update in the program's
    // place, it must come up and leave its mark, or the update is undone.
    namespace fs = std::filesystem;
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    fs::path root = fs::temp_directory_path() / ("quellot-real-update-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "program");
    std::ofstream(root / "program" / "quellot") << "old";
    std::ifstream in(QUELLOT_PROGRAM, std::ios::binary);
    const std::string program((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    ASSERT_GT(program.size(), 1000u);
    std::string package;
    {
        const std::string path = (root / "p.zip").string();
        int err = 0;
        zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        ASSERT_NE(z, nullptr);
        zip_file_add(z, "Quellot.exe", zip_source_buffer(z, program.data(), program.size(), 0), 0);
        ASSERT_EQ(zip_close(z), 0);
        std::ifstream zip(path, std::ios::binary);
        package.assign((std::istreambuf_iterator<char>(zip)), std::istreambuf_iterator<char>());
        fs::remove(path);
    }
    LoopbackServer server;
    server.SetBody(package, "application/zip");
    UpdateOffer offer;
    std::string error;
    ASSERT_TRUE(DescribePackage(package, offer, error));
    SOFT_INFO info;
    info.version = "v2.1";
    info.update_name = "Quellot";
    info.update_url = server.BaseUrl() + "u.zip";
    info.extra2 = SignUpdate("Quellot", "v2.1", offer, keys.Maker(), error);
    std::atomic<int> posted{0};
    {
        TMyUpdate update;
        update.SetPlaces({(root / "").string(), (root / "program").string() + "/",
                          (root / "program" / "quellot").string()});
        update.SetReplaceQuestion([](const std::string&) { return true; });
        ASSERT_TRUE(update.CheckUpdate([&](int m) { posted = m; }, info, "v2.0"));
        ASSERT_TRUE(WaitFor([&] { return posted != 0; }, 60000));
    }
    EXPECT_EQ(posted, WM_UPDATE_DONE);
    std::ifstream now(root / "program" / "quellot", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(now)), std::istreambuf_iterator<char>()),
              program);
    EXPECT_FALSE(fs::exists(root / "program" / ".quellot-update"));
    // The new program runs on; it is the test's to end.
    std::vector<pid_t> started = Running(root / "program" / "quellot");
    EXPECT_EQ(started.size(), 1u);
    for (pid_t pid : started) kill(pid, SIGKILL);
    fs::remove_all(root);
}
