#pragma once
// The self-update: when the service offers another version signed by the maker, a worker
// downloads the package into the program's folder, stages it there, puts its files in place as
// one transaction, starts the new program under the running program's own name and waits for
// it to say it is up; then the window quits. Anything short of that puts the folder back as it
// was.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Http.h"
#include "Unzip.h"
#include "UpdateSignature.h"
#include "ok.h"

class TMyUpdate {
public:
    using Poster = std::function<void(int message)>;

    // Where things go; the defaults are the system's, tests point them at their own folders.
    struct Places {
        std::string tempDir;      // with a trailing separator; only earlier versions used it
        std::string programDir;   // with a trailing separator
        std::string programPath;  // the running executable: the new one takes its name
    };
    // The moments a test may stop the process at, to see that a later start recovers.
    enum class Step { Downloading, Staged, Committing, Started, CleaningUp };

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
    void SetStepHook(std::function<void(Step)> hook) { FStepHook = std::move(hook); }
    // How long the new program has to say it is up.
    void SetReadyTimeout(int milliseconds) { FReadyTimeoutMs = milliseconds; }

private:
    bool RunUpdate();
    bool Download(const std::string& url, const std::string& file, const UpdateOffer& offer);
    bool StartsAndSaysItIsUp();
    void Reached(Step step) {
        if (FStepHook) FStepHook(step);
    }

    Poster FPost;
    SOFT_INFO FSoftInfo;
    std::atomic<bool> FCancelled{false};
    std::unique_ptr<HttpClient> FClient;
    Places FPlaces;
    ReplaceQuestion FAsk;
    std::function<void(Step)> FStepHook;
    int FReadyTimeoutMs = 30000;
    std::thread FThread;  // TMyThread: the worker
};
