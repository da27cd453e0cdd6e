#pragma once
// The window's own frame: a caption bar with the system-menu button, the caption, minimise,
// maximise and close buttons, and a thin border drawn by the window's background that resizes
// the window. It works the same with a window manager and without one.

#include <QDialog>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

class SkinForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 26;
    static constexpr int kBorder = 3;

    explicit SkinForm(QWidget* window);

    QToolButton* SystemMenuButton() const { return FMenuButton; }
    QToolButton* MinimiseButton() const { return FMinimise; }
    QToolButton* MaximiseButton() const { return FMaximise; }
    QToolButton* CloseButton() const { return FClose; }
    QLabel* Caption() const { return FCaption; }

signals:
    // The window menu is wanted at this screen position (system-menu button or right click).
    void MenuRequested(const QPoint& at);
    void MinimiseRequested();
    // The maximise button or a double click on the caption: maximised and back.
    void MaximiseToggled();
    void CloseRequested();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QWidget* FWindow;
    QToolButton* FMenuButton;
    QLabel* FCaption;
    QToolButton* FMinimise;
    QToolButton* FMaximise;
    QToolButton* FClose;
    bool FDragging = false;
    QPoint FDragOffset;
};

// A message box in the same frame: caption bar with a close button only, the question icon,
// the text and a single OK button.
class SkinMessage : public QDialog {
    Q_OBJECT
public:
    SkinMessage(QWidget* parent, const QString& title, const QString& text);
    SkinForm* Frame() const { return FFrame; }
    QLabel* Text() const { return FText; }

private:
    SkinForm* FFrame;
    QLabel* FText;
};
