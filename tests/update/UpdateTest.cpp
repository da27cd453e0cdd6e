#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "LoopbackServer.h"
#include "ProxyServer.h"
#include "Service.h"
#include "TestProxy.h"
#include "UpdateKeys.h"
#include "UpdatePackage.h"
#include "UpdateTransaction.h"
#include "WindowMessages.h"
#include "myupdate.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct ZipEntry {
    std::string name;
    std::string content;
    zip_uint8_t opsys = ZIP_OPSYS_UNIX;
    zip_uint32_t attr = (0100644u << 16);
    bool folder = false;
};

void MakeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const ZipEntry& e : entries) {
        zip_int64_t index;
        if (e.folder) {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_RAW);
        } else {
            zip_source_t* src = zip_source_buffer(z, e.content.data(), e.content.size(), 0);
            index = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_RAW | ZIP_FL_OVERWRITE);
        }
        ASSERT_GE(index, 0) << e.name;
        zip_file_set_external_attributes(z, index, 0, e.opsys, e.attr);
    }
    ASSERT_EQ(zip_close(z), 0);
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Folder {
public:
    Folder() {
        char tmpl[] = "/tmp/quellot-test-XXXXXX";
        FPath = mkdtemp(tmpl);
    }
    ~Folder() {
        std::error_code error;
        fs::remove_all(FPath, error);
    }
    std::string Dir() const { return FPath + "/"; }
    fs::path operator/(const std::string& name) const { return fs::path(FPath) / name; }

private:
    std::string FPath;
};

// Collects the result the updater posts.
struct Results {
    std::mutex m;
    std::condition_variable cv;
    std::vector<int> messages;
    TMyUpdate::Poster Poster() {
        return [this](int message) {
            std::lock_guard lock(m);
            messages.push_back(message);
            cv.notify_all();
        };
    }
    int Wait() {
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(20), [this] { return !messages.empty(); });
        return messages.empty() ? 0 : messages.front();
    }
};

constexpr int kDone = WM_UPDATE_DONE;
constexpr int kFailed = WM_UPDATE_FAILED;
static_assert(kDone == 0x41F && kFailed == 0x420, "the numbers the window has always known");

fs::perms Perms(const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; }

// The software information of a service that offers version v2.1 of the program.
SOFT_INFO Offer(const Text& updateName, const std::string& updateUrl) {
    SOFT_INFO info;
    info.version = "v2.1";
    info.update_name = updateName;
    info.update_url = updateUrl;
    return info;
}

}  // namespace

TEST(Unzip, SelectionPlacementAndAttributes) {
    Folder pkg, dest;
    std::string zip = (pkg / "p.zip").string();
    MakeZip(zip, {
                     {"bin/", "", ZIP_OPSYS_UNIX, 040755u << 16, true},
                     {"bin/new.exe", "#!/bin/sh\n", ZIP_OPSYS_UNIX, 0100755u << 16},
                     {"docs/deep/notes.txt", "notes"},
                     {"README", "no dot: stays in the archive"},
                     {"v1.2/LICENSE", "a dot in the folder counts"},
                     {"locked.dll", "ro", ZIP_OPSYS_DOS, 0x01},
                     {"plain.dat", "dos", ZIP_OPSYS_DOS, 0x20},
                     {"../../escape.txt", "lands inside"},
                     {"a/..", "not a file name"},
                     {"link.so", "target", ZIP_OPSYS_UNIX, 0120777u << 16},
                     {"\xD6\xD0\xCE\xC4.txt", "gbk name"},  // 中文.txt from a GBK packer
                 });
    ASSERT_TRUE(UnzipPackage(zip, dest.Dir(), nullptr));
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dest / ""))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"new.exe", "notes.txt", "LICENSE", "locked.dll",
                                            "plain.dat", "escape.txt", "中文.txt"}));
    EXPECT_EQ(ReadFile(dest / "notes.txt"), "notes");
    EXPECT_EQ(fs::status(dest / "new.exe").permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(fs::status(dest / "locked.dll").permissions() & fs::perms::all, fs::perms(0444));
    EXPECT_EQ(fs::status(dest / "plain.dat").permissions() & fs::perms::all, fs::perms(0644));
    EXPECT_FALSE(fs::exists(pkg / "escape.txt"));
    EXPECT_FALSE(fs::exists(fs::path("/tmp/escape.txt")) &&
                 ReadFile("/tmp/escape.txt") == "lands inside");
}

