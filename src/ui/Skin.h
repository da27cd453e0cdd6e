#pragma once
// The application's look: one style sheet and the fonts that render Chinese.

class QApplication;

void ApplySkin(QApplication& app);
