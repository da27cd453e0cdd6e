#pragma once
// The application's look: one style sheet and the fonts that render Chinese.

class QApplication;

void ApplySkin(QApplication& app);
// Loads Qt's own Chinese texts (the system's qt6-translations package); false without them.
bool InstallChineseTranslations(QApplication& app);
