#include "ui/data_center_view.h"
#include "ui/steady_scroll_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace velta {

namespace {

// Space between the frame and the text, as a text box leaves it.
constexpr int kMargin = 4;
// Columns beyond this are never laid out in pixels; no line of the log comes near it.
constexpr std::size_t kMaxColumns = std::size_t{1} << 20;

// Where the LF ending the line that starts at `start` is, or the end of the text.
std::size_t LineFeedFrom(std::string_view text, std::size_t start) {
    if (start >= text.size())
        return text.size();
    const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
    return lf == nullptr ? text.size()
                         : static_cast<std::size_t>(static_cast<const char*>(lf) - text.data());
}

// The end of a line's characters: before its CR LF, or before a CR still waiting for its LF.
std::size_t ContentEnd(std::string_view text, std::size_t start, std::size_t lineFeed) {
    return lineFeed > start && text[lineFeed - 1] == '\r' ? lineFeed - 1 : lineFeed;
}

QString Latin1(std::string_view bytes) {
    // The log is 8-bit text, one character per byte.
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int ToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

bool IsWordByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return std::isalnum(b) != 0 || c == '_';
}

}  // namespace

// The box as assistive technology reads it: a read-only multi-line text whose characters are the
// log's bytes, CR LF included, with the caret and selection of the view.
class DataCenterAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit DataCenterAccessible(DataCenterView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        // The value is the text itself, read through the text interface, never in one piece.
        return kind == QAccessible::Value ? QString() : QAccessibleWidget::text(kind);
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && View().HasSelection()) {
            *start = ToInt(View().Selection().first);
            *end = ToInt(View().Selection().second);
        }
    }
    int selectionCount() const override { return View().HasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int /*index*/) override { View().Select(View().Caret(), View().Caret()); }
    void setSelection(int /*index*/, int start, int end) override {
        View().Select(Clamped(start), Clamped(end));
    }
    int cursorPosition() const override { return ToInt(View().Caret()); }
    void setCursorPosition(int position) override {
        View().Select(Clamped(position), Clamped(position));
    }
    QString text(int start, int end) const override {
        const std::string_view all = View().Text();
        const std::size_t from = Clamped(start);
        const std::size_t to = end < 0 ? all.size() : Clamped(end);
        return to > from ? Latin1(all.substr(from, to - from)) : QString();
    }
    int characterCount() const override { return ToInt(View().Text().size()); }
    QRect characterRect(int offset) const override {
        const QRect rect = View().CharRect(Clamped(offset));
        return QRect(View().viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = View().viewport()->mapFromGlobal(point);
        return View().viewport()->rect().contains(local) ? ToInt(View().OffsetAt(local)) : -1;
    }
    void scrollToSubstring(int start, int /*end*/) override {
        View().Select(Clamped(start), Clamped(start));
    }
    QString attributes(int /*offset*/, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
    // The unit around an offset worked out on its own line, never on the whole log.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override {
        return Unit(Clamped(offset), type, start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override {
        int unitStart = 0;
        int unitEnd = 0;
        Unit(Clamped(offset), type, &unitStart, &unitEnd);
        if (unitStart == 0) {
            *start = *end = 0;
            return {};
        }
        return Unit(static_cast<std::size_t>(unitStart) - 1, type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override {
        int unitStart = 0;
        int unitEnd = 0;
        Unit(Clamped(offset), type, &unitStart, &unitEnd);
        if (unitEnd >= characterCount()) {
            *start = *end = characterCount();
            return {};
        }
        return Unit(static_cast<std::size_t>(unitEnd), type, start, end);
    }

  private:
    DataCenterView& View() const { return *static_cast<DataCenterView*>(widget()); }
    std::size_t Clamped(int offset) const {
        return std::min(static_cast<std::size_t>(std::max(offset, 0)), View().Text().size());
    }

    QString Unit(std::size_t offset, QAccessible::TextBoundaryType type, int* start,
                 int* end) const {
        const std::string_view all = View().Text();
        std::size_t from = offset;
        std::size_t to = std::min(offset + 1, all.size());
        if (type == QAccessible::NoBoundary) {
            from = 0;
            to = all.size();
        } else if (type != QAccessible::CharBoundary) {
            // Lines, sentences and paragraphs are all the log's lines, line end included.
            const int line = View().LineOf(offset);
            from = View().LineStart(line);
            to = std::min(LineFeedFrom(all, from) + 1, all.size());
            if (type == QAccessible::WordBoundary && offset < to) {
                const bool word = IsWordByte(all[offset]);
                std::size_t wordFrom = offset;
                while (wordFrom > from && IsWordByte(all[wordFrom - 1]) == word)
                    --wordFrom;
                std::size_t wordTo = offset + 1;
                while (wordTo < to && IsWordByte(all[wordTo]) == word)
                    ++wordTo;
                from = wordFrom;
                to = wordTo;
            }
        }
        *start = ToInt(from);
        *end = ToInt(to);
        return Latin1(all.substr(from, to - from));
    }
};

namespace {

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("velta::DataCenterView") || object == nullptr)
        return nullptr;
    // Qt's accessibility cache owns the interface and deletes it with the widget.
    return new DataCenterAccessible(static_cast<DataCenterView*>(object));
}

}  // namespace

DataCenterView::DataCenterView(TextSource source, QWidget* parent)
    : QAbstractScrollArea(parent), source_(std::move(source)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&MakeAccessible);
        return true;
    }();
    static_cast<void>(factoryInstalled);

    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Data Center"));
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    // Each refresh moves the slider; only a move the eye can see repaints the bar, and the bar
    // alone, not the box's frame and the dialog beneath it.
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal, this));
    UpdateMetrics();
    UpdateScrollBars();
}

