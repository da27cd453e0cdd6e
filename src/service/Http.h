#pragma once
// Blocking HTTP GET on libcurl, one handle per owner, safe on a worker thread.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "Failure.h"

// Once per process, before any thread starts: curl, libxml2 and the SIGPIPE disposition.
// Every component calls it too, so forgetting it costs nothing but the thread-safety guarantee.
void InitServiceLibraries();

// The certificate authorities an https peer is verified against, as a PEM file; empty: the
// system's store. Verification is never off. A build setting; tests point it at their own CA.
extern std::string HttpCaFile;

class HttpClient {
public:
    static constexpr size_t kDefaultMaxBody = 16u << 20;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Fails when no byte arrives for this long once the request is under way; 0: wait forever.
    void SetReadTimeout(int milliseconds) { FReadTimeoutMs = milliseconds; }
    int ReadTimeout() const { return FReadTimeoutMs; }
    void SetMaxBodySize(size_t bytes) { FMaxBody = bytes; }
    // Fails when the whole call, connection included, takes longer than this; 0: no bound.
    // The idle time-out alone lets a server that trickles a byte now and then hold a call.
    void SetTotalTimeout(int milliseconds) { FTotalTimeoutMs = milliseconds; }
    int TotalTimeout() const { return FTotalTimeoutMs; }
    // For large bodies, where no total bound fits every line: fails when less than this many
    // bytes per second arrived over any window of this length (sliding, to a tenth of a
    // second). 0 bytes: no bound.
    void SetMinimumRate(size_t bytesPerSecond, int windowMs) {
        FMinRate = bytesPerSecond;
        FRateWindowMs = windowMs;
    }

    // The body exactly as received. False on a connection failure, time-out, a status other
    // than 2xx, an oversized body or cancellation; body is then unspecified.
    bool Get(const std::string& url, std::string& body);
    // The same, handing the body on as it arrives instead of holding it; a false from the
    // sink ends the transfer as a failure.
    using Sink = std::function<bool(const char* data, size_t size)>;
    bool Get(const std::string& url, const Sink& sink);

    // From any thread: ends a transfer in progress and makes every later Get fail at once.
    // The window calls it when it closes, so no worker waits for the network after that.
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }
    // From any thread: ends the transfer in progress, or the next one to start, as cancelled;
    // unlike Cancel the client stays usable once ClearInterrupt has been called.
    void Interrupt();
    void ClearInterrupt() { FInterrupted = false; }
    // Why the last Get failed; None after a success.
    Failure LastFailure() const { return FFailure; }

private:
    struct Transfer;
    static size_t OnWrite(char* data, size_t size, size_t count, void* user);
    static size_t OnHeader(char* data, size_t size, size_t count, void* user);

    void* FEasy;
    void* FMulti;
    int FReadTimeoutMs = 0;
    int FTotalTimeoutMs = 0;
    size_t FMinRate = 0;
    int FRateWindowMs = 0;
    size_t FMaxBody = kDefaultMaxBody;
    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FInterrupted{false};
    Failure FFailure = Failure::None;
};
