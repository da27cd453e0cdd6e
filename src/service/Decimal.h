#pragma once
// Reading a whole number written in decimal, the one way every part of the program does it.

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// Digits only (with a leading minus when allowed): no sign otherwise, no spaces, no other
// characters, nothing beyond 64 bits. Empty when the text is anything else.
inline std::optional<int64_t> ParseDecimal(std::string_view text, bool allowMinus = false) {
    if (text.empty() || (!allowMinus && text[0] == '-')) return std::nullopt;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}
