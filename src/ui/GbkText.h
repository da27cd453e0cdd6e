#pragma once
// The program's GBK text and the widgets' text, converted at the widgets' edge.

#include <QString>

#include "Text.h"

inline QString FromGbk(const Text& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
inline Text ToGbk(const QString& s) { return Utf8ToGbk(s.toStdString()); }
