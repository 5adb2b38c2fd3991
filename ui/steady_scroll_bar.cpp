#include "ui/steady_scroll_bar.h"

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
    if (moved && everPainted_ && !isSliderDown() && Now() == painted_)
        return;  // the same pixels: nothing to repaint
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    painted_ = Now();
    everPainted_ = true;
    QScrollBar::paintEvent(event);
}

}  // namespace velta
