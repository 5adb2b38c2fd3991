#include "ui/display_preview_window.h"
#include "ui/display_look.h"

#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "display/report_decoder.h"
#include "ui/color_table.h"
#include "ui/frame_pacer.h"
#include "ui/led_placement.h"

namespace velta {

namespace {

constexpr QColor kBackground = ui::kDisplayBackground;
constexpr QColor kGridLit = ui::kDisplayLit;
constexpr QColor kRingLit(140, 200, 255);
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

QColor Blend(QColor from, QColor to, double amount) {
    const auto mix = [amount](int a, int b) { return static_cast<int>(a + (b - a) * amount); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

QPointF LedCentre(ui::LedPoint topLeft) {
    return QPointF(topLeft.x + ui::kLedWidth / 2.0, topLeft.y + ui::kLedHeight / 2.0);
}

// The strip's font: 5 x 7 dots for printable ASCII (0x20..0x7E), one byte per dot row from the
// top, bit 4 the leftmost dot. Characters are drawn from these fixed dots rather than sampled
// from a screen font, which at this size blurs "V" into "U" and leaves strokes uneven.
constexpr int kFontRows = 7;
// clang-format off
constexpr std::uint8_t kDotFont[95][kFontRows] = {
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000},  // 0x20 space
    {0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00000, 0b00100},  // 0x21 !
    {0b01010, 0b01010, 0b01010, 0b00000, 0b00000, 0b00000, 0b00000},  // 0x22 "
    {0b01010, 0b01010, 0b11111, 0b01010, 0b11111, 0b01010, 0b01010},  // 0x23 #
    {0b00100, 0b01111, 0b10100, 0b01110, 0b00101, 0b11110, 0b00100},  // 0x24 $
    {0b11000, 0b11001, 0b00010, 0b00100, 0b01000, 0b10011, 0b00011},  // 0x25 %
    {0b01100, 0b10010, 0b10100, 0b01000, 0b10101, 0b10010, 0b01101},  // 0x26 &
    {0b01100, 0b00100, 0b01000, 0b00000, 0b00000, 0b00000, 0b00000},  // 0x27 '
    {0b00010, 0b00100, 0b01000, 0b01000, 0b01000, 0b00100, 0b00010},  // 0x28 (
    {0b01000, 0b00100, 0b00010, 0b00010, 0b00010, 0b00100, 0b01000},  // 0x29 )
    {0b00000, 0b00100, 0b10101, 0b01110, 0b10101, 0b00100, 0b00000},  // 0x2A *
    {0b00000, 0b00100, 0b00100, 0b11111, 0b00100, 0b00100, 0b00000},  // 0x2B +
    {0b00000, 0b00000, 0b00000, 0b00000, 0b01100, 0b00100, 0b01000},  // 0x2C ,
    {0b00000, 0b00000, 0b00000, 0b11111, 0b00000, 0b00000, 0b00000},  // 0x2D -
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b01100, 0b01100},  // 0x2E .
    {0b00000, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b00000},  // 0x2F /
    {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110},  // 0x30 0
    {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},  // 0x31 1
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111},  // 0x32 2
    {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110},  // 0x33 3
    {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010},  // 0x34 4
    {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110},  // 0x35 5
    {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110},  // 0x36 6
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000},  // 0x37 7
    {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110},  // 0x38 8
    {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100},  // 0x39 9
    {0b00000, 0b01100, 0b01100, 0b00000, 0b01100, 0b01100, 0b00000},  // 0x3A :
    {0b00000, 0b01100, 0b01100, 0b00000, 0b01100, 0b00100, 0b01000},  // 0x3B ;
    {0b00010, 0b00100, 0b01000, 0b10000, 0b01000, 0b00100, 0b00010},  // 0x3C <
    {0b00000, 0b00000, 0b11111, 0b00000, 0b11111, 0b00000, 0b00000},  // 0x3D =
    {0b01000, 0b00100, 0b00010, 0b00001, 0b00010, 0b00100, 0b01000},  // 0x3E >
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b00000, 0b00100},  // 0x3F ?
    {0b01110, 0b10001, 0b00001, 0b01101, 0b10101, 0b10101, 0b01110},  // 0x40 @
    {0b01110, 0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001},  // 0x41 A
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10001, 0b10001, 0b11110},  // 0x42 B
    {0b01110, 0b10001, 0b10000, 0b10000, 0b10000, 0b10001, 0b01110},  // 0x43 C
    {0b11100, 0b10010, 0b10001, 0b10001, 0b10001, 0b10010, 0b11100},  // 0x44 D
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b11111},  // 0x45 E
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000},  // 0x46 F
    {0b01110, 0b10001, 0b10000, 0b10111, 0b10001, 0b10001, 0b01111},  // 0x47 G
    {0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001},  // 0x48 H
    {0b01110, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},  // 0x49 I
    {0b00111, 0b00010, 0b00010, 0b00010, 0b00010, 0b10010, 0b01100},  // 0x4A J
    {0b10001, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010, 0b10001},  // 0x4B K
    {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111},  // 0x4C L
    {0b10001, 0b11011, 0b10101, 0b10101, 0b10001, 0b10001, 0b10001},  // 0x4D M
    {0b10001, 0b10001, 0b11001, 0b10101, 0b10011, 0b10001, 0b10001},  // 0x4E N
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110},  // 0x4F O
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000},  // 0x50 P
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10101, 0b10010, 0b01101},  // 0x51 Q
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10100, 0b10010, 0b10001},  // 0x52 R
    {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110},  // 0x53 S
    {0b11111, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100},  // 0x54 T
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110},  // 0x55 U
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100},  // 0x56 V
    {0b10001, 0b10001, 0b10001, 0b10101, 0b10101, 0b10101, 0b01010},  // 0x57 W
    {0b10001, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001, 0b10001},  // 0x58 X
    {0b10001, 0b10001, 0b10001, 0b01010, 0b00100, 0b00100, 0b00100},  // 0x59 Y
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b11111},  // 0x5A Z
    {0b01110, 0b01000, 0b01000, 0b01000, 0b01000, 0b01000, 0b01110},  // 0x5B [
    {0b00000, 0b10000, 0b01000, 0b00100, 0b00010, 0b00001, 0b00000},  // 0x5C backslash
    {0b01110, 0b00010, 0b00010, 0b00010, 0b00010, 0b00010, 0b01110},  // 0x5D ]
    {0b00100, 0b01010, 0b10001, 0b00000, 0b00000, 0b00000, 0b00000},  // 0x5E ^
    {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b11111},  // 0x5F _
    {0b01000, 0b00100, 0b00010, 0b00000, 0b00000, 0b00000, 0b00000},  // 0x60 `
    {0b00000, 0b00000, 0b01110, 0b00001, 0b01111, 0b10001, 0b01111},  // 0x61 a
    {0b10000, 0b10000, 0b10110, 0b11001, 0b10001, 0b10001, 0b11110},  // 0x62 b
    {0b00000, 0b00000, 0b01110, 0b10000, 0b10000, 0b10001, 0b01110},  // 0x63 c
    {0b00001, 0b00001, 0b01101, 0b10011, 0b10001, 0b10001, 0b01111},  // 0x64 d
    {0b00000, 0b00000, 0b01110, 0b10001, 0b11111, 0b10000, 0b01110},  // 0x65 e
    {0b00110, 0b01001, 0b01000, 0b11100, 0b01000, 0b01000, 0b01000},  // 0x66 f
    {0b00000, 0b01111, 0b10001, 0b10001, 0b01111, 0b00001, 0b01110},  // 0x67 g
    {0b10000, 0b10000, 0b10110, 0b11001, 0b10001, 0b10001, 0b10001},  // 0x68 h
    {0b00100, 0b00000, 0b01100, 0b00100, 0b00100, 0b00100, 0b01110},  // 0x69 i
    {0b00010, 0b00000, 0b00110, 0b00010, 0b00010, 0b10010, 0b01100},  // 0x6A j
    {0b10000, 0b10000, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010},  // 0x6B k
    {0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},  // 0x6C l
    {0b00000, 0b00000, 0b11010, 0b10101, 0b10101, 0b10001, 0b10001},  // 0x6D m
    {0b00000, 0b00000, 0b10110, 0b11001, 0b10001, 0b10001, 0b10001},  // 0x6E n
    {0b00000, 0b00000, 0b01110, 0b10001, 0b10001, 0b10001, 0b01110},  // 0x6F o
    {0b00000, 0b00000, 0b11110, 0b10001, 0b11110, 0b10000, 0b10000},  // 0x70 p
    {0b00000, 0b00000, 0b01101, 0b10011, 0b01111, 0b00001, 0b00001},  // 0x71 q
    {0b00000, 0b00000, 0b10110, 0b11001, 0b10000, 0b10000, 0b10000},  // 0x72 r
    {0b00000, 0b00000, 0b01110, 0b10000, 0b01110, 0b00001, 0b11110},  // 0x73 s
    {0b01000, 0b01000, 0b11100, 0b01000, 0b01000, 0b01001, 0b00110},  // 0x74 t
    {0b00000, 0b00000, 0b10001, 0b10001, 0b10001, 0b10011, 0b01101},  // 0x75 u
    {0b00000, 0b00000, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100},  // 0x76 v
    {0b00000, 0b00000, 0b10001, 0b10001, 0b10101, 0b10101, 0b01010},  // 0x77 w
    {0b00000, 0b00000, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001},  // 0x78 x
    {0b00000, 0b00000, 0b10001, 0b10001, 0b01111, 0b00001, 0b01110},  // 0x79 y
    {0b00000, 0b00000, 0b11111, 0b00010, 0b00100, 0b01000, 0b11111},  // 0x7A z
    {0b00010, 0b00100, 0b00100, 0b01000, 0b00100, 0b00100, 0b00010},  // 0x7B {
    {0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100},  // 0x7C |
    {0b01000, 0b00100, 0b00100, 0b00010, 0b00100, 0b00100, 0b01000},  // 0x7D }
    {0b00000, 0b00000, 0b01000, 0b10101, 0b00010, 0b00000, 0b00000},  // 0x7E ~
};
// clang-format on

