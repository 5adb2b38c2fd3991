// The "RGB Pod Colour" box: the eleven named colours and a last item "Custom...", each shown
// as a colour swatch and its name. Choosing "Custom..." asks the user for a colour, which then
// becomes that item's colour. The box only offers a colour; the window takes the selected one
// over when the box loses the focus (FocusLost).
#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

#include "model/panel_state.h"

namespace velta {

class ColorPickerCombo : public QComboBox {
    Q_OBJECT

  public:
    // Item data role holding an item's colour (a Color as unsigned int).
    static constexpr int kColorRole = Qt::UserRole;

    explicit ColorPickerCombo(QWidget* parent = nullptr);

    // The colour of the selected item; 0 when nothing is selected.
    Color SelectedColor() const;
    Color ItemColor(int index) const;

    // Asks the user for a colour, starting from `initial`; nullopt when the user cancels.
    using ColorChooser = std::function<std::optional<Color>(QWidget* parent, Color initial)>;
    // Replaces the chooser (by default the program's own modal colour dialog).
    void SetColorChooser(ColorChooser chooser);

    // Only the exact item text opens the chooser; look-alikes in other case do not.
    static bool IsCustomItemText(const QString& text);

  signals:
    // The keyboard focus went elsewhere; not sent when it only moves into the open list.
    void FocusLost();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void OnCurrentIndexChanged(int index);

    ColorChooser chooser_;
    bool choosing_ = false;
};

// Paints one item of the box: background, swatch framed in black, then the name.
class ColorItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Shared with the closed box, which shows its selection the same way. The background alone
    // (and the focus frame) is what an empty selection shows.
    static void PaintBackground(QPainter& painter, const QRect& rect, const QPalette& palette,
                                bool selected, bool focused);
    static void PaintItem(QPainter& painter, const QRect& rect, const QPalette& palette,
                          const QString& text, Color color, bool selected, bool focused,
                          bool enabled);
};

}  // namespace velta
