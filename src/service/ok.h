#pragma once
// The software-information query: which release is current and where its package lies.

#include <atomic>
#include <mutex>

#include "Text.h"

class HttpClient;

struct SOFT_INFO {
    Text extra1;
    Text extra2;
    Text update_url;
    Text update_name;
    Text extra3;
    Text version;
};

class TOK {
public:
    TOK();
    // True when a reply other than "error" arrived; Info then holds its values (GBK). False:
    // Info is empty. An empty Pid makes no request.
    bool GetSoftInfo(const Text& Url, const Text& Pid, SOFT_INFO& Info);
    // The reply in GBK, or "error" for any failure.
    Text FetchSoftInfo(const Text& Url, const Text& Pid);

    // The most a query may take in all; it runs before the window appears.
    int TotalTimeout() const { return FTotalTimeoutMs; }
    void SetTotalTimeout(int milliseconds) { FTotalTimeoutMs = milliseconds; }

    // From any thread: ends a query under way, and every later one fails at once.
    void Cancel();

private:
    int FTotalTimeoutMs;
    std::mutex FMutex;
    HttpClient* FCurrent = nullptr;  // the query under way
    bool FCancelled = false;
};

// The reply's entries: lines (CR, LF or both end one; empty lines yield none), where a quote
// holds line ends inside the entry until the same quote closes it.
SOFT_INFO ParseSoftInfo(const Text& reply);
