#include "UpdateTransaction.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

const char* const kWorkName = ".quellot-update/";

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// One line a file: R for a file replaced (its old one linked in backup/), N for a new one.
std::vector<std::pair<char, std::string>> ReadJournal(const std::string& work) {
    std::vector<std::pair<char, std::string>> entries;
    std::ifstream in(work + "journal");
    for (std::string line; std::getline(in, line);)
        if (line.size() > 2 && (line[0] == 'R' || line[0] == 'N') && line[1] == ' ' &&
            line.find('/') == std::string::npos)
            entries.emplace_back(line[0], line.substr(2));
    return entries;
}

bool WriteDurably(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    return ok && rename(part.c_str(), path.c_str()) == 0;
}

// Undoes by the journal on disk, so a later start can do it just as this run would.
void Undo(const std::string& programDir, const std::string& work) {
    for (const auto& [kind, name] : ReadJournal(work)) {
        const std::string backup = work + "backup/" + name, target = programDir + name;
        if (kind == 'R' && Exists(backup))
            rename(backup.c_str(), target.c_str());
        else if (kind == 'N' && !Exists(work + "stage/" + name))
            unlink(target.c_str());  // it was moved into place
    }
    SyncFolder(programDir);
    unlink((work + "journal").c_str());
    SyncFolder(work);
    RemoveTree(work);
}

void Complete(const std::string& work) {
    unlink((work + "journal").c_str());
    SyncFolder(work);
    RemoveTree(work);
}

// With the folder's lock held.
void RecoverLocked(const std::string& programDir) {
    const std::string work = programDir + kWorkName;
    if (!Exists(work + "journal"))
        RemoveTree(work);
    else if (Exists(work + "ready"))
        Complete(work);
    else
        Undo(programDir, work);
    // Parts of files an earlier unpacker wrote straight into the folder.
    std::error_code error;
    for (fs::directory_iterator it(programDir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".quellot-", 0) == 0 && name.size() > 5 &&
            name.compare(name.size() - 5, 5, ".part") == 0)
            unlink(it->path().c_str());
    }
}

int LockFolder(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

std::string UpdateWorkDir(const std::string& programDir) { return programDir + kWorkName; }
std::string UpdateReadyMark(const std::string& programDir) {
    return UpdateWorkDir(programDir) + "ready";
}

UpdateTransaction::UpdateTransaction(std::string programDir)
    : FProgramDir(std::move(programDir)), FWork(UpdateWorkDir(FProgramDir)) {}

UpdateTransaction::~UpdateTransaction() {
    if (FLock >= 0) close(FLock);
}

bool UpdateTransaction::Open() {
    if (FLock < 0) FLock = LockFolder(FProgramDir);
    if (FLock < 0) return false;
    RecoverLocked(FProgramDir);
    // Making the work folder is the test that the folder can be written at all.
    if (mkdir(FWork.c_str(), 0700) != 0) return false;
    if (mkdir(StageDir().c_str(), 0700) != 0 || mkdir((FWork + "backup").c_str(), 0700) != 0) {
        RemoveTree(FWork);
        return false;
    }
    return true;
}

uint64_t UpdateTransaction::FreeSpace() const {
    struct statvfs st;
    if (statvfs(FProgramDir.c_str(), &st) != 0) return 0;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

bool UpdateTransaction::Commit(const std::vector<StagedFile>& files,
                               const std::function<void()>& afterEach) {
    std::string journal;
    for (const StagedFile& f : files) journal += (f.replaces ? "R " : "N ") + f.name + "\n";
    if (!WriteDurably(FWork + "journal", journal) || !SyncFolder(FWork)) {
        RollBack();
        return false;
    }
    for (const StagedFile& f : files) {
        const std::string target = FProgramDir + f.name, backup = FWork + "backup/" + f.name;
        // A second name for the old file, never a moment without one under the real name.
        bool ok = !f.replaces || link(target.c_str(), backup.c_str()) == 0;
        ok = ok && rename((StageDir() + f.name).c_str(), target.c_str()) == 0;
        if (!ok) {
            RollBack();
            return false;
        }
        if (afterEach) afterEach();
    }
    if (!SyncFolder(FProgramDir) || !SyncFolder(FWork + "backup")) {
        RollBack();
        return false;
    }
    return true;
}

void UpdateTransaction::Finish() { Complete(FWork); }

void UpdateTransaction::RollBack() {
    if (Exists(FWork + "journal"))
        Undo(FProgramDir, FWork);
    else
        RemoveTree(FWork);
}

void RecoverUpdate(const std::string& programDir, const std::string& tempDir) {
    int lock = LockFolder(programDir);
    if (lock >= 0) {
        RecoverLocked(programDir);
        close(lock);
    }
    // Download and restart folders of earlier versions, in the shared temporary folder.
    std::error_code error;
    for (fs::directory_iterator it(tempDir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        struct stat st;
        if ((name.rfind("quellot-update-", 0) == 0 || name.rfind("quellot-restart-", 0) == 0) &&
            lstat(it->path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid())
            RemoveTree(it->path().string());
    }
}

bool MarkUpdateReady(const std::string& programDir) {
    const std::string work = UpdateWorkDir(programDir);
    if (!Exists(work + "journal")) return false;
    int fd =
        open((work + "ready").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    return SyncFolder(work) && ok;
}
