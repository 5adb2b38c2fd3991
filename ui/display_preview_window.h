// Display Preview: a window that draws what the display holds, from the DisplayState the
// decoder keeps. Non-modal and resizable; everything is drawn in a fixed logical canvas (the
// panel's own LED positions, ui/led_placement.h, plus a text strip and a status line) scaled to
// the window, so it stays crisp at any size and device pixel ratio.
//
// It repaints only when told: whoever feeds the decoder calls StateChanged() afterwards, and a
// flood of reports costs one repaint a screen frame. The marquee timer runs only while someone
// can see the window (shown, not minimised, exposed) and the display holds text; each step
// repaints only the strip's columns whose dots changed, from cached column images. A preview
// nobody sees costs nothing.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/display_state.h"
#include "ui/led_placement.h"

class QTimer;

namespace velta {

class FramePacer;

class DisplayPreviewWindow : public QWidget {
    Q_OBJECT

  public:
    // The logical canvas everything is laid out in.
    static constexpr int kCanvasWidth = 780;
    static constexpr int kCanvasHeight = 440;
    // Dots of the text strip: 148 columns of 8 rows (7 above the baseline, 1 below).
    static constexpr int kStripColumns = 148;
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphRows = 8;
    // Blank dot columns between the end of the text and its start coming round again.
    static constexpr int kMarqueeGap = kStripColumns / 3;

    // `state` must outlive the window. With a parent the window is still a window of its own.
    explicit DisplayPreviewWindow(const DisplayState& state, QWidget* parent = nullptr);
    ~DisplayPreviewWindow() override;

    QSize sizeHint() const override { return {kCanvasWidth, kCanvasHeight}; }

    // Where a grid LED's centre lands in widget coordinates at the current size.
    QPointF GridLedCentre(int row, int column) const;
    // The lit colour of a grid LED at a brightness of 0..15 (an off LED is kOffColor).
    static QColor GridLitColor(int brightness);
    static const QColor kOffColor;

    bool MarqueeRunning() const;
    // Milliseconds between two marquee steps at a scroll speed of 0..15.
    static int MarqueeInterval(int scrollSpeed);
    int MarqueeOffset() const { return marqueeOffset_; }

    // One character of the strip's dot font, column by column from the left, bit r of a column
    // lit for dot row r from the top (rows 0..6; the row below the baseline stays dark). Bytes
    // are Windows-1252; a character outside the font shows its plain ASCII stand-in (an accented
    // letter its base letter), or a box when there is none.
    using DotColumns = std::array<std::uint8_t, kGlyphWidth>;
    static DotColumns GlyphColumns(std::uint8_t byte);
    // The dot columns the marquee scrolls through for a text: each character and a blank column
    // after it, then a blank gap before the text comes round again. Empty for an empty text.
    static std::vector<std::uint8_t> TextColumns(std::string_view text);

  public slots:
    // The decoder took a report: start or stop the marquee, and redraw at the next frame in
    // which the window is seen.
    void StateChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTransform CanvasTransform() const;
    void UpdateMarquee();
    void StepMarquee();
    void RebuildTextColumns();
    // Remakes the background and the dot sprites when the size, pixel ratio or brightness moved.
    void UpdateCaches();
    // Where strip column v (0 = leftmost) is drawn, in widget coordinates.
    QRect StripColumnRect(int column) const;
    // The lit dots of one dot column, made once per pattern and size.
    const QPixmap& ColumnSprite(std::uint8_t bits);
    void PaintStrip(QPainter& painter, const QRect& dirty);
    static QRect LedRect(const QTransform& canvas, ui::LedPoint topLeft);
    static QRect StatusRect(const QTransform& canvas);
    // Asks for a repaint of what differs from what the last one showed.
    void RepaintChanges();
    // Whether an LED lies in the part being repainted (`only`; null for the whole window).
    static bool Needed(const QRegion* only, const QTransform& canvas, ui::LedPoint led);
    void PaintPodsAndRings(QPainter& painter, const QTransform& canvas, const QRegion* only) const;
    void PaintStatus(QPainter& painter) const;

    const DisplayState& state_;
    // What the last repaint was asked to show.
    DisplayState painted_;
    bool paintedKnown_ = false;
    FramePacer* pacer_;
    QTimer* marquee_;
    int marqueeOffset_ = 0;
    // The text strip's dot columns for the text they were built from.
    std::string columnsText_;
    std::vector<std::uint8_t> textColumns_;
    // Made on the first paint at a size: the unlit picture, and the lit LED and text dot.
    QPixmap background_;
    QPixmap litLed_;
    QPixmap litDot_;
    std::array<QPixmap, 256> columnSprites_;  // by dot pattern, bit r for row r
    QPoint stripOrigin_;                      // top left of column 0's sprite
    std::array<int, kStripColumns> columnLeft_{};
    std::array<int, kGlyphRows> rowTop_{};  // below stripOrigin_
    QSize columnSize_;
    QSize cacheSize_;
    qreal cacheRatio_ = 0;
    QColor litLedColor_;
};

}  // namespace velta
