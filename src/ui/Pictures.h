#pragma once
// Every picture the window shows, drawn at start-up: there are no picture files.

#include <QIcon>
#include <QPixmap>
#include <QVector>

namespace pictures {

QVector<QPixmap> SortPictures();      // ImageList1: 5 of 103 by 14
QVector<QPixmap> CreditPictures();    // ImageList2: 20 of 88 by 22
QVector<QPixmap> CategoryPictures();  // ImageList3: 66 of 16 by 16
QPixmap SearchButton();               // 56 by 30
QPixmap StopButton();                 // 56 by 30: the search button while a search runs
QPixmap Calculator();                 // 24 by 24
QPixmap WebBrowser();                 // 24 by 24
QPixmap AppIcon(int size);            // the program's icon: a magnifier over a price tag
QPixmap MinimiseGlyph();              // 10 by 10, white, for the caption bar
QPixmap CloseGlyph();                 // 10 by 10, white
QPixmap MaximiseGlyph();              // 10 by 10, white

}  // namespace pictures
