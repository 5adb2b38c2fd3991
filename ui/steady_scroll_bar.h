// A scroll bar that repaints only when what it shows changes. A log that grows by a few lines
// each tick moves its slider by less than a pixel most of the time, yet every change of range or
// value has the style paint the whole bar again (gradients and all) on every append.
#pragma once

#include <QRect>
#include <QScrollBar>

namespace velta {

class SteadyScrollBar : public QScrollBar {
  public:
    SteadyScrollBar(Qt::Orientation orientation, QWidget* parent);

  protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // What a paint shows that a change of range or value can alter: the slider's place and size,
    // and whether it stands at either end (the style dims the arrow there).
    struct Shown {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Shown&) const = default;
    };
    Shown Now() const;

    Shown painted_;
    bool everPainted_ = false;
};

}  // namespace velta
