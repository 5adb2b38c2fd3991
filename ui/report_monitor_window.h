// Report Monitor: a window listing the journal of reports (ReportJournal) as a table, one row per
// report, with the selected report's bytes below as one hex line. Whoever records into the
// journal calls JournalChanged() afterwards; at the next screen frame the model inserts the new
// rows at the end and removes the ones the journal dropped at the front, so a full journal keeps
// scrolling without a reset, and a flood of reports costs one repaint a frame. While nobody can
// see the window nothing is done; it catches up when seen. Copy puts the selected reports on the
// clipboard as hex lines (display/report_hex.h).
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <deque>

#include "display/report_decoder.h"
#include "display/report_journal.h"

class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace velta {

class FramePacer;

class ReportJournalModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kTime, kDirection, kKind, kSummary, kColumnCount };

    // `journal` must outlive the model.
    explicit ReportJournalModel(const ReportJournal& journal, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Catches up with the journal: rows it dropped are removed at the front, new rows inserted
    // at the end; a Clear (or more new reports than it holds) resets the model.
    void JournalChanged();

    const JournalEntry& Entry(int row) const { return journal_.Row(static_cast<std::size_t>(row)); }
    // Row text as shown: "12.345", "written" / "read", the kind, the summary.
    QString Text(int row, int column) const;

  private:
    // How each row reads, worked out once when it arrives: the tail is known only by the report
    // written before it, which may long have left the journal by the time the row is painted.
    void ReadRowsFrom(std::size_t firstRow);

    const ReportJournal& journal_;
    std::deque<ReportReading> readings_;  // one per row
    std::uint64_t seenRecorded_ = 0;
    std::uint64_t seenClears_ = 0;
    std::uint64_t seenChanges_ = 0;
    // The last successful write before the rows read so far, for the tail's placement.
    DeviceReport lastWrite_{};
    bool lastWriteWasGrid_ = false;
    // The first row's place among the reports recorded since the last Clear: each row's shade
    // follows from it, so a row keeps its shade as older ones drop out in front of it.
    std::uint64_t firstSerial_ = 0;
};

class ReportMonitorWindow : public QWidget {
    Q_OBJECT

  public:
    // `journal` must outlive the window; Clear empties it.
    explicit ReportMonitorWindow(ReportJournal& journal, QWidget* parent = nullptr);
    ~ReportMonitorWindow() override;

    ReportJournalModel& Model() { return *model_; }
    QTableView& Table() { return *table_; }
    // The selected rows, oldest first, one hex line each, every line ending in a line feed.
    QString SelectedHexLines() const;
    // The current row's hex line as shown in the box below the table.
    QString ShownHex() const;
    bool Paused() const;
    void SetPaused(bool paused);

    // Milliseconds between two catch-ups while reports keep coming.
    int FrameInterval() const;

  public slots:
    // The journal recorded a report (or several): shown at the next frame in which the window
    // is seen.
    void JournalChanged();
    // Takes in the reports journaled since the last look, now.
    void CatchUp();
    void Copy();
    void Clear();

  private:
    void ShowCurrentHex();

    ReportJournal& journal_;
    ReportJournalModel* model_;
    QTableView* table_;
    QPlainTextEdit* hex_;
    QPushButton* pause_;
    FramePacer* pacer_;
};

}  // namespace velta
