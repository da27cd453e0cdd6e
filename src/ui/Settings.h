#pragma once
// What the window remembers between runs: the keyword history, the last filters and view, and
// its place. Kept in an INI file in the user's configuration folder; a damaged or unreadable
// file gives the defaults and a line on standard error, never a failed start.

#include <QRect>
#include <QString>
#include <QStringList>

struct UserSettings {
    QStringList keywords;  // oldest first, as the history list shows them
    int sortIndex = 0;
    int startCreditIndex = 4;
    int endCreditIndex = 19;
    int areaIndex = 0;
    int viewIndex = 0;
    bool guarantee = false;
    int startPrice = 0;
    int endPrice = 999999999;
    QRect geometry;  // the window's frame; invalid when none was kept
};

// $XDG_CONFIG_HOME/Quellot/quellot.ini (~/.config when unset).
QString DefaultSettingsFile();
// Values outside their lists' ranges fall back to their defaults one by one.
UserSettings LoadSettings(const QString& file);
// False, with a line on standard error, when the file could not be written.
bool SaveSettings(const QString& file, const UserSettings& settings);
