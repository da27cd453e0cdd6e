#include <gtest/gtest.h>

#include <optional>

#include "CategoryNames.h"
#include "Decimal.h"
#include "Taobaoke_Items.h"

TEST(Tables, FilterValuesByPosition) {
    EXPECT_EQ(TableValue(SortKeys(), 0), "commissionVolume_desc");
    EXPECT_EQ(TableValue(SortKeys(), 4), "commissionNum_desc");
    EXPECT_EQ(TableValue(CreditLevels(), 4), "5heart");
    EXPECT_EQ(TableValue(CreditLevels(), 19), "5goldencrown");
    EXPECT_EQ(TableValue(RegionValues(), 0), "");
    // 江苏,浙江,上海 in GBK
    EXPECT_EQ(TableValue(RegionValues(), 1), "\xBD\xAD\xCB\xD5,\xD5\xE3\xBD\xAD,\xC9\xCF\xBA\xA3");
    EXPECT_EQ(TableValue(RegionValues(), 5), "\xB1\xB1\xBE\xA9");  // 北京
    EXPECT_EQ(GbkToUtf8(TableValue(RegionValues(), 62)), "浙江");
    EXPECT_EQ(TableValue(RegionValues(), 63), "");
    for (int outside : {-1, 5, 100}) EXPECT_EQ(TableValue(SortKeys(), outside), "");
    EXPECT_EQ(TableValue(RegionValues(), 64), "");
}

TEST(Tables, CreditIconByScore) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "b_red_1.gif"},
        {"6", "s_blue_1.gif"},
        {"11", "s_cap_1.gif"},
        {"20", "s_crown_5.gif"},
        {"0", ""},
        {"21", ""},
        {"", ""},
        {"x", ""},
        {"-1", ""},
        {"99999999999999999999", ""},
    };
    for (auto [score, file] : cases) EXPECT_EQ(CreditIconFor(score), file) << score;
}

TEST(Tables, CategoryPictureByName) {
    EXPECT_EQ(CategoryPicture(Utf8ToGbk("女装/女士精品")), 1);
    EXPECT_EQ(CategoryPicture(Utf8ToGbk("手机")), 35);
    EXPECT_EQ(CategoryPicture(Utf8ToGbk("乐器/吉他/钢琴/配件")), 65);
    EXPECT_EQ(CategoryPicture(Utf8ToGbk("女装")), 0);
    EXPECT_EQ(CategoryPicture(""), 0);
    EXPECT_EQ(CategoryPicture("MP3/MP4/iPod/Mp3"), 0);
}

TEST(Decimal, WholeNumbersOnly) {
    const struct {
        const char* text;
        bool allowMinus;
        std::optional<int64_t> want;
    } cases[] = {
        {"0", false, 0},
        {"0042", false, 42},
        {"9223372036854775807", false, INT64_MAX},
        {"-17", true, -17},
        {"-17", false, std::nullopt},
        {"-", true, std::nullopt},
        {"+5", false, std::nullopt},
        {" 5", false, std::nullopt},
        {"5 ", false, std::nullopt},
        {"1a", false, std::nullopt},
        {"", false, std::nullopt},
        {"9223372036854775808", false, std::nullopt},
        {"12.5", false, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDecimal(c.text, c.allowMinus), c.want) << c.text;
}
