#include <gtest/gtest.h>

#include "Text.h"

TEST(Text, ConvertsBetweenUtf8AndGbk) {
    EXPECT_EQ(Utf8ToGbk("手机"), "\xCA\xD6\xBB\xFA");
    EXPECT_EQ(GbkToUtf8("\xCA\xD6\xBB\xFA"), "手机");
    EXPECT_EQ(Utf8ToGbk("abc"), "abc");
    EXPECT_EQ(Utf8ToGbk(""), "");
}

TEST(Text, UnrepresentableAndMalformedInputBecomesQuestionMarks) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\xF0\x9F\x98\x80"
         "b",
         "a?b"},            // an emoji has no GBK form
        {"x\xC3(", "x?("},  // malformed UTF-8
        {"\xE6\x89", "?"},  // truncated at the end
        {"\xFF\xFE", "??"},
        {"手\xF0\x9F\x98\x80机", "\xCA\xD6?\xBB\xFA"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(Utf8ToGbk(in), out);
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a?b");
}

TEST(Text, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("手机 abc"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xCA\xD6"));          // GBK bytes
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}
