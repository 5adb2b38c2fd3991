// One of the panel's four LED fields: the grid, a side's pods or the rings, drawn by one widget
// that is one keyboard focus stop.
//
// Every LED is a small round lamp that shows its on/off state in one of two colours, lights up
// under the pointer and is switched by a left click, or by Space or Enter on the focus LED, which
// the arrow keys move. The field knows nothing of what a state means: the window binds the switch
// to the controller and hands every change back through SetState and SetColors, so field and
// panel never disagree. A change repaints only the LEDs whose look changed, as one region per
// event-loop pass, and the field paints every pixel it owns, so nothing behind it is redrawn.
// Where a field's bounding box holds other controls (the rings surround the grid), a mask limits
// it to its LEDs: it neither paints over nor takes clicks from what lies between them.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "model/panel_state.h"

namespace velta {

class LedField : public QWidget {
    Q_OBJECT

  public:
    // The default colours; the window gives every LED its own right after creation.
    static constexpr Color kDefaultOnColor = 0x00FF00;
    static constexpr Color kDefaultOffColor = 0x007F00;

    // fieldId is one of ui::kLedFields; the field is laid out at scale 1 until Place is called.
    LedField(int fieldId, QWidget* parent);

    int FieldId() const { return fieldId_; }
    LedKind Kind() const { return kind_; }

    // The LEDs as a screen reader lists them: child n is the LED with the n-th smallest index.
    int LedCount() const { return static_cast<int>(leds_.size()); }
    int IndexOfChild(int child) const;
    int ChildOfIndex(int index) const;  // -1 for an LED of another field

    // What an LED (by its PanelState index) shows; a change of look repaints it, nothing else.
    void SetState(int index, bool on);
    void SetColors(int index, Color onColor, Color offColor);
    bool State(int index) const;

    // With a binding, switching an LED only calls it (the owner flips the cell and hands the new
    // state back); without one the field flips its own state.
    void BindToggle(std::function<void(int index)> toggle);
    // Switches the LED as a left click on it does (the keyboard and screen readers use it).
    void Toggle(int index);

    // Lays the field out for the panel shown at `scale` with its corner at `origin` in the parent.
    void Place(double scale, QPoint origin);
    double Scale() const { return scale_; }

    // The LED the keyboard acts on, by PanelState index.
    int FocusLed() const;
    void SetFocusLed(int index);

    // An LED's rectangle in the field's pixels, and the LED under a point (-1: none). Where two
    // LEDs share a pixel row the one drawn later (lower in the grid) owns it.
    QRect LedRect(int index) const;
    int LedAt(QPoint point) const;

    // What a screen reader says for an LED: "row 3, column 7, on", "pod 4, Master Side, red",
    // "ring 2, off" (counted from 1).
    QString LedName(int index) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Led {
        int index = 0;
        QRect home;  // panel pixels at scale 1
        QRect cell;  // this widget's pixels at the current scale
        bool on = false;
        Color onColor = kDefaultOnColor;
        Color offColor = kDefaultOffColor;
    };
    enum class Move {
        Left,
        Right,
        Up,
        Down,
        RowStart,
        RowEnd,
        ColumnTop,
        ColumnBottom,
        First,
        Last
    };

    int SlotOf(int index) const;
    int SlotAt(QPoint point) const;
    int MoveFrom(int slot, Move move) const;
    void SetHover(int slot);
    void SetDown(bool down);
    void SetFocusSlot(int slot);
    void ShowKeyboardUse();
    void MarkDirty(int slot);
    void Flush();
    // Everything an LED's picture depends on besides the palette and the scale, which empty
    // the collection when they change.
    struct Look {
        int width = 0;
        int height = 0;
        Color fill = 0;
        Color ring = 0;
        bool disabled = false;  // the fill is the palette's shadow colour
        bool hover = false;
        bool focused = false;
        bool byKeyboard = false;
        bool pressed = false;
        bool operator==(const Look&) const = default;
    };
    struct LookHash {
        std::size_t operator()(const Look& look) const {
            return std::hash<std::uint64_t>()((std::uint64_t{look.fill} << 32 | look.ring) ^
                                              (std::uint64_t(look.width) << 52) ^
                                              (std::uint64_t(look.height) << 44)) ^
                   (std::size_t{look.hover} | std::size_t{look.focused} << 1 |
                    std::size_t{look.byKeyboard} << 2 | std::size_t{look.pressed} << 3 |
                    std::size_t{look.disabled} << 4);
        }
    };
    static constexpr std::size_t kMaxSprites = 256;

    void PaintLed(QPainter& painter, int slot);
    void DrawLook(QPainter& painter, const Look& look) const;

    int fieldId_;
    LedKind kind_;
    std::vector<Led> leds_;         // in drawing order
    std::vector<int> slotOfIndex_;  // PanelState index -> position in leds_, -1 elsewhere
    std::vector<int> slotOfChild_;  // accessible child -> position in leds_
    std::vector<int> childOfSlot_;  // and back
    std::vector<bool> dirty_;       // looks changed since the last flush
    bool flushQueued_ = false;
    double scale_ = 1.0;
    int hover_ = -1;  // slots, -1 for none
    int pressed_ = -1;
    bool down_ = false;  // the pressed LED is under the pointer
    int focus_ = 0;
    bool byKeyboard_ = false;  // the focus came or moved by keys: show the focus LED plainly
    std::function<void(int)> toggle_;
    std::unordered_map<Look, QPixmap, LookHash> sprites_;
    qreal spriteRatio_ = 0;
};

}  // namespace velta
