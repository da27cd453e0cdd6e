#include "myupdate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>

#include "Platform.h"
#include "Service.h"
#include "UpdateTransaction.h"
#include "WindowMessages.h"

namespace {

constexpr int kDownloadIdleTimeoutMs = 60000;
constexpr size_t kDownloadMinimumRate = 4096;  // bytes a second, over any window of this
constexpr int kDownloadRateWindowMs = 30000;
constexpr uint64_t kMaxPackageSize = uint64_t{1} << 30;
// Room left over on the disk beyond the package and its files, for everything else.
constexpr uint64_t kSpareSpace = uint64_t{1} << 20;
// After it says it is up, the new program must still run a moment later.
constexpr int kAliveAfterReadyMs = 500;

// A package name becomes a file name: it must be a plain name.
bool PlainName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 200) return false;
    for (char c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == '\x7F')
            return false;
    return true;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TMyUpdate::TMyUpdate() {
    FPlaces.tempDir = platform::TempDirectory();
    FPlaces.programDir = platform::ProgramDirectory();
    FPlaces.programPath = platform::ProgramPath();
}

TMyUpdate::~TMyUpdate() {
    // The worker never outlives what it uses.
    Cancel();
    Wait();
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
    FThread = std::thread([this] {
        int message = RunUpdate() ? WM_UPDATE_DONE : WM_UPDATE_FAILED;
        if (FPost) FPost(message);
    });
    return true;
}

bool TMyUpdate::Download(const std::string& url, const std::string& file,
                         const UpdateOffer& offer) {
    // No byte for a minute, or less than 4 KiB a second over any half minute, ends a stalled or
    // trickling download, and so does the time the declared size takes at that rate: a large
    // package on a slow but honest line still arrives.
    FClient->SetReadTimeout(kDownloadIdleTimeoutMs);
    FClient->SetMinimumRate(kDownloadMinimumRate, kDownloadRateWindowMs);
    FClient->SetMaxBodySize(offer.size);
    uint64_t totalMs = kDownloadIdleTimeoutMs + offer.size * 1000 / kDownloadMinimumRate;
    FClient->SetTotalTimeout(static_cast<int>(std::min<uint64_t>(totalMs, INT_MAX)));
    // Created afresh, never through a link, readable by this user only, and written as the
    // bytes arrive: a large package never sits whole in memory.
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    Sha256 digest;
    uint64_t received = 0;
    bool ok = FClient->Get(url, [&](const char* data, size_t size) {
        if (received == 0) Reached(Step::Downloading);
        digest.Add(data, size);
        received += size;
        while (size > 0) {
            ssize_t n = write(fd, data, size);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    });
    if (close(fd) != 0) ok = false;
    // Only the package the maker signed, whole.
    return ok && received == offer.size && digest.Hex() == offer.sha256;
}

bool TMyUpdate::StartsAndSaysItIsUp() {
    int child = platform::StartChild(FPlaces.programPath, {"--update-ready"});
    if (child < 0) return false;
    Reached(Step::Started);
    const std::string mark = UpdateReadyMark(FPlaces.programDir);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(FReadyTimeoutMs);
    while (!FCancelled && Clock::now() < deadline) {
        if (!platform::ChildRunning(child)) return false;  // exited or crashed
        if (access(mark.c_str(), F_OK) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kAliveAfterReadyMs));
            if (platform::ChildRunning(child)) return true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    platform::KillChild(child);  // it never said so: it is not the program
    return false;
}

bool TMyUpdate::RunUpdate() {
    // File names on this system are UTF-8; the service's texts arrive in the program's GBK.
    const std::string name = GbkToUtf8(FSoftInfo.update_name);
    UpdateOffer offer;
    // Nothing is fetched, let alone run, that the maker did not sign for this name and version.
    if (!PlainName(name) ||
        !VerifyUpdate(GbkToUtf8(FSoftInfo.extra2), name, GbkToUtf8(FSoftInfo.version),
                      UpdatePublicKey, offer) ||
        offer.size > kMaxPackageSize || FCancelled)
        return false;
    UpdateTransaction update(FPlaces.programDir);
    // A folder the user cannot write, or a disk without room for the package and its files,
    // fails before anything is downloaded.
    if (!update.Open()) return false;
    bool installed = update.FreeSpace() >= offer.size + offer.unpacked + kSpareSpace &&
                     Download(GbkToUtf8(FSoftInfo.update_url), update.PackagePath(), offer) &&
                     !FCancelled;
    std::vector<StagedFile> staged;
    const std::string program = BaseName(FPlaces.programPath);
    if (installed) {
        ReplaceQuestion ask = [this](const std::string& file) {
            return !FCancelled && FAsk && FAsk(file);
        };
        // The package's executable takes the running program's name, so whatever starts the
        // program by its name (a desktop entry, the command) finds the new one.
        installed = StagePackage(update.PackagePath(), update.StageDir(),
                                 {FPlaces.programDir, ask, name + ".exe", program},
                                 staged) == StageResult::Staged;
        bool hasProgram = false;
        for (const StagedFile& f : staged) hasProgram |= f.name == program;
        installed = installed && hasProgram && !FCancelled;
    }
    if (installed) {
        unlink(update.PackagePath().c_str());
        Reached(Step::Staged);
        // Once the new program is up, the update stands even if the window is closing now:
        // undoing it would leave that program running from a file that is gone.
        installed =
            update.Commit(staged, [this] { Reached(Step::Committing); }) && StartsAndSaysItIsUp();
    }
    if (!installed) {
        update.RollBack();
        return false;
    }
    Reached(Step::CleaningUp);
    update.Finish();
    return true;
}

void TMyUpdate::Wait() {
    if (FThread.joinable()) FThread.join();
}
