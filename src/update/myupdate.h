#pragma once
// The self-update: when the service offers another version, a worker downloads the package,
// unpacks it next to the program, starts the new executable and asks the window to quit; when
// the old program ends, a small script removes the old executable.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Http.h"
#include "Unzip.h"
#include "ok.h"

// The restart script for an old executable: removes it once it can, then itself; gives up
// after a while instead of retrying for ever.
std::string UpdateShellText(const std::string& exePath, const std::string& scriptPath);

class TMyUpdate {
public:
    using Poster = std::function<void(int message)>;

    // Where things go; the defaults are the system's, tests point them at their own folders.
    struct Places {
        std::string tempDir;      // with a trailing separator
        std::string programDir;   // with a trailing separator
        std::string programPath;  // the running executable
    };

    TMyUpdate();
    ~TMyUpdate();
    TMyUpdate(const TMyUpdate&) = delete;
    TMyUpdate& operator=(const TMyUpdate&) = delete;

    // Starts the worker when Info offers a version that is not empty and not the current one.
    bool CheckUpdate(Poster post, SOFT_INFO Info, const Text& CurrentVersion);
    // From the window when it closes: the download stops and no question waits for an answer.
    void Cancel();
    bool Cancelled() const { return FCancelled; }
    // Until the worker has ended; the window calls it before it goes.
    void Wait();

    void SetPlaces(Places places) { FPlaces = std::move(places); }
    void SetReplaceQuestion(ReplaceQuestion ask) { FAsk = std::move(ask); }
    bool Restarting() const { return FRestart; }

private:
    void RunUpdate();
    // Unpacks the package and starts its executable (a bare UTF-8 name); true once it runs.
    bool Install(const std::string& package, const std::string& exe);
    bool DownloadFile(const std::string& Url, const std::string& FileName);
    void Restart();

    Poster FPost;
    SOFT_INFO FSoftInfo;
    std::atomic<bool> FRestart{false};
    std::string FNewExecutable;  // the executable started, as named on disk
    std::atomic<bool> FCancelled{false};
    std::unique_ptr<HttpClient> FClient;
    Places FPlaces;
    ReplaceQuestion FAsk;
    std::thread FThread;  // TMyThread: the worker
};
