#include "Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "CategoryNames.h"
#include "CriteriaNames.h"
#include "Text.h"

namespace pictures {

namespace {

QPixmap Blank(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

QFont UiFont(int pixelSize, bool bold = false) {
    QFont f("Noto Sans CJK SC");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QPainterPath Heart(QRectF r) {
    QPainterPath p;
    double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    p.moveTo(x + w / 2, y + h);
    p.cubicTo(x - w * 0.1, y + h * 0.55, x + w * 0.05, y - h * 0.1, x + w / 2, y + h * 0.28);
    p.cubicTo(x + w * 0.95, y - h * 0.1, x + w * 1.1, y + h * 0.55, x + w / 2, y + h);
    return p;
}

QPainterPath Diamond(QRectF r) {
    QPainterPath p;
    p.moveTo(r.center().x(), r.bottom());
    p.lineTo(r.left(), r.top() + r.height() * 0.35);
    p.lineTo(r.left() + r.width() * 0.25, r.top());
    p.lineTo(r.right() - r.width() * 0.25, r.top());
    p.lineTo(r.right(), r.top() + r.height() * 0.35);
    p.closeSubpath();
    return p;
}

QPainterPath Crown(QRectF r) {
    QPainterPath p;
    double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    p.moveTo(x, y + h);
    p.lineTo(x, y + h * 0.2);
    p.lineTo(x + w * 0.3, y + h * 0.55);
    p.lineTo(x + w * 0.5, y);
    p.lineTo(x + w * 0.7, y + h * 0.55);
    p.lineTo(x + w, y + h * 0.2);
    p.lineTo(x + w, y + h);
    p.closeSubpath();
    return p;
}

void Arrow(QPainter& g, double x, double top, double bottom, bool up, QColor c) {
    g.setPen(QPen(c, 1.4));
    g.drawLine(QPointF(x, top), QPointF(x, bottom));
    double tip = up ? top : bottom, d = up ? 3 : -3;
    g.drawLine(QPointF(x, tip), QPointF(x - 2.5, tip + d));
    g.drawLine(QPointF(x, tip), QPointF(x + 2.5, tip + d));
}

}  // namespace

QVector<QPixmap> SortPictures() {
    const QStringList& words = SortNames();
    QVector<QPixmap> out;
    for (int i = 0; i < 5; ++i) {
        QPixmap p = Blank(103, 14);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        QColor ink(0x33, 0x33, 0x33), accent(0xE4, 0x39, 0x3C);
        int textLeft = 2;
        if (i == 1 || i == 2) {
            g.setFont(UiFont(11, true));
            g.setPen(accent);
            g.drawText(QRectF(1, 0, 10, 14), Qt::AlignCenter, QString::fromUtf8("￥"));
            Arrow(g, 14, 2, 12, i == 1, accent);
            textLeft = 19;
        } else if (i == 3) {
            g.fillPath(Heart(QRectF(1, 3, 10, 9)), accent);
            Arrow(g, 14, 2, 12, false, accent);
            textLeft = 19;
        } else if (i == 4) {
            g.setPen(QPen(QColor(0xB0, 0x7A, 0x3A), 1));
            g.setBrush(QColor(0xE8, 0xC0, 0x88));
            g.drawRect(QRectF(1.5, 3.5, 9, 8));
            g.drawLine(QPointF(6, 3.5), QPointF(6, 11.5));
            Arrow(g, 14, 2, 12, false, accent);
            textLeft = 19;
        }
        g.setFont(UiFont(11));
        g.setPen(ink);
        g.drawText(QRect(textLeft, 0, 103 - textLeft, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   words[i]);
        out.push_back(p);
    }
    return out;
}

QVector<QPixmap> CreditPictures() {
    QVector<QPixmap> out;
    const QColor red(0xE4, 0x39, 0x3C), blue(0x2B, 0x7B, 0xD9), gold(0xE6, 0xA1, 0x00);
    for (int level = 0; level < 20; ++level) {
        int kind = level / 5, count = level % 5 + 1;
        QPixmap p = Blank(88, 22);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        for (int k = 0; k < count; ++k) {
            QRectF r(2 + k * 17, 5, 14, 12);
            QPainterPath shape = kind == 0 ? Heart(r) : kind == 1 ? Diamond(r) : Crown(r);
            QColor c = kind == 0 ? red : kind == 3 ? gold : blue;
            g.fillPath(shape, c);
            g.setPen(QPen(c.darker(140), 0.8));
            g.drawPath(shape);
        }
        out.push_back(p);
    }
    return out;
}

QVector<QPixmap> CategoryPictures() {
    QVector<QPixmap> out;
    // Picture 0: all categories, four tiles.
    QPixmap all = Blank(16, 16);
    {
        QPainter g(&all);
        const QColor tiles[4] = {QColor(0xE4, 0x39, 0x3C), QColor(0x2B, 0x7B, 0xD9),
                                 QColor(0x3A, 0xA5, 0x5D), QColor(0xE6, 0xA1, 0x00)};
        for (int i = 0; i < 4; ++i)
            g.fillRect(QRect(1 + (i % 2) * 7, 1 + (i / 2) * 7, 6, 6), tiles[i]);
    }
    out.push_back(all);
    // One per top-level category: its first character on a colour of its own.
    const auto& names = CategoryNames();
    for (int k = 0; k < kCategoryNameCount; ++k) {
        QPixmap p = Blank(16, 16);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setRenderHint(QPainter::TextAntialiasing);
        QColor c = QColor::fromHsv((k * 137) % 360, 170, 200);
        g.setBrush(c);
        g.setPen(Qt::NoPen);
        g.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        QString name = QString::fromStdString(GbkToUtf8(names[k]));
        g.setPen(Qt::white);
        g.setFont(UiFont(name.at(0).unicode() < 128 ? 10 : 11, true));
        g.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, name.left(1));
        out.push_back(p);
    }
    return out;
}

namespace {
QPixmap OrangeButton(const char* word, QColor top, QColor bottom, QColor edge) {
    QPixmap p = Blank(56, 30);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QLinearGradient grad(0, 0, 0, 30);
    grad.setColorAt(0, top);
    grad.setColorAt(1, bottom);
    g.setBrush(grad);
    g.setPen(QPen(edge, 1));
    g.drawRoundedRect(QRectF(0.5, 0.5, 55, 29), 5, 5);
    g.setPen(Qt::white);
    g.setFont(UiFont(14, true));
    g.drawText(QRect(0, 0, 56, 30), Qt::AlignCenter, QString::fromUtf8(word));
    return p;
}
}  // namespace

QPixmap SearchButton() {
    return OrangeButton("搜索", QColor(0xFF, 0xA0, 0x3C), QColor(0xF0, 0x6A, 0x0A),
                        QColor(0xD0, 0x5A, 0x00));
}

QPixmap StopButton() {
    return OrangeButton("停止", QColor(0xE8, 0x6A, 0x5C), QColor(0xC8, 0x32, 0x28),
                        QColor(0xA0, 0x28, 0x20));
}

QPixmap Calculator() {
    QPixmap p = Blank(24, 24);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(QColor(0x5A, 0x6B, 0x7D));
    g.setPen(QPen(QColor(0x3A, 0x48, 0x58), 1));
    g.drawRoundedRect(QRectF(3.5, 1.5, 17, 21), 2, 2);
    g.fillRect(QRectF(6, 4, 12, 5), QColor(0xC8, 0xE6, 0xC9));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            g.fillRect(QRectF(6 + c * 4.3, 11 + r * 3.6, 3, 2.6),
                       r == 2 && c == 2 ? QColor(0xFF, 0x8A, 0x00) : Qt::white);
    return p;
}

QPixmap WebBrowser() {
    QPixmap p = Blank(24, 24);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QRadialGradient grad(QPointF(9, 8), 12);
    grad.setColorAt(0, QColor(0x8C, 0xD3, 0xFF));
    grad.setColorAt(1, QColor(0x1E, 0x6F, 0xC8));
    g.setBrush(grad);
    g.setPen(QPen(QColor(0x15, 0x55, 0xA0), 1));
    g.drawEllipse(QRectF(2, 2, 20, 20));
    g.setPen(QPen(QColor(255, 255, 255, 200), 1));
    g.setBrush(Qt::NoBrush);
    g.drawEllipse(QRectF(7, 2, 10, 20));
    g.drawLine(QPointF(2, 12), QPointF(22, 12));
    g.drawLine(QPointF(4, 7), QPointF(20, 7));
    g.drawLine(QPointF(4, 17), QPointF(20, 17));
    return p;
}

QPixmap AppIcon(int size) {
    QPixmap p = Blank(size, size);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.scale(size / 32.0, size / 32.0);
    // An orange tag, as the search button, with a blue magnifier over it.
    QPainterPath tag;
    tag.moveTo(3, 9);
    tag.lineTo(9, 3);
    tag.lineTo(23, 3);
    tag.lineTo(23, 17);
    tag.lineTo(9, 17);
    tag.closeSubpath();
    QLinearGradient orange(0, 3, 0, 17);
    orange.setColorAt(0, QColor(0xFF, 0xB3, 0x47));
    orange.setColorAt(1, QColor(0xF0, 0x6A, 0x0F));
    g.setPen(QPen(QColor(0xC4, 0x4F, 0x00), 1));
    g.setBrush(orange);
    g.drawPath(tag);
    g.setBrush(Qt::white);
    g.drawEllipse(QPointF(8, 10), 1.8, 1.8);
    g.setPen(QPen(QColor(0x15, 0x42, 0x8B), 3.2, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(23, 23), QPointF(29, 29));
    QRadialGradient glass(QPointF(17, 16), 8);
    glass.setColorAt(0, QColor(0xE8, 0xF4, 0xFF, 230));
    glass.setColorAt(1, QColor(0x8C, 0xC4, 0xF5, 230));
    g.setBrush(glass);
    g.setPen(QPen(QColor(0x15, 0x42, 0x8B), 2.4));
    g.drawEllipse(QPointF(18, 18), 7, 7);
    return p;
}

QPixmap MinimiseGlyph() {
    QPixmap p = Blank(10, 10);
    QPainter g(&p);
    g.fillRect(QRect(1, 7, 8, 2), Qt::white);
    return p;
}

QPixmap CloseGlyph() {
    QPixmap p = Blank(10, 10);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(1.5, 1.5), QPointF(8.5, 8.5));
    g.drawLine(QPointF(8.5, 1.5), QPointF(1.5, 8.5));
    return p;
}

QPixmap MaximiseGlyph() {
    QPixmap p = Blank(10, 10);
    QPainter g(&p);
    g.setPen(QPen(Qt::white, 1));
    g.drawRect(QRectF(1.5, 1.5, 7, 7));
    g.drawLine(QPointF(1.5, 2.5), QPointF(8.5, 2.5));
    return p;
}

}  // namespace pictures
