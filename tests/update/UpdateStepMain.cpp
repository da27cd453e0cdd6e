// One update in a process of its own, killed (as by kill -9) when it reaches the step named on
// the command line, so a test can see what a later start makes of the folder.
//   update_step PROGRAM_DIR TEMP_DIR NAME URL VERSION SIGNATURE PUBLIC_KEY STEP

#include <csignal>
#include <cstring>
#include <future>
#include <string>

#include "UpdateSignature.h"
#include "WindowMessages.h"
#include "myupdate.h"

int main(int argc, char** argv) {
    if (argc != 9) return 2;
    const char* steps[] = {"Downloading", "Staged", "Committing", "Started", "CleaningUp"};
    int stop = -1;
    for (int i = 0; i < 5; ++i)
        if (std::strcmp(argv[8], steps[i]) == 0) stop = i;
    UpdatePublicKey = argv[7];
    SOFT_INFO info;
    info.update_name = argv[3];
    info.update_url = argv[4];
    info.version = argv[5];
    info.extra2 = argv[6];
    std::promise<int> posted;
    TMyUpdate update;
    update.SetPlaces({argv[2], argv[1], std::string(argv[1]) + "quellot"});
    update.SetReplaceQuestion([](const std::string&) { return true; });
    update.SetStepHook([stop](TMyUpdate::Step step) {
        if (static_cast<int>(step) == stop) std::raise(SIGKILL);
    });
    if (!update.CheckUpdate([&](int message) { posted.set_value(message); }, info, "v2.0"))
        return 2;
    return posted.get_future().get() == WM_UPDATE_DONE ? 0 : 1;
}
