// The "Data Center" box: a read-only view over the Data Center log. It keeps no copy of the text:
// it reads the log through a source function whenever it paints, and keeps only a sparse index
// of where lines start (one offset every kLinesPerMark lines), so a million lines cost about
// 125 KB beside the log itself. Lines are of one height in a fixed-pitch font, so only the lines
// in sight are drawn, and a refresh indexes just what was appended.
//
// The text can be selected with the mouse and the keyboard (arrows, Home, End, Page Up/Down, with
// Shift to extend, Ctrl+A) and copied (Ctrl+C, the context menu); a copy is the log's own bytes,
// CR LF line ends included. Nothing can be typed into it: what the box shows is always the log.
#pragma once

#include <QAbstractScrollArea>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/laid_out_texts.h"

namespace velta {

class DataCenterView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // Gives the log as last refreshed; called on every paint, so it must stay valid as long as
    // the view lives (the log's owner outlives the box).
    using TextSource = std::function<std::string_view()>;
    static constexpr std::size_t kLinesPerMark = 64;

    explicit DataCenterView(TextSource source, QWidget* parent = nullptr);

    // Shows the whole log with the caret at its end, scrolled into view. shownBefore is how much
    // of the log an earlier refresh showed; only the rest is indexed when that is what the view
    // holds, otherwise the whole log is indexed again.
    void Refresh(std::string_view log, std::size_t shownBefore);

    // What the box shows: the log up to the last refresh.
    std::string_view Text() const;
    // Lines end at LF; a CR before it belongs to the line end. The last line may be empty.
    int LineCount() const { return lines_; }
    // A line's text without its line end.
    std::string_view Line(int line) const;
    // Where a line starts in the log, and the line a log offset lies on.
    std::size_t LineStart(int line) const;
    int LineOf(std::size_t offset) const;

    // Selection and caret as offsets into the log; the selection runs from the anchor to the
    // caret in either direction.
    std::size_t Caret() const { return caret_; }
    std::pair<std::size_t, std::size_t> Selection() const;
    bool HasSelection() const { return anchor_ != caret_; }
    // The selected bytes of the log, exactly as the log holds them.
    std::string_view SelectedText() const;
    void Select(std::size_t anchor, std::size_t caret);
    void SelectAll();
    // Puts the selection on the clipboard; nothing happens without one.
    void Copy() const;

    int FirstVisibleLine() const;
    int VisibleLines() const;
    // Where the character at a log offset is drawn, in the viewport's coordinates.
    QRect CharRect(std::size_t offset) const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    friend class DataCenterAccessible;

    void Index(std::string_view log, std::size_t from);
    void UpdateMetrics();
    void UpdateScrollBars();
    // Moves the caret to a line and column (clamped); with extend the anchor stays.
    void MoveCaret(int line, std::size_t column, bool extend);
    void SetCaret(std::size_t caret, bool extend);
    void EnsureCaretVisible();
    std::size_t OffsetAt(QPoint viewportPoint) const;
    void NotifyCaret() const;

    TextSource source_;
    // marks_[k] is where line k * kLinesPerMark starts.
    std::vector<std::size_t> marks_{0};
    int lines_ = 1;
    std::size_t indexed_ = 0;  // bytes of the log indexed so far
    std::size_t lastLineStart_ = 0;
    std::size_t longestLine_ = 0;  // in characters, for the horizontal scroll range

    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    std::size_t goalColumn_ = 0;  // kept while moving up and down over shorter lines
    bool selecting_ = false;      // the left button went down on the text

    int lineHeight_ = 1;
    int charWidth_ = 1;
    LaidOutTexts laidOut_;  // the lines in sight repeat from refresh to refresh
};

}  // namespace velta
