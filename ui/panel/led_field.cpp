#include "ui/panel/led_field.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "ui/color_table.h"
#include "ui/dialog_template.h"
#include "ui/led_placement.h"
#include "ui/panel/panel_accessible.h"

namespace velta {

namespace {

// The look of one LED is laid out in the edge coordinates of its 18 x 19 cell at scale 1: right
// and bottom are the first column and row outside the box.
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
// box. At scale 1 QPainter's aliased outline of QRect(x, y, w, h) covers x..x+w and y..y+h, so the
// box maps to a rectangle one pixel narrower and shorter than its edges suggest; scaled, the same
// pixels are the centre line of a one-unit pen.
QRectF OutlineRect(Box b, bool exact) {
    if (exact)
        return QRect(b.left, b.top, b.right - b.left - 1, b.bottom - b.top - 1);
    return QRectF(b.left + 0.5, b.top + 0.5, b.right - b.left - 1, b.bottom - b.top - 1);
}

QPen SolidPen(const QColor& color, bool exact) {
    QPen pen(color);
    pen.setWidth(1);
    pen.setCosmetic(exact);
    return pen;
}

constexpr int kHoverCornerRadius = 2;  // a 4 x 4 corner ellipse
constexpr int kFocusInset = 2;
constexpr int kLedInset = 1;  // beyond the focus frame
constexpr int kLedDiameter = 15;

// The lamp's square sits at the left of the area inside the focus frame. Its top is measured
// from the cell's own top edge rather than from that area, which puts it one pixel higher than a
// centred square would be; every LED of the panel is laid out with that in mind. Held down, it
// moves one pixel right and down.
Box LampBox(bool down) {
    const Box area = Shrink(Box{0, 0, ui::kLedWidth, ui::kLedHeight}, kFocusInset + kLedInset);
    Box led{};
    led.left = area.left;
    led.right = area.left + kLedDiameter;
    led.top = 2 + (area.bottom - area.top - kLedDiameter) / 2;
    led.bottom = led.top + kLedDiameter;
    return down ? Offset(led, 1, 1) : led;
}

QRect ToQRect(const ui::Rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

// Twice the centre, so that centres of 18 x 19 boxes stay whole numbers.
QPoint Centre2(const QRect& r) {
    return QPoint(2 * r.x() + r.width(), 2 * r.y() + r.height());
}

// The keys that move the focus LED. Home/End and Page Up/Down go as far as the LEDs in the same
// row or column reach; with Control, Home and End go to the first and last LED in reading order.
struct KeyMove {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int move;  // LedField::Move
};

QString ColourName(Color color) {
    for (const NamedColor& named : kColorTable) {
        if (named.color == color)
            return QString::fromLatin1(named.name).toLower();
    }
    return QObject::tr("red %1, green %2, blue %3")
        .arg(RedOf(color))
        .arg(GreenOf(color))
        .arg(BlueOf(color));
}

}  // namespace

LedField::LedField(int fieldId, QWidget* parent)
    : QWidget(parent),
      fieldId_(fieldId),
      kind_(fieldId == ui::field_id::kGrid    ? LedKind::GridCell
            : fieldId == ui::field_id::kRings ? LedKind::Ring
                                              : LedKind::Pod) {
    InstallPanelAccessibility();
    int maxIndex = 0;
    for (const ui::LedPlacement& place : ui::FieldLeds(fieldId)) {
        Led led;
        led.index = place.index;
        led.home = ToQRect({place.topLeft.x, place.topLeft.y, ui::kLedWidth, ui::kLedHeight});
        leds_.push_back(led);
        maxIndex = std::max(maxIndex, place.index);
    }
    slotOfIndex_.assign(static_cast<std::size_t>(maxIndex) + 1, -1);
    for (std::size_t slot = 0; slot < leds_.size(); ++slot) {
        slotOfIndex_[static_cast<std::size_t>(leds_[slot].index)] = static_cast<int>(slot);
        slotOfChild_.push_back(static_cast<int>(slot));
    }
    std::sort(slotOfChild_.begin(), slotOfChild_.end(), [this](int a, int b) {
        return leds_[static_cast<std::size_t>(a)].index < leds_[static_cast<std::size_t>(b)].index;
    });
    childOfSlot_.assign(leds_.size(), 0);
    for (std::size_t child = 0; child < slotOfChild_.size(); ++child)
        childOfSlot_[static_cast<std::size_t>(slotOfChild_[child])] = static_cast<int>(child);
    dirty_.assign(leds_.size(), false);
    focus_ = MoveFrom(0, Move::First);

    // One focus stop, reached by Tab and by a click.
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a button held must arrive too: they light the LED under the pointer.
    setMouseTracking(true);
    // Every pixel of the field (inside its mask) is painted by the field: Qt need not paint the
    // frames behind it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    Place(1.0, QPoint(0, 0));
}

int LedField::IndexOfChild(int child) const {
    if (child < 0 || child >= LedCount())
        return -1;
    return leds_[static_cast<std::size_t>(slotOfChild_[static_cast<std::size_t>(child)])].index;
}

int LedField::ChildOfIndex(int index) const {
    const int slot = SlotOf(index);
    return slot < 0 ? -1 : childOfSlot_[static_cast<std::size_t>(slot)];
}

int LedField::SlotOf(int index) const {
    if (index < 0 || index >= static_cast<int>(slotOfIndex_.size()))
        return -1;
    return slotOfIndex_[static_cast<std::size_t>(index)];
}

void LedField::SetState(int index, bool on) {
    const int slot = SlotOf(index);
    if (slot < 0 || leds_[static_cast<std::size_t>(slot)].on == on)
        return;
    leds_[static_cast<std::size_t>(slot)].on = on;
    MarkDirty(slot);
    AnnounceLedState(*this, index);
}

void LedField::SetColors(int index, Color onColor, Color offColor) {
    const int slot = SlotOf(index);
    if (slot < 0)
        return;
    Led& led = leds_[static_cast<std::size_t>(slot)];
    if (led.onColor == onColor && led.offColor == offColor)
        return;
    const bool nameChanges = led.offColor != offColor && kind_ == LedKind::Pod;
    led.onColor = onColor;
    led.offColor = offColor;
    MarkDirty(slot);
    if (nameChanges)
        AnnounceLedState(*this, index);
}

bool LedField::State(int index) const {
    const int slot = SlotOf(index);
    return slot >= 0 && leds_[static_cast<std::size_t>(slot)].on;
}

void LedField::BindToggle(std::function<void(int)> toggle) {
    toggle_ = std::move(toggle);
}

void LedField::Toggle(int index) {
    if (SlotOf(index) < 0)
        return;
    if (toggle_)
        toggle_(index);
    else
        SetState(index, !State(index));
}

void LedField::Place(double scale, QPoint origin) {
    if (scale != scale_)
        sprites_.clear();
    scale_ = scale;
    const ui::LedRect bounds = ui::FieldBounds(fieldId_);
    const ui::Rect scaled = ui::ScaleRect({bounds.x, bounds.y, bounds.width, bounds.height}, scale);
    const QPoint corner(scaled.x, scaled.y);
    QRegion footprint;
    for (Led& led : leds_) {
        const ui::Rect cell =
            ui::ScaleRect({led.home.x(), led.home.y(), led.home.width(), led.home.height()}, scale);
        led.cell = ToQRect(cell).translated(-corner);
        footprint += led.cell;
    }
    setGeometry(QRect(corner + origin, QSize(scaled.width, scaled.height)));
    // The grid's LEDs tile its rectangle; the pods and rings leave gaps that belong to the
    // frames and controls behind them.
    if (kind_ == LedKind::GridCell)
        clearMask();
    else
        setMask(footprint);
    update();
}

int LedField::FocusLed() const {
    return leds_[static_cast<std::size_t>(focus_)].index;
}

void LedField::SetFocusLed(int index) {
    const int slot = SlotOf(index);
    if (slot >= 0)
        SetFocusSlot(slot);
}

QRect LedField::LedRect(int index) const {
    const int slot = SlotOf(index);
    return slot < 0 ? QRect() : leds_[static_cast<std::size_t>(slot)].cell;
}

int LedField::LedAt(QPoint point) const {
    const int slot = SlotAt(point);
    return slot < 0 ? -1 : leds_[static_cast<std::size_t>(slot)].index;
}

int LedField::SlotAt(QPoint point) const {
    // The last LED drawn over the point is the one on top.
    for (int slot = LedCount() - 1; slot >= 0; --slot) {
        if (leds_[static_cast<std::size_t>(slot)].cell.contains(point))
            return slot;
    }
    return -1;
}

QString LedField::LedName(int index) const {
    const int slot = SlotOf(index);
    if (slot < 0)
        return {};
    const Led& led = leds_[static_cast<std::size_t>(slot)];
    const QString state = led.on ? tr("on") : tr("off");
    switch (kind_) {
        case LedKind::GridCell:
            return tr("row %1, column %2, %3")
                .arg(index / kColumns + 1)
                .arg(index % kColumns + 1)
                .arg(state);
        case LedKind::Pod: {
            // A marked pod takes the chosen colour at the next painting tick.
            const bool master = index < kPodCount / 2;
            const QString name = tr("pod %1, %2, %3")
                                     .arg(index % (kPodCount / 2) + 1)
                                     .arg(master ? tr("Master Side") : tr("Secondary Side"))
                                     .arg(ColourName(led.offColor));
            return led.on ? tr("%1, marked").arg(name) : name;
        }
        case LedKind::Ring:
            break;
    }
    return tr("ring %1, %2").arg(index + 1).arg(state);
}

QSize LedField::sizeHint() const {
    return size();
}

int LedField::MoveFrom(int slot, Move move) const {
    static constexpr std::array<QPoint, 4> kDirections = {
        QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)};  // left, right, up, down
    const QPoint from = Centre2(leds_[static_cast<std::size_t>(slot)].home);
    if (move == Move::First || move == Move::Last) {
        // Reading order: top to bottom, then left to right.
        const auto before = [this](int a, int b) {
            const QPoint ca = Centre2(leds_[static_cast<std::size_t>(a)].home);
            const QPoint cb = Centre2(leds_[static_cast<std::size_t>(b)].home);
            return std::pair(ca.y(), ca.x()) < std::pair(cb.y(), cb.x());
        };
        int best = 0;
        for (int other = 1; other < LedCount(); ++other) {
            if (move == Move::First ? before(other, best) : before(best, other))
                best = other;
        }
        return best;
    }
    const int kind = static_cast<int>(move);
    const QPoint direction = kDirections[static_cast<std::size_t>(kind % 4)];
    const bool farthest = kind >= static_cast<int>(Move::RowStart);
    int best = slot;
    long bestScore = 0;
    for (int other = 0; other < LedCount(); ++other) {
        const QPoint d = Centre2(leds_[static_cast<std::size_t>(other)].home) - from;
        const long along = d.x() * direction.x() + d.y() * direction.y();
        const long across = std::abs(d.x() * direction.y() + d.y() * direction.x());
        if (along <= 0)
            continue;
        if (farthest) {
            // The end of the same row or column.
            if (across == 0 && along > bestScore) {
                best = other;
                bestScore = along;
            }
        } else if (across <= along) {
            // The nearest LED within 45 degrees of the arrow, straight ahead preferred.
            const long score = along * along + 4 * across * across;
            if (best == slot || score < bestScore) {
                best = other;
                bestScore = score;
            }
        }
    }
    return best;
}

void LedField::MarkDirty(int slot) {
    dirty_[static_cast<std::size_t>(slot)] = true;
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &LedField::Flush, Qt::QueuedConnection);
    }
}

