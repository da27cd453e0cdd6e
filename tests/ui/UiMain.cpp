// The window's tests need one application object for the whole run.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "Http.h"
#include "Skin.h"

int main(int argc, char** argv) {
    InitServiceLibraries();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ApplySkin(app);
    InstallChineseTranslations(app);
    return RUN_ALL_TESTS();
}
