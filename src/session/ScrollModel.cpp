#include "ScrollModel.h"

#include <algorithm>

void ScrollModel::SetPosition(int value) {
    value = std::clamp(value, FMin, std::max(FMin, PositionLimit()));
    if (value == FPosition) return;
    FPosition = value;
    int delta = FPosition - FLastPosition;
    FLastPosition = FPosition;
    if (onScroll) onScroll(delta);
}

void ScrollModel::SetMax(int value) {
    // The position is pulled back silently; the next move scrolls by the whole difference.
    FMax = value;
    if (FPageSize != 0 && FMax - FMin < FPageSize + FPosition)
        FPosition = std::max(FMin, FMax - FMin - FPageSize + 1);
    else if (FPageSize == 0 && FPosition > FMax)
        FPosition = FMax;
}

void ScrollModel::SetPageSize(int value) {
    if (FMax - FMin + 1 >= value + FPosition) FPageSize = value;
}

void ScrollModel::UpdateRange(std::optional<int> scrollHeight, int browserHeight) {
    if (!scrollHeight) {
        FEnabled = true;
        SetPosition(0);
        return;
    }
    int h = *scrollHeight;
    if (h > browserHeight) {
        SetMax(h);
        FSmallChange = kWheelStep;
        SetPageSize(browserHeight);
        FLargeChange = FPageSize;
        FMaxPosition = h - FPageSize + 1;
        FEnabled = true;
    } else {
        FEnabled = false;
    }
    if (FPosition > 0 && !FResetPending) {
        SetPosition(FPosition);
    } else if (FResetPending) {
        SetPosition(0);
        FResetPending = false;
    }
}

void ScrollModel::WheelUp() {
    if (!FEnabled) return;
    SetPosition(FPosition > 0 ? FPosition - kWheelStep : 0);
}

void ScrollModel::WheelDown() {
    if (!FEnabled) return;
    SetPosition(FPosition < FMaxPosition ? FPosition + kWheelStep : FMaxPosition);
}

void ScrollModel::ResetOnNextDocument() {
    FResetPending = true;
    FEnabled = false;
}

void ScrollModel::CancelReset() { FResetPending = false; }
