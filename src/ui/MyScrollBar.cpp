#include "MyScrollBar.h"

#include <QEnterEvent>
#include <QPointer>
#include <QWebEnginePage>

TMyScrollBar::TMyScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
    setFocusPolicy(Qt::NoFocus);
    FModel.onScroll = [this](int delta) { ScrollDocument(delta); };
    Sync();
}

void TMyScrollBar::HookBrowser() {
    if (!m_web) return;
    connect(m_web, &QWebEngineView::loadProgress, this, &TMyScrollBar::UpdateRange,
            Qt::UniqueConnection);
    connect(m_web, &QWebEngineView::loadFinished, this, &TMyScrollBar::UpdateRange,
            Qt::UniqueConnection);
}

void TMyScrollBar::UpdateRange() {
    if (!m_web) return;
    QPointer<TMyScrollBar> self(this);
    m_web->page()->runJavaScript(
        "document.body ? document.body.scrollHeight : null", [self](const QVariant& v) {
            if (!self || !self->m_web) return;
            bool ok = false;
            int h = v.toInt(&ok);
            self->FModel.UpdateRange(
                v.isValid() && !v.isNull() && ok ? std::optional<int>(h) : std::nullopt,
                self->m_web->height());
            self->Sync();
        });
}

void TMyScrollBar::WheelUp() {
    FModel.WheelUp();
    Sync();
}

void TMyScrollBar::WheelDown() {
    FModel.WheelDown();
    Sync();
}

void TMyScrollBar::ResetOnNextDocument() {
    FModel.ResetOnNextDocument();
    Sync();
}

void TMyScrollBar::CancelReset() {
    FModel.CancelReset();
    UpdateRange();
}

void TMyScrollBar::SetPosition(int position) {
    FModel.SetPosition(position);
    Sync();
}

void TMyScrollBar::ScrollDocument(int delta) {
    // The page goes to the bar's position rather than by the distance moved: the same while
    // the two agree, and it puts the page right again should anything else have scrolled it.
    if (m_web && delta)
        m_web->page()->runJavaScript(QString("window.scrollTo(0,%1)").arg(FModel.Position()));
}

void TMyScrollBar::Sync() {
    FSyncing = true;
    setEnabled(FModel.Enabled());
    setRange(0, std::max(0, FModel.PositionLimit()));
    setSingleStep(FModel.SmallChange());
    setPageStep(std::max(1, FModel.LargeChange()));
    setValue(FModel.Position());
    FSyncing = false;
}

void TMyScrollBar::sliderChange(SliderChange change) {
    QScrollBar::sliderChange(change);
    // The user's arrows, track clicks and drags move the model; its own updates do not loop.
    if (change == SliderValueChange && !FSyncing && value() != FModel.Position()) {
        FModel.SetPosition(value());
        Sync();
    }
}

void TMyScrollBar::enterEvent(QEnterEvent* event) {
    QScrollBar::enterEvent(event);
    emit MouseEntered();
}
