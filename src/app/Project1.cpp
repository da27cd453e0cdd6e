// Quellot: the main block.

#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "Http.h"
#include "Skin.h"
#include "Unit1.h"

int main(int argc, char** argv) {
    // Before any thread exists: the service libraries' global set-up.
    InitServiceLibraries();
    // The browser engine refuses to run as root with its sandbox on.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QApplication app(argc, argv);
    app.setApplicationName(kWindowCaption);
    ApplySkin(app);
    InstallChineseTranslations(app);
    TForm1 form;
    form.FormCreate();
    form.show();
    return app.exec();
}
