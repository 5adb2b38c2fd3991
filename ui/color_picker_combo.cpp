#include "ui/color_picker_combo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>
#include <utility>

#include "ui/color_chooser_dialog.h"
#include "ui/color_table.h"

namespace velta {

namespace {

constexpr int kSwatchInset = 2;
constexpr int kTextGap = 2;

// Text drawn on the highlight takes the complement of the normal text colour.
QColor InvertedColor(const QColor& c) {
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

}  // namespace

ColorPickerCombo::ColorPickerCombo(QWidget* parent)
    : QComboBox(parent), chooser_(&ColorChooserDialog::Choose) {
    setItemDelegate(new ColorItemDelegate(this));
    for (const NamedColor& entry : kColorTable)
        addItem(QString::fromLatin1(entry.name), QVariant::fromValue<uint>(entry.color));
    addItem(QString::fromLatin1(kCustomColorName), QVariant::fromValue<uint>(kCustomColorInitial));
    setCurrentIndex(0);
    // Connected after the fill, so selecting "Off" at start does not count as a user's choice.
    connect(this, &QComboBox::currentIndexChanged, this, &ColorPickerCombo::OnCurrentIndexChanged);
}

Color ColorPickerCombo::SelectedColor() const {
    return ItemColor(currentIndex());
}

Color ColorPickerCombo::ItemColor(int index) const {
    if (index < 0 || index >= count())
        return 0;
    return static_cast<Color>(itemData(index, kColorRole).toUInt());
}

void ColorPickerCombo::SetColorChooser(ColorChooser chooser) {
    chooser_ = std::move(chooser);
}

bool ColorPickerCombo::IsCustomItemText(const QString& text) {
    return text == QLatin1String(kCustomColorName);
}

void ColorPickerCombo::OnCurrentIndexChanged(int index) {
    // Arrow keys on the closed box change the selection too, so they open the chooser as well.
    if (index < 0 || !IsCustomItemText(itemText(index)) || !chooser_)
        return;
    // The chooser runs a nested event loop; a second selection change inside it must not stack
    // another chooser on top.
    if (choosing_)
        return;
    choosing_ = true;
    const QPointer<ColorPickerCombo> self(this);
    const std::optional<Color> chosen = chooser_(this, 0);
    if (self.isNull())
        return;  // the window went away while the chooser was open
    choosing_ = false;
    // Only the item that was chosen changes; the named colours never do. The item can't have
    // moved: the box never inserts or removes items after the fill.
    if (chosen && index < count())
        setItemData(index, QVariant::fromValue<uint>(*chosen & 0xFFFFFFu), kColorRole);
}

void ColorPickerCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Opening the list hands the focus to the list's own window, first with a popup notice and
    // then to the list view itself; neither is leaving the box.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    const QWidget* next = QApplication::focusWidget();
    if (next != nullptr && view() != nullptr && next->window() == view()->window())
        return;
    emit FocusLost();
}

void ColorPickerCombo::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    // The selection field shows the selected item as the list does; while the box has the
    // focus it is drawn selected, on the highlight.
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int index = currentIndex();
    const bool focused = hasFocus();
    if (index < 0) {
        ColorItemDelegate::PaintBackground(painter, field, palette(), focused, focused);
        return;
    }
    ColorItemDelegate::PaintItem(painter, field, palette(), itemText(index), ItemColor(index),
                                 focused, focused, isEnabled());
}

void ColorItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const bool focused = (option.state & QStyle::State_HasFocus) != 0;
    const bool enabled = (option.state & QStyle::State_Enabled) != 0;
    const QString text = index.data(Qt::DisplayRole).toString();
    const auto color = static_cast<Color>(index.data(ColorPickerCombo::kColorRole).toUInt());
    painter->save();
    PaintItem(*painter, option.rect, option.palette, text, color, selected, focused, enabled);
    painter->restore();
}

QSize ColorItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // Room for the text 2 pixels below the top and a framed swatch with the same margin below.
    size.setHeight(std::max(size.height(), option.fontMetrics.height() + 2 * kSwatchInset + 2));
    return size;
}

void ColorItemDelegate::PaintBackground(QPainter& painter, const QRect& rect,
                                        const QPalette& palette, bool selected, bool focused) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, selected ? palette.color(QPalette::Active, QPalette::Highlight)
                                    : palette.color(QPalette::Active, QPalette::Base));
    if (focused) {
        QPen dotted(palette.color(QPalette::Active, QPalette::WindowText));
        dotted.setWidth(1);
        dotted.setCosmetic(true);
        dotted.setStyle(Qt::DotLine);
        painter.setPen(dotted);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void ColorItemDelegate::PaintItem(QPainter& painter, const QRect& rect, const QPalette& palette,
                                  const QString& text, Color color, bool selected, bool focused,
                                  bool enabled) {
    PaintBackground(painter, rect, palette, selected, focused);

    const QColor windowText = palette.color(QPalette::Active, QPalette::WindowText);
    QColor textColor = selected ? InvertedColor(windowText) : windowText;
    QColor swatchColor = ToQColor(color);
    if (!enabled) {
        swatchColor = palette.color(QPalette::Disabled, QPalette::Text);
        textColor = swatchColor;
    }

    // The swatch's right edge is the quarter width counted from x = 0, where the list's items
    // start; the text begins just beyond the quarter counted from the item's own left.
    const int swatchWidth = rect.width() / 4;
    const int textX = rect.left() + swatchWidth + kTextGap;
    const int textY = rect.top() + kTextGap;
    const QRect swatch(QPoint(rect.left() + kSwatchInset, rect.top() + kSwatchInset),
                       QPoint(swatchWidth - 1, rect.bottom() - kSwatchInset));

    painter.setPen(textColor);
    painter.setBrush(Qt::NoBrush);
    const QRect textRect(textX, textY, std::max(0, rect.right() + 1 - textX),
                         std::max(0, rect.bottom() + 1 - textY));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);

    if (swatch.width() > 0 && swatch.height() > 0) {
        painter.fillRect(swatch, swatchColor);
        QPen frame(Qt::black);
        frame.setWidth(1);
        frame.setCosmetic(true);
        painter.setPen(frame);
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    }
}

}  // namespace velta
