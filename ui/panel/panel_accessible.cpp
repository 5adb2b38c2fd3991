#include "ui/panel/panel_accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QPointer>
#include <QWindow>
#include <vector>

#include "ui/color_picker_combo.h"
#include "ui/named_combo_box.h"
#include "ui/panel/led_field.h"

namespace velta {

namespace {

// One LED: a table cell of the grid or an item of a pod or ring list. It belongs to no QObject
// of its own (object() is null), so Qt's cache never confuses it with the field.
class LedAccessible : public QAccessibleInterface,
                      public QAccessibleTableCellInterface,
                      public QAccessibleActionInterface {
  public:
    LedAccessible(LedField* field, int child) : field_(field), child_(child) {}

    int Child() const { return child_; }

    bool isValid() const override { return !field_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return field_ ? field_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(field_.data());
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!field_ || t != QAccessible::Name)
            return {};
        return field_->LedName(Index());
    }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
    QRect rect() const override {
        if (!field_)
            return {};
        const QRect cell = field_->LedRect(Index());
        return QRect(field_->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override {
        return IsGrid() ? QAccessible::Cell : QAccessible::ListItem;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!field_)
            return state;
        state.focusable = true;
        state.focused = field_->hasFocus() && field_->FocusLed() == Index();
        state.checkable = true;
        state.checked = field_->State(Index());
        state.invisible = !field_->isVisible();
        state.disabled = !field_->isEnabled();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface && IsGrid())
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // The cell of the grid.
    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return Index() % kColumns; }
    int rowIndex() const override { return Index() / kColumns; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // Its one action is the switch a left click makes.
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (field_ && name == toggleAction())
            field_->Toggle(Index());
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }

  private:
    int Index() const { return field_ ? field_->IndexOfChild(child_) : -1; }
    bool IsGrid() const { return field_ && field_->Kind() == LedKind::GridCell; }

    QPointer<LedField> field_;
    int child_;
};

// The field: a table (the grid) or a list (pods, rings). Its LED interfaces are made when first
// asked for and registered with Qt's cache; this interface deletes them when the field goes.
class LedFieldAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
  public:
    explicit LedFieldAccessible(LedField* field)
        : QAccessibleWidget(
              field, field->Kind() == LedKind::GridCell ? QAccessible::Table : QAccessible::List),
          children_(static_cast<std::size_t>(field->LedCount()), 0) {}
    ~LedFieldAccessible() override {
        for (QAccessible::Id id : children_) {
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return Field()->LedCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        QAccessible::Id& id = children_[static_cast<std::size_t>(index)];
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(new LedAccessible(Field(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* led = dynamic_cast<const LedAccessible*>(child);
        return led != nullptr && led->parent() == this ? led->Child() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const int index = Field()->LedAt(Field()->mapFromGlobal(QPoint(x, y)));
        return index < 0 ? nullptr : child(Field()->ChildOfIndex(index));
    }
    QAccessibleInterface* focusChild() const override {
        return Field()->hasFocus() ? child(Field()->ChildOfIndex(Field()->FocusLed())) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface && Field()->Kind() == LedKind::GridCell)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The grid as a table: cell (r, c) is child 32 r + c.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || row >= kRows || column < 0 || column >= kColumns)
            return nullptr;
        return child(PanelState::CellIndex(row, column));
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override {
        return QObject::tr("column %1").arg(column + 1);
    }
    QString rowDescription(int row) const override { return QObject::tr("row %1").arg(row + 1); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return kColumns; }
    int rowCount() const override { return kRows; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int /*column*/) const override { return false; }
    bool isRowSelected(int /*row*/) const override { return false; }
    bool selectRow(int /*row*/) override { return false; }
    bool selectColumn(int /*column*/) override { return false; }
    bool unselectRow(int /*row*/) override { return false; }
    bool unselectColumn(int /*column*/) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* /*event*/) override {}

  private:
    LedField* Field() const { return static_cast<LedField*>(widget()); }

    mutable std::vector<QAccessible::Id> children_;  // 0 until made
};

// The colour box, and every NamedComboBox (Qt's own interface would name them by the choice they
// show): its name says what it is for, its value which entry is chosen; the list it
// opens is its one child, and its actions open that list.
class ColourBoxAccessible : public QAccessibleWidget {
  public:
    explicit ColourBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return Box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Box()->view()->isVisible();
        return state;
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == Box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override {
        if (name == showMenuAction() || name == pressAction())
            Box()->showPopup();
    }

  private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* PanelFactory(const QString& /*className*/, QObject* object) {
    if (auto* field = qobject_cast<LedField*>(object))
        return new LedFieldAccessible(field);
    if (auto* box = qobject_cast<ColorPickerCombo*>(object))
        return new ColourBoxAccessible(box);
    if (auto* box = qobject_cast<NamedComboBox*>(object))
        return new ColourBoxAccessible(box);
    return nullptr;
}

}  // namespace

void InstallPanelAccessibility() {
    QAccessible::installFactory(&PanelFactory);
}

void AnnounceLedState(LedField& field, int index) {
    if (!QAccessible::isActive())
        return;
    const int child = field.ChildOfIndex(index);
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent state(&field, changed);
    state.setChild(child);
    QAccessible::updateAccessibility(&state);
    QAccessibleEvent name(&field, QAccessible::NameChanged);
    name.setChild(child);
    QAccessible::updateAccessibility(&name);
}

void AnnounceLedFocus(LedField& field, int index) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent focus(&field, QAccessible::Focus);
    focus.setChild(field.ChildOfIndex(index));
    QAccessible::updateAccessibility(&focus);
}

}  // namespace velta
