#include "ui/log_table_view.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

namespace velta {

void LogTableView::NoteShownOffset() {
    if (droppedFront_ == 0 && firstAppended_ < 0 && !irregular_)
        shownOffset_ = verticalHeader()->offset();
}

void LogTableView::rowsInserted(const QModelIndex& parent, int start, int end) {
    NoteShownOffset();
    if (parent.isValid() || end != model()->rowCount() - 1)
        irregular_ = true;
    else if (firstAppended_ < 0 || start < firstAppended_)
        firstAppended_ = start;
    QTableView::rowsInserted(parent, start, end);
}

void LogTableView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    NoteShownOffset();
    // Dropping after appending in the same pass would leave the appended rows' places unknown.
    if (parent.isValid() || start != 0 || firstAppended_ >= 0)
        irregular_ = true;
    else
        droppedFront_ += end + 1;
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void LogTableView::reset() {
    irregular_ = true;
    QTableView::reset();
}

void LogTableView::doItemsLayout() {
    const int dropped = droppedFront_;
    const int appended = firstAppended_;
    const bool regular = !irregular_ && (dropped > 0 || appended >= 0);
    droppedFront_ = 0;
    firstAppended_ = -1;
    irregular_ = false;
    if (!regular) {
        QTableView::doItemsLayout();
        return;
    }
    // What QTableView's layout does, but for the repaint of everything: the scroll ranges follow
    // the new row count, and the row header, which stops repainting while rows are removed,
    // repaints again.
    const int before = verticalScrollBar()->value();
    updateGeometries();
    if (!verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(true);
    if (verticalScrollBar()->value() != before) {
        // The range took the view elsewhere while rows went: nothing on screen can be kept.
        viewport()->update();
        return;
    }
    QWidget* port = viewport();
    // A row kept on screen moves up by the rows dropped before it, and by however far the rows'
    // offset moved: at the end of the range the last row is aligned with the bottom, elsewhere
    // the top row with the top.
    const long long rowHeight = verticalHeader()->defaultSectionSize();
    const long long shift =
        dropped * rowHeight + (verticalHeader()->offset() - static_cast<long long>(shownOffset_));
    if (std::llabs(shift) >= port->height())
        port->update();
    else if (shift != 0)
        port->scroll(0, -static_cast<int>(shift));
    if (appended >= 0) {
        const int top = rowViewportPosition(appended);
        const long long bottom = top + (model()->rowCount() - appended) * rowHeight;
        if (top >= 0 && top < port->height())
            port->update(0, top, port->width(),
                         static_cast<int>(std::min<long long>(bottom, port->height()) - top));
    }
}

}  // namespace velta
