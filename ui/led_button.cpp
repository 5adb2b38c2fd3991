#include "ui/led_button.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ui/color_table.h"

namespace velta {

namespace {

// The drawing below is laid out in edge coordinates: right and bottom are the first column and
// row outside the box, so an 18 x 19 control is {0, 0, 18, 19}. The LED positions of the whole
// window are worked out in these terms.
struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

Box Shrink(Box b, int by) {
    return {b.left + by, b.top + by, b.right - by, b.bottom - by};
}

Box Offset(Box b, int dx, int dy) {
    return {b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
}

// A shape outlined with a 1-pixel pen covers the pixels left..right-1 and top..bottom-1 of its
// box. QPainter's aliased outline of QRect(x, y, w, h) covers x..x+w and y..y+h, so the box
// maps to a rectangle one pixel narrower and shorter than its edges suggest.
QRect OutlineRect(Box b) {
    return QRect(b.left, b.top, b.right - b.left - 1, b.bottom - b.top - 1);
}

QPen SolidPen(const QColor& color) {
    QPen pen(color);
    pen.setWidth(1);
    pen.setCosmetic(true);
    return pen;
}

constexpr int kHoverCornerRadius = 2;  // a 4 x 4 corner ellipse
constexpr int kFocusInset = 2;
constexpr int kLedInset = 1;  // beyond the focus frame
constexpr int kLedDiameter = 15;
constexpr QSize kLedControlSize(18, 19);

// The LED square sits at the left of the area inside the focus frame. Its top is measured from
// the control's own top edge rather than from that area, which puts it one pixel higher than a
// centred square would be; every LED of the window is laid out with that in mind. Held down, it
// moves one pixel right and down.
Box LampBox(const QSize& size, bool down) {
    const Box area = Shrink(Box{0, 0, size.width(), size.height()}, kFocusInset + kLedInset);
    Box led{};
    led.left = area.left;
    led.right = area.left + kLedDiameter;
    led.top = 2 + (area.bottom - area.top - kLedDiameter) / 2;
    led.bottom = led.top + kLedDiameter;
    return down ? Offset(led, 1, 1) : led;
}

}  // namespace

LedButton::LedButton(QWidget* parent) : QAbstractButton(parent) {
    // No tab stop: 416 of these would swamp the keyboard order, but a click still focuses one.
    setFocusPolicy(Qt::ClickFocus);
    setCheckable(false);
    // Moves without a button held must arrive too: they light the LED again after the pointer
    // came back from a drag.
    setMouseTracking(true);
    // The click is handled here and nowhere else; the window never connects to it.
    connect(this, &QAbstractButton::clicked, this, &LedButton::OnClicked);
}

void LedButton::SetState(int state, bool redraw) {
    state_ = state;
    if (redraw)
        update();
}

bool LedButton::SetColors(Color onColor, Color offColor) {
    onColor_ = onColor;
    offColor_ = offColor;
    update();
    return true;
}

void LedButton::BindToggle(std::function<void()> toggle) {
    toggle_ = std::move(toggle);
}

QSize LedButton::sizeHint() const {
    return kLedControlSize;
}

void LedButton::OnClicked() {
    if (toggle_) {
        toggle_();
        return;
    }
    state_ = state_ == 0 ? 1 : 0;
    update();
}

void LedButton::SetHover(bool hover) {
    hover_ = hover;
    update();
}

bool LedButton::PointerIsOverMe(const QPoint& localPos) const {
    if (!rect().contains(localPos))
        return false;
    const QWidget* top = window();
    if (top == this)
        return true;
    // Neighbouring LEDs overlap by a pixel; the one drawn on top owns the shared row.
    return top->childAt(mapTo(top, localPos)) == this;
}

void LedButton::enterEvent(QEnterEvent* event) {
    // A drag that started elsewhere does not light up the LEDs it passes over.
    if (!hover_ && (QGuiApplication::mouseButtons() & Qt::LeftButton) == 0)
        SetHover(true);
    QAbstractButton::enterEvent(event);
}

void LedButton::leaveEvent(QEvent* event) {
    if (hover_)
        SetHover(false);
    QAbstractButton::leaveEvent(event);
}

void LedButton::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0 && !hover_) {
        // Swallowed: the button's own press tracking does not see this move either.
        event->accept();
        return;
    }
    if (!PointerIsOverMe(event->position().toPoint())) {
        // The pointer left while this control held the mouse (a press that is being dragged
        // away), so no leave event has come yet.
        SetHover(false);
    } else if (!hover_) {
        SetHover(true);
    }
    QAbstractButton::mouseMoveEvent(event);
}

void LedButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    PaintBackground(painter);
    if (hasFocus())
        PaintFocusFrame(painter);
    PaintLamp(painter);
}

// A raised highlight under the pointer, otherwise plain button face.
void LedButton::PaintBackground(QPainter& painter) const {
    const Box client{0, 0, width(), height()};
    if (hover_) {
        painter.setPen(SolidPen(Qt::black));
        painter.setBrush(palette().color(QPalette::Light));
        painter.drawRoundedRect(OutlineRect(client), kHoverCornerRadius, kHoverCornerRadius);
    } else {
        const QColor face = palette().color(QPalette::Button);
        painter.setPen(SolidPen(face));
        painter.setBrush(face);
        painter.drawRect(OutlineRect(client));
    }
}

void LedButton::PaintFocusFrame(QPainter& painter) const {
    QPen dotted = SolidPen(palette().color(QPalette::WindowText));
    dotted.setStyle(Qt::DotLine);
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(OutlineRect(Shrink(Box{0, 0, width(), height()}, kFocusInset)));
}

// Black outline, then a one-pixel ring in the off colour just inside it, around the fill: the
// on or off colour, or the shadow colour while disabled.
void LedButton::PaintLamp(QPainter& painter) const {
    const Box led = LampBox(size(), isDown());
    const QColor fill = isEnabled() ? ToQColor(state_ != 0 ? onColor_ : offColor_)
                                    : palette().color(QPalette::Dark);
    painter.setBrush(fill);
    painter.setPen(SolidPen(Qt::black));
    painter.drawEllipse(OutlineRect(led));
    painter.setPen(SolidPen(ToQColor(offColor_)));
    painter.drawEllipse(OutlineRect(Shrink(led, 1)));
}

}  // namespace velta