// One region for every look that changed since the last pass: neighbours in a row merge, so a
// whole-grid change is twelve rectangles.
void LedField::Flush() {
    flushQueued_ = false;
    QRegion region;
    QRect run;
    for (std::size_t slot = 0; slot < leds_.size(); ++slot) {
        if (!dirty_[slot])
            continue;
        dirty_[slot] = false;
        const QRect& cell = leds_[slot].cell;
        if (run.isValid() && run.top() == cell.top() && run.height() == cell.height() &&
            run.right() + 1 == cell.left()) {
            run.setRight(cell.right());
            continue;
        }
        if (run.isValid())
            region += run;
        run = cell;
    }
    if (run.isValid())
        region += run;
    update(region);
}

void LedField::SetHover(int slot) {
    if (slot == hover_)
        return;
    if (hover_ >= 0)
        MarkDirty(hover_);
    hover_ = slot;
    if (hover_ >= 0)
        MarkDirty(hover_);
}

void LedField::SetDown(bool down) {
    if (down == down_)
        return;
    down_ = down;
    if (pressed_ >= 0)
        MarkDirty(pressed_);
}

void LedField::SetFocusSlot(int slot) {
    if (slot == focus_)
        return;
    if (hasFocus())
        MarkDirty(focus_);
    focus_ = slot;
    if (hasFocus()) {
        MarkDirty(focus_);
        AnnounceLedFocus(*this, FocusLed());
    }
}

