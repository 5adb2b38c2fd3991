// A table over a log, in rows of one fixed height, that grows at its end and, once full, drops its
// oldest rows from the front. A plain QTableView lays itself out again and repaints its whole
// viewport whenever the row count changes; here rows only appended repaint only where they show,
// and rows dropped from the front move what is on screen up by their height (a copy of pixels), so
// a log that scrolls with new rows several times a second repaints little more than its new rows.
// Any other change of the rows (a reset, an insertion or removal elsewhere) lays out and repaints
// as QTableView does.
//
// Alternating row colours, were they by row number, would swap on every odd number of dropped
// rows; the model gives each row its shade instead (AlternateRole), so that it stays with the row.
#pragma once

#include <QTableView>

namespace velta {

class LogTableView : public QTableView {
  public:
    // A row's shade: true for the alternate base colour. The delegate paints it.
    static constexpr int AlternateRole = Qt::UserRole + 1;

    using QTableView::QTableView;

    void doItemsLayout() override;
    void reset() override;

  protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

  private:
    void NoteShownOffset();

    // What happened to the rows since the last layout.
    int droppedFront_ = 0;    // rows removed from the front
    int firstAppended_ = -1;  // the first row added at the end (after the drops), -1 for none
    bool irregular_ = false;  // anything else: the next layout repaints everything
    int shownOffset_ = 0;     // the rows' offset when the first of those changes came
};

}  // namespace velta
