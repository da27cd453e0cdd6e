#include "ok.h"

#include <vector>

#include "Http.h"
#include "ServiceReply.h"

TOK::TOK() : FTotalTimeoutMs(kSmallReplyTotalTimeoutMs) {}

Text TOK::FetchSoftInfo(const Text& Url, const Text& Pid) {
    try {
        // A fresh client per query. It gets the same read time-out as the other requests: the
        // query runs before the window appears, and a server that accepts and never answers
        // must not keep it hidden for ever.
        HttpClient http;
        http.SetReadTimeout(kServiceReadTimeoutMs);
        http.SetTotalTimeout(FTotalTimeoutMs);
        {
            std::lock_guard lock(FMutex);
            if (FCancelled) return "error";
            FCurrent = &http;
        }
        std::string body;
        bool got = http.Get(Url + "?pid=" + Pid, body);
        {
            std::lock_guard lock(FMutex);
            FCurrent = nullptr;
        }
        if (!got) return "error";
        // Malformed UTF-8 decodes to nothing at all, as a strict decoder would have it.
        if (!IsValidUtf8(body)) return Text();
        return Utf8ToGbk(body);
    } catch (...) {
        return "error";
    }
}

void TOK::Cancel() {
    std::lock_guard lock(FMutex);
    FCancelled = true;
    if (FCurrent) FCurrent->Cancel();
}

bool TOK::GetSoftInfo(const Text& Url, const Text& Pid, SOFT_INFO& Info) {
    Info = SOFT_INFO{};
    if (Pid.empty()) return false;
    Text reply = FetchSoftInfo(Url, Pid);
    if (reply == "error") return false;
    Info = ParseSoftInfo(reply);
    return true;
}

namespace {

std::vector<Text> SplitEntries(const Text& text, size_t maxEntries) {
    std::vector<Text> entries;
    size_t i = 0, n = text.size();
    while (entries.size() < maxEntries) {
        while (i < n && (text[i] == '\r' || text[i] == '\n')) ++i;
        if (i >= n) break;
        size_t start = i;
        while (i < n && text[i] != '\r' && text[i] != '\n') {
            char c = text[i++];
            if (c == '\'' || c == '"') {
                size_t close = text.find(c, i);
                i = close == Text::npos ? n : close + 1;
            }
        }
        entries.push_back(text.substr(start, i - start));
    }
    return entries;
}

Text ValueOf(const Text& entry) {
    size_t eq = entry.find('=');
    return eq == Text::npos ? entry : entry.substr(eq + 1);
}

}  // namespace

SOFT_INFO ParseSoftInfo(const Text& reply) {
    std::vector<Text> entries = SplitEntries(reply, 7);
    Text values[7];
    for (size_t k = 1; k < entries.size(); ++k) values[k] = ValueOf(entries[k]);
    SOFT_INFO info;
    info.extra3 = values[1];
    info.extra1 = values[2];
    info.update_name = values[3];
    info.version = values[4];
    info.update_url = values[5];
    info.extra2 = values[6];
    return info;
}
