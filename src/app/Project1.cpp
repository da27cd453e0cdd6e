// Quellot: the main block.

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>

#include "Http.h"
#include "Platform.h"
#include "Settings.h"
#include "Skin.h"
#include "Unit1.h"
#include "UpdateTransaction.h"

int main(int argc, char** argv) {
    // Started by an update to prove this program runs: the update it belongs to is waiting for
    // the window and must not be undone as an interrupted one.
    bool proving = false;
    for (int i = 1; i < argc; ++i) proving |= std::strcmp(argv[i], "--update-ready") == 0;
    if (!proving) RecoverUpdate(platform::ProgramDirectory(), platform::TempDirectory());
    // Before any thread exists: the service libraries' global set-up.
    InitServiceLibraries();
    // The browser engine refuses to run as root with its sandbox on.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QApplication app(argc, argv);
    app.setApplicationName(kWindowCaption);
    ApplySkin(app);
    InstallChineseTranslations(app);
    TForm1 form;
    form.SettingsFile = DefaultSettingsFile();
    form.FormCreate();
    form.show();
    if (proving) QTimer::singleShot(0, [] { MarkUpdateReady(platform::ProgramDirectory()); });
    return app.exec();
}