// A box for a byte the display shows no character for.
constexpr std::uint8_t kBoxGlyph[kFontRows] = {0b11111, 0b10001, 0b10001, 0b10001,
                                               0b10001, 0b10001, 0b11111};

// The ASCII character that stands in for a byte above 0x7E: accented Latin letters lose their
// accent, typographic quotes and dashes become plain ones. Zero means none (a box is shown).
constexpr char StandIn(std::uint8_t b) {
    if (b >= 0xC0) {
        // The Latin-1 letters, 0xC0..0xFF; '\0' for the signs among them.
        constexpr char kLatin[] =
            "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYPsaaaaaaaceeeeiiiidnooooo\0ouuuuypy";
        static_assert(sizeof(kLatin) == 0x40 + 1);
        return kLatin[b - 0xC0];
    }
    switch (b) {
        case 0x82:
            return ',';
        case 0x84:
        case 0x93:
        case 0x94:
            return '"';
        case 0x85:
        case 0xB7:
            return '.';
        case 0x88:
            return '^';
        case 0x8A:
            return 'S';
        case 0x8B:
            return '<';
        case 0x8C:
            return 'O';
        case 0x8E:
            return 'Z';
        case 0x91:
        case 0x92:
        case 0xB4:
            return '\'';
        case 0x96:
        case 0x97:
        case 0xAD:
            return '-';
        case 0x98:
            return '~';
        case 0x9A:
            return 's';
        case 0x9B:
            return '>';
        case 0x9C:
            return 'o';
        case 0x9E:
            return 'z';
        case 0x9F:
            return 'Y';
        case 0xA0:
            return ' ';
        case 0xA6:
            return '|';
        case 0xAB:
            return '<';
        case 0xBB:
            return '>';
        default:
            return 0;
    }
}

}  // namespace

