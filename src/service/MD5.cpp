#include "MD5.h"

#include <openssl/evp.h>

#include <chrono>
#include <ctime>
#include <mutex>
#include <stdexcept>

Digest MD5String(std::string_view bytes) {
    Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size())
        throw std::runtime_error("MD5 unavailable");
    return digest;
}

Text MD5Print(const Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    Text out;
    out.reserve(32);
    for (unsigned char b : digest) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

Text ReverseText(std::string_view text) { return Text(text.rbegin(), text.rend()); }

int32_t StampFromLocalMillis(int64_t localMillis) {
    // Integer arithmetic gives the exact truncation toward zero that the floating-point form
    // intends, without its rounding slips just below whole seconds.
    int64_t seconds = (localMillis - 28800 * int64_t{1000}) / 1000;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(seconds)));
}

namespace {

std::mutex gStampMutex;
std::function<int32_t()> gStampSource;

int64_t LocalWallMillis() {
    using namespace std::chrono;
    int64_t utcMillis = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(utcMillis / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return utcMillis + static_cast<int64_t>(local.tm_gmtoff) * 1000;
}

}  // namespace

void SetStampSource(std::function<int32_t()> source) {
    std::lock_guard lock(gStampMutex);
    gStampSource = std::move(source);
}

int32_t UnixStamp() {
    std::function<int32_t()> source;
    {
        // Copied out, so the source runs without the lock and may itself set a new one.
        std::lock_guard lock(gStampMutex);
        source = gStampSource;
    }
    if (source) return source();
    return StampFromLocalMillis(LocalWallMillis());
}

Text PercentEncode(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        out.push_back('%');
        if (b >= 0x10) out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

Text SignatureOf(const Text& pid, const Text& stamp, const Text& values) {
    Text inner = MD5Print(MD5String(values));
    return MD5Print(MD5String(pid + ReverseText(stamp) + inner + stamp));
}

Text SignQuery(const Text& url, const Text& query, const Text& pid, const Text& values) {
    Text stamp = std::to_string(UnixStamp());
    Text sign = SignatureOf(pid, stamp, values);
    return url + "?" + query + "&stamp=" + stamp + "&pid=" + pid + "&sign=" + sign;
}
