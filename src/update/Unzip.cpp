#include "Unzip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "Text.h"

namespace {

constexpr zip_uint64_t kMaxTotalSize = zip_uint64_t{1}
                                       << 30;  // a package larger than this is no update

struct Entry {
    zip_uint64_t index;
    std::string bareName;
    zip_uint64_t size;
    mode_t mode;
};

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

// A name marked UTF-8 by the packer is UTF-8; any other is in the packer's code page, which
// for these packages is GBK (guessing from the bytes would misread many GBK names, whose
// bytes are often valid UTF-8 too). The file system here wants UTF-8.
std::string DecodeName(zip_t* z, zip_uint64_t index) {
    const char* raw = zip_get_name(z, index, ZIP_FL_ENC_RAW);
    if (!raw) return std::string();
    std::string name = raw;
    // Read strictly, an unmarked name is converted from CP437 and so changes as soon as it has
    // a byte above 127; a marked one comes back as stored.
    const char* strict = zip_get_name(z, index, ZIP_FL_ENC_STRICT);
    bool marked = strict && name == strict;
    if (marked) return IsValidUtf8(name) ? name : std::string();
    return GbkToUtf8(name);
}

// The permission bits an entry asks for; creating the file applies the user's umask to them.
mode_t ModeOf(zip_t* z, zip_uint64_t index, bool& symlink) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attr = 0;
    symlink = false;
    if (zip_file_get_external_attributes(z, index, 0, &opsys, &attr) != 0) return 0666;
    if (opsys == ZIP_OPSYS_UNIX) {
        mode_t unixMode = attr >> 16;
        symlink = (unixMode & 0170000) == 0120000;
        // Never setuid, setgid or sticky.
        mode_t perms = unixMode & 0777;
        return perms ? perms : 0666;
    }
    // Windows packers write DOS attributes under any of these hosts; bit 0 is read-only.
    bool windows =
        opsys == ZIP_OPSYS_DOS || opsys == ZIP_OPSYS_WINDOWS_NTFS || opsys == ZIP_OPSYS_VFAT;
    if (windows && (attr & 0x01)) return 0444;
    return 0666;
}

// Any .exe runs on the system the packages come from: here it needs its execute bits, given
// wherever it may be read.
mode_t Runnable(mode_t mode) { return mode | ((mode & 0444) >> 2); }

bool WriteEntry(zip_t* z, const Entry& e, const std::string& destDir) {
    zip_file_t* f = zip_fopen_index(z, e.index, 0);
    if (!f) return false;
    // Written beside the target and renamed into place: a failed write never leaves half a file
    // under the real name.
    std::string part =
        destDir + ".quellot-" + std::to_string(getpid()) + "-" + std::to_string(e.index) + ".part";
    unlink(part.c_str());  // a leftover of an earlier run with the same process id
    // Created with its final mode, so the umask applies; the descriptor may write even when the
    // mode says read-only.
    int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, e.mode);
    if (fd < 0) {
        zip_fclose(f);
        return false;
    }
    bool ok = true;
    char buffer[64 * 1024];
    zip_uint64_t written = 0;
    for (;;) {
        // A bad checksum shows only on the read that reaches the end of the entry.
        zip_int64_t n = zip_fread(f, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 || (written += n) > e.size) {
            ok = false;
            break;
        }
        for (zip_int64_t off = 0; off < n;) {
            ssize_t w = write(fd, buffer + off, n - off);
            if (w <= 0) {
                ok = false;
                break;
            }
            off += w;
        }
        if (!ok) break;
    }
    if (zip_fclose(f) != 0) ok = false;
    if (ok && fsync(fd) != 0) ok = false;  // on disk before its name says it is there
    if (close(fd) != 0) ok = false;
    if (ok) ok = rename(part.c_str(), (destDir + e.bareName).c_str()) == 0;
    if (!ok) unlink(part.c_str());
    return ok;
}

// Names become file names: nothing that is no character of a name (controls, line ends), and
// nothing longer than a file name may be.
bool PrintableName(const std::string& name) {
    if (name.size() > NAME_MAX) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') return false;
    return true;
}

}  // namespace

bool SyncFolder(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

StageResult StagePackage(const std::string& zipName, const std::string& stageDir,
                         const StageRules& rules, std::vector<StagedFile>& staged) {
    staged.clear();
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> z(zip_open(zipName.c_str(), ZIP_RDONLY, &error));
    if (!z) return StageResult::Broken;
    zip_int64_t count = zip_get_num_entries(z.get(), 0);
    if (count < 0 || static_cast<zip_uint64_t>(count) > rules.maxEntries)
        return StageResult::Broken;
    // Every entry is checked before anything is written; a name's last entry is the one kept.
    std::vector<Entry> entries;
    std::map<std::string, size_t> byName;
    zip_uint64_t total = 0;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        std::string name = DecodeName(z.get(), i);
        if (name.empty() || name.back() == '/' || name.back() == '\\') continue;  // a folder
        if (name.find('.') == std::string::npos) continue;  // "*.*" wants a dot
        size_t slash = name.find_last_of("/\\");
        std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
        // Only a plain file name lands in the program's folder: nothing above or beside it.
        if (bare.empty() || bare == "." || bare == "..") continue;
        if (!PrintableName(bare)) return StageResult::Broken;
        bool symlink = false;
        mode_t mode = ModeOf(z.get(), i, symlink);
        if (symlink) continue;
        if (!rules.executable.empty() && bare == rules.executable) {
            mode = Runnable(mode);
            if (!rules.installedAs.empty()) bare = rules.installedAs;
        }
        zip_stat_t st;
        if (zip_stat_index(z.get(), i, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            return StageResult::Broken;
        total += st.size;
        if (total > kMaxTotalSize) return StageResult::Broken;
        auto [at, fresh] = byName.emplace(bare, entries.size());
        if (fresh)
            entries.push_back({i, bare, st.size, mode});
        else
            entries[at->second] = {i, bare, st.size, mode};
    }
    for (const Entry& e : entries) {
        struct stat target;
        bool exists = lstat((rules.programDir + e.bareName).c_str(), &target) == 0;
        // A folder under the name cannot be replaced by a rename; a file or a link can, and be
        // put back.
        if (exists && !S_ISREG(target.st_mode) && !S_ISLNK(target.st_mode))
            return StageResult::Broken;
        if (exists && !(rules.ask && rules.ask(e.bareName))) {
            if (e.bareName == (rules.installedAs.empty() ? rules.executable : rules.installedAs))
                return StageResult::Declined;
            continue;
        }
        if (!WriteEntry(z.get(), e, stageDir)) return StageResult::Broken;
        staged.push_back({e.bareName, exists});
    }
    return SyncFolder(stageDir) ? StageResult::Staged : StageResult::Broken;
}

bool UnzipPackage(const std::string& zipName, const std::string& destDir,
                  const ReplaceQuestion& ask, const std::string& executable) {
    std::vector<StagedFile> staged;
    return StagePackage(zipName, destDir, {destDir, ask, executable, executable}, staged) ==
           StageResult::Staged;
}
