#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "LoopbackServer.h"
#include "ProxyServer.h"
#include "Service.h"
#include "TestProxy.h"
#include "WindowMessages.h"
#include "myupdate.h"

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
        char tmpl[] = "/tmp/quellot-update-XXXXXX";
        FPath = mkdtemp(tmpl);
    }
    ~Folder() {
        // A restart script may still be removing its own files from it: try again a while.
        for (int i = 0; i < 100; ++i) {
            std::error_code error;
            fs::remove_all(FPath, error);
            if (!error && !fs::exists(FPath)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
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

// What the updater left in the temporary folder: its private folders and what is in them.
std::vector<std::string> LeftInTemp(const fs::path& temp) {
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(temp))
        left.push_back(fs::relative(e.path(), temp).string());
    std::sort(left.begin(), left.end());
    return left;
}

fs::perms Perms(const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; }

// The software information of a service that offers version v2.1 of the program.
SOFT_INFO Offer(const Text& updateName, const std::string& updateUrl) {
    SOFT_INFO info;
    info.version = "v2.1";
    info.update_name = updateName;
    info.update_url = updateUrl;
    return info;
}

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 100; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
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

TEST(Update, RestartScripts) {
    std::string sh = UpdateShellText("/opt/it's/app.exe", "/tmp/u.sh");
    EXPECT_NE(sh.find("rm -f '/opt/it'\\''s/app.exe'"), std::string::npos) << sh;
    EXPECT_NE(sh.find("-lt 600"), std::string::npos);  // gives up instead of looping for ever
    EXPECT_NE(sh.find("rm -f '/tmp/u.sh'"), std::string::npos);
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

TEST(Update, InstallsEndToEndFromTheProxy) {
    Folder build, program, temp;
    std::string marker = (build / "marker").string();
    std::string package = (build / "package.zip").string();
    // As a Windows packer makes it: DOS attributes, no Unix mode, so no execute bit stored.
    MakeZip(package, {{"Quellot2/QuellotNew.exe", "#!/bin/sh\necho started > '" + marker + "'\n",
                       ZIP_OPSYS_DOS, 0x20},
                      {"Quellot2/data.txt", "data", ZIP_OPSYS_DOS, 0x20}});
    auto started = StartTestProxy({.items = 10,
                                   .offerVersion = "v2.1",
                                   .updatePackage = package,
                                   .updateName = "QuellotNew"});
    ProxyServer& proxy = *started;

    TOK ok;
    SOFT_INFO info;
    ASSERT_TRUE(ok.GetSoftInfo(proxy.BaseUrl() + kSoftInfoPath, PublisherId, info));
    fs::path oldExe = program / "quellot";
    std::ofstream(oldExe) << "old program";
    Results results;
    {
        TMyUpdate update;
        update.SetPlaces({temp.Dir(), program.Dir(), oldExe.string()});
        ASSERT_TRUE(update.CheckUpdate(results.Poster(), info, BuiltInVersion));
        ASSERT_EQ(results.Wait(), kDone);
        EXPECT_TRUE(update.Restarting());
        EXPECT_TRUE(Eventually([&] { return fs::exists(marker); }));  // the new executable ran
        EXPECT_EQ(ReadFile(program / "data.txt"), "data");
        EXPECT_FALSE(fs::exists(temp / "QuellotNew"));  // the download is gone
        EXPECT_TRUE(fs::exists(oldExe));
    }
    // The old program has ended: its restart script removes the old executable.
    EXPECT_TRUE(Eventually([&] { return !fs::exists(oldExe); }));
    EXPECT_TRUE(fs::exists(program / "QuellotNew.exe"));
}

TEST(Update, FailuresPostTheFailedMessage) {
    Folder program, temp, build;
    std::ofstream(build / "broken.zip") << "PK\x03\x04 broken";
    auto started = StartTestProxy({.items = 10,
                                   .offerVersion = "v2.1",
                                   .updatePackage = (build / "broken.zip").string(),
                                   .updateName = "Broken"});
    ProxyServer& proxy = *started;

    struct Case {
        std::string name, url;
        bool downloadStays;
    };
    const Case cases[] = {
        {"Broken", proxy.BaseUrl() + "update/Broken.zip",
         true},                                              // unpacking fails, the download stays
        {"", proxy.BaseUrl() + "update/Broken.zip", false},  // no file name at all
        {"../escape", proxy.BaseUrl() + "update/Broken.zip", false},
        {"Missing", proxy.BaseUrl() + "update/Missing.zip", false},  // 404: no file is made
    };
    for (const Case& c : cases) {
        TMyUpdate update;
        update.SetPlaces({temp.Dir(), program.Dir(), (program / "old").string()});
        Results results;
        ASSERT_TRUE(update.CheckUpdate(results.Poster(), Offer(c.name, c.url), "v2.0"));
        EXPECT_EQ(results.Wait(), kFailed) << c.name;
        EXPECT_FALSE(update.Restarting());
        if (c.downloadStays) {
            // Kept for a look at what arrived, in the updater's own folder.
            std::vector<std::string> left = LeftInTemp(temp.Dir());
            ASSERT_EQ(left.size(), 2u);
            EXPECT_EQ(fs::path(left[1]).filename(), c.name);
            EXPECT_EQ(Perms(temp / left[0]), fs::perms(0700));
            EXPECT_EQ(Perms(temp / left[1]), fs::perms(0600));
            fs::remove_all(temp / left[0]);
        }
        EXPECT_EQ(LeftInTemp(temp.Dir()), std::vector<std::string>{}) << c.name;
    }
    EXPECT_FALSE(fs::exists(temp / ".." / "escape"));
    EXPECT_TRUE(fs::is_empty(program / ""));
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

TEST(Update, OnlyANewProgramThatRunsReplacesTheOldOne) {
    umask(022);
    Folder build;
    const std::string marker = (build / "marker").string();
    const std::string runs = "#!/bin/sh\necho started > '" + marker + "'\n";
    struct Case {
        const char* what;
        Text updateName;  // GBK, as the software information brings it
        std::string package;
        std::string exeOnDisk;  // UTF-8
        bool installs;
    };
    const Case cases[] = {
        {"made on Windows: DOS attributes, no mode", "QuellotNew",
         ZipBytes({{"QuellotNew.exe", runs, ZIP_OPSYS_DOS, 0x20}}), "QuellotNew.exe", true},
        {"a Chinese name", Utf8ToGbk("新版"),
         WithoutUtf8Marks(ZipBytes({{Utf8ToGbk("新版.exe"), runs, ZIP_OPSYS_DOS, 0x20}})),
         "新版.exe", true},
        {"no executable in the package", "QuellotNew",
         ZipBytes({{"data.txt", "data", ZIP_OPSYS_DOS, 0x20}}), "", false},
        {"an empty archive", "QuellotNew", EmptyZip(), "", false},
        {"an executable that cannot start", "QuellotNew",
         ZipBytes({{"QuellotNew.exe", "#!/no/such/interpreter\n", ZIP_OPSYS_DOS, 0x20}}),
         "QuellotNew.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(marker);
        Folder program, temp;
        LoopbackServer server;
        server.SetBody(c.package, "application/zip");
        fs::path oldExe = program / "quellot";
        std::ofstream(oldExe) << "old program";
        Results results;
        {
            TMyUpdate update;
            update.SetPlaces({temp.Dir(), program.Dir(), oldExe.string()});
            ASSERT_TRUE(update.CheckUpdate(
                results.Poster(), Offer(c.updateName, server.BaseUrl() + "update.zip"), "v2.0"));
            EXPECT_EQ(results.Wait(), c.installs ? kDone : kFailed);
            EXPECT_EQ(update.Restarting(), c.installs);
            if (c.installs) {
                EXPECT_TRUE(
                    Eventually([&] { return fs::exists(marker); }));  // the new program runs
                EXPECT_EQ(Perms(program / c.exeOnDisk), fs::perms(0755));
            }
        }
        if (c.installs) {
            EXPECT_TRUE(Eventually([&] { return !fs::exists(oldExe); }));
            EXPECT_TRUE(
                Eventually([&] { return LeftInTemp(temp.Dir()).empty(); }));  // script and all
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_EQ(ReadFile(oldExe), "old program");
            EXPECT_FALSE(fs::exists(marker));
            for (const std::string& left : LeftInTemp(temp.Dir()))
                EXPECT_EQ(left.find("quellot-restart-"), std::string::npos) << left;  // no script
        }
    }
}

TEST(Update, NothingIsWrittenThroughALinkPlantedInTheTemporaryFolder) {
    Folder build, program, temp, victims;
    const std::string marker = (build / "marker").string();
    LoopbackServer server;
    server.SetBody(ZipBytes({{"QuellotNew.exe", "#!/bin/sh\necho started > '" + marker + "'\n",
                              ZIP_OPSYS_DOS, 0x20}}),
                   "application/zip");
    // Another local user plants links where the download and the script used to go.
    std::ofstream(victims / "download") << "precious";
    std::ofstream(victims / "script") << "precious";
    fs::create_symlink(victims / "download", temp / "QuellotNew");
    fs::create_symlink(victims / "script",
                       temp / ("quellot-update-" + std::to_string(getpid()) + ".sh"));
    fs::path oldExe = program / "quellot";
    std::ofstream(oldExe) << "old program";
    Results results;
    {
        TMyUpdate update;
        update.SetPlaces({temp.Dir(), program.Dir(), oldExe.string()});
        ASSERT_TRUE(update.CheckUpdate(
            results.Poster(), Offer("QuellotNew", server.BaseUrl() + "update.zip"), "v2.0"));
        ASSERT_EQ(results.Wait(), kDone);
    }
    EXPECT_TRUE(Eventually([&] { return !fs::exists(oldExe); }));
    EXPECT_TRUE(Eventually([&] { return LeftInTemp(temp.Dir()).size() == 2; }));  // the links only
    EXPECT_EQ(ReadFile(victims / "download"), "precious");
    EXPECT_EQ(ReadFile(victims / "script"), "precious");
    EXPECT_TRUE(fs::is_symlink(temp / "QuellotNew"));
}

TEST(Update, ALargePackageIsStreamedToDisk) {
    // 48 MB stored without compression: the download must not sit whole in memory.
    Folder build, program, temp;
    const std::string marker = (build / "marker").string();
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.chunked = true;
    {
        std::string big(48u << 20, '\0');
        for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
        reply.shared = std::make_shared<const std::string>(
            ZipBytes({{"QuellotNew.exe", "#!/bin/sh\necho started > '" + marker + "'\n",
                       ZIP_OPSYS_DOS, 0x20},
                      {"big.dat", big, ZIP_OPSYS_DOS, 0x20}}));
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
    Results results;
    TMyUpdate update;
    update.SetPlaces({temp.Dir(), program.Dir(), (program / "old").string()});
    ASSERT_TRUE(update.CheckUpdate(results.Poster(),
                                   Offer("QuellotNew", server.BaseUrl() + "update.zip"), "v2.0"));
    ASSERT_EQ(results.Wait(), kDone);
    EXPECT_EQ(fs::file_size(program / "big.dat"), 48u << 20);
    EXPECT_LT(statusKb("VmHWM:") - before, 16 * 1024);
}