std::string_view DataCenterView::Text() const {
    const std::string_view log = source_ ? source_() : std::string_view();
    return log.substr(0, std::min(indexed_, log.size()));
}

void DataCenterView::Refresh(std::string_view log, std::size_t shownBefore) {
    const bool append = shownBefore == indexed_ && shownBefore <= log.size();
    if (!append) {
        marks_.assign(1, 0);
        lines_ = 1;
        indexed_ = 0;
        lastLineStart_ = 0;
        longestLine_ = 0;
    }
    const std::size_t from = indexed_;
    const int lastLineBefore = lines_ - 1;
    const bool selectedBefore = anchor_ != caret_;
    Index(log, from);
    UpdateScrollBars();
    // As after every refresh: nothing selected, the caret at the very end and in sight.
    anchor_ = caret_ = ContentEnd(log, lastLineStart_, log.size());
    EnsureCaretVisible();
    if (append && !selectedBefore) {
        // What was on screen has only moved (scrollContentsBy): the old last line, which took
        // the new text's start and lost the caret, and what follows it are all there is to paint.
        const int y = kMargin + (lastLineBefore - FirstVisibleLine()) * lineHeight_;
        viewport()->update(QRect(0, std::max(0, y), viewport()->width(), viewport()->height()));
    } else {
        viewport()->update();
    }

    if (QAccessible::isActive()) {
        if (append) {
            QAccessibleTextInsertEvent inserted(this, ToInt(from), Latin1(log.substr(from)));
            QAccessible::updateAccessibility(&inserted);
        } else {
            QAccessibleTextUpdateEvent replaced(this, 0, QString(), Latin1(log));
            QAccessible::updateAccessibility(&replaced);
        }
        NotifyCaret();
    }
}

void DataCenterView::Index(std::string_view log, std::size_t from) {
    const auto noteLine = [this, log](std::size_t start, std::size_t lineFeed) {
        longestLine_ = std::max(longestLine_, ContentEnd(log, start, lineFeed) - start);
    };
    std::size_t at = from;
    for (std::size_t lf = LineFeedFrom(log, at); lf < log.size(); lf = LineFeedFrom(log, at)) {
        noteLine(lastLineStart_, lf);
        lastLineStart_ = at = lf + 1;
        if (static_cast<std::size_t>(lines_) % kLinesPerMark == 0)
            marks_.push_back(lastLineStart_);
        ++lines_;
    }
    noteLine(lastLineStart_, log.size());
    indexed_ = log.size();
}

