#include "myupdate.h"

#include <unistd.h>

#include <fstream>

#include "Platform.h"
#include "Service.h"

// The window's message numbers for the two results.
constexpr int kUpdateDone = 0x400 + 31;
constexpr int kUpdateFailed = 0x400 + 32;

namespace {

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A package name becomes a file name in two folders: it must be a plain name.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

std::string UpdateBatchText(const std::string& exeName) {
    return "@echo off\r\n"
           ":loop\r\n"
           "del \"" + exeName + "\"\r\n"
           "if exist \"" + exeName + "\" goto loop\r\n"
           "del update.bat\r\n";
}

std::string UpdateShellText(const std::string& exePath, const std::string& scriptPath) {
    return "#!/bin/sh\n"
           "# Removes the replaced executable once it can, then itself.\n"
           "i=0\n"
           "while [ -e " + ShellQuote(exePath) + " ] && [ \"$i\" -lt 600 ]; do\n"
           "  rm -f " + ShellQuote(exePath) + " || sleep 0.1\n"
           "  i=$((i + 1))\n"
           "done\n"
           "rm -f " + ShellQuote(scriptPath) + "\n";
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
    // No byte for a minute ends a stalled download instead of leaving it open for ever.
    FClient->SetReadTimeout(60000);
    FClient->SetMaxBodySize(size_t{1} << 30);
    FThread = std::thread([this] { RunUpdate(); });
    return true;
}

bool TMyUpdate::DownloadFile(const std::string& Url, const std::string& FileName) {
    std::string body;
    if (!FClient->Get(Url, body)) return false;
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.close();
    return static_cast<bool>(out);
}

void TMyUpdate::RunUpdate() {
    int message = kUpdateFailed;
    const std::string name = FSoftInfo.update_name;
    const std::string tempFile = FPlaces.tempDir + name;
    if (PlainName(name) && DownloadFile(FSoftInfo.update_url, tempFile)) {
        ReplaceQuestion ask = [this](const std::string& file) { return !FCancelled && FAsk && FAsk(file); };
        if (!FCancelled && UnzipPackage(tempFile, FPlaces.programDir, ask) && !FCancelled) {
            std::remove(tempFile.c_str());
            platform::StartDetached(FPlaces.programDir + name + ".exe", {});
            FRestart = true;
            message = kUpdateDone;
        }
    }
    if (FPost) FPost(message);
}

void TMyUpdate::Wait() {
    if (FThread.joinable()) FThread.join();
}

void TMyUpdate::Restart() {
    // A package that replaced the running executable in place leaves nothing to remove.
    if (FPlaces.programPath == FPlaces.programDir + FSoftInfo.update_name + ".exe") return;
    // Failing to write the script costs only the clean-up: shutdown goes on regardless.
    std::string script = FPlaces.tempDir + "quellot-update-" + std::to_string(::getpid()) + ".sh";
    std::ofstream out(script, std::ios::trunc);
    if (!out) return;
    out << UpdateShellText(FPlaces.programPath, script);
    out.close();
    if (out) platform::StartDetached("/bin/sh", {script});
}
