// What the window remembers between runs, and what it does with a file it cannot use.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalBlocker>
#include <filesystem>
#include <fstream>

#include "ProxyServer.h"
#include "Service.h"
#include "Settings.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
        : FPath(fs::temp_directory_path() / ("quellot-settings-" + std::to_string(getpid()))) {
        fs::remove_all(FPath);
        fs::create_directories(FPath);
    }
    ~TempFolder() { fs::remove_all(FPath); }
    QString File(const std::string& name) const {
        return QString::fromStdString((FPath / name).string());
    }
    fs::path Path() const { return FPath; }

private:
    fs::path FPath;
};

std::unique_ptr<TForm1> Open(const QString& settings, SearchBoxes& boxes) {
    auto form = std::make_unique<TForm1>();
    form->SettingsFile = settings;
    boxes.Watch(*form);
    form->FormCreate();
    form->show();
    // Up once the start-up's search is over, found or not.
    bool up = WaitFor([&] { return !form->Starting() && form->SearchIdle() && !form->TreeBusy(); });
    if (!up) form.reset();
    return form;
}

}  // namespace

TEST(Settings, HistoryFiltersViewAndPlaceSurviveARestart) {
    auto proxy = StartTestProxy({.items = 500});
    ServiceBaseUrl = proxy->BaseUrl();
    TempFolder dir;
    const QString file = dir.File("config/Quellot/quellot.ini");
    SearchBoxes boxes;
    {
        auto form = Open(file, boxes);
        ASSERT_TRUE(form);
        ASSERT_EQ(form->Tabs().Count(), 1);
        for (const char* keyword : {"手机", "连衣裙"}) {
            form->bsSkinComboBox1->setEditText(QString::fromUtf8(keyword));
            form->StartSearch();
            ASSERT_TRUE(WaitFor([&] { return form->SearchIdle(); }));
        }
        const QSignalBlocker b1(form->bsSkinComboBoxEx3), b2(form->bsSkinComboBox3),
            b3(form->bsSkinComboBox4);
        form->bsSkinComboBoxEx3->setCurrentIndex(2);
        form->bsSkinComboBoxEx1->setCurrentIndex(6);
        form->bsSkinComboBox3->setCurrentIndex(5);
        form->bsSkinComboBox4->setCurrentIndex(1);
        form->bsSkinCheckRadioBox1->setChecked(true);
        form->bsSkinSpinEdit2->setValue(500);
        form->move(40, 50);
        form->ToggleMaximised();  // kept as where it goes back to, not the whole screen
    }
    ASSERT_TRUE(fs::exists(file.toStdString()));
    auto form = Open(file, boxes);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->bsSkinComboBox1->count(), 2);
    EXPECT_EQ(form->bsSkinComboBox1->itemText(1), QString::fromUtf8("连衣裙"));
    EXPECT_EQ(form->bsSkinComboBoxEx3->currentIndex(), 2);
    EXPECT_EQ(form->bsSkinComboBoxEx1->currentIndex(), 6);
    EXPECT_EQ(form->bsSkinComboBoxEx2->currentIndex(), 19);
    EXPECT_EQ(form->bsSkinComboBox3->currentIndex(), 5);
    EXPECT_EQ(form->bsSkinComboBox4->currentIndex(), 1);
    EXPECT_TRUE(form->bsSkinCheckRadioBox1->isChecked());
    EXPECT_EQ(form->bsSkinSpinEdit2->value(), 500);
    EXPECT_EQ(form->pos(), QPoint(40, 50));
    // The first search was made with what was kept.
    const std::string asked = form->Taobaoke_Items1.LastUrl();
    EXPECT_NE(asked.find("sort=price_desc"), std::string::npos) << asked;
    EXPECT_NE(asked.find("guarantee=true"), std::string::npos) << asked;
    EXPECT_NE(asked.find("end_price=500"), std::string::npos) << asked;
}

TEST(Settings, ADamagedOrUnwritableFileGivesTheDefaults) {
    TempFolder dir;
    const UserSettings defaults;
    struct Case {
        const char* what;
        std::string content;
    };
    const Case cases[] = {
        {"garbage", std::string("\x00\xff\xfe[[[=\n\x01", 9)},
        {"values out of range",
         "[filters]\nsort=99\nstartCredit=-1\narea=abc\nview=7\nendPrice=99999999999\n"
         "[window]\ngeometry=@Rect(0 0 -5 -5)\n"},
        {"a cut-off file", "[history]\nkeywords=@Invalid(\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = dir.File("damaged.ini");
        std::ofstream(file.toStdString(), std::ios::binary) << c.content;
        UserSettings got = LoadSettings(file);
        EXPECT_EQ(got.sortIndex, defaults.sortIndex);
        EXPECT_EQ(got.startCreditIndex, defaults.startCreditIndex);
        EXPECT_EQ(got.areaIndex, defaults.areaIndex);
        EXPECT_EQ(got.viewIndex, defaults.viewIndex);
        EXPECT_EQ(got.endPrice, defaults.endPrice);
        EXPECT_FALSE(got.geometry.isValid());
    }
    // A folder that cannot be made (a file stands where it would go): said, and nothing kept.
    std::ofstream(dir.Path() / "plain") << "x";
    const QString unwritable = dir.File("plain/Quellot/quellot.ini");
    UserSettings some;
    some.sortIndex = 3;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveSettings(unwritable, some));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nothing is kept"), std::string::npos);
    EXPECT_EQ(LoadSettings(unwritable).sortIndex, defaults.sortIndex);
    // And a window with it starts with the defaults and closes without a word of failure.
    auto proxy = StartTestProxy({.items = 200});
    ServiceBaseUrl = proxy->BaseUrl();
    SearchBoxes boxes;
    auto form = Open(unwritable, boxes);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->bsSkinComboBoxEx1->currentIndex(), 4);
    form.reset();
}
