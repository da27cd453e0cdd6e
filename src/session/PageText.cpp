#include "PageText.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// A page of 40 items must stay well under what the browser takes in one load (about 1.1 MB of
// GBK); a real title or nick is a few dozen characters.
constexpr size_t kMaxText = 2048;
constexpr size_t kMaxAddress = 2048;

bool IsAsciiAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// The length of the character reference at the start of text ("&lt;", "&#38;", "&#x26;"), or 0.
size_t ReferenceLength(std::string_view text) {
    size_t i = 1, digits = 0;
    if (i < text.size() && text[i] == '#') {
        ++i;
        bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        for (; i < text.size() && digits < 8; ++i, ++digits)
            if (!(hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                      : std::isdigit(static_cast<unsigned char>(text[i]))))
                break;
    } else {
        for (; i < text.size() && digits < 32 && IsAsciiAlnum(text[i]); ++i, ++digits) {
        }
        if (digits > 0 && !std::isalpha(static_cast<unsigned char>(text[1]))) digits = 0;
    }
    return digits > 0 && i < text.size() && text[i] == ';' ? i + 1 : 0;
}

// Bytes of the GBK (GB18030) character starting at text[at]. A lead byte takes its trail only
// when the trail is one: the browser's decoder gives a lone lead byte back as a replacement
// character and reads the next byte afresh, so a "<" after it is markup and must be seen here
// too. The bytes that matter to HTML (<, >, &, quotes) are below 0x40 and never a trail byte.
size_t CharLength(std::string_view text, size_t at) {
    auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
    auto digit = [](unsigned b) { return b >= 0x30 && b <= 0x39; };
    auto high = [](unsigned b) { return b >= 0x81 && b <= 0xFE; };
    if (!high(byte(at))) return 1;
    unsigned second = byte(at + 1);
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) return 2;
    if (digit(second) && high(byte(at + 2)) && digit(byte(at + 3))) return 4;
    return 1;
}

// The highlight forms the service writes; anything else that looks like markup is text.
constexpr std::array<std::string_view, 3> kHighlightOpen = {"<span class=h>", "<span class=\"h\">",
                                                            "<span class='h'>"};
constexpr std::string_view kHighlightClose = "</span>";

Text Escape(std::string_view text, bool highlights) {
    Text out;
    out.reserve(text.size());
    bool open = false;
    for (size_t at = 0; at < text.size() && out.size() < kMaxText;) {
        std::string_view rest = text.substr(at);
        size_t take = CharLength(text, at);
        const char c = text[at];
        if (c == '<' && highlights) {
            std::string_view tag;
            if (open && StartsWithNoCase(rest, kHighlightClose)) tag = kHighlightClose;
            for (std::string_view form : kHighlightOpen)
                if (!open && StartsWithNoCase(rest, form)) tag = form;
            if (!tag.empty()) {
                out.append(rest.substr(0, tag.size()));
                open = !open;
                at += tag.size();
                continue;
            }
        }
        if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            size_t reference = ReferenceLength(rest);
            out += reference ? rest.substr(0, reference) : std::string_view("&amp;");
            take = std::max<size_t>(reference, 1);
        } else if (c != '\0') {  // the parser would show a replacement character
            out.append(rest.substr(0, take));
        }
        at += take;
    }
    if (open) out += kHighlightClose;
    return out;
}

}  // namespace

Text PageTitle(std::string_view title) { return Escape(title, true); }

Text PageText(std::string_view text) { return Escape(text, false); }

Text PageAddress(std::string_view address) {
    size_t scheme = StartsWithNoCase(address, "http://")    ? 7
                    : StartsWithNoCase(address, "https://") ? 8
                                                            : 0;
    if (scheme == 0 || address.size() <= scheme || address.size() > kMaxAddress)
        return kInertAddress;
    Text out;
    out.reserve(address.size());
    static const char kHex[] = "0123456789ABCDEF";
    for (char c : address) {
        auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`') {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

Text PageNumber(std::string_view number, bool fraction) {
    size_t digits = 0;
    while (digits < number.size() && std::isdigit(static_cast<unsigned char>(number[digits])))
        ++digits;
    bool ok = digits > 0 && digits <= 15;
    if (ok && digits < number.size()) {
        std::string_view decimals = number.substr(digits + 1);
        ok = fraction && number[digits] == '.' && !decimals.empty() && decimals.size() <= 4;
        for (char c : decimals) ok &= std::isdigit(static_cast<unsigned char>(c)) != 0;
    }
    return ok ? Text(number) : Text();
}
