#include "ui/display_preview_window.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "display/report_decoder.h"
#include "ui/color_table.h"
#include "ui/led_placement.h"

namespace velta {

namespace {

constexpr QColor kBackground(18, 18, 22);
constexpr QColor kGridLit(255, 170, 0);  // the grid's amber LEDs at full brightness
constexpr QColor kRingLit(140, 200, 255);
constexpr QColor kStripLit(255, 170, 0);
constexpr QColor kStripOff(45, 40, 34);
constexpr QColor kCaption(200, 200, 200);
constexpr qreal kLedRadius = 7;
// The text strip: its caption line and the dot area below it.
constexpr qreal kStripCaptionY = 318;
constexpr qreal kStripLeft = 20;
constexpr qreal kStripTop = 326;
constexpr qreal kDotPitch = 5;
constexpr qreal kDotDiameter = 3.6;
constexpr qreal kStatusY = 392;
// Blank dot columns between the end of the text and its start coming round again.
constexpr int kMarqueeGap = DisplayPreviewWindow::kStripColumns / 3;
// Glyphs are drawn this many pixels per dot and sampled down.
constexpr int kGlyphScale = 6;

QColor Blend(QColor from, QColor to, double amount) {
    const auto mix = [amount](int a, int b) { return static_cast<int>(a + (b - a) * amount); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

QPointF LedCentre(ui::LedPoint topLeft) {
    return QPointF(topLeft.x + ui::kLedWidth / 2.0, topLeft.y + ui::kLedHeight / 2.0);
}

// Bytes the display has a character for: printable ASCII, the Windows-1252 characters at
// 0x80..0x9F and the Latin-1 upper half.
bool IsPrintable(std::uint8_t b) {
    if (b < 0x20 || b == 0x7F)
        return false;
    return !(b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D);
}

}  // namespace

const QColor DisplayPreviewWindow::kOffColor(48, 48, 52);

DisplayPreviewWindow::DisplayPreviewWindow(const DisplayState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), marquee_(new QTimer(this)) {
    setWindowTitle(tr("Display Preview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kCanvasWidth / 3, kCanvasHeight / 3);
    resize(sizeHint());
    connect(marquee_, &QTimer::timeout, this, &DisplayPreviewWindow::StepMarquee);
}

QColor DisplayPreviewWindow::GridLitColor(int brightness) {
    // Even brightness 0 leaves a lit LED visibly brighter than an off one.
    return Blend(kOffColor, kGridLit, (std::clamp(brightness, 0, 15) + 1) / 16.0);
}

int DisplayPreviewWindow::MarqueeInterval(int scrollSpeed) {
    return 200 - 12 * std::clamp(scrollSpeed, 0, 15);  // 200 ms a column at 0, 20 ms at 15
}

bool DisplayPreviewWindow::MarqueeRunning() const {
    return marquee_->isActive();
}

QTransform DisplayPreviewWindow::CanvasTransform() const {
    const qreal scale = std::min(width() / qreal(kCanvasWidth), height() / qreal(kCanvasHeight));
    QTransform transform;
    transform.translate((width() - kCanvasWidth * scale) / 2,
                        (height() - kCanvasHeight * scale) / 2);
    transform.scale(scale, scale);
    return transform;
}

QPointF DisplayPreviewWindow::GridLedCentre(int row, int column) const {
    return CanvasTransform().map(
        LedCentre(ui::GridLedPosition(PanelState::CellIndex(row, column))));
}

void DisplayPreviewWindow::StateChanged() {
    UpdateMarquee(isVisible());
    update();  // nothing happens for a hidden window
}

void DisplayPreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    UpdateMarquee(true);
}

void DisplayPreviewWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateMarquee(false);
}

void DisplayPreviewWindow::UpdateMarquee(bool visible) {
    if (!visible || state_.textBytes.empty()) {
        marquee_->stop();
        return;
    }
    if (columnsText_ != state_.textBytes) {
        RebuildTextColumns();
        marqueeOffset_ = 0;
    }
    const int interval = MarqueeInterval(state_.scrollSpeed);
    if (!marquee_->isActive() || marquee_->interval() != interval)
        marquee_->start(interval);
}

void DisplayPreviewWindow::StepMarquee() {
    if (textColumns_.empty())
        return;
    marqueeOffset_ = (marqueeOffset_ + 1) % static_cast<int>(textColumns_.size());
    update();
}

const DisplayPreviewWindow::Glyph& DisplayPreviewWindow::GlyphFor(std::uint8_t byte) {
    Glyph& glyph = glyphs_[byte];
    if (glyphReady_[byte])
        return glyph;
    glyphReady_[byte] = true;
    glyph = {};
    if (!IsPrintable(byte)) {
        // A box for a byte the display shows no character for.
        glyph = {0x7F, 0x41, 0x41, 0x41, 0x7F};
        return glyph;
    }
    const char c = static_cast<char>(byte);
    const QString text = QString::fromStdString(Windows1252ToUtf8(std::string_view(&c, 1)));
    // The character drawn large in a monospaced font, its ascent filling the seven upper dot
    // rows, then sampled down: a dot is lit when its square is covered to almost a third.
    QImage image(kGlyphWidth * kGlyphScale, kGlyphRows * kGlyphScale, QImage::Format_Grayscale8);
    image.fill(0);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);  // strokes thick enough to cover a dot
    font.setPixelSize(100);
    const qreal ascent = QFontMetricsF(font).ascent();
    font.setPixelSize(std::max(1, static_cast<int>(100 * 7 * kGlyphScale / ascent)));
    const QFontMetricsF metrics(font);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::white);
        const qreal x = (image.width() - metrics.horizontalAdvance(text)) / 2;
        painter.drawText(QPointF(x, 7 * kGlyphScale), text);
    }
    for (int column = 0; column < kGlyphWidth; ++column) {
        for (int row = 0; row < kGlyphRows; ++row) {
            int sum = 0;
            for (int y = 0; y < kGlyphScale; ++y) {
                const uchar* line = image.constScanLine(row * kGlyphScale + y);
                for (int x = 0; x < kGlyphScale; ++x)
                    sum += line[column * kGlyphScale + x];
            }
            if (sum > 255 * kGlyphScale * kGlyphScale * 3 / 10)
                glyph[column] |= static_cast<std::uint8_t>(1u << row);
        }
    }
    return glyph;
}