TEST(Unzip, ExistingFilesAreAskedAbout) {
    Folder pkg, dest;
    std::string zip = (pkg / "p.zip").string();
    MakeZip(zip, {{"keep.txt", "new"}, {"swap.txt", "new"}, {"fresh.txt", "new"}});
    std::ofstream(dest / "keep.txt") << "old";
    std::ofstream(dest / "swap.txt") << "old";
    std::vector<std::string> asked;
    ASSERT_TRUE(UnzipPackage(zip, dest.Dir(), [&](const std::string& name) {
        asked.push_back(name);
        return name == "swap.txt";
    }));
    EXPECT_EQ(asked, (std::vector<std::string>{"keep.txt", "swap.txt"}));
    EXPECT_EQ(ReadFile(dest / "keep.txt"), "old");
    EXPECT_EQ(ReadFile(dest / "swap.txt"), "new");
    EXPECT_EQ(ReadFile(dest / "fresh.txt"), "new");
}

TEST(Unzip, BrokenArchivesFail) {
    Folder pkg, dest;
    std::string zip = (pkg / "p.zip").string();
    MakeZip(zip, {{"a.txt", std::string(5000, 'x') + "tail"}});
    std::string bytes = ReadFile(zip);
    // Flip a byte of the compressed data, after the 30-byte local header and the name.
    std::string corrupt = bytes;
    corrupt[30 + 5 + 3] ^= 0x55;
    std::ofstream(pkg / "crc.zip", std::ios::binary) << corrupt;
    EXPECT_FALSE(UnzipPackage((pkg / "crc.zip").string(), dest.Dir(), nullptr));
    EXPECT_FALSE(fs::exists(dest / "a.txt"));
    std::ofstream(pkg / "cut.zip", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_FALSE(UnzipPackage((pkg / "cut.zip").string(), dest.Dir(), nullptr));
    std::ofstream(pkg / "text.zip") << "not a zip at all";
    EXPECT_FALSE(UnzipPackage((pkg / "text.zip").string(), dest.Dir(), nullptr));
    EXPECT_FALSE(UnzipPackage((pkg / "missing.zip").string(), dest.Dir(), nullptr));
    EXPECT_TRUE(fs::is_empty(dest / ""));
}

TEST(Update, VersionDecision) {
    const std::pair<const char*, bool> cases[] = {{"v2.0", false}, {"", false},    {"v1.9", true},
                                                  {"v2.1", true},  {"V2.0", true}, {"v2.0 ", true}};
    for (auto [offered, starts] : cases) {
        Folder temp;
        TMyUpdate update;
        update.SetPlaces({temp.Dir(), temp.Dir(), (temp / "old").string()});
        Results results;
        SOFT_INFO info;
        info.version = offered;
        info.update_name = "pkg";
        info.update_url = "http://127.0.0.1:1/none.zip";
        EXPECT_EQ(update.CheckUpdate(results.Poster(), info, "v2.0"), starts) << offered;
        if (starts) {
            EXPECT_EQ(results.Wait(), kFailed) << offered;
        }
    }
}

TEST(Unzip, PermissionsFromAnyPackerUnderTheUmask) {
    const mode_t saved = umask(022);
    struct Case {
        const char* name;
        zip_uint8_t opsys;
        zip_uint32_t attr;
        fs::perms want;
    };
    const Case cases[] = {
        {"New.exe", ZIP_OPSYS_DOS, 0x20, fs::perms(0755)},  // Windows-made: runnable all the same
        {"Ro.exe", ZIP_OPSYS_WINDOWS_NTFS, 0x01, fs::perms(0555)},
        {"plain.dll", ZIP_OPSYS_DOS, 0x20, fs::perms(0644)},
        {"dos.ro", ZIP_OPSYS_DOS, 0x21, fs::perms(0444)},
        {"ntfs.ro", ZIP_OPSYS_WINDOWS_NTFS, 0x01, fs::perms(0444)},
        {"vfat.ro", ZIP_OPSYS_VFAT, 0x01, fs::perms(0444)},
        {"open.txt", ZIP_OPSYS_UNIX, 0100777u << 16, fs::perms(0755)},  // never world-writable here
        {"suid.bin", ZIP_OPSYS_UNIX, 0104777u << 16, fs::perms(0755)},  // never setuid
        {"private.key", ZIP_OPSYS_UNIX, 0100600u << 16, fs::perms(0600)},
    };
    Folder pkg, dest;
    std::vector<ZipEntry> entries;
    for (const Case& c : cases) entries.push_back({c.name, c.name, c.opsys, c.attr});
    MakeZip((pkg / "p.zip").string(), entries);
    // Either of the two .exe is the package's executable, as its update name says.
    ASSERT_TRUE(UnzipPackage((pkg / "p.zip").string(), dest.Dir(), nullptr, "New.exe"));
    Folder dest2;
    ASSERT_TRUE(UnzipPackage((pkg / "p.zip").string(), dest2.Dir(), nullptr, "Ro.exe"));
    umask(saved);
    for (const Case& c : cases) {
        fs::path where = std::string(c.name) == "Ro.exe" ? dest2 / c.name : dest / c.name;
        EXPECT_EQ(Perms(where), c.want) << c.name;
        EXPECT_EQ(ReadFile(where), c.name);
    }
    EXPECT_EQ(Perms(dest / "Ro.exe"), fs::perms(0444));  // not the executable there
}

namespace {
// libzip marks every name that reads as UTF-8; a Windows packer writing GBK never does. Clears
// the mark (general-purpose bit 11) in the local and central headers.
std::string WithoutUtf8Marks(std::string zip) {
    auto clear = [&zip](const std::string& signature, size_t flagsAt) {
        for (size_t at = zip.find(signature); at != std::string::npos;
             at = zip.find(signature, at + 4))
            zip[at + flagsAt + 1] = static_cast<char>(zip[at + flagsAt + 1] & ~0x08);
    };
    clear(std::string("PK\x03\x04", 4), 6);
    clear(std::string("PK\x01\x02", 4), 8);
    return zip;
}
}  // namespace

TEST(Unzip, NamesFollowTheUtf8FlagElseAreGbk) {
    // 模 is C4 A3 in GBK: two bytes that also read as valid UTF-8 (U+0123), so only the mark
    // can tell them apart.
    const std::string gbkMo = "\xC4\xA3";
    Folder pkg, dest, marked;
    MakeZip((pkg / "m.zip").string(), {{gbkMo + ".txt", "utf8"}, {"版本.txt", "utf8"}});
    ASSERT_TRUE(UnzipPackage((pkg / "m.zip").string(), marked.Dir(), nullptr));
    EXPECT_EQ(ReadFile(marked / "\u0123.txt"), "utf8");  // marked UTF-8: taken as such
    EXPECT_EQ(ReadFile(marked / "版本.txt"), "utf8");

    std::ofstream(pkg / "g.zip", std::ios::binary)
        << WithoutUtf8Marks(ReadFile(pkg / "m.zip"));  // the same bytes from a GBK packer
    ASSERT_TRUE(UnzipPackage((pkg / "g.zip").string(), dest.Dir(), nullptr));
    EXPECT_EQ(ReadFile(dest / "模.txt"), "utf8");
    EXPECT_FALSE(fs::exists(dest / "\u0123.txt"));
    // 版本 in UTF-8 read as GBK is another name, but still a name, inside the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dest / ""), fs::directory_iterator()), 2);
}

namespace {

// An archive without a single entry, as a packer writes it: only the end record.
std::string EmptyZip() { return std::string("PK\x05\x06", 4) + std::string(18, '\0'); }

std::string ZipBytes(const std::vector<ZipEntry>& entries) {
    Folder f;
    MakeZip((f / "z.zip").string(), entries);
    return ReadFile(f / "z.zip");
}

}  // namespace

namespace {

// Every file under a folder, hidden ones included, with its bytes and permission bits.
using Snapshot = std::map<std::string, std::pair<std::string, fs::perms>>;
Snapshot Snap(const fs::path& dir) {
    Snapshot out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string rel = fs::relative(e.path(), dir).string();
        out[rel] = {e.is_directory() ? std::string("<dir>") : ReadFile(e.path()), Perms(e.path())};
    }
    return out;
}

const std::string kProgram = "quellot";  // the running program's own file name

// A program that says it is up, as the real one does once its window shows, and stays a while.
std::string ReadyProgram(const std::string& marker) {
    return "#!/bin/sh\necho \"new $0\" > '" + marker +
           "'\n: > \"$(dirname \"$0\")/.quellot-update/ready\"\nexec sleep 3\n";
}

// The program folder of a user who has the old version: the program, a data file and a library.
void OldVersion(const fs::path& program) {
    std::ofstream(program / kProgram) << "#!/bin/sh\necho old\n";
    fs::permissions(program / kProgram, fs::perms(0755));
    std::ofstream(program / "data.txt") << "old data";
    std::ofstream(program / "lib.dll") << "old lib";
}

// The software information of a service offering v2.1 of this package, signed with key.
SOFT_INFO SignedOffer(const std::string& name, const std::string& url, const std::string& bytes,
                      const std::string& key, const std::string& version = "v2.1",
                      uint64_t unpacked = UINT64_MAX) {
    UpdateOffer offer;
    std::string error;
    EXPECT_TRUE(DescribePackage(bytes, offer, error)) << error;
    if (unpacked != UINT64_MAX) offer.unpacked = unpacked;
    SOFT_INFO info = Offer(name, url);
    info.extra2 = SignUpdate(name, version, offer, key, error);
    EXPECT_FALSE(info.extra2.empty()) << error;
    return info;
}

// Runs one update to its end and says what it posted.
int RunUpdate(
    const fs::path& program, const fs::path& temp, const SOFT_INFO& info,
    const ReplaceQuestion& ask = [](const std::string&) { return true; },
    const std::function<void(TMyUpdate&)>& setUp = nullptr) {
    Results results;
    TMyUpdate update;
    update.SetPlaces({temp.string() + "/", program.string() + "/", (program / kProgram).string()});
    update.SetReplaceQuestion(ask);
    update.SetReadyTimeout(3000);
    if (setUp) setUp(update);
    EXPECT_TRUE(update.CheckUpdate(results.Poster(), info, "v2.0"));
    return results.Wait();
}

// A small file system of its own (root only), or none.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& size) {
        if (geteuid() != 0) return;
        std::string cmd =
            "mount -t tmpfs -o size=" + size + " tmpfs '" + FDir.Dir() + "' 2>/dev/null";
        FMounted = std::system(cmd.c_str()) == 0;
    }
    ~SmallDisk() {
        if (FMounted) std::system(("umount -l '" + FDir.Dir() + "'").c_str());
    }
    bool Mounted() const { return FMounted; }
    fs::path operator/(const std::string& name) const { return FDir / name; }
    void ReadOnly() { std::system(("mount -o remount,ro '" + FDir.Dir() + "'").c_str()); }

