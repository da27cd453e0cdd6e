#pragma once
// Text inside the program is a byte string in the GBK code page, extended to GB18030 so that no
// character is lost; conversions happen only at the edges (service replies, signing, widgets).

#include <iconv.h>

#include <string>
#include <string_view>

using Text = std::string;

// One iconv conversion direction. Opening a converter costs more than converting a short text,
// so a reply parser keeps one for the whole reply.
class TextConverter {
public:
    enum Direction { Utf8ToGbk, GbkToUtf8 };
    explicit TextConverter(Direction direction);
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    // Never fails: a malformed input sequence becomes "?" byte by byte (every character has a
    // form in both encodings).
    std::string Convert(std::string_view in);

private:
    iconv_t FCd;
    Direction FDirection;
};

Text Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