void LedField::ShowKeyboardUse() {
    if (!byKeyboard_) {
        byKeyboard_ = true;
        MarkDirty(focus_);
    }
}

void LedField::mousePressEvent(QMouseEvent* event) {
    const int slot = SlotAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || slot < 0) {
        // The painting buttons belong to the window's pointer sampling.
        event->ignore();
        return;
    }
    byKeyboard_ = false;
    SetFocusSlot(slot);
    MarkDirty(slot);
    pressed_ = slot;
    down_ = false;
    SetDown(true);
}

void LedField::mouseMoveEvent(QMouseEvent* event) {
    const int slot = SlotAt(event->position().toPoint());
    if ((event->buttons() & Qt::LeftButton) != 0) {
        // A drag lights no LED it comes to, and the one it leaves goes dark.
        if (slot != hover_)
            SetHover(-1);
    } else {
        SetHover(slot);
    }
    if (pressed_ >= 0)
        SetDown(slot == pressed_);
}

void LedField::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_ < 0) {
        event->ignore();
        return;
    }
    const int pressed = pressed_;
    const bool clicked = SlotAt(event->position().toPoint()) == pressed;
    SetDown(false);
    pressed_ = -1;
    if (clicked)
        Toggle(leds_[static_cast<std::size_t>(pressed)].index);
}

