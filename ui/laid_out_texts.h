// Texts laid out once and drawn many times. Views that repaint the same short texts many times a
// second (the Report Monitor's cells, the Data Center's lines) draw them from here instead of
// shaping each one afresh on every paint. Bounded: emptied when it holds too many or the font
// changes. Owned by the view that uses it, on the UI thread.
#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>

namespace velta {

class LaidOutTexts {
  public:
    const QStaticText& Get(const QString& text, const QFont& font) {
        if (font != font_ || texts_.size() > kMostTexts) {
            texts_.clear();
            font_ = font;
        }
        auto it = texts_.find(text);
        if (it == texts_.end()) {
            QStaticText laid(text);
            laid.setTextFormat(Qt::PlainText);
            laid.setPerformanceHint(QStaticText::AggressiveCaching);
            laid.prepare(QTransform(), font);
            it = texts_.insert(text, laid);
        }
        return *it;
    }

  private:
    // Far more distinct texts than a screenful.
    static constexpr qsizetype kMostTexts = 4096;
    QHash<QString, QStaticText> texts_;
    QFont font_;
};

}  // namespace velta
