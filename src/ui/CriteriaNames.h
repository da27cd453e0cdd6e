#pragma once
// The words for a search's criteria, as the window shows them: the sort pictures, and a tab's
// tooltip, which tells apart tabs whose captions are alike.

#include <QString>
#include <QStringList>

#include "Tabs.h"

// The sort orders in the order of the sort list.
const QStringList& SortNames();
// A seller credit level by its position in the credit lists: 一心 ... 五皇冠.
QString CreditName(int index);

// Everything a tab was searched with, one line each, as rich text (each value escaped).
// categoryPath runs from the top level down; region is the region list's entry.
QString TabToolTip(const TAB& tab, const QStringList& categoryPath, const QString& region);
