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
    static constexpr int kDefaultLedDiameter = 15;
    static constexpr Color kDefaultOnColor = 0x00FF00;
    static constexpr Color kDefaultOffColor = 0x007F00;

    explicit LedButton(QWidget* parent = nullptr);

    // Stores the state (0 off, anything else on); repaints later only when redraw is true.
    void SetState(int state, bool redraw);
    int GetState() const { return state_; }
    // Check-box style setting: 1 (checked) and 2 (indeterminate) mean on, any other value off.
    void SetCheck(int value);

    // Always schedules a repaint; never fails.
    bool SetColors(Color onColor, Color offColor);
    Color OnColor() const { return onColor_; }
    Color OffColor() const { return offColor_; }

    int LedDiameter() const { return ledDiameter_; }
    bool Hover() const { return hover_; }

    // With a binding, a click only calls it: the owner flips the cell it shows and hands the new
    // state back through SetState, so control and cell can't disagree. Without one the control
    // flips its own state.
    void BindToggle(std::function<void()> toggle);

    // Layout of an optional caption: left of the LED when leftText is set, else right of it,
    // aligned left, centred or right (Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight).
    void SetCaptionLayout(bool leftText, Qt::Alignment alignment);

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
    void DrawCaption(QPainter& painter, const QRect& area, bool selected, bool disabled);

    bool hover_ = false;
    int state_ = 0;
    int ledDiameter_ = kDefaultLedDiameter;
    Color onColor_ = kDefaultOnColor;
    Color offColor_ = kDefaultOffColor;
    bool leftText_ = false;
    Qt::Alignment captionAlignment_ = Qt::AlignLeft;
    std::function<void()> toggle_;
};

}  // namespace velta
