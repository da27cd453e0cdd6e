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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != prefix[i]) return false;
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
// character and reads the next byte afresh.
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

// The bytes that are markup in text. None of them is ever the trail of a multi-byte character
// (trails are 0x30 and up), so they are markup wherever they stand, even after a lone lead
// byte: a text is scanned byte by byte and copied in runs between them.
constexpr std::array<bool, 256> kMarkupBytes = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {'<', '>', '&', '\0'}) table[c] = true;
    return table;
}();
bool IsMarkupByte(char c) { return kMarkupBytes[static_cast<unsigned char>(c)]; }

// How much of a run of whole characters fits into room bytes.
size_t Fit(std::string_view run, size_t room) {
    size_t used = 0;
    for (size_t n; used < run.size() && used + (n = CharLength(run, used)) <= room;) used += n;
    return used;
}

// The highlight forms the service writes; anything else that looks like markup is text.
constexpr std::array<std::string_view, 3> kHighlightOpen = {"<span class=h>", "<span class=\"h\">",
                                                            "<span class='h'>"};
constexpr std::string_view kHighlightClose = "</span>";

// What the page gets for the markup byte at the start of rest, and how many bytes it stands for.
std::pair<std::string_view, size_t> Replacement(std::string_view rest, bool highlights,
                                                bool& open) {
    if (rest[0] == '<' && highlights) {
        if (open && StartsWithNoCase(rest, kHighlightClose)) {
            open = false;
            return {rest.substr(0, kHighlightClose.size()), kHighlightClose.size()};
        }
        for (std::string_view form : kHighlightOpen)
            if (!open && StartsWithNoCase(rest, form)) {
                open = true;
                return {rest.substr(0, form.size()), form.size()};
            }
    }
    switch (rest[0]) {
        case '<':
            return {"&lt;", 1};
        case '>':
            return {"&gt;", 1};
        case '&':
            if (size_t reference = ReferenceLength(rest))
                return {rest.substr(0, reference), reference};
            return {"&amp;", 1};
        default:  // NUL: the parser would show a replacement character
            return {"", 1};
    }
}

// Text at most kMaxText bytes long, cut only between characters and between whole pieces.
Text Escape(std::string_view text, bool highlights) {
    Text out;
    out.reserve(std::min(text.size(), kMaxText) + kHighlightClose.size());
    bool open = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = at;
        while (end < text.size() && !IsMarkupByte(text[end])) ++end;
        std::string_view run = text.substr(at, end - at);
        if (out.size() + run.size() > kMaxText) {
            out.append(run.substr(0, Fit(run, kMaxText - out.size())));
            break;
        }
        out.append(run);
        if (end == text.size()) break;
        bool wasOpen = open;
        auto [piece, used] = Replacement(text.substr(end), highlights, open);
        if (out.size() + piece.size() > kMaxText) {
            open = wasOpen;
            break;
        }
        out.append(piece);
        at = end + used;
    }
    if (open) out += kHighlightClose;
    return out;
}

// Controls, space and the characters that could end a quoted attribute or start markup.
constexpr std::array<bool, 256> kEncodedBytes = [] {
    std::array<bool, 256> table{};
    for (int b = 0; b <= 0x20; ++b) table[b] = true;
    for (unsigned char c : {'\x7F', '"', '\'', '<', '>', '`'}) table[c] = true;
    return table;
}();
bool NeedsEncoding(char c) { return kEncodedBytes[static_cast<unsigned char>(c)]; }

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
    for (size_t at = 0; at < address.size();) {
        size_t end = at;
        while (end < address.size() && !NeedsEncoding(address[end])) ++end;
        out.append(address.substr(at, end - at));
        if (end == address.size()) break;
        auto b = static_cast<unsigned char>(address[end]);
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
        at = end + 1;
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