private:
    Folder FDir;
    bool FMounted = false;
};

}  // namespace

TEST(Update, InstallsUnderTheProgramsOwnNameThroughTheProxy) {
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build, program, temp;
    const std::string marker = (build / "marker").string();
    const std::string package = (build / "package.zip").string();
    // As a Windows packer makes it: DOS attributes, no Unix mode, so no execute bit stored.
    MakeZip(package, {{"Quellot2/QuellotNew.exe", ReadyProgram(marker), ZIP_OPSYS_DOS, 0x20},
                      {"Quellot2/data.txt", "new data", ZIP_OPSYS_DOS, 0x20},
                      {"Quellot2/fresh.txt", "fresh", ZIP_OPSYS_DOS, 0x20}});
    for (bool signedByMaker : {false, true}) {
        SCOPED_TRACE(signedByMaker);
        OldVersion(program / "");
        const Snapshot before = Snap(program / "");
        auto proxy = StartTestProxy({.items = 10,
                                     .offerVersion = "v2.1",
                                     .updatePackage = package,
                                     .updateName = "QuellotNew",
                                     .updateKey = signedByMaker ? keys.Maker() : keys.Other()});
        TOK ok;
        SOFT_INFO info;
        ASSERT_TRUE(ok.GetSoftInfo(proxy->BaseUrl() + kSoftInfoPath, PublisherId, info));
        std::vector<std::string> asked;
        int posted = RunUpdate(program / "", temp / "", info, [&](const std::string& name) {
            asked.push_back(name);
            return true;
        });
        if (!signedByMaker) {
            EXPECT_EQ(posted, kFailed);
            EXPECT_EQ(Snap(program / ""), before);
            EXPECT_EQ(proxy->Count("update"), 0);  // refused before anything was fetched
            continue;
        }
        ASSERT_EQ(posted, kDone);
        // The new program took the old one's name, was started there, and is what is there now.
        EXPECT_EQ(ReadFile(marker), "new " + (program / kProgram).string() + "\n");
        EXPECT_EQ(ReadFile(program / kProgram), ReadyProgram(marker));
        EXPECT_EQ(Perms(program / kProgram), fs::perms(0755) & ~fs::perms(umask(022)));
        EXPECT_EQ(ReadFile(program / "data.txt"), "new data");
        EXPECT_EQ(ReadFile(program / "lib.dll"), "old lib");
        EXPECT_FALSE(fs::exists(program / "QuellotNew.exe"));
        EXPECT_FALSE(fs::exists(program / ".quellot-update"));
        EXPECT_EQ(asked, (std::vector<std::string>{kProgram, "data.txt"}));
        EXPECT_TRUE(fs::is_empty(temp / ""));
    }
}