void DisplayPreviewWindow::RebuildTextColumns() {
    columnsText_ = state_.textBytes;
    textColumns_.clear();
    for (const char c : columnsText_) {
        const Glyph& glyph = GlyphFor(static_cast<std::uint8_t>(c));
        textColumns_.insert(textColumns_.end(), glyph.begin(), glyph.end());
        textColumns_.push_back(0);
    }
    if (!textColumns_.empty())
        textColumns_.insert(textColumns_.end(), kMarqueeGap, 0);
}

namespace {

// A round dot of the given colour and logical diameter, drawn at device resolution, to be blitted
// wherever that dot is lit: far cheaper than rasterising the same circle again each time.
QPixmap MakeDot(QColor color, qreal logicalDiameter, qreal devicePixelRatio) {
    const qreal deviceDiameter = logicalDiameter * devicePixelRatio;
    const int side = static_cast<int>(std::ceil(deviceDiameter)) + 2;
    QPixmap dot(side, side);
    dot.fill(Qt::transparent);
    {
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QPointF(side / 2.0, side / 2.0), deviceDiameter / 2,
                            deviceDiameter / 2);
    }
    dot.setDevicePixelRatio(devicePixelRatio);
    return dot;
}

// Blits `dot` centred on a canvas point.
void DrawDot(QPainter& painter, const QTransform& canvas, QPointF centre, const QPixmap& dot) {
    const QPointF half(dot.width() / dot.devicePixelRatio() / 2,
                       dot.height() / dot.devicePixelRatio() / 2);
    painter.drawPixmap((canvas.map(centre) - half).toPoint(), dot);
}

QPointF StripDotCentre(int column, int row) {
    return QPointF(kStripLeft + kDotPitch * (column + 0.5), kStripTop + kDotPitch * (row + 0.5));
}

}  // namespace