std::size_t DataCenterView::LineStart(int line) const {
    const std::string_view text = Text();
    line = std::clamp(line, 0, lines_ - 1);
    std::size_t at = marks_[static_cast<std::size_t>(line) / kLinesPerMark];
    for (std::size_t k = static_cast<std::size_t>(line) % kLinesPerMark; k > 0; --k)
        at = std::min(LineFeedFrom(text, at) + 1, text.size());
    return std::min(at, text.size());
}

int DataCenterView::LineOf(std::size_t offset) const {
    const std::string_view text = Text();
    const auto mark = std::upper_bound(marks_.begin(), marks_.end(), offset) - 1;
    int line = static_cast<int>(static_cast<std::size_t>(mark - marks_.begin()) * kLinesPerMark);
    std::size_t at = *mark;
    while (line + 1 < lines_) {
        const std::size_t next = LineFeedFrom(text, at) + 1;
        if (next > offset || next > text.size())
            break;
        at = next;
        ++line;
    }
    return line;
}

std::string_view DataCenterView::Line(int line) const {
    const std::string_view text = Text();
    const std::size_t start = LineStart(line);
    return text.substr(start, ContentEnd(text, start, LineFeedFrom(text, start)) - start);
}

std::pair<std::size_t, std::size_t> DataCenterView::Selection() const {
    return std::minmax(anchor_, caret_);
}

std::string_view DataCenterView::SelectedText() const {
    const auto [from, to] = Selection();
    return Text().substr(std::min(from, Text().size()), to - from);
}

void DataCenterView::Select(std::size_t anchor, std::size_t caret) {
    const std::size_t size = Text().size();
    anchor_ = std::min(anchor, size);
    SetCaret(std::min(caret, size), true);
    goalColumn_ = caret_ - LineStart(LineOf(caret_));
}

void DataCenterView::SelectAll() {
    Select(0, Text().size());
}

void DataCenterView::Copy() const {
    if (HasSelection())
        QApplication::clipboard()->setText(Latin1(SelectedText()));
}

int DataCenterView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

int DataCenterView::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

void DataCenterView::UpdateMetrics() {
    const QFontMetrics metrics(font());
    lineHeight_ = std::max(1, metrics.lineSpacing());
    charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
}

void DataCenterView::UpdateScrollBars() {
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, lines_ - VisibleLines()));
    vertical->setPageStep(VisibleLines());
    vertical->setSingleStep(1);
    const int width = viewport()->width();
    const int content =
        2 * kMargin + ToInt(std::min(longestLine_, kMaxColumns)) * charWidth_ + 1;  // + caret
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, content - width));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(charWidth_);
}

QRect DataCenterView::CharRect(std::size_t offset) const {
    const int line = LineOf(offset);
    const std::size_t column = std::min(offset - LineStart(line), kMaxColumns);
    return QRect(kMargin + ToInt(column) * charWidth_ - horizontalScrollBar()->value(),
                 kMargin + (line - FirstVisibleLine()) * lineHeight_, charWidth_, lineHeight_);
}

std::size_t DataCenterView::OffsetAt(QPoint point) const {
    const int row = point.y() < kMargin ? -1 : (point.y() - kMargin) / lineHeight_;
    const int line = std::clamp(FirstVisibleLine() + row, 0, lines_ - 1);
    const int x = point.x() + horizontalScrollBar()->value() - kMargin;
    const auto column = static_cast<std::size_t>(std::max(0, (x + charWidth_ / 2) / charWidth_));
    return LineStart(line) + std::min(column, Line(line).size());
}

void DataCenterView::SetCaret(std::size_t caret, bool extend) {
    const bool hadSelection = HasSelection();
    caret_ = caret;
    if (!extend)
        anchor_ = caret;
    EnsureCaretVisible();
    viewport()->update();
    if (QAccessible::isActive()) {
        if (hadSelection || HasSelection()) {
            const auto [from, to] = Selection();
            QAccessibleTextSelectionEvent selection(this, ToInt(from), ToInt(to));
            QAccessible::updateAccessibility(&selection);
        }
        NotifyCaret();
    }
}