TEST(Update, AFailedUpdateLeavesTheFolderExactlyAsItWas) {
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build;
    const std::string marker = (build / "marker").string();
    const std::string ready = ReadyProgram(marker);
    auto exe = [](const std::string& script) {
        return ZipEntry{"QuellotNew.exe", script, ZIP_OPSYS_DOS, 0x20};
    };
    const ZipEntry data{"data.txt", "new data"}, lib{"lib.dll", "new lib"};
    std::string badCrc = ZipBytes({exe(ready), data, {"big.dat", std::string(5000, 'x')}});
    badCrc[badCrc.find("big.dat") + 7 + 3] ^= 0x55;  // in the compressed data, past its header
    std::vector<ZipEntry> many{exe(ready)};
    for (int i = 0; i < 10000; ++i) many.push_back({std::to_string(i).append(".txt"), ""});
    struct Case {
        const char* what;
        std::string package;
        std::function<bool(const std::string&)> ask = [](const std::string&) { return true; };
        std::string key;     // empty: the maker's
        std::string served;  // empty: the package as signed
        std::string version = "v2.1";
        std::function<void(const fs::path& program)> before;
        bool noSignature = false;
    };
    const std::string crcStored = ZipBytes({exe(ready), data});
    std::vector<Case> cases = {
        {"no executable in the package", ZipBytes({data, lib})},
        {"an empty archive", EmptyZip()},
        {"an executable that cannot start", ZipBytes({exe("#!/no/such/interpreter\n"), data})},
        {"an executable that crashes", ZipBytes({exe("#!/bin/sh\nkill -SEGV $$\n"), data})},
        {"an executable that exits at once", ZipBytes({exe("#!/bin/sh\nexit 0\n"), data})},
        {"one that says it is up and exits",
         ZipBytes({exe("#!/bin/sh\n: > \"$(dirname \"$0\")/.quellot-update/ready\"\n"), data})},
        {"one that never says it is up", ZipBytes({exe("#!/bin/sh\nexec sleep 10\n"), data})},
        {"a bad checksum in a later entry", badCrc},
        {"a name too long for a file",
         ZipBytes({exe(ready), {std::string(300, 'n') + ".dll", "x"}})},
        {"a name with a line end", ZipBytes({exe(ready), {"a\nb.txt", "x"}})},
        {"a name that is a folder here", ZipBytes({exe(ready), {"plugins.d", "x"}}),
         [](const std::string&) { return true; }, "", "", "v2.1",
         [](const fs::path& p) { fs::create_directory(p / "plugins.d"); }},
        {"No for the running program", ZipBytes({exe(ready), data}),
         [](const std::string& name) { return name != kProgram; }},
        {"more entries than a package may hold", ZipBytes(many)},
        {"unsigned", ZipBytes({exe(ready), data}), {}, "", "", "v2.1", nullptr, true},
        {"signed with another key", ZipBytes({exe(ready), data}), {}, "other"},
        {"signed for another version", ZipBytes({exe(ready), data}), {}, "", "", "v9.9"},
        {"cut short on the way", crcStored, {}, "", crcStored.substr(0, crcStored.size() / 2)},
        {"changed on the way", crcStored, {}, "", ZipBytes({exe(ready + "#"), data})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder program, temp;
        OldVersion(program / "");
        if (c.before) c.before(program / "");
        const Snapshot before = Snap(program / "");
        LoopbackServer server;
        server.SetBody(c.served.empty() ? c.package : c.served, "application/zip");
        SOFT_INFO info = SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", c.package,
                                     c.key.empty() ? keys.Maker() : keys.Other(), c.version);
        if (c.noSignature) info.extra2.clear();
        EXPECT_EQ(RunUpdate(program / "", temp / "", info, c.ask), kFailed);
        EXPECT_EQ(Snap(program / ""), before);
        EXPECT_TRUE(fs::is_empty(temp / ""));
    }
}

