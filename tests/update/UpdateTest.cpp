#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "ProxyServer.h"
#include "TestProxy.h"
#include "Service.h"
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
    ~Folder() { fs::remove_all(FPath); }
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

constexpr int kDone = 0x400 + 31;
constexpr int kFailed = 0x400 + 32;

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
    for (const auto& e : fs::directory_iterator(dest / "")) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"new.exe", "notes.txt", "LICENSE", "locked.dll", "plain.dat", "escape.txt",
                                            "中文.txt"}));
    EXPECT_EQ(ReadFile(dest / "notes.txt"), "notes");
    EXPECT_EQ(fs::status(dest / "new.exe").permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(fs::status(dest / "locked.dll").permissions() & fs::perms::all, fs::perms(0444));
    EXPECT_EQ(fs::status(dest / "plain.dat").permissions() & fs::perms::all, fs::perms(0644));
    EXPECT_FALSE(fs::exists(pkg / "escape.txt"));
    EXPECT_FALSE(fs::exists(fs::path("/tmp/escape.txt")) && ReadFile("/tmp/escape.txt") == "lands inside");
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
    EXPECT_EQ(UpdateBatchText("app.exe"),
              "@echo off\r\n:loop\r\ndel \"app.exe\"\r\nif exist \"app.exe\" goto loop\r\ndel update.bat\r\n");
    std::string sh = UpdateShellText("/opt/it's/app.exe", "/tmp/u.sh");
    EXPECT_NE(sh.find("rm -f '/opt/it'\\''s/app.exe'"), std::string::npos) << sh;
    EXPECT_NE(sh.find("-lt 600"), std::string::npos);  // gives up instead of looping for ever
    EXPECT_NE(sh.find("rm -f '/tmp/u.sh'"), std::string::npos);
}

TEST(Update, VersionDecision) {
    const std::pair<const char*, bool> cases[] = {{"v2.0", false}, {"", false}, {"v1.9", true}, {"v2.1", true},
                                                  {"V2.0", true}, {"v2.0 ", true}};
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
    MakeZip(package, {{"Quellot2/QuellotNew.exe", "#!/bin/sh\necho started > '" + marker + "'\n", ZIP_OPSYS_UNIX,
                       0100755u << 16},
                      {"Quellot2/data.txt", "data"}});
    auto started = StartTestProxy({.items = 10, .offerVersion = "v2.1", .updatePackage = package, .updateName = "QuellotNew"});
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
    auto started = StartTestProxy(
        {.items = 10, .offerVersion = "v2.1", .updatePackage = (build / "broken.zip").string(), .updateName = "Broken"});
    ProxyServer& proxy = *started;

    struct Case {
        std::string name, url;
        bool downloadStays;
    };
    const Case cases[] = {
        {"Broken", proxy.BaseUrl() + "update/Broken.zip", true},  // unpacking fails, the download stays
        {"", proxy.BaseUrl() + "update/Broken.zip", false},       // no file name at all
        {"../escape", proxy.BaseUrl() + "update/Broken.zip", false},
        {"Missing", proxy.BaseUrl() + "update/Missing.zip", false},  // 404: no file is made
    };
    for (const Case& c : cases) {
        TMyUpdate update;
        update.SetPlaces({temp.Dir(), program.Dir(), (program / "old").string()});
        Results results;
        SOFT_INFO info;
        info.version = "v2.1";
        info.update_name = c.name;
        info.update_url = c.url;
        ASSERT_TRUE(update.CheckUpdate(results.Poster(), info, "v2.0"));
        EXPECT_EQ(results.Wait(), kFailed) << c.name;
        EXPECT_FALSE(update.Restarting());
        if (!c.name.empty()) {
            EXPECT_EQ(fs::exists(temp / c.name), c.downloadStays) << c.name;
        }
    }
    EXPECT_FALSE(fs::exists(temp / ".." / "escape"));
    EXPECT_TRUE(fs::is_empty(program / ""));
}
