#pragma once
// The raw query string of a request, decoded the way the client encodes it: every byte may be
// "%" and one or two hex digits (one for bytes below 0x10), so library parsers that expect two
// digits get it wrong.

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Decodes "%" plus one or two hex digits; other bytes stand for themselves ("+" included).
// Empty when an escape has no hex digit at all.
std::optional<std::string> PercentDecode(std::string_view text);

class RawQuery {
public:
    // False for a malformed escape or a parameter given twice.
    bool Parse(std::string_view query);
    bool Has(const std::string& name) const { return FValues.count(name) != 0; }
    // The decoded value, or empty when absent.
    const std::string& Get(const std::string& name) const;

private:
    std::map<std::string, std::string> FValues;
};

// A whole decimal number in [min, max]; empty for anything else.
std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max);
// A price such as "12", "12.5" or "12.50", in cents.
std::optional<int64_t> ParsePriceCents(std::string_view text);