TEST(Update, ADuplicatedNameIsAskedAboutOnce) {
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build, program, temp;
    OldVersion(program / "");
    std::vector<ZipEntry> entries{
        {"QuellotNew.exe", ReadyProgram((build / "marker").string()), ZIP_OPSYS_DOS, 0x20}};
    for (int i = 0; i < 2000; ++i)
        entries.push_back({"dir" + std::to_string(i) + "/data.txt", std::to_string(i)});
    const std::string package = ZipBytes(entries);
    LoopbackServer server;
    server.SetBody(package, "application/zip");
    std::vector<std::string> asked;
    ASSERT_EQ(
        RunUpdate(program / "", temp / "",
                  SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", package, keys.Maker()),
                  [&](const std::string& name) {
                      asked.push_back(name);
                      return true;
                  }),
        kDone);
    EXPECT_EQ(asked, (std::vector<std::string>{kProgram, "data.txt"}));
    EXPECT_EQ(ReadFile(program / "data.txt"), "1999");  // the last entry of the name
}

TEST(Update, ALargePackageIsStreamedToDisk) {
    // 48 MB stored without compression: the download must not sit whole in memory.
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build, program, temp;
    OldVersion(program / "");
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    SOFT_INFO info;
    {
        std::string big(48u << 20, '\0');
        for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
        auto bytes = std::make_shared<const std::string>(ZipBytes(
            {{"QuellotNew.exe", ReadyProgram((build / "marker").string()), ZIP_OPSYS_DOS, 0x20},
             {"big.dat", big, ZIP_OPSYS_DOS, 0x20}}));
        info = SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", *bytes, keys.Maker());
        reply.shared = bytes;
    }
    server.SetReply(reply);
    reply.shared.reset();
    auto statusKb = [](const char* key) {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
        return 0L;
    };
    // The peak resident size starts again from what is resident now.
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = statusKb("VmRSS:");
    ASSERT_EQ(RunUpdate(program / "", temp / "", info), kDone);
    EXPECT_EQ(fs::file_size(program / "big.dat"), 48u << 20);
    EXPECT_LT(statusKb("VmHWM:") - before, 16 * 1024);
}

