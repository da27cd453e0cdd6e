#include "Query.h"

#include "Decimal.h"

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int hi = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        if (hi < 0) return std::nullopt;
        int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (lo < 0) {
            out += static_cast<char>(hi);
            i += 1;
        } else {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        }
    }
    return out;
}

bool RawQuery::Parse(std::string_view query) {
    FValues.clear();
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos) end = query.size();
        std::string_view pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        size_t eq = pair.find('=');
        auto name = PercentDecode(pair.substr(0, eq));
        auto value =
            PercentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
        if (!name || !value || name->empty()) return false;
        if (!FValues.emplace(std::move(*name), std::move(*value)).second) return false;
    }
    return true;
}

const std::string& RawQuery::Get(const std::string& name) const {
    static const std::string kEmpty;
    auto it = FValues.find(name);
    return it == FValues.end() ? kEmpty : it->second;
}

std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max) {
    std::optional<int64_t> value = ParseDecimal(text, true);
    if (!value || *value < min || *value > max) return std::nullopt;
    return value;
}

std::optional<int64_t> ParsePriceCents(std::string_view text) {
    size_t dot = text.find('.');
    auto whole = ParseInteger(text.substr(0, dot), 0, 100000000000LL);
    if (!whole) return std::nullopt;
    int64_t cents = 0;
    if (dot != std::string_view::npos) {
        std::string_view frac = text.substr(dot + 1);
        if (frac.empty() || frac.size() > 2) return std::nullopt;
        auto f = ParseInteger(frac, 0, 99);
        if (!f) return std::nullopt;
        cents = frac.size() == 1 ? *f * 10 : *f;
    }
    return *whole * 100 + cents;
}
