// The window's geometry: controls placed for its size, resizing by the border, maximising.

#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "SkinForm.h"
#include "Unit1.h"

namespace {
// The criteria bar keeps its designed width; so do the left margin and the gaps.
constexpr int kBarWidth = 672;
constexpr int kTreeMaxWidth = 263;
constexpr int kGrip = SkinForm::kBorder + 2;  // how far in from the edge a press resizes
}  // namespace

QSize WindowSizeFor(QSize client) {
    return QSize(client.width() + 2 * SkinForm::kBorder,
                 client.height() + SkinForm::kCaptionHeight + SkinForm::kBorder);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    LayOut();
}

void TForm1::LayOut() {
    if (!FResultPanel) return;
    const QSize client(width() - 2 * SkinForm::kBorder,
                       height() - SkinForm::kCaptionHeight - SkinForm::kBorder);
    bsBusinessSkinForm1->setGeometry(0, 0, width(), SkinForm::kCaptionHeight);
    FClient->setGeometry(QRect(QPoint(SkinForm::kBorder, SkinForm::kCaptionHeight), client));
    // The tree gives up width first when the window is narrower than the design.
    const int treeWidth = std::clamp(client.width() - kBarWidth - 9, 150, kTreeMaxWidth);
    bsSkinNotebook1->setGeometry(3, 3, treeWidth, client.height() - 6);
    FTreePage->setGeometry(6, 6, 80, 24);
    bsSkinTreeView1->setGeometry(6, 36, treeWidth - 12, client.height() - 6 - 42);
    const int panelWidth = client.width() - treeWidth - 9;
    const int panelHeight = client.height() - 6;
    FResultPanel->setGeometry(treeWidth + 6, 3, panelWidth, panelHeight);
    bsSkinPanel1->setGeometry(0, 0, panelWidth, 59);
    bsSkinTabControl1->setGeometry(0, 61, panelWidth, 22);
    const int browserHeight = panelHeight - 83 - 23;
    web->setGeometry(0, 83, panelWidth - 21, browserHeight);
    ScrollBar->setGeometry(panelWidth - 19, 83, 19, browserHeight);
    FPagerBar->setGeometry(0, panelHeight - 21, panelWidth, 21);
    int x = FPagerBar->width() - 4;
    for (QWidget* w : std::initializer_list<QWidget*>{TailBut, NextBut, ComboBoxPage, BackBut,
                                                      IndexBut, FoundLabel}) {
        x -= w->width();
        w->move(x, 1);
        x -= w == IndexBut ? 10 : 2;
    }
    // The browser lays the page out again in its own time; the bar follows its new height.
    if (!isVisible()) return;
    ScrollBar->UpdateRange();
    QTimer::singleShot(150, ScrollBar, &TMyScrollBar::UpdateRange);
}

void TForm1::ToggleMaximised() {
    if (FMaximised) {
        FMaximised = false;
        setGeometry(FNormalGeometry);
        return;
    }
    QScreen* s = screen();
    if (!s) return;
    FNormalGeometry = geometry();
    FMaximised = true;
    setGeometry(s->availableGeometry());
}

Qt::Edges TForm1::EdgesAt(QPoint at) const {
    Qt::Edges edges;
    if (FMaximised) return edges;
    if (at.x() < kGrip) edges |= Qt::LeftEdge;
    if (at.x() >= width() - kGrip) edges |= Qt::RightEdge;
    if (at.y() < kGrip) edges |= Qt::TopEdge;
    if (at.y() >= height() - kGrip) edges |= Qt::BottomEdge;
    return edges;
}

void TForm1::mousePressEvent(QMouseEvent* e) {
    const Qt::Edges edges = EdgesAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !edges) return QWidget::mousePressEvent(e);
    QWindow* handle = windowHandle();
    if (handle && handle->startSystemResize(edges)) return;
    // No window manager to do it: the border drags itself.
    FResizing = edges;
    FResizeStart = geometry();
    FResizeFrom = e->globalPosition().toPoint();
}

void TForm1::mouseMoveEvent(QMouseEvent* e) {
    if (!FResizing) {
        const Qt::Edges edges = EdgesAt(e->position().toPoint());
        const bool diagonal =
            (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
        const bool falling =
            edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        if (!edges)
            unsetCursor();
        else if (diagonal)
            setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        else
            setCursor(edges & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor
                                                             : Qt::SizeVerCursor);
        return;
    }
    const QPoint d = e->globalPosition().toPoint() - FResizeFrom;
    QRect r = FResizeStart;
    const QSize least = minimumSize();
    if (FResizing & Qt::LeftEdge) r.setLeft(std::min(r.left() + d.x(), r.right() - least.width()));
    if (FResizing & Qt::RightEdge)
        r.setRight(std::max(r.right() + d.x(), r.left() + least.width()));
    if (FResizing & Qt::TopEdge) r.setTop(std::min(r.top() + d.y(), r.bottom() - least.height()));
    if (FResizing & Qt::BottomEdge)
        r.setBottom(std::max(r.bottom() + d.y(), r.top() + least.height()));
    setGeometry(r);
}

void TForm1::mouseReleaseEvent(QMouseEvent* e) {
    FResizing = {};
    QWidget::mouseReleaseEvent(e);
}