TEST(Update, AFullOrReadOnlyDiskChangesNothing) {
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build;
    const std::string marker = (build / "marker").string();
    std::string random(3u << 20, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 2654435761u) >> 13);
    const ZipEntry exe{"QuellotNew.exe", ReadyProgram(marker), ZIP_OPSYS_DOS, 0x20};
    // Stored: 3 MB to download and to unpack; zeros: small to download, 12 MB to unpack.
    const std::string big = ZipBytes({exe, {"big.dat", random}});
    const std::string zeros = ZipBytes({exe, {"zeros.dat", std::string(12u << 20, '\0')}});
    struct Case {
        const char* what;
        const std::string& package;
        uint64_t declaredUnpacked;  // UINT64_MAX: the true size
        bool fillWhileDownloading, readOnly, downloads;
    };
    const Case cases[] = {
        {"the disk fills while downloading", big, UINT64_MAX, true, false, true},
        {"the files do not fit when unpacked", zeros, 0, false, false, true},
        {"too little room for the files: nothing is fetched", zeros, UINT64_MAX, false, false,
         false},
        {"a folder the user cannot write, three starts", big, UINT64_MAX, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmallDisk disk("8m");
        if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a small file system";
        fs::create_directory(disk / "program");
        OldVersion(disk / "program");
        if (c.readOnly) disk.ReadOnly();
        const Snapshot before = Snap(disk / "program");
        Folder temp;
        LoopbackServer server;
        server.SetBody(c.package, "application/zip");
        SOFT_INFO info = SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", c.package,
                                     keys.Maker(), "v2.1", c.declaredUnpacked);
        for (int start = 0; start < (c.readOnly ? 3 : 1); ++start) {
            EXPECT_EQ(RunUpdate(disk / "program", temp / "", info, {},
                                [&](TMyUpdate& update) {
                                    if (!c.fillWhileDownloading) return;
                                    update.SetStepHook([&](TMyUpdate::Step step) {
                                        if (step == TMyUpdate::Step::Downloading)
                                            std::ofstream(disk / "filler")
                                                << std::string(5u << 20, 'f');
                                    });
                                }),
                      kFailed);
        }
        EXPECT_EQ(Snap(disk / "program"), before);
        EXPECT_EQ(server.RequestCount() > 0, c.downloads);
        EXPECT_TRUE(fs::is_empty(temp / ""));
    }
}

