#include "ui/report_monitor_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "display/report_hex.h"
#include "ui/frame_pacer.h"
#include "ui/laid_out_texts.h"
#include "ui/log_table_view.h"
#include "ui/steady_scroll_bar.h"

namespace velta {

namespace {

// Draws each cell's text from a cache of texts already laid out. While reports arrive the table
// is repainted every frame, and most cells read the same ("written", "grid", "RF on"); laying
// each one out afresh, as the standard delegate does (twice, to elide it), was most of the cost
// of a repaint.
class LaidOutTextDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QWidget* widget = option.widget;
        const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        QStyleOptionViewItem cell = option;
        cell.index = index;
        if (index.data(LogTableView::AlternateRole).toBool()) {
            cell.features |= QStyleOptionViewItem::Alternate;
            style->drawPrimitive(QStyle::PE_PanelItemViewRow, &cell, painter, widget);
        }
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = cell.rect.adjusted(margin, 0, -margin, 0);
        QString text = index.data(Qt::DisplayRole).toString();
        const QStaticText* laid = &laid_.Get(text, cell.font);
        if (laid->size().width() > area.width()) {
            // Rare (a long text in a narrow column): elided, and cached as such.
            text = QFontMetrics(cell.font).elidedText(text, Qt::ElideRight, area.width());
            laid = &laid_.Get(text, cell.font);
        }
        const bool right = (index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight) != 0;
        const QSizeF size = laid->size();
        const QPointF at(right ? area.right() + 1 - size.width() : area.left(),
                         area.top() + (area.height() - size.height()) / 2);
        const QPalette::ColorGroup group =
            (cell.state & QStyle::State_Enabled) == 0  ? QPalette::Disabled
            : (cell.state & QStyle::State_Active) != 0 ? QPalette::Active
                                                       : QPalette::Inactive;
        const bool selected = (cell.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(
            cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawStaticText(at, *laid);
        painter->restore();
        if ((cell.state & QStyle::State_HasFocus) != 0) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(cell);
            focus.backgroundColor =
                cell.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
    }

  private:
    mutable LaidOutTexts laid_;
};

}  // namespace

ReportJournalModel::ReportJournalModel(const ReportJournal& journal, QObject* parent)
    : QAbstractTableModel(parent), journal_(journal) {
    JournalChanged();
}

int ReportJournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(readings_.size());
}

int ReportJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ReportJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case kTime:
            return tr("Time (s)");
        case kDirection:
            return tr("Direction");
        case kKind:
            return tr("Kind");
        case kSummary:
            return tr("Summary");
        default:
            return {};
    }
}

QVariant ReportJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (role == LogTableView::AlternateRole)
        return ((firstSerial_ + static_cast<std::uint64_t>(index.row())) & 1) != 0;
    if (role == Qt::TextAlignmentRole && index.column() == kTime)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QString ReportJournalModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount() || static_cast<std::size_t>(row) >= journal_.Size())
        return {};
    const JournalEntry& entry = Entry(row);
    const ReportReading& reading = readings_[static_cast<std::size_t>(row)];
    const bool read = entry.direction == ReportDirection::Read;
    switch (column) {
        case kTime:
            return QString::number(std::chrono::duration<double>(entry.sinceStart).count(), 'f', 3);
        case kDirection:
            return read ? tr("read") : tr("written");
        case kKind:
            return read ? tr("input") : QString::fromUtf8(ReportKindName(reading.kind));
        case kSummary:
            if (read)
                return tr("input report, %1 bytes").arg(entry.length);
            if (!entry.ok)
                return tr("failed");
            return QString::fromStdString(DescribeReport(entry.bytes, reading));
        default:
            return {};
    }
}

void ReportJournalModel::ReadRowsFrom(std::size_t firstRow) {
    for (std::size_t row = firstRow; row < journal_.Size(); ++row) {
        const JournalEntry& entry = journal_.Row(row);
        ReportReading reading;
        if (entry.direction == ReportDirection::Written) {
            reading = ReadReport(entry.bytes, lastWriteWasGrid_ ? &lastWrite_ : nullptr);
            // Like the decoder, the placement follows only the reports that reached the display.
            if (entry.ok) {
                lastWriteWasGrid_ = reading.kind == ReportKind::Grid;
                lastWrite_ = entry.bytes;
            }
        }
        readings_.push_back(reading);
    }
}