void DataCenterView::MoveCaret(int line, std::size_t column, bool extend) {
    line = std::clamp(line, 0, lines_ - 1);
    SetCaret(LineStart(line) + std::min(column, Line(line).size()), extend);
}

void DataCenterView::NotifyCaret() const {
    QAccessibleTextCursorEvent moved(const_cast<DataCenterView*>(this), ToInt(caret_));
    QAccessible::updateAccessibility(&moved);
}

void DataCenterView::EnsureCaretVisible() {
    const int line = LineOf(caret_);
    QScrollBar* vertical = verticalScrollBar();
    if (line < vertical->value())
        vertical->setValue(line);
    else if (line >= vertical->value() + VisibleLines())
        vertical->setValue(line - VisibleLines() + 1);
    const int x = kMargin + ToInt(std::min(caret_ - LineStart(line), kMaxColumns)) * charWidth_;
    QScrollBar* horizontal = horizontalScrollBar();
    if (x - kMargin < horizontal->value())
        horizontal->setValue(x - kMargin);
    else if (x + 1 + kMargin > horizontal->value() + viewport()->width())
        horizontal->setValue(x + 1 + kMargin - viewport()->width());
}

void DataCenterView::paintEvent(QPaintEvent* event) {
    const QRect dirty = event->rect();
    QPainter painter(viewport());
    painter.setFont(font());
    const std::string_view text = Text();
    const QPalette& colours = palette();
    const int scrolledX = horizontalScrollBar()->value();
    const int width = viewport()->width();
    // Only the columns in sight are laid out.
    const auto firstColumn =
        static_cast<std::size_t>(std::max(0, scrolledX - kMargin) / charWidth_);
    const auto columnsInSight = static_cast<std::size_t>(width / charWidth_ + 2);
    const auto [selectionFrom, selectionTo] = Selection();
    const bool caretShown = hasFocus();

    std::size_t start = LineStart(FirstVisibleLine());
    for (int line = FirstVisibleLine(), y = kMargin;
         line < lines_ && y <= dirty.bottom() && start <= text.size(); ++line, y += lineHeight_) {
        const std::size_t lineFeed = LineFeedFrom(text, start);
        if (y + lineHeight_ <= dirty.top()) {  // above what needs painting
            start = lineFeed + 1;
            continue;
        }
        const std::size_t end = ContentEnd(text, start, lineFeed);
        const auto columnX = [&](std::size_t offset) {
            return kMargin + ToInt(std::min(offset - start, kMaxColumns)) * charWidth_ - scrolledX;
        };
        const std::size_t drawFrom = std::min(start + firstColumn, end);
        const std::size_t drawTo = std::min(drawFrom + columnsInSight, end);
        const QStaticText& shown =
            laidOut_.Get(Latin1(text.substr(drawFrom, drawTo - drawFrom)), font());
        const QPoint at(columnX(drawFrom), y);  // the text's top left
        painter.setPen(colours.color(QPalette::Text));
        painter.drawStaticText(at, shown);

        if (selectionFrom < selectionTo && selectionFrom <= end && selectionTo > start) {
            // A selection running on past the line end shows one more cell for the line end.
            const std::size_t from = std::max(selectionFrom, start);
            const int right = columnX(std::min(selectionTo, end)) +
                              (selectionTo > end && lineFeed < text.size() ? charWidth_ : 0);
            const QRect band(QPoint(columnX(from), y), QPoint(right - 1, y + lineHeight_ - 1));
            painter.fillRect(band, colours.color(QPalette::Highlight));
            painter.save();
            painter.setClipRect(band);
            painter.setPen(colours.color(QPalette::HighlightedText));
            painter.drawStaticText(at, shown);
            painter.restore();
        }
        if (caretShown && caret_ >= start && caret_ <= end)
            painter.fillRect(QRect(columnX(caret_), y, 1, lineHeight_),
                             colours.color(QPalette::Text));
        start = lineFeed + 1;
    }
}

void DataCenterView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void DataCenterView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        UpdateScrollBars();
        viewport()->update();
    }
}