TEST(Update, AnImmutableFileIsPutBackWithEverythingElse) {
    UpdateKeys keys;
    ScopedUpdateKey trust(keys.Maker());
    Folder build, program, temp;
    OldVersion(program / "");
    if (std::system(("chattr +i '" + (program / "lib.dll").string() + "' 2>/dev/null").c_str()) !=
        0)
        GTEST_SKIP() << "this file system has no immutable files";
    const Snapshot before = Snap(program / "");
    const std::string package = ZipBytes(
        {{"QuellotNew.exe", ReadyProgram((build / "marker").string()), ZIP_OPSYS_DOS, 0x20},
         {"data.txt", "new data"},
         {"lib.dll", "new lib"}});
    LoopbackServer server;
    server.SetBody(package, "application/zip");
    EXPECT_EQ(
        RunUpdate(program / "", temp / "",
                  SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", package, keys.Maker())),
        kFailed);
    EXPECT_EQ(Snap(program / ""), before);
    std::system(("chattr -i '" + (program / "lib.dll").string() + "'").c_str());
}

TEST(Update, AKilledUpdateLeavesOneWholeVersionThatStarts) {
    UpdateKeys keys;
    Folder build;
    const std::string marker = (build / "marker").string();
    const std::string package =
        ZipBytes({{"QuellotNew.exe", ReadyProgram(marker), ZIP_OPSYS_DOS, 0x20},
                  {"data.txt", "new data"},
                  {"fresh.txt", "fresh"},
                  {"big.dat", std::string(2u << 20, 'b')}});
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    reply.body = package;
    server.SetReply(reply);
    SOFT_INFO info = SignedOffer("QuellotNew", server.BaseUrl() + "u.zip", package, keys.Maker());
    Snapshot oldVersion, newVersion;
    {
        Folder program, temp;
        OldVersion(program / "");
        oldVersion = Snap(program / "");
        ScopedUpdateKey trust(keys.Maker());
        ASSERT_EQ(RunUpdate(program / "", temp / "", info), kDone);
        newVersion = Snap(program / "");
    }
    ASSERT_NE(oldVersion, newVersion);
    // Which version a start after the kill finds; both where the new one was already running.
    const std::pair<const char*, int> steps[] = {
        {"Downloading", 0}, {"Staged", 0}, {"Committing", 0}, {"Started", -1}, {"CleaningUp", 1}};
    for (auto [step, version] : steps) {
        SCOPED_TRACE(step);
        Folder program, temp;
        OldVersion(program / "");
        std::vector<std::string> args = {UPDATE_STEP_PROGRAM,
                                         program.Dir(),
                                         temp.Dir(),
                                         "QuellotNew",
                                         info.update_url,
                                         "v2.1",
                                         info.extra2,
                                         UpdatePublicKeyOf(keys.Maker()),
                                         step};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        RecoverUpdate(program.Dir(), temp.Dir());  // the next start
        Snapshot found = Snap(program / "");
        if (version >= 0) {
            EXPECT_EQ(found, version == 0 ? oldVersion : newVersion);
        }
        EXPECT_TRUE(found == oldVersion || found == newVersion);
        // And the program there starts: the shell runs it, whichever it is.
        int rc = std::system(("'" + (program / kProgram).string() +
                              "' >/dev/null 2>&1 </dev/null & "
                              "sleep 0.2; kill $! 2>/dev/null; true")
                                 .c_str());
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(Perms(program / kProgram) & fs::perms::owner_exec, fs::perms::owner_exec);
    }
}

TEST(Update, AStartRemovesWhatEarlierRunsLeft) {
    Folder program, temp;
    OldVersion(program / "");
    const Snapshot clean = Snap(program / "");
    // An earlier version's part of a file and its download and restart folders; a staging
    // folder without a journal; and things that are not the updater's.
    std::ofstream(program / ".quellot-4242-1.part") << std::string(1000, 'p');
    fs::create_directories(program / ".quellot-update" / "stage");
    std::ofstream(program / ".quellot-update" / "package.zip") << "half a download";
    fs::create_directories(temp / "quellot-update-AbC123");
    std::ofstream(temp / "quellot-update-AbC123" / "Quellot") << "old download";
    fs::create_directories(temp / "quellot-restart-XyZ789");
    fs::create_directories(temp / "someone-else");
    std::ofstream(temp / "quellot-update-notes.txt") << "a file, not a folder of ours";
    RecoverUpdate(program.Dir(), temp.Dir());
    EXPECT_EQ(Snap(program / ""), clean);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(temp / ""))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"someone-else", "quellot-update-notes.txt"}));
}
