#include "myupdate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "Platform.h"
#include "Service.h"
#include "WindowMessages.h"

constexpr int kDownloadIdleTimeoutMs = 60000;
constexpr size_t kDownloadMinimumRate = 4096;  // bytes a second, on average over the window
constexpr int kDownloadRateWindowMs = 30000;
constexpr size_t kMaxPackageSize = size_t{1} << 30;

namespace {

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A package name becomes a file name in two folders: it must be a plain name.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

std::string UpdateShellText(const std::string& exePath, const std::string& scriptPath) {
    return "#!/bin/sh\n"
           "# Removes the replaced executable once it can, then itself.\n"
           "i=0\n"
           "while [ -e " +
           ShellQuote(exePath) +
           " ] && [ \"$i\" -lt 600 ]; do\n"
           "  rm -f " +
           ShellQuote(exePath) +
           " || sleep 0.1\n"
           "  i=$((i + 1))\n"
           "done\n"
           "rm -f " +
           ShellQuote(scriptPath) + "\n";
}

TMyUpdate::TMyUpdate() {
    FPlaces.tempDir = platform::TempDirectory();
    FPlaces.programDir = platform::ProgramDirectory();
    FPlaces.programPath = platform::ProgramPath();
}

TMyUpdate::~TMyUpdate() {
    // The worker never outlives what it uses.
    Cancel();
    Wait();
    if (FRestart) Restart();
}

void TMyUpdate::Cancel() {
    FCancelled = true;
    if (FClient) FClient->Cancel();
}

bool TMyUpdate::CheckUpdate(Poster post, SOFT_INFO Info, const Text& CurrentVersion) {
    if (Info.version == CurrentVersion || Info.version.empty() || FThread.joinable()) return false;
    FPost = std::move(post);
    FSoftInfo = std::move(Info);
    FClient = std::make_unique<HttpClient>();
    // No byte for a minute, or less than 4 KiB a second over half a minute, ends a stalled or
    // trickling download; a large package on a slow but honest line still arrives.
    FClient->SetReadTimeout(kDownloadIdleTimeoutMs);
    FClient->SetMinimumRate(kDownloadMinimumRate, kDownloadRateWindowMs);
    FClient->SetMaxBodySize(kMaxPackageSize);
    FThread = std::thread([this] { RunUpdate(); });
    return true;
}

bool TMyUpdate::DownloadFile(const std::string& Url, const std::string& FileName) {
    // Created afresh, never through a link, readable by this user only, and written as the
    // bytes arrive: a large package never sits whole in memory.
    int fd = open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = FClient->Get(Url, [fd](const char* data, size_t size) {
        while (size > 0) {
            ssize_t n = write(fd, data, size);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    });
    if (close(fd) != 0) ok = false;
    if (!ok) unlink(FileName.c_str());
    return ok;
}

void TMyUpdate::RunUpdate() {
    int message = WM_UPDATE_FAILED;
    // File names on this system are UTF-8; the service's name arrives in the program's GBK.
    const std::string name = GbkToUtf8(FSoftInfo.update_name);
    if (PlainName(name)) {
        // The download and its folder stay after a failure, for a look at what arrived.
        std::string folder = platform::MakePrivateDirectory(FPlaces.tempDir, "quellot-update-");
        bool downloaded = !folder.empty() && DownloadFile(FSoftInfo.update_url, folder + name);
        if (downloaded && Install(folder + name, name + ".exe")) {
            std::remove((folder + name).c_str());
            FRestart = true;
            message = WM_UPDATE_DONE;
        }
        if (!folder.empty() && (!downloaded || FRestart)) rmdir(folder.c_str());
    }
    if (FPost) FPost(message);
}

bool TMyUpdate::Install(const std::string& package, const std::string& exe) {
    ReplaceQuestion ask = [this](const std::string& file) {
        return !FCancelled && FAsk && FAsk(file);
    };
    if (FCancelled || !UnzipPackage(package, FPlaces.programDir, ask, exe) || FCancelled)
        return false;
    // The old program goes only once the new one really runs: a package without it, or one
    // that cannot be started, leaves the user with the program they had.
    FNewExecutable = FPlaces.programDir + exe;
    struct stat st;
    if (stat(FNewExecutable.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return platform::StartDetached(FNewExecutable, {});
}

void TMyUpdate::Wait() {
    if (FThread.joinable()) FThread.join();
}

void TMyUpdate::Restart() {
    // A package that replaced the running executable in place leaves nothing to remove.
    if (FPlaces.programPath == FNewExecutable) return;
    // Failing to write the script costs only the clean-up: shutdown goes on regardless. It is
    // written where no one else can plant anything, and removes its folder when done.
    std::string folder = platform::MakePrivateDirectory(FPlaces.tempDir, "quellot-restart-");
    if (folder.empty()) return;
    std::string script = folder + "update.sh";
    int fd = open(script.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (fd < 0) return;
    std::string text =
        UpdateShellText(FPlaces.programPath, script) + "rmdir " + ShellQuote(folder) + "\n";
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (close(fd) != 0) ok = false;
    if (ok) platform::StartDetached("/bin/sh", {script});
}
