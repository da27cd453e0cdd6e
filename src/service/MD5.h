#pragma once
// The digest, the request time stamp and the signing scheme shared by the item and category
// requests.

#include <array>
#include <cstdint>
#include <functional>

#include "Text.h"

using Digest = std::array<unsigned char, 16>;

Digest MD5String(std::string_view bytes);
Text MD5Print(const Digest& digest);
Text ReverseText(std::string_view text);

// The service expects the local wall clock read as if it were UTC+8: local seconds since
// 1970-01-01 minus eight hours, the fraction of the second cut off, kept to its low 32 bits.
int32_t UnixStamp();
// The same computation from a local wall-clock reading in milliseconds since 1970-01-01.
int32_t StampFromLocalMillis(int64_t localMillis);
// Tests fix the stamp through this; an empty function restores the clock.
void SetStampSource(std::function<int32_t()> source);

// Replaces the stamp source for as long as it lives, then puts the system's clock back.
class ScopedStampSource {
public:
    explicit ScopedStampSource(std::function<int32_t()> source) {
        SetStampSource(std::move(source));
    }
    ~ScopedStampSource() { SetStampSource({}); }
    ScopedStampSource(const ScopedStampSource&) = delete;
    ScopedStampSource& operator=(const ScopedStampSource&) = delete;
};

// Every byte as "%" and its value in uppercase hex without leading zeros ("%9", "%E4").
Text PercentEncode(std::string_view bytes);

// Appends "&stamp=" and "&pid=" to Query and returns "Url?Query&sign=Sign", where Sign covers
// the publisher id, the stamp (reversed and forwards) and the digest of the signed values.
Text SignQuery(const Text& url, const Text& query, const Text& pid, const Text& values);
// The signature alone, for a server that checks it.
Text SignatureOf(const Text& pid, const Text& stamp, const Text& values);
