#include "SkinForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include "Pictures.h"

namespace {
QToolButton* FrameButton(QWidget* parent, const char* name, const QPixmap& glyph) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setProperty("class", "FrameButton");
    b->setIcon(QIcon(glyph));
    b->setIconSize(glyph.size());
    b->setFixedSize(22, 20);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    return b;
}
}  // namespace

SkinForm::SkinForm(QWidget* window) : QWidget(window), FWindow(window) {
    setObjectName("bsBusinessSkinForm1");
    setAttribute(Qt::WA_StyledBackground);
    setGeometry(0, 0, window->width(), kCaptionHeight);
    FMenuButton = FrameButton(this, "FrameMenu", pictures::AppIcon(18));
    FCaption = new QLabel(window->windowTitle(), this);
    FCaption->setObjectName("FormCaption");
    FCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
    FMinimise = FrameButton(this, "FrameMinimise", pictures::MinimiseGlyph());
    FMaximise = FrameButton(this, "FrameMaximise", pictures::MaximiseGlyph());
    FClose = FrameButton(this, "FrameClose", pictures::CloseGlyph());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    row->addWidget(FMenuButton);
    row->addWidget(FCaption, 1);
    row->addWidget(FMinimise);
    row->addWidget(FMaximise);
    row->addWidget(FClose);
    connect(FMenuButton, &QToolButton::clicked, this, [this] {
        emit MenuRequested(FMenuButton->mapToGlobal(QPoint(0, FMenuButton->height())));
    });
    connect(FMinimise, &QToolButton::clicked, this, &SkinForm::MinimiseRequested);
    connect(FMaximise, &QToolButton::clicked, this, &SkinForm::MaximiseToggled);
    connect(FClose, &QToolButton::clicked, this, &SkinForm::CloseRequested);
    connect(window, &QWidget::windowTitleChanged, FCaption, &QLabel::setText);
    // A right click on the system-menu button opens the menu as a left click does.
    FMenuButton->installEventFilter(this);
}

bool SkinForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == FMenuButton && e->type() == QEvent::ContextMenu) {
        emit MenuRequested(FMenuButton->mapToGlobal(QPoint(0, FMenuButton->height())));
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void SkinForm::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        // Where a taskbar button's menu would come from on other systems.
        emit MenuRequested(e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    // The platform moves the window where it can (a window manager's own move, snapping and
    // all); without one the bar moves it by itself.
    QWindow* handle = FWindow->windowHandle();
    if (handle && handle->startSystemMove()) return;
    FDragging = true;
    FDragOffset = e->globalPosition().toPoint() - FWindow->pos();
}

void SkinForm::mouseMoveEvent(QMouseEvent* e) {
    if (FDragging) FWindow->move(e->globalPosition().toPoint() - FDragOffset);
}

void SkinForm::mouseReleaseEvent(QMouseEvent*) { FDragging = false; }

void SkinForm::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && FMaximise->isVisible()) emit MaximiseToggled();
}

SkinMessage::SkinMessage(QWidget* parent, const QString& title, const QString& text)
    : QDialog(parent) {
    setObjectName("SkinMessage");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(title);
    setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(SkinForm::kBorder, 0, SkinForm::kBorder, SkinForm::kBorder);
    column->setSpacing(0);
    FFrame = new SkinForm(this);
    FFrame->setFixedHeight(SkinForm::kCaptionHeight);
    FFrame->SystemMenuButton()->hide();
    FFrame->MinimiseButton()->hide();
    FFrame->MaximiseButton()->hide();
    connect(FFrame, &SkinForm::CloseRequested, this, &QDialog::reject);
    column->addWidget(FFrame);
    auto* body = new QWidget(this);
    body->setObjectName("SkinMessageBody");
    body->setAttribute(Qt::WA_StyledBackground);
    auto* grid = new QVBoxLayout(body);
    grid->setContentsMargins(16, 14, 16, 10);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(body);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    FText = new QLabel(text, body);
    FText->setTextFormat(Qt::PlainText);
    row->addWidget(FText, 1);
    grid->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, body);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->addWidget(buttons);
    column->addWidget(body);
}