void DisplayPreviewWindow::UpdateCaches() {
    const qreal ratio = devicePixelRatioF();
    const QTransform canvas = CanvasTransform();
    const qreal scale = canvas.m11();
    const QColor lit = GridLitColor(state_.gridBrightness);
    if (cacheSize_ != size() || cacheRatio_ != ratio) {
        cacheSize_ = size();
        cacheRatio_ = ratio;
        // Everything that does not depend on the state: the dark LEDs and dots, the captions.
        background_ = QPixmap(size() * ratio);
        background_.setDevicePixelRatio(ratio);
        background_.fill(kBackground);
        QPainter painter(&background_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(canvas);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kOffColor);
        for (int cell = 0; cell < kCellCount; ++cell)
            painter.drawEllipse(LedCentre(ui::GridLedPosition(cell)), kLedRadius, kLedRadius);
        painter.setBrush(kStripOff);
        for (int column = 0; column < kStripColumns; ++column) {
            for (int row = 0; row < kGlyphRows; ++row)
                painter.drawEllipse(StripDotCentre(column, row), kDotDiameter / 2,
                                    kDotDiameter / 2);
        }
        painter.setPen(kCaption);
        QFont font = painter.font();
        font.setPixelSize(11);
        painter.setFont(font);
        painter.drawText(QRectF(0, 205, 102, 14), Qt::AlignCenter, tr("Master Side"));
        painter.drawText(QRectF(678, 205, 102, 14), Qt::AlignCenter, tr("Secondary Side"));
        painter.drawText(QPointF(kStripLeft, kStripCaptionY), tr("Text on the display"));
        litDot_ = MakeDot(kStripLit, kDotDiameter * scale, ratio);
        litLed_ = QPixmap();
    }
    if (litLed_.isNull() || litLedColor_ != lit) {
        litLedColor_ = lit;
        litLed_ = MakeDot(lit, 2 * kLedRadius * scale, ratio);
    }
}

void DisplayPreviewWindow::paintEvent(QPaintEvent* /*event*/) {
    UpdateCaches();
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    const QTransform canvas = CanvasTransform();
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            if (state_.Lit(row, column))
                DrawDot(painter, canvas,
                        LedCentre(ui::GridLedPosition(PanelState::CellIndex(row, column))),
                        litLed_);
        }
    }
    const int total = static_cast<int>(textColumns_.size());
    if (!state_.textBytes.empty() && total > 0) {
        for (int v = 0; v < kStripColumns; ++v) {
            const std::uint8_t bits =
                textColumns_[static_cast<std::size_t>((marqueeOffset_ + v) % total)];
            for (int row = 0; row < kGlyphRows; ++row) {
                if ((bits >> row) & 1u)
                    DrawDot(painter, canvas, StripDotCentre(v, row), litDot_);
            }
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(canvas);
    PaintPodsAndRings(painter);
    PaintStatus(painter);
}

void DisplayPreviewWindow::PaintPodsAndRings(QPainter& painter) const {
    painter.setPen(QPen(kOffColor, 1));
    for (int pod = 0; pod < kPodCount; ++pod) {
        painter.setBrush(ToQColor(state_.pods[static_cast<std::size_t>(pod)]));
        painter.drawEllipse(LedCentre(ui::PodLedPosition(pod)), kLedRadius, kLedRadius);
    }
    // Rings: a circle outline, lit in proportion to its level when switched on.
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < kRingCount; ++ring) {
        const int level =
            std::min<int>(state_.rings[static_cast<std::size_t>(ring)], kRingLevelMax);
        const bool on = level > 0;
        painter.setPen(
            QPen(on ? Blend(kOffColor, kRingLit, 0.2 + 0.8 * level / kRingLevelMax) : kOffColor,
                 on ? 3.0 : 1.0));
        painter.drawEllipse(LedCentre(ui::RingLedPosition(ring)), kLedRadius - 1, kLedRadius - 1);
    }
}

void DisplayPreviewWindow::PaintStatus(QPainter& painter) const {
    painter.setPen(kCaption);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QString rf = state_.rfOn ? tr("RF on") : tr("RF off");
    painter.drawText(QPointF(kStripLeft, kStatusY),
                     tr("%1    scroll speed %2    grid brightness %3")
                         .arg(rf)
                         .arg(state_.scrollSpeed)
                         .arg(state_.gridBrightness));
    QString counts = tr("Reports:");
    for (std::size_t kind = 0; kind < kReportKindCount; ++kind) {
        counts += QStringLiteral("  %1 %2")
                      .arg(QString::fromUtf8(ReportKindName(static_cast<ReportKind>(kind))))
                      .arg(state_.reportCounts[kind]);
    }
    painter.drawText(QPointF(kStripLeft, kStatusY + 20), counts);
}

}  // namespace velta
