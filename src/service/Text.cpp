#include "Text.h"

#include <cerrno>
#include <stdexcept>

namespace {

// GB18030 gives every GBK character its GBK bytes, so search keys, signatures and pages of
// GBK texts are what they were; and it holds every other character too, in four bytes, so an
// emoji in a title or a keyword survives instead of turning into "?".
const char* const kGbk = "GB18030";

}  // namespace

TextConverter::TextConverter(Direction direction) : FDirection(direction) {
    FCd = direction == Utf8ToGbk ? iconv_open(kGbk, "UTF-8") : iconv_open("UTF-8", kGbk);
    if (FCd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
}

TextConverter::~TextConverter() { iconv_close(FCd); }

std::string TextConverter::Convert(std::string_view in) {
    // ASCII is the same in both encodings, and most reply fields (URLs, numbers) are ASCII.
    bool ascii = true;
    for (char c : in) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(in);
    std::string out;
    out.reserve(in.size() + in.size() / 2 + 4);
    iconv(FCd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[512];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(FCd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno == EILSEQ) {
            // Unrepresentable in the target or malformed in the source: one "?" for a whole
            // well-formed UTF-8 character, else for the single bad byte.
            size_t skip = 1;
            unsigned char lead = static_cast<unsigned char>(*src);
            size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (FDirection == Utf8ToGbk && len > 1 && len <= srcLeft &&
                IsValidUtf8(std::string_view(src, len)))
                skip = len;
            out.push_back('?');
            src += skip;
            srcLeft -= skip;
        } else {  // EINVAL: an incomplete sequence at the end
            out.push_back('?');
            break;
        }
    }
    return out;
}

Text Utf8ToGbk(std::string_view utf8) {
    return TextConverter(TextConverter::Utf8ToGbk).Convert(utf8);
}

std::string GbkToUtf8(std::string_view gbk) {
    return TextConverter(TextConverter::GbkToUtf8).Convert(gbk);
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}
