// The "Data Center" box: an editable multi-line text box that shows the Data Center log.
//
// The log only grows, so a refresh appends just the new part of it; the cost follows what was
// added, never the size of the log. Only when the user has changed the box since the last refresh
// is its whole content replaced by the log (what the user typed disappears). Copying puts the
// log's own CR LF line ends on the clipboard, so pasted sequences are byte-identical to the log.
#pragma once

#include <QPlainTextEdit>
#include <cstddef>
#include <string_view>

namespace velta {

class DataCenterView : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit DataCenterView(QWidget* parent = nullptr);

    // Shows the whole log with the caret at its end, scrolled into view. shownBefore is how much
    // of the log an earlier refresh showed; only the rest is added when the box still holds
    // exactly that.
    void Refresh(std::string_view log, std::size_t shownBefore);

  protected:
    QMimeData* createMimeDataFromSelection() const override;

  private:
    void Append(std::string_view text);

    std::size_t shown_ = 0;    // bytes of the log in the box
    bool endsWithCr_ = false;  // the last byte shown was a CR whose LF may come next
    bool edited_ = false;      // the user changed the box since the last refresh
    bool refreshing_ = false;
};

}  // namespace velta
