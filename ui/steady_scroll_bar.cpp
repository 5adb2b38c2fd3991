#include "ui/steady_scroll_bar.h"

#include <QMetaObject>
#include <QStyle>
#include <QStyleOptionSlider>

namespace velta {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    // The style covers every pixel the bar owns: its repaint leaves what lies beneath alone.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

SteadyScrollBar::Shown SteadyScrollBar::Now() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    const bool moved = change == SliderRangeChange || change == SliderValueChange;
    if (!moved || !everPainted_ || isSliderDown()) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A refresh often sets the range and then the value: judge what changed once it is done.
    if (!checkPosted_) {
        checkPosted_ = true;
        QMetaObject::invokeMethod(
            this, [this] { RepaintWhatChanged(); }, Qt::QueuedConnection);
    }
}

void SteadyScrollBar::RepaintWhatChanged() {
    checkPosted_ = false;
    const Shown now = Now();
    if (now == painted_)
        return;  // the same pixels: nothing to repaint
    if (now.atMinimum == painted_.atMinimum && now.atMaximum == painted_.atMaximum)
        update(painted_.slider.united(now.slider));  // where the slider was and where it is
    else
        update();
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    painted_ = Now();
    everPainted_ = true;
    QScrollBar::paintEvent(event);
}

}  // namespace velta
