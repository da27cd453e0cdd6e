#include "Http.h"

#include <curl/curl.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>
#include <stdexcept>

#include "ServiceConfig.h"
#include "Xml.h"

std::string HttpCaFile = QUELLOT_CA_FILE;

void InitServiceLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        signal(SIGPIPE, SIG_IGN);
        curl_global_init(CURL_GLOBAL_ALL);
        InitXmlLibrary();
    });
}

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kDefaultConnectTimeoutMs = 30000;

bool IsTlsError(CURLcode code) {
    switch (code) {
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ENGINE_INITFAILED:
            return true;
        default:
            return false;
    }
}
}  // namespace

struct HttpClient::Transfer {
    const Sink* sink;
    size_t maxBody;
    bool tooLarge = false;
    bool refused = false;
    size_t received = 0;
    Clock::time_point lastData;
};

HttpClient::HttpClient() {
    InitServiceLibraries();
    FEasy = curl_easy_init();
    FMulti = curl_multi_init();
    if (!FEasy || !FMulti) {
        if (FEasy) curl_easy_cleanup(FEasy);
        if (FMulti) curl_multi_cleanup(FMulti);
        throw std::runtime_error("curl unavailable");
    }
}

HttpClient::~HttpClient() {
    curl_multi_cleanup(FMulti);
    curl_easy_cleanup(FEasy);
}

void HttpClient::Cancel() {
    FCancelled = true;
    curl_multi_wakeup(FMulti);
}

void HttpClient::Interrupt() {
    FInterrupted = true;
    curl_multi_wakeup(FMulti);
}

size_t HttpClient::OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    // Content-Length is not required, so the limit has to be enforced on what actually arrives.
    if (t->received + n > t->maxBody) {
        t->tooLarge = true;
        return 0;
    }
    if (!(*t->sink)(data, n)) {
        t->refused = true;
        return 0;
    }
    t->received += n;
    t->lastData = Clock::now();
    return n;
}

size_t HttpClient::OnHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->lastData = Clock::now();
    return size * count;
}

bool HttpClient::Get(const std::string& url, std::string& body) {
    body.clear();
    Sink append = [&body](const char* data, size_t size) {
        body.append(data, size);
        return true;
    };
    return Get(url, append);
}

bool HttpClient::Get(const std::string& url, const Sink& sink) {
    FFailure = Failure::Cancelled;
    if (FCancelled || FInterrupted) return false;
    CURL* easy = FEasy;
    CURLM* multi = FMulti;
    const Clock::time_point start = Clock::now();
    Transfer t{&sink, FMaxBody, false, false, 0, start};
    // What had arrived by when, a sample every 100 ms or more: the rate holds over any
    // window, not only over windows that start where an earlier one ended.
    std::deque<std::pair<Clock::time_point, size_t>> arrived{{start, 0}};

    // Every option is set afresh so that nothing from an earlier call carries over.
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpClient::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(
        easy, CURLOPT_CONNECTTIMEOUT_MS,
        static_cast<long>(FReadTimeoutMs > 0 ? FReadTimeoutMs : kDefaultConnectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!HttpCaFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, HttpCaFile.c_str());

    FFailure = Failure::Connection;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return false;
    bool ok = true;
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            ok = false;
            break;
        }
        if (!running) break;
        if (FCancelled || FInterrupted) {
            FFailure = Failure::Cancelled;
            ok = false;
            break;
        }
        const Clock::time_point now = Clock::now();
        auto since = [&now](Clock::time_point then) {
            return static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - then).count());
        };
        int waitMs = 1000;
        if (FReadTimeoutMs > 0) {
            int idle = since(t.lastData);
            if (idle >= FReadTimeoutMs) {
                FFailure = Failure::IdleTimeout;
                ok = false;
                break;
            }
            waitMs = std::clamp(FReadTimeoutMs - idle, 1, waitMs);
        }
        if (FTotalTimeoutMs > 0) {
            int spent = since(start);
            if (spent >= FTotalTimeoutMs) {
                FFailure = Failure::TotalTimeout;
                ok = false;
                break;
            }
            waitMs = std::clamp(FTotalTimeoutMs - spent, 1, waitMs);
        }
        if (FMinRate > 0 && FRateWindowMs > 0) {
            if (since(arrived.back().first) >= 100) arrived.emplace_back(now, t.received);
            const Clock::time_point windowStart = now - std::chrono::milliseconds(FRateWindowMs);
            // The front is the newest sample at or before the window's start.
            while (arrived.size() >= 2 && arrived[1].first <= windowStart) arrived.pop_front();
            if (arrived.front().first <= windowStart &&
                (t.received - arrived.front().second) * 1000 <
                    FMinRate * static_cast<size_t>(FRateWindowMs)) {
                FFailure = Failure::TooSlow;
                ok = false;
                break;
            }
            waitMs = std::min(waitMs, 100);
        }
        if (curl_multi_poll(multi, nullptr, 0, waitMs, nullptr) != CURLM_OK) {
            ok = false;
            break;
        }
    }
    CURLcode result = CURLE_OK;
    if (ok) {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) result = msg->data.result;
    }
    curl_multi_remove_handle(multi, easy);
    if (IsTlsError(result)) FFailure = Failure::Tls;
    if (t.tooLarge) FFailure = Failure::TooLarge;
    if (t.refused) FFailure = Failure::Refused;
    if (!ok || result != CURLE_OK || t.tooLarge || t.refused) return false;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300) {
        FFailure = Failure::HttpStatus;
        return false;
    }
    FFailure = Failure::None;
    return true;
}
