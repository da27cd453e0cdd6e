#include <gtest/gtest.h>
#include <iconv.h>

#include "Text.h"

TEST(Text, ConvertsBetweenUtf8AndGbk) {
    EXPECT_EQ(Utf8ToGbk("手机"), "\xCA\xD6\xBB\xFA");
    EXPECT_EQ(GbkToUtf8("\xCA\xD6\xBB\xFA"), "手机");
    EXPECT_EQ(Utf8ToGbk("abc"), "abc");
    EXPECT_EQ(Utf8ToGbk(""), "");
}

TEST(Text, EveryGbkCharacterKeepsItsBytes) {
    // The whole two-byte GBK table, read with the system's own GBK table: each character must
    // come back as the very bytes it had, so keys, signatures and pages of GBK texts stay.
    iconv_t gbk = iconv_open("UTF-8", "GBK");
    ASSERT_NE(gbk, reinterpret_cast<iconv_t>(-1));
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)}, out[8];
            char* src = in;
            char* dst = out;
            size_t srcLeft = 2, dstLeft = sizeof out;
            iconv(gbk, nullptr, nullptr, nullptr, nullptr);
            if (iconv(gbk, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) continue;
            ++characters;
            const std::string utf8(out, dst - out);
            ASSERT_EQ(Utf8ToGbk(utf8), std::string(in, 2)) << std::hex << lead << trail;
            ASSERT_EQ(GbkToUtf8(std::string(in, 2)), utf8) << std::hex << lead << trail;
        }
    iconv_close(gbk);
    EXPECT_GT(characters, 21000);
}

TEST(Text, CharactersBeyondGbkSurviveTheRoundTrip) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\xF0\x9F\x98\x80"
         "b",
         "a\x94\x39\xFC\x36"
         "b"},  // an emoji: four bytes
        {"❤", "\x81\x37\xC5\x38"},
        {"✨", "\x81\x37\xBF\x38"},
        {"שלום", ""},
        {"مرحبا", ""},
        {"手\xF0\x9F\x98\x80机", "\xCA\xD6\x94\x39\xFC\x36\xBB\xFA"},
    };
    for (const auto& [utf8, bytes] : cases) {
        const Text text = Utf8ToGbk(utf8);
        if (!bytes.empty()) {
            EXPECT_EQ(text, bytes) << utf8;
        }
        EXPECT_EQ(text.find('?'), Text::npos) << utf8;
        EXPECT_EQ(GbkToUtf8(text), utf8);
    }
}

TEST(Text, MalformedInputBecomesQuestionMarks) {
    const std::pair<std::string, std::string> cases[] = {
        {"x\xC3(", "x?("},  // malformed UTF-8
        {"\xE6\x89", "?"},  // truncated at the end
        {"\xFF\xFE", "??"},
        {"\xED\xA0\x80", "???"},  // a surrogate is no character
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(Utf8ToGbk(in), out) << in;
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a?b");
    EXPECT_EQ(GbkToUtf8("\x94\x39"), "?");  // a four-byte form cut short
}

TEST(Text, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("手机 abc"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xCA\xD6"));          // GBK bytes
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}
