#include "ui/data_center_view.h"

#include <QMimeData>
#include <QScrollBar>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <memory>

namespace velta {

namespace {

// The log's line ends are CR LF; the box breaks lines on LF alone. A lone CR also ends a line,
// as it does in a plain edit box.
QString ToBoxText(std::string_view text, bool& endsWithCr) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && i == 0 && endsWithCr)
            continue;  // the LF of a CR LF split between two refreshes
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            // A line break inside a paragraph costs no text block of its own; a block per line
            // would cost about half a kilobyte per line of the log. Blank lines (between the
            // log's blocks) start a new paragraph so no paragraph grows past one block's lines.
            const bool blankFollows = i + 1 < text.size() && text[i + 1] == '\r';
            out.append(blankFollows ? QChar(QLatin1Char('\n')) : QChar(QChar::LineSeparator));
            continue;
        }
        // The log is 8-bit text; each byte is one character.
        out.append(QChar(static_cast<unsigned char>(c)));
    }
    endsWithCr = !text.empty() && text.back() == '\r';
    return out;
}

}  // namespace

DataCenterView::DataCenterView(QWidget* parent) : QPlainTextEdit(parent) {
    // Undo would keep a second copy of the whole log.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the next control, as in every other box of the window.
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (!refreshing_ && (removed != 0 || added != 0))
            edited_ = true;
    });
}

void DataCenterView::Refresh(std::string_view log, std::size_t shownBefore) {
    refreshing_ = true;
    if (edited_ || shownBefore != shown_ || shownBefore > log.size()) {
        // The box no longer holds a prefix of the log: show all of it again.
        document()->clear();
        endsWithCr_ = false;
        Append(log);
    } else {
        Append(log.substr(shownBefore));
    }
    shown_ = log.size();
    edited_ = false;
    refreshing_ = false;

    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    ensureCursorVisible();
}

void DataCenterView::Append(std::string_view text) {
    if (text.empty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToBoxText(text, endsWithCr_));
}

QMimeData* DataCenterView::createMimeDataFromSelection() const {
    // The box breaks lines with LF; the clipboard gets the log's own CR LF.
    QString text = textCursor().selection().toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data.release();  // the caller (the clipboard) takes ownership
}

}  // namespace velta
