#include <gtest/gtest.h>

#include <ctime>

#include "MD5.h"

TEST(Signing, MD5MatchesRfc1321Vectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (auto [in, hex] : cases) EXPECT_EQ(MD5Print(MD5String(in)), hex) << in;
    // Bytes are digested as they are, a zero byte included.
    EXPECT_NE(MD5Print(MD5String(std::string("a\0b", 3))), MD5Print(MD5String("ab")));
}

TEST(Signing, PercentEncodeWritesEveryByteWithoutPadding) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b", "%61%20%62"},
        {"\xE4\xB8\xAD", "%E4%B8%AD"},
        {"\t", "%9"},
        {std::string(1, '\0'), "%0"},
        {"\x0F\x10\xFF", "%F%10%FF"},
        {"", ""},
        {",", "%2C"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(PercentEncode(in), out);
}

TEST(Signing, ReverseTextKeepsEveryByte) {
    EXPECT_EQ(ReverseText("1700000000"), "0000000071");
    EXPECT_EQ(ReverseText("-123"), "321-");
    EXPECT_EQ(ReverseText(""), "");
}

TEST(Signing, StampIsLocalWallClockLessEightHoursTruncated) {
    const int64_t noon = int64_t{1700000000} * 1000;  // any wall-clock reading, in ms
    const std::pair<int64_t, int32_t> cases[] = {
        {noon, 1700000000 - 28800},
        {noon + 999, 1700000000 - 28800},    // the fraction of the second is cut off
        {int64_t{28800} * 1000, 0},          // 08:00 local on 1970-01-01
        {int64_t{28800} * 1000 - 1500, -1},  // toward zero, not down
        {int64_t{28800} * 1000 - 500, 0},
        {(int64_t{1} << 32) * 1000 + int64_t{28800} * 1000 + 5000, 5},  // low 32 bits only
        {(int64_t{1} << 31) * 1000 + int64_t{28800} * 1000, INT32_MIN},
    };
    for (auto [ms, stamp] : cases) EXPECT_EQ(StampFromLocalMillis(ms), stamp) << ms;
}

TEST(Signing, StampReadsTheLocalClock) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int64_t expected = int64_t{now} + local.tm_gmtoff - 28800;
    int32_t stamp = UnixStamp();
    EXPECT_LE(std::abs(int64_t{stamp} - expected), 2);
}

TEST(Signing, SignQueryAppendsStampPidAndSignature) {
    Text url;
    {
        ScopedStampSource fixed([] { return 1700000000; });
        url = SignQuery("http://h/x.php", "fields=a&parent_cid=0", "mm_27418305_0_0", "0");
    }
    EXPECT_EQ(url,
              "http://h/x.php?fields=a&parent_cid=0&stamp=1700000000&pid=mm_27418305_0_0"
              "&sign=0c45f6f2d043ec3921b5c5ed936c1bc5");
    // No separator stands between the signed values.
    EXPECT_EQ(SignatureOf("p", "1",
                          "1"
                          "23"),
              SignatureOf("p", "1",
                          "12"
                          "3"));
    EXPECT_NE(SignatureOf("p", "1", "123"), SignatureOf("p", "2", "123"));
}