void LedField::enterEvent(QEnterEvent* event) {
    // A drag that started elsewhere does not light up the LEDs it passes over.
    if ((QGuiApplication::mouseButtons() & Qt::LeftButton) == 0)
        SetHover(SlotAt(event->position().toPoint()));
    QWidget::enterEvent(event);
}

void LedField::leaveEvent(QEvent* event) {
    SetHover(-1);
    QWidget::leaveEvent(event);
}

void LedField::keyPressEvent(QKeyEvent* event) {
    static constexpr std::array<KeyMove, 10> kKeyMoves = {{
        {Qt::Key_Left, Qt::NoModifier, static_cast<int>(Move::Left)},
        {Qt::Key_Right, Qt::NoModifier, static_cast<int>(Move::Right)},
        {Qt::Key_Up, Qt::NoModifier, static_cast<int>(Move::Up)},
        {Qt::Key_Down, Qt::NoModifier, static_cast<int>(Move::Down)},
        {Qt::Key_Home, Qt::NoModifier, static_cast<int>(Move::RowStart)},
        {Qt::Key_End, Qt::NoModifier, static_cast<int>(Move::RowEnd)},
        {Qt::Key_PageUp, Qt::NoModifier, static_cast<int>(Move::ColumnTop)},
        {Qt::Key_PageDown, Qt::NoModifier, static_cast<int>(Move::ColumnBottom)},
        {Qt::Key_Home, Qt::ControlModifier, static_cast<int>(Move::First)},
        {Qt::Key_End, Qt::ControlModifier, static_cast<int>(Move::Last)},
    }};
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    for (const KeyMove& rule : kKeyMoves) {
        if (rule.key == event->key() && rule.modifiers == modifiers) {
            ShowKeyboardUse();
            SetFocusSlot(MoveFrom(focus_, static_cast<Move>(rule.move)));
            return;
        }
    }
    const bool switchKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                           event->key() == Qt::Key_Enter;
    if (switchKey && modifiers == Qt::NoModifier) {
        ShowKeyboardUse();
        // A held key switches once, not on and off at the key repeat's pace.
        if (!event->isAutoRepeat())
            Toggle(FocusLed());
        return;
    }
    QWidget::keyPressEvent(event);
}

void LedField::focusInEvent(QFocusEvent* event) {
    byKeyboard_ = event->reason() != Qt::MouseFocusReason;
    MarkDirty(focus_);
    // Qt announces the field itself once the focus has moved; the LED is said after it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus())
                AnnounceLedFocus(*this, FocusLed());
        },
        Qt::QueuedConnection);
    QWidget::focusInEvent(event);
}

