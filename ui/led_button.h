// One LED of the panel on screen: a small round lamp that shows an on/off state in one of two
// colours, highlights itself under the pointer and inverts its state when clicked. It knows
// nothing of grids, pods or rings; the window decides what a state and a colour mean.
#pragma once

#include <QAbstractButton>
#include <functional>

#include "model/panel_state.h"

class QPainter;

namespace velta {

class LedButton : public QAbstractButton {
    Q_OBJECT

  public:
    static constexpr Color kDefaultOnColor = 0x00FF00;
    static constexpr Color kDefaultOffColor = 0x007F00;

    explicit LedButton(QWidget* parent = nullptr);

    // Stores the state (0 off, anything else on); repaints later only when redraw is true.
    void SetState(int state, bool redraw);

    // Always schedules a repaint; never fails.
    bool SetColors(Color onColor, Color offColor);

    // With a binding, a click only calls it: the owner flips the cell it shows and hands the new
    // state back through SetState, so control and cell can't disagree. Without one the control
    // flips its own state.
    void BindToggle(std::function<void()> toggle);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void OnClicked();
    void SetHover(bool hover);
    bool PointerIsOverMe(const QPoint& localPos) const;
    void PaintBackground(QPainter& painter) const;
    void PaintFocusFrame(QPainter& painter) const;
    void PaintLamp(QPainter& painter) const;

    bool hover_ = false;
    int state_ = 0;
    Color onColor_ = kDefaultOnColor;
    Color offColor_ = kDefaultOffColor;
    std::function<void()> toggle_;
};

}  // namespace velta