const QColor DisplayPreviewWindow::kOffColor = ui::kDisplayOff;

DisplayPreviewWindow::DisplayPreviewWindow(const DisplayState& state, QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(state),
      pacer_(new FramePacer(
          *this, [this] { RepaintChanges(); }, [this] { UpdateMarquee(); })),
      marquee_(new QTimer(this)) {
    setWindowTitle(tr("Display Preview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kCanvasWidth / 3, kCanvasHeight / 3);
    resize(sizeHint());
    connect(marquee_, &QTimer::timeout, this, &DisplayPreviewWindow::StepMarquee);
}

DisplayPreviewWindow::~DisplayPreviewWindow() {
    pacer_->Detach();
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
    UpdateMarquee();
    pacer_->Request();
}

void DisplayPreviewWindow::UpdateMarquee() {
    // A minimised or covered window counts as unseen though it is still "visible".
    if (!pacer_->Seen() || state_.textBytes.empty()) {
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
    const auto total = static_cast<int>(textColumns_.size());
    const int next = (marqueeOffset_ + 1) % total;
    // Only the columns whose dots differ after the step are drawn again.
    int first = -1;
    int last = -1;
    for (int v = 0; v < kStripColumns; ++v) {
        if (textColumns_[static_cast<std::size_t>((marqueeOffset_ + v) % total)] !=
            textColumns_[static_cast<std::size_t>((next + v) % total)]) {
            first = first < 0 ? v : first;
            last = v;
        }
    }
    marqueeOffset_ = next;
    if (first >= 0 && !cacheSize_.isEmpty())
        update(StripColumnRect(first).united(StripColumnRect(last)));
    else if (first >= 0)
        update();
}

DisplayPreviewWindow::DotColumns DisplayPreviewWindow::GlyphColumns(std::uint8_t byte) {
    static_assert(sizeof(kDotFont) / sizeof(kDotFont[0]) == 0x7F - 0x20);
    const char standIn = byte > 0x7E ? StandIn(byte) : static_cast<char>(byte);
    const auto code = static_cast<unsigned char>(standIn);
    const std::uint8_t* rows = code >= 0x20 && code <= 0x7E ? kDotFont[code - 0x20] : kBoxGlyph;
    DotColumns columns{};
    for (int row = 0; row < kFontRows; ++row) {
        for (int column = 0; column < kGlyphWidth; ++column) {
            if ((rows[row] >> (kGlyphWidth - 1 - column)) & 1u)
                columns[static_cast<std::size_t>(column)] |= static_cast<std::uint8_t>(1u << row);
        }
    }
    return columns;
}

std::vector<std::uint8_t> DisplayPreviewWindow::TextColumns(std::string_view text) {
    std::vector<std::uint8_t> columns;
    if (text.empty())
        return columns;
    columns.reserve(text.size() * (kGlyphWidth + 1) + kMarqueeGap);
    for (const char c : text) {
        const DotColumns glyph = GlyphColumns(static_cast<std::uint8_t>(c));
        columns.insert(columns.end(), glyph.begin(), glyph.end());
        columns.push_back(0);  // the space between two characters
    }
    columns.insert(columns.end(), kMarqueeGap, 0);
    return columns;
}

void DisplayPreviewWindow::RebuildTextColumns() {
    columnsText_ = state_.textBytes;
    textColumns_ = TextColumns(columnsText_);
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
        litDot_ = MakeDot(kGridLit, kDotDiameter * scale, ratio);
        litLed_ = QPixmap();
        // Each dot lands where DrawDot would put it: columns and rows rounded on their own, so
        // a column's image serves every column.
        const auto dotTopLeft = [&](int column, int row) {
            const QPointF half(litDot_.width() / ratio / 2, litDot_.height() / ratio / 2);
            return (canvas.map(StripDotCentre(column, row)) - half).toPoint();
        };
        stripOrigin_ = dotTopLeft(0, 0);
        for (int v = 0; v < kStripColumns; ++v)
            columnLeft_[static_cast<std::size_t>(v)] = dotTopLeft(v, 0).x();
        for (int row = 0; row < kGlyphRows; ++row)
            rowTop_[static_cast<std::size_t>(row)] = dotTopLeft(0, row).y() - stripOrigin_.y();
        const QSize dot(static_cast<int>(std::ceil(litDot_.width() / ratio)),
                        static_cast<int>(std::ceil(litDot_.height() / ratio)));
        columnSize_ = QSize(dot.width(), rowTop_.back() + dot.height());
        columnSprites_.fill(QPixmap());
    }
    if (litLed_.isNull() || litLedColor_ != lit) {
        litLedColor_ = lit;
        litLed_ = MakeDot(lit, 2 * kLedRadius * scale, ratio);
    }
}

QRect DisplayPreviewWindow::StripColumnRect(int column) const {
    return QRect(QPoint(columnLeft_[static_cast<std::size_t>(column)], stripOrigin_.y()),
                 columnSize_);
}

const QPixmap& DisplayPreviewWindow::ColumnSprite(std::uint8_t bits) {
    QPixmap& sprite = columnSprites_[bits];
    if (sprite.isNull()) {
        const qreal ratio = cacheRatio_;
        sprite = QPixmap(columnSize_ * ratio);
        sprite.setDevicePixelRatio(ratio);
        sprite.fill(Qt::transparent);
        QPainter painter(&sprite);
        for (int row = 0; row < kGlyphRows; ++row) {
            if ((bits >> row) & 1u)
                painter.drawPixmap(QPoint(0, rowTop_[static_cast<std::size_t>(row)]), litDot_);
        }
    }
    return sprite;
}

void DisplayPreviewWindow::PaintStrip(QPainter& painter, const QRect& dirty) {
    const int total = static_cast<int>(textColumns_.size());
    if (state_.textBytes.empty() || total == 0)
        return;
    for (int v = 0; v < kStripColumns; ++v) {
        const QRect column = StripColumnRect(v);
        if (column.left() > dirty.right())
            break;
        const std::uint8_t bits =
            textColumns_[static_cast<std::size_t>((marqueeOffset_ + v) % total)];
        if (bits != 0 && column.intersects(dirty))
            painter.drawPixmap(column.topLeft(), ColumnSprite(bits));
    }
}

QRect DisplayPreviewWindow::LedRect(const QTransform& canvas, ui::LedPoint topLeft) {
    // The LED's box and a pixel round it for the antialiased edge.
    return canvas.mapRect(QRectF(topLeft.x, topLeft.y, ui::kLedWidth, ui::kLedHeight))
        .toAlignedRect()
        .adjusted(-1, -1, 1, 1);
}

QRect DisplayPreviewWindow::StatusRect(const QTransform& canvas) {
    return canvas.mapRect(QRectF(0, kStatusY - 14, kCanvasWidth, 40)).toAlignedRect();
}

void DisplayPreviewWindow::RepaintChanges() {
    const DisplayState& now = state_;
    if (!paintedKnown_ || now.gridBrightness != painted_.gridBrightness) {
        update();
    } else {
        // Only what differs from what the last repaint was asked to show.
        const QTransform canvas = CanvasTransform();
        QRegion changed;
        for (int column = 0; column < kColumns; ++column) {
            const auto c = static_cast<std::size_t>(column);
            const unsigned rows = now.columns[c] ^ painted_.columns[c];
            for (int row = 0; row < kRows; ++row) {
                if ((rows >> row) & 1u)
                    changed +=
                        LedRect(canvas, ui::GridLedPosition(PanelState::CellIndex(row, column)));
            }
        }
        for (int pod = 0; pod < kPodCount; ++pod) {
            if (now.pods[static_cast<std::size_t>(pod)] !=
                painted_.pods[static_cast<std::size_t>(pod)])
                changed += LedRect(canvas, ui::PodLedPosition(pod));
        }
        for (int ring = 0; ring < kRingCount; ++ring) {
            if (now.rings[static_cast<std::size_t>(ring)] !=
                painted_.rings[static_cast<std::size_t>(ring)])
                changed += LedRect(canvas, ui::RingLedPosition(ring));
        }
        if (now.textBytes != painted_.textBytes && !cacheSize_.isEmpty())
            changed += StripColumnRect(0).united(StripColumnRect(kStripColumns - 1));
        if (now.rfOn != painted_.rfOn || now.scrollSpeed != painted_.scrollSpeed ||
            now.reportCounts != painted_.reportCounts)
            changed += StatusRect(canvas);
        if (!changed.isEmpty())
            update(changed);
    }
    painted_ = now;
    paintedKnown_ = true;
}

void DisplayPreviewWindow::paintEvent(QPaintEvent* event) {
    UpdateCaches();
    QPainter painter(this);
    const QRegion& dirty = event->region();
    const QRect bounds = event->rect();
    const QRect strip = StripColumnRect(0).united(StripColumnRect(kStripColumns - 1));
    const qreal ratio = cacheRatio_;
    if (strip.contains(bounds)) {
        // A marquee step: the strip's background under the changed columns, then their dots.
        painter.drawPixmap(
            QRectF(bounds), background_,
            QRectF(QPointF(bounds.topLeft()) * ratio, QSizeF(bounds.size()) * ratio));
        PaintStrip(painter, bounds);
        return;
    }
    // Everything is drawn only where the repaint needs it.
    const QRegion* only = bounds.contains(rect()) ? nullptr : &dirty;  // null: everything
    for (const QRect& part : dirty) {
        painter.drawPixmap(QRectF(part), background_,
                           QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    }
    const QTransform canvas = CanvasTransform();
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const ui::LedPoint led = ui::GridLedPosition(PanelState::CellIndex(row, column));
            if (state_.Lit(row, column) && Needed(only, canvas, led))
                DrawDot(painter, canvas, LedCentre(led), litLed_);
        }
    }
    if (strip.intersects(bounds))
        PaintStrip(painter, bounds);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintPodsAndRings(painter, canvas, only);
    if (only == nullptr || only->intersects(StatusRect(canvas))) {
        painter.setTransform(canvas);
        PaintStatus(painter);
    }
}

bool DisplayPreviewWindow::Needed(const QRegion* only, const QTransform& canvas, ui::LedPoint led) {
    return only == nullptr || only->intersects(LedRect(canvas, led));
}

void DisplayPreviewWindow::PaintPodsAndRings(QPainter& painter, const QTransform& canvas,
                                             const QRegion* only) const {
    painter.setTransform(canvas);
    painter.setPen(QPen(kOffColor, 1));
    for (int pod = 0; pod < kPodCount; ++pod) {
        if (!Needed(only, canvas, ui::PodLedPosition(pod)))
            continue;
        painter.setBrush(ToQColor(state_.pods[static_cast<std::size_t>(pod)]));
        painter.drawEllipse(LedCentre(ui::PodLedPosition(pod)), kLedRadius, kLedRadius);
    }
    // Rings: a circle outline, lit in proportion to its level when switched on.
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < kRingCount; ++ring) {
        if (!Needed(only, canvas, ui::RingLedPosition(ring)))
            continue;
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
