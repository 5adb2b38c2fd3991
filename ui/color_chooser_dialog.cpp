#include "ui/color_chooser_dialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/color_table.h"
#include "ui/window_fit.h"

namespace velta {

namespace {

// Basic colours offered for one click, written as #RRGGBB; four rows of eight.
constexpr std::array<std::uint32_t, 32> kBasicColors{
    0xFF8080, 0xFFFF80, 0x80FF80, 0x00FF80, 0x80FFFF, 0x0080FF, 0xFF80C0, 0xFF80FF,
    0xFF0000, 0xFFFF00, 0x80FF00, 0x00FF40, 0x00FFFF, 0x0080C0, 0x8080C0, 0xFF00FF,
    0x800000, 0xFF8000, 0x008000, 0x008080, 0x0000FF, 0x0000A0, 0x800080, 0x8000FF,
    0x000000, 0x808000, 0x808040, 0x808080, 0x408080, 0xC0C0C0, 0x400040, 0xFFFFFF,
};
constexpr int kBasicColumns = 8;
constexpr QSize kSwatchSize(22, 18);
constexpr QSize kPreviewSize(64, 48);

constexpr Color FromWebRgb(std::uint32_t rgb) {
    return MakeColor(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb));
}

// A flat clickable colour cell.
class SwatchButton : public QAbstractButton {
  public:
    SwatchButton(Color color, QWidget* parent) : QAbstractButton(parent), color_(color) {
        setFixedSize(kSwatchSize);
        setToolTip(ColorChooserDialog::FormatHex(color));
    }
    Color SwatchColor() const { return color_; }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(color_));
        painter.setPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::black));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

  private:
    Color color_;
};

void SetPreviewColor(QLabel* preview, Color color) {
    QPalette pal = preview->palette();
    pal.setColor(QPalette::Window, ToQColor(color));
    preview->setPalette(pal);
}

}  // namespace

ColorChooserDialog::ColorChooserDialog(Color initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Colour"));

    QGridLayout* basic = BuildBasicColors();
    QGridLayout* channels = BuildChannels();
    BuildHexField(*channels);
    BuildPreview();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* lower = new QHBoxLayout;
    lower->addLayout(channels, 1);
    lower->addWidget(preview_, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(basic);
    layout->addLayout(lower);
    layout->addWidget(buttons);

    SetCurrentColor(initial);
}

QGridLayout* ColorChooserDialog::BuildBasicColors() {
    auto* basic = new QGridLayout;
    basic->setSpacing(3);
    for (std::size_t i = 0; i < kBasicColors.size(); ++i) {
        auto* swatch = new SwatchButton(FromWebRgb(kBasicColors[i]), this);
        swatch->setObjectName(QStringLiteral("basicColor%1").arg(i));
        const int index = static_cast<int>(i);
        basic->addWidget(swatch, index / kBasicColumns, index % kBasicColumns);
        connect(swatch, &QAbstractButton::clicked, this,
                [this, swatch] { SetCurrentColor(swatch->SwatchColor()); });
    }
    return basic;
}

// One row per channel: label, slider and spin box, the last two kept in step with the colour.
QGridLayout* ColorChooserDialog::BuildChannels() {
    auto* channels = new QGridLayout;
    static constexpr std::array<const char*, 3> kChannelNames{"&Red:", "&Green:", "&Blue:"};
    static constexpr std::array<const char*, 3> kChannelIds{"red", "green", "blue"};
    for (int c = kRed; c <= kBlue; ++c) {
        auto* label = new QLabel(tr(kChannelNames[c]), this);
        auto* spin = new QSpinBox(this);
        spin->setRange(0, 255);
        spin->setObjectName(QStringLiteral("%1Spin").arg(QLatin1String(kChannelIds[c])));
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(0, 255);
        slider->setObjectName(QStringLiteral("%1Slider").arg(QLatin1String(kChannelIds[c])));
        label->setBuddy(spin);
        channels->addWidget(label, c, 0);
        channels->addWidget(slider, c, 1);
        channels->addWidget(spin, c, 2);
        const auto channel = static_cast<Channel>(c);
        connect(spin, &QSpinBox::valueChanged, this,
                [this, channel](int v) { SetChannel(channel, v); });
        connect(slider, &QSlider::valueChanged, this,
                [this, channel](int v) { SetChannel(channel, v); });
        spins_[c] = spin;
        sliders_[c] = slider;
    }
    return channels;
}

// The hex field takes the row under the channels.
void ColorChooserDialog::BuildHexField(QGridLayout& channels) {
    hexEdit_ = new QLineEdit(this);
    hexEdit_->setObjectName(QStringLiteral("hexEdit"));
    hexEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("#?[0-9A-Fa-f]{0,6}")), hexEdit_));
    connect(hexEdit_, &QLineEdit::textEdited, this, &ColorChooserDialog::OnHexEdited);
    auto* hexLabel = new QLabel(tr("&HTML:"), this);
    hexLabel->setBuddy(hexEdit_);
    channels.addWidget(hexLabel, 3, 0);
    channels.addWidget(hexEdit_, 3, 1, 1, 2);
}