bool DataCenterView::event(QEvent* event) {
    // Copy and Select All belong to the box while it has the focus; every other shortcut
    // (undo, export, save) goes on to the program.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void DataCenterView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool whole = (event->modifiers() & Qt::ControlModifier) != 0;
    const int line = LineOf(caret_);
    const std::size_t column = caret_ - LineStart(line);
    const int page = VisibleLines();
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (HasSelection() && !extend) {
                // The selection ends where the arrow points.
                const auto [from, to] = Selection();
                SetCaret(event->key() == Qt::Key_Left ? from : to, false);
            } else if (event->key() == Qt::Key_Right) {
                if (column < Line(line).size())
                    MoveCaret(line, column + 1, extend);
                else if (line + 1 < lines_)
                    MoveCaret(line + 1, 0, extend);
            } else if (column > 0) {
                MoveCaret(line, column - 1, extend);
            } else if (line > 0) {
                MoveCaret(line - 1, kMaxColumns, extend);
            }
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            const int step = event->key() == Qt::Key_Up       ? -1
                             : event->key() == Qt::Key_Down   ? 1
                             : event->key() == Qt::Key_PageUp ? -page
                                                              : page;
            const std::size_t goal = goalColumn_;
            MoveCaret(line + step, goal, extend);
            goalColumn_ = goal;  // over short lines and back, the column comes back
            return;
        }
        case Qt::Key_Home:
            if (whole)
                MoveCaret(0, 0, extend);
            else
                MoveCaret(line, 0, extend);
            break;
        case Qt::Key_End:
            if (whole)
                MoveCaret(lines_ - 1, kMaxColumns, extend);
            else
                MoveCaret(line, kMaxColumns, extend);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter stays in the box, as in any multi-line text; there is nothing to type.
            return;
        default:
            event->ignore();
            return;
    }
    goalColumn_ = caret_ - LineStart(LineOf(caret_));
}

void DataCenterView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    selecting_ = true;
    SetCaret(OffsetAt(event->position().toPoint()), (event->modifiers() & Qt::ShiftModifier) != 0);
    goalColumn_ = caret_ - LineStart(LineOf(caret_));
}

void DataCenterView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || (event->buttons() & Qt::LeftButton) == 0)
        return;
    // Dragging past an edge scrolls a line or a column towards it.
    const QPoint point = event->position().toPoint();
    QScrollBar* vertical = verticalScrollBar();
    if (point.y() < 0)
        vertical->setValue(vertical->value() - 1);
    else if (point.y() > viewport()->height())
        vertical->setValue(vertical->value() + 1);
    SetCaret(OffsetAt(point), true);
}

void DataCenterView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    selecting_ = false;
    // As in any text on X11, what the mouse selected can be pasted with the middle button.
    QClipboard* clipboard = QApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection())
        clipboard->setText(Latin1(SelectedText()), QClipboard::Selection);
}

void DataCenterView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The word under the pointer: a run of letters, digits and underscores ("0x0F0").
    const std::string_view text = Text();
    const std::size_t at = OffsetAt(event->position().toPoint());
    const int line = LineOf(at);
    const std::size_t lineStart = LineStart(line);
    const std::size_t lineEnd = lineStart + Line(line).size();
    std::size_t from = at;
    while (from > lineStart && IsWordByte(text[from - 1]))
        --from;
    std::size_t to = at;
    while (to < lineEnd && IsWordByte(text[to]))
        ++to;
    Select(from, to);
}

void DataCenterView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, [this] { Copy(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(HasSelection());
    menu.addSeparator();
    QAction* all = menu.addAction(tr("Select All"), this, [this] { SelectAll(); });
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!Text().empty());
    menu.exec(event->globalPos());
}

void DataCenterView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();  // the caret
}

void DataCenterView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void DataCenterView::scrollContentsBy(int dx, int dy) {
    // Move what is on screen and paint only what comes into sight: the vertical bar counts
    // lines, the horizontal one pixels. The top margin stays where it is, so it and the line
    // that slides out from under it are painted again.
    viewport()->scroll(dx, dy * lineHeight_);
    if (dy != 0)
        viewport()->update(
            QRect(0, 0, viewport()->width(), kMargin + std::max(0, dy * lineHeight_)));
}

}  // namespace velta
