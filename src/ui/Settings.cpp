#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

namespace {
constexpr int kMaxKeywords = 200;

void Warn(const char* what, const QString& file, const char* then) {
    std::fprintf(stderr, "quellot: %s %s; %s\n", what,
                 QDir::toNativeSeparators(file).toLocal8Bit().constData(), then);
}

int InRange(const QSettings& s, const char* key, int low, int high, int fallback) {
    bool ok = false;
    int v = s.value(key).toInt(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}
}  // namespace

QString DefaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Quellot/quellot.ini";
}

UserSettings LoadSettings(const QString& file) {
    UserSettings out;
    if (file.isEmpty() || !QFileInfo::exists(file)) return out;
    QSettings s(file, QSettings::IniFormat);
    if (s.status() != QSettings::NoError) {
        Warn(s.status() == QSettings::FormatError ? "cannot read the damaged settings file"
                                                  : "cannot read the settings file",
             file, "the defaults are used");
        return out;
    }
    const UserSettings d;
    for (const QString& k : s.value("history/keywords").toStringList())
        if (!k.isEmpty() && !out.keywords.contains(k) && out.keywords.size() < kMaxKeywords)
            out.keywords << k;
    out.sortIndex = InRange(s, "filters/sort", 0, 4, d.sortIndex);
    out.startCreditIndex = InRange(s, "filters/startCredit", 0, 19, d.startCreditIndex);
    out.endCreditIndex = InRange(s, "filters/endCredit", 0, 19, d.endCreditIndex);
    out.areaIndex = InRange(s, "filters/area", 0, 62, d.areaIndex);
    out.viewIndex = InRange(s, "filters/view", 0, 1, d.viewIndex);
    out.guarantee = s.value("filters/guarantee").toString() == "true";
    out.startPrice = InRange(s, "filters/startPrice", 0, 999999999, d.startPrice);
    out.endPrice = InRange(s, "filters/endPrice", 0, 999999999, d.endPrice);
    QRect g = s.value("window/geometry").toRect();
    if (g.isValid() && g.width() < 20000 && g.height() < 20000) out.geometry = g;
    return out;
}

bool SaveSettings(const QString& file, const UserSettings& v) {
    if (file.isEmpty()) return true;
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        Warn("cannot make the folder of", file, "nothing is kept");
        return false;
    }
    QSettings s(file, QSettings::IniFormat);
    s.setValue("history/keywords", v.keywords);
    s.setValue("filters/sort", v.sortIndex);
    s.setValue("filters/startCredit", v.startCreditIndex);
    s.setValue("filters/endCredit", v.endCreditIndex);
    s.setValue("filters/area", v.areaIndex);
    s.setValue("filters/view", v.viewIndex);
    s.setValue("filters/guarantee", v.guarantee ? "true" : "false");
    s.setValue("filters/startPrice", v.startPrice);
    s.setValue("filters/endPrice", v.endPrice);
    if (v.geometry.isValid()) s.setValue("window/geometry", v.geometry);
    s.sync();
    if (s.status() != QSettings::NoError) {
        Warn("cannot write", file, "nothing is kept");
        return false;
    }
    return true;
}