void ColorChooserDialog::BuildPreview() {
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(kPreviewSize);
    preview_->setAutoFillBackground(true);
    preview_->setFrameShape(QFrame::Box);
}

void ColorChooserDialog::SetCurrentColor(Color color) {
    color_ = color & 0xFFFFFFu;
    ShowColor(true);
}

std::optional<Color> ColorChooserDialog::Choose(QWidget* parent, Color initial) {
    // Heap-allocated and guarded: if the parent goes away during the nested loop it takes the
    // dialog with it, and a stack object would then be destroyed twice.
    QPointer<ColorChooserDialog> dialog = new ColorChooserDialog(initial, parent);
    if (parent != nullptr)
        ui::FitBeside(*dialog, *parent->window());
    const int result = dialog->exec();
    if (dialog.isNull())
        return std::nullopt;
    const Color chosen = dialog->CurrentColor();
    dialog->deleteLater();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return chosen;
}

std::optional<Color> ColorChooserDialog::ParseHex(const QString& text) {
    QStringView digits(text);
    if (digits.startsWith(u'#'))
        digits = digits.mid(1);
    if (digits.size() != 6)
        return std::nullopt;
    bool ok = false;
    const uint rgb = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return FromWebRgb(rgb);
}

QString ColorChooserDialog::FormatHex(Color color) {
    const uint rgb = (static_cast<uint>(RedOf(color)) << 16) |
                     (static_cast<uint>(GreenOf(color)) << 8) | BlueOf(color);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

void ColorChooserDialog::SetChannel(Channel channel, int value) {
    const auto v = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    std::uint8_t red = RedOf(color_);
    std::uint8_t green = GreenOf(color_);
    std::uint8_t blue = BlueOf(color_);
    switch (channel) {
        case kRed:
            red = v;
            break;
        case kGreen:
            green = v;
            break;
        case kBlue:
            blue = v;
            break;
    }
    color_ = MakeColor(red, green, blue);
    ShowColor(true);
}

void ColorChooserDialog::OnHexEdited(const QString& text) {
    // Half-typed values are left alone; the colour follows once six digits are there.
    if (const std::optional<Color> parsed = ParseHex(text)) {
        color_ = *parsed;
        ShowColor(false);
    }
}

void ColorChooserDialog::ShowColor(bool updateHex) {
    const std::array<int, 3> values{RedOf(color_), GreenOf(color_), BlueOf(color_)};
    for (int c = kRed; c <= kBlue; ++c) {
        const QSignalBlocker spinBlock(spins_[c]);
        const QSignalBlocker sliderBlock(sliders_[c]);
        spins_[c]->setValue(values[c]);
        sliders_[c]->setValue(values[c]);
    }
    if (updateHex) {
        const QSignalBlocker hexBlock(hexEdit_);
        hexEdit_->setText(FormatHex(color_));
    }
    SetPreviewColor(preview_, color_);
}

}  // namespace velta