void LedField::focusOutEvent(QFocusEvent* event) {
    MarkDirty(focus_);
    QWidget::focusOutEvent(event);
}

void LedField::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        sprites_.clear();
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

void LedField::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Pictures made for another pixel ratio (the window moved to another screen) would be
    // scaled: they are made again.
    if (const qreal ratio = devicePixelRatioF(); ratio != spriteRatio_) {
        sprites_.clear();
        spriteRatio_ = ratio;
    }
    const QRect area = event->rect();
    for (int slot = 0; slot < LedCount(); ++slot) {
        if (leds_[static_cast<std::size_t>(slot)].cell.intersects(area))
            PaintLed(painter, slot);
    }
}

// An LED is drawn from a picture of its whole cell, made once per look: a field shows a handful
// of looks (two colours, hover, focus, pressed) across hundreds of LEDs, and drawing outlines and
// ellipses afresh for each was most of the cost of painting while the pointer paints. The picture
// is opaque over the whole cell, so drawing it leaves exactly what drawing the LED in place
// would.
void LedField::PaintLed(QPainter& painter, int slot) {
    const Led& led = leds_[static_cast<std::size_t>(slot)];
    const bool focused = slot == focus_ && hasFocus();
    Look look;
    look.width = led.cell.width();
    look.height = led.cell.height();
    look.disabled = !isEnabled();
    look.fill = look.disabled ? 0 : led.on ? led.onColor : led.offColor;
    look.ring = led.offColor;
    look.hover = slot == hover_;
    look.focused = focused;
    look.byKeyboard = focused && byKeyboard_;
    look.pressed = slot == pressed_ && down_;
    auto found = sprites_.find(look);
    if (found == sprites_.end()) {
        // The looks in use are few; a field that somehow sees many starts its collection again.
        if (sprites_.size() >= kMaxSprites)
            sprites_.clear();
        QPixmap sprite(QSize(look.width, look.height) * spriteRatio_);
        sprite.setDevicePixelRatio(spriteRatio_);
        QPainter sp(&sprite);
        DrawLook(sp, look);
        sp.end();
        found = sprites_.emplace(look, std::move(sprite)).first;
    }
    painter.drawPixmap(led.cell.topLeft(), found->second);
}

// The cell's background (a raised highlight under the pointer, plain button face otherwise), the
// focus frame, then the lamp: a black outline, a one-pixel ring in the off colour just inside it,
// and the fill in the on or off colour (the shadow colour while disabled). Once the keyboard is in
// use, its LED stands on the selection colour, so that it is found at a glance among 384 alike;
// after a click the dotted frame alone marks it.
void LedField::DrawLook(QPainter& painter, const Look& look) const {
    const bool exact = scale_ == 1.0;
    const QColor face = palette().color(look.byKeyboard ? QPalette::Highlight : QPalette::Button);
    // The face fills the whole scaled cell, so neighbours meet without a seam at any scale.
    painter.fillRect(QRect(0, 0, look.width, look.height), face);

    if (!exact) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale_, scale_);
    }
    const Box cell{0, 0, ui::kLedWidth, ui::kLedHeight};
    if (look.hover) {
        painter.setPen(SolidPen(Qt::black, exact));
        painter.setBrush(look.byKeyboard ? face : palette().color(QPalette::Light));
        painter.drawRoundedRect(OutlineRect(cell, exact), kHoverCornerRadius, kHoverCornerRadius);
    }
    if (look.focused) {
        QPen dotted = SolidPen(
            palette().color(look.byKeyboard ? QPalette::HighlightedText : QPalette::WindowText),
            exact);
        dotted.setStyle(Qt::DotLine);
        painter.setPen(dotted);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(OutlineRect(Shrink(cell, kFocusInset), exact));
    }
    const Box lamp = LampBox(look.pressed);
    const QColor fill = look.disabled ? palette().color(QPalette::Dark) : ToQColor(look.fill);
    painter.setBrush(fill);
    painter.setPen(SolidPen(Qt::black, exact));
    painter.drawEllipse(OutlineRect(lamp, exact));
    painter.setPen(SolidPen(ToQColor(look.ring), exact));
    painter.drawEllipse(OutlineRect(Shrink(lamp, 1), exact));
}

}  // namespace velta
