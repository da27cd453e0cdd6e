#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "Text.h"
#include "myupdate.h"

namespace {

constexpr zip_uint64_t kMaxTotalSize = zip_uint64_t{1} << 30;  // a package larger than this is no update

struct Entry {
    zip_uint64_t index;
    std::string bareName;
    zip_uint64_t size;
    mode_t mode;
};

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

// Names are stored as their bytes: UTF-8 when they are valid as such, else the packer's GBK.
std::string DecodeName(const char* raw) {
    std::string name = raw ? raw : "";
    return IsValidUtf8(name) ? name : GbkToUtf8(name);
}

mode_t ModeOf(zip_t* z, zip_uint64_t index, bool& symlink) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attr = 0;
    symlink = false;
    if (zip_file_get_external_attributes(z, index, 0, &opsys, &attr) != 0) return 0644;
    if (opsys == ZIP_OPSYS_UNIX) {
        mode_t unixMode = attr >> 16;
        symlink = (unixMode & 0170000) == 0120000;
        mode_t perms = unixMode & 0777;
        return perms ? perms : 0644;
    }
    if (opsys == ZIP_OPSYS_DOS && (attr & 0x01)) return 0444;  // read-only
    return 0644;
}

bool WriteEntry(zip_t* z, const Entry& e, const std::string& destDir) {
    zip_file_t* f = zip_fopen_index(z, e.index, 0);
    if (!f) return false;
    // Written beside the target and renamed into place: a failed write never leaves half a file
    // under the real name.
    std::string part = destDir + ".quellot-" + std::to_string(getpid()) + "-" + std::to_string(e.index) + ".part";
    int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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
    if (close(fd) != 0) ok = false;
    if (ok) ok = chmod(part.c_str(), e.mode) == 0 && rename(part.c_str(), (destDir + e.bareName).c_str()) == 0;
    if (!ok) unlink(part.c_str());
    return ok;
}

}  // namespace

bool UnzipPackage(const std::string& zipName, const std::string& destDir, const ReplaceQuestion& ask) {
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> z(zip_open(zipName.c_str(), ZIP_RDONLY, &error));
    if (!z) return false;
    zip_int64_t count = zip_get_num_entries(z.get(), 0);
    if (count < 0) return false;
    // Every entry is checked before anything is written.
    std::vector<Entry> entries;
    zip_uint64_t total = 0;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        std::string name = DecodeName(zip_get_name(z.get(), i, ZIP_FL_ENC_RAW));
        if (name.empty() || name.back() == '/' || name.back() == '\\') continue;  // a folder
        if (name.find('.') == std::string::npos) continue;                        // "*.*" wants a dot
        size_t slash = name.find_last_of("/\\");
        std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
        // Only a plain file name lands in the program's folder: nothing above or beside it.
        if (bare.empty() || bare == "." || bare == ".." || bare.find('\0') != std::string::npos) continue;
        bool symlink = false;
        mode_t mode = ModeOf(z.get(), i, symlink);
        if (symlink) continue;
        zip_stat_t st;
        if (zip_stat_index(z.get(), i, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
        total += st.size;
        if (total > kMaxTotalSize) return false;
        entries.push_back({i, bare, st.size, mode});
    }
    for (const Entry& e : entries) {
        std::string target = destDir + e.bareName;
        if (access(target.c_str(), F_OK) == 0 && !(ask && ask(e.bareName))) continue;
        if (!WriteEntry(z.get(), e, destDir)) return false;
    }
    return true;
}
