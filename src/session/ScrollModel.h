#pragma once
// The result browser's own scroll bar, without the widget: the range follows the page's height,
// the page is scrolled by the distance the position moved, wheel steps are 80 pixels.

#include <functional>
#include <optional>

class ScrollModel {
public:
    static constexpr int kWheelStep = 80;

    // Receives the distance to scroll the page by whenever the position changes.
    std::function<void(int delta)> onScroll;

    int Max() const { return FMax; }
    int PageSize() const { return FPageSize; }
    int Position() const { return FPosition; }
    int SmallChange() const { return FSmallChange; }
    int LargeChange() const { return FLargeChange; }
    bool Enabled() const { return FEnabled; }
    int MaxPosition() const { return FMaxPosition; }
    bool ResetPending() const { return FResetPending; }
    // The highest position the range admits.
    int PositionLimit() const { return FPageSize ? FMax - FPageSize + 1 : FMax; }

    // Clamped into the range; a change scrolls the page.
    void SetPosition(int value);
    // The page's content height (nothing when the page has no body yet) in a browser this high.
    void UpdateRange(std::optional<int> scrollHeight, int browserHeight);
    void WheelUp();
    void WheelDown();
    // A new search: disabled now, back to the top once the next page reports its height.
    void ResetOnNextDocument();
    // The search brought no page: the page still shown keeps its position and, once its
    // height is reported again, its range.
    void CancelReset();

private:
    void SetMax(int value);
    void SetPageSize(int value);

    int FMin = 0;
    int FMax = 100;
    int FPageSize = 0;
    int FPosition = 0;
    int FSmallChange = 1;
    int FLargeChange = 1;
    bool FEnabled = false;
    bool FResetPending = false;
    int FLastPosition = 0;
    int FMaxPosition = 0;
};
