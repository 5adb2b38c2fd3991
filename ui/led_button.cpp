#include "ui/led_button.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
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

// The area a text or fill covers: the pixels left..right-1 and top..bottom-1.
QRect AreaRect(Box b) {
    return QRect(b.left, b.top, std::max(0, b.right - b.left), std::max(0, b.bottom - b.top));
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
constexpr int kCaptionGap = 3;
constexpr QSize kLedControlSize(18, 19);

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

void LedButton::SetCheck(int value) {
    SetState(value == 1 || value == 2 ? 1 : 0, true);
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

void LedButton::SetCaptionLayout(bool leftText, Qt::Alignment alignment) {
    leftText_ = leftText;
    captionAlignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
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
    const QPalette& pal = palette();
    const bool disabled = !isEnabled();
    const bool focused = hasFocus();
    const bool selected = isDown();

    // Background: a raised highlight under the pointer, otherwise plain button face.
    const Box client{0, 0, width(), height()};
    if (hover_) {
        painter.setPen(SolidPen(Qt::black));
        painter.setBrush(pal.color(QPalette::Light));
        painter.drawRoundedRect(OutlineRect(client), kHoverCornerRadius, kHoverCornerRadius);
    } else {
        const QColor face = pal.color(QPalette::Button);
        painter.setPen(SolidPen(face));
        painter.setBrush(face);
        painter.drawRect(OutlineRect(client));
    }

    Box area = Shrink(client, kFocusInset);
    if (focused) {
        QPen dotted = SolidPen(pal.color(QPalette::WindowText));
        dotted.setStyle(Qt::DotLine);
        painter.setPen(dotted);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(OutlineRect(area));
    }
    area = Shrink(area, kLedInset);

    // The LED square sits beside the caption area. Its top is measured from the control's own
    // top edge rather than from the inset area, which puts it one pixel higher than a centred
    // square would be; every LED of the window is laid out with that in mind.
    const int d = ledDiameter_;
    Box led{};
    if (leftText_) {
        led.left = area.right - d;
        led.right = area.right;
        area.right = led.left - kCaptionGap;
    } else {
        led.left = area.left;
        led.right = area.left + d;
        area.left = led.right + kCaptionGap;
    }
    led.top = 2 + (area.bottom - area.top - d) / 2;
    led.bottom = led.top + d;
    if (selected)
        led = Offset(led, 1, 1);

    QColor fill;
    if (disabled) {
        fill = pal.color(QPalette::Dark);
    } else {
        fill = ToQColor(state_ != 0 ? onColor_ : offColor_);
    }
    // Black outline, then a one-pixel ring in the off colour just inside it, around the fill.
    painter.setBrush(fill);
    painter.setPen(SolidPen(Qt::black));
    painter.drawEllipse(OutlineRect(led));
    painter.setPen(SolidPen(ToQColor(offColor_)));
    painter.drawEllipse(OutlineRect(Shrink(led, 1)));

    if (!text().isEmpty())
        DrawCaption(painter, AreaRect(area), selected, disabled);
}

void LedButton::DrawCaption(QPainter& painter, const QRect& area, bool selected, bool disabled) {
    const QString caption = text();
    const int flags = Qt::TextWordWrap | static_cast<int>(captionAlignment_);

    // Measure the wrapped text within the area's width, then centre it vertically and place it
    // horizontally in what is left over.
    const QSize size =
        painter.fontMetrics()
            .boundingRect(QRect(0, 0, std::max(1, area.width()), 0xFFFF), Qt::TextWordWrap, caption)
            .size();
    QRect textRect(area.topLeft(), size);
    int dx = 0;
    if (captionAlignment_ & Qt::AlignHCenter) {
        dx = (area.width() - size.width()) / 2;
    } else if (captionAlignment_ & Qt::AlignRight) {
        dx = area.width() - size.width();
    }
    textRect.translate(dx, (area.height() - size.height()) / 2);
    if (selected)
        textRect.translate(1, 1);

    const QPalette& pal = palette();
    painter.setBrush(Qt::NoBrush);
    if (disabled) {
        // Embossed: a light copy one pixel down-right under the shadow-coloured text.
        painter.setPen(pal.color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), flags, caption);
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawText(textRect, flags, caption);
    } else {
        painter.setPen(pal.color(QPalette::ButtonText));
        painter.drawText(textRect, flags, caption);
    }
}

}  // namespace velta