void ReportJournalModel::JournalChanged() {
    if (journal_.ChangeCount() == seenChanges_)
        return;
    seenChanges_ = journal_.ChangeCount();
    const bool cleared = journal_.ClearCount() != seenClears_;
    const std::uint64_t fresh = journal_.RecordedSinceClear() - (cleared ? 0 : seenRecorded_);
    seenClears_ = journal_.ClearCount();
    seenRecorded_ = journal_.RecordedSinceClear();
    const std::size_t size = journal_.Size();
    if (cleared || fresh > size) {
        // Nothing shown survives, or the reports before the oldest kept one are unknown.
        beginResetModel();
        readings_.clear();
        firstSerial_ = seenRecorded_ - size;
        lastWriteWasGrid_ = false;
        ReadRowsFrom(0);
        endResetModel();
        return;
    }
    const std::size_t dropped = readings_.size() + fresh - size;
    if (dropped > 0) {
        beginRemoveRows({}, 0, static_cast<int>(dropped) - 1);
        readings_.erase(readings_.begin(),
                        readings_.begin() + static_cast<std::ptrdiff_t>(dropped));
        firstSerial_ += dropped;
        endRemoveRows();
    }
    if (fresh > 0) {
        beginInsertRows({}, static_cast<int>(readings_.size()), static_cast<int>(size) - 1);
        ReadRowsFrom(readings_.size());
        endInsertRows();
    }
}

ReportMonitorWindow::ReportMonitorWindow(ReportJournal& journal, QWidget* parent)
    : QWidget(parent, Qt::Window),
      journal_(journal),
      model_(new ReportJournalModel(journal, this)),
      table_(new LogTableView(this)),
      hex_(new QPlainTextEdit(this)),
      pause_(new QPushButton(tr("&Pause"), this)),
      pacer_(new FramePacer(*this, [this] { CatchUp(); })) {
    setWindowTitle(tr("Report Monitor"));

    table_->setModel(model_);
    table_->setItemDelegate(new LaidOutTextDelegate(table_));
    // Following new rows repaints the bar only when its slider visibly moves, and the bar alone,
    // not what lies beneath it.
    table_->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->setShowGrid(false);
    // The shades alternate by row, painted by the delegate so that they stay with their rows.
    table_->setAlternatingRowColors(false);
    // Every row the same fixed height: the view never measures rows, so 10,000 scroll smoothly.
    QHeaderView* rows = table_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    rows->hide();
    QHeaderView* columns = table_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const int digit = table_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    columns->resizeSection(ReportJournalModel::kTime, digit * 11);
    columns->resizeSection(ReportJournalModel::kDirection, digit * 9);
    columns->resizeSection(ReportJournalModel::kKind, digit * 15);

    hex_->setReadOnly(true);
    hex_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hex_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    hex_->setFixedHeight(hex_->fontMetrics().height() * 4 + 8);

    pause_->setCheckable(true);
    pause_->setToolTip(tr("Stop following new reports"));
    auto* clear = new QPushButton(tr("C&lear"), this);
    auto* copy = new QPushButton(tr("&Copy"), this);
    copy->setToolTip(tr("Copy the selected reports as hex lines"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear);
    buttons->addWidget(copy);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(hex_);
    layout->addLayout(buttons);

    connect(clear, &QPushButton::clicked, this, &ReportMonitorWindow::Clear);
    connect(copy, &QPushButton::clicked, this, &ReportMonitorWindow::Copy);
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused)
            table_->scrollToBottom();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ReportMonitorWindow::ShowCurrentHex);
    connect(model_, &QAbstractItemModel::modelReset, this, &ReportMonitorWindow::ShowCurrentHex);
    auto* copyKey = new QShortcut(QKeySequence::Copy, table_);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &ReportMonitorWindow::Copy);

    resize(720, 480);
}

ReportMonitorWindow::~ReportMonitorWindow() {
    pacer_->Detach();
}

bool ReportMonitorWindow::Paused() const {
    return pause_->isChecked();
}

void ReportMonitorWindow::SetPaused(bool paused) {
    pause_->setChecked(paused);
}

int ReportMonitorWindow::FrameInterval() const {
    return pacer_->FrameInterval();
}

void ReportMonitorWindow::JournalChanged() {
    pacer_->Request();
}

void ReportMonitorWindow::CatchUp() {
    model_->JournalChanged();
    if (!Paused())
        table_->scrollToBottom();
}

QString ReportMonitorWindow::SelectedHexLines() const {
    QModelIndexList selected = table_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& index : selected) {
        text += QString::fromStdString(FormatReportHex(model_->Entry(index.row()).bytes));
        text += QLatin1Char('\n');
    }
    return text;
}

QString ReportMonitorWindow::ShownHex() const {
    return hex_->toPlainText();
}

void ReportMonitorWindow::ShowCurrentHex() {
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid() || current.row() >= model_->rowCount()) {
        hex_->clear();
        return;
    }
    hex_->setPlainText(QString::fromStdString(FormatReportHex(model_->Entry(current.row()).bytes)));
}

void ReportMonitorWindow::Copy() {
    const QString text = SelectedHexLines();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void ReportMonitorWindow::Clear() {
    journal_.Clear();
    model_->JournalChanged();
}

}  // namespace velta
