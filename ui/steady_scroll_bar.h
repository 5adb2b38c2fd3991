// A scroll bar that repaints only what changes. A log that grows by a few lines each tick moves
// its slider by a pixel or two, or by less than one once it is long, yet every change of range or
// value would have the style paint the whole bar again (gradients and all) on every append: here
// an unchanged slider repaints nothing and a moved one only where it was and where it is.
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
    void RepaintWhatChanged();

    Shown painted_;
    bool everPainted_ = false;
    bool checkPosted_ = false;  // a RepaintWhatChanged waits in the event queue
};

}  // namespace velta
