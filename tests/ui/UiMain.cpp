// The window's tests need one application object for the whole run.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "Http.h"
#include "Skin.h"

int main(int argc, char** argv) {
    InitServiceLibraries();
    // Without a display the window runs on one 1920x1080 test screen, big enough for its
    // design size; the offscreen default of 800x600 would make every window its smallest.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string(platform) == "offscreen")
        setenv("QT_QPA_PLATFORM",
               "offscreen:configfile=" QUELLOT_SOURCE_DIR "/tests/fixtures/test_screen.json", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ApplySkin(app);
    InstallChineseTranslations(app);
    return RUN_ALL_TESTS();
}
