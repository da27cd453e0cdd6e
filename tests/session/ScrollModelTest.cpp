#include <gtest/gtest.h>

#include <vector>

#include "ScrollModel.h"

namespace {
struct Bar {
    ScrollModel model;
    std::vector<int> scrolled;
    Bar() {
        model.onScroll = [this](int d) { scrolled.push_back(d); };
    }
};
}  // namespace

TEST(ScrollModel, TallPageRangeAndWheelSequences) {
    Bar b;
    b.model.UpdateRange(2000, 583);
    EXPECT_EQ(b.model.Max(), 2000);
    EXPECT_EQ(b.model.PageSize(), 583);
    EXPECT_EQ(b.model.SmallChange(), 80);
    EXPECT_EQ(b.model.LargeChange(), 583);
    EXPECT_EQ(b.model.MaxPosition(), 1418);
    EXPECT_TRUE(b.model.Enabled());
    EXPECT_TRUE(b.scrolled.empty());

    std::vector<int> down;
    for (int i = 0; i < 19; ++i) {
        b.model.WheelDown();
        down.push_back(b.model.Position());
    }
    std::vector<int> wantDown;
    for (int p = 80; p <= 1360; p += 80) wantDown.push_back(p);
    wantDown.push_back(1418);
    wantDown.push_back(1418);
    EXPECT_EQ(down, wantDown);
    EXPECT_EQ(b.scrolled.front(), 80);
    EXPECT_EQ(b.scrolled.back(), 58);  // 1360 to 1418; the last step moved nothing
    EXPECT_EQ(b.scrolled.size(), 18u);

    b.scrolled.clear();
    std::vector<int> up;
    for (int i = 0; i < 19; ++i) {
        b.model.WheelUp();
        up.push_back(b.model.Position());
    }
    EXPECT_EQ(up.front(), 1338);
    EXPECT_EQ(up[16], 58);
    EXPECT_EQ(up[17], 0);
    EXPECT_EQ(up[18], 0);
    EXPECT_EQ(b.scrolled.front(), -80);
    EXPECT_EQ(b.scrolled.back(), -58);
}

TEST(ScrollModel, ShortPagesNoBodyAndResets) {
    Bar b;
    b.model.UpdateRange(500, 583);
    EXPECT_FALSE(b.model.Enabled());
    b.model.WheelDown();
    EXPECT_EQ(b.model.Position(), 0);

    b.model.UpdateRange(std::nullopt, 583);  // no body yet
    EXPECT_TRUE(b.model.Enabled());
    EXPECT_EQ(b.model.Position(), 0);

    // Scrolled to 800, a new search: disabled at once, back at the top with the next page.
    b.model.UpdateRange(3000, 583);
    b.model.SetPosition(800);
    b.model.ResetOnNextDocument();
    EXPECT_FALSE(b.model.Enabled());
    b.model.WheelDown();
    EXPECT_EQ(b.model.Position(), 800);
    b.scrolled.clear();
    b.model.UpdateRange(2000, 583);
    EXPECT_EQ(b.model.Position(), 0);
    EXPECT_FALSE(b.model.ResetPending());
    EXPECT_EQ(b.scrolled, std::vector<int>{-800});

    // A shorter page pulls the position back silently; the next move covers the difference.
    b.model.SetPosition(1418);
    b.scrolled.clear();
    b.model.UpdateRange(1000, 583);
    EXPECT_EQ(b.model.Position(), 418);
    EXPECT_EQ(b.scrolled, std::vector<int>{});
    b.model.WheelUp();
    EXPECT_EQ(b.model.Position(), 338);
    EXPECT_EQ(b.scrolled, std::vector<int>{-1080});

    // A search that brings no page: the page shown keeps its place and scrolls again.
    b.model.ResetOnNextDocument();
    b.model.CancelReset();
    b.scrolled.clear();
    b.model.UpdateRange(1000, 583);
    EXPECT_TRUE(b.model.Enabled());
    EXPECT_EQ(b.model.Position(), 338);
    b.model.WheelDown();
    EXPECT_EQ(b.model.Position(), 418);
    EXPECT_EQ(b.scrolled, std::vector<int>{80});
}
