#pragma once
// The result browser's scroll bar: its range follows the loaded page's height and moving it
// scrolls the page, which has no scroll bar of its own.

#include <QScrollBar>
#include <QWebEngineView>

#include "ScrollModel.h"

class TMyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TMyScrollBar(QWidget* parent);

    QWebEngineView* m_web = nullptr;

    void HookBrowser();
    // Fits the range to the page's height; runs on every load-progress report.
    Q_SLOT void UpdateRange();
    void WheelUp();
    void WheelDown();
    void ResetOnNextDocument();
    // No next document is coming: the bar fits the page shown again.
    void CancelReset();
    // Position 0, as after a page has been rendered.
    void SetPosition(int position);
    const ScrollModel& Model() const { return FModel; }

signals:
    void MouseEntered();

protected:
    void enterEvent(QEnterEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    void ScrollDocument(int delta);
    void Sync();

    ScrollModel FModel;
    bool FSyncing = false;
};
