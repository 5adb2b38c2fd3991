#include "ui/picture_import_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <utility>

#include "ui/window_fit.h"

namespace velta {

namespace {

constexpr int kCellPixels = 12;
constexpr int kCellGap = 2;
// Enough for the largest picture we take, decoded as 32-bit pixels, plus headroom for decoders
// that need a second buffer.
constexpr int kDecodeLimitMiB = 512;

const QColor kLitColor(0, 0, 255);  // the LEDs' own "on" colour
const QColor kUnlitColor(40, 40, 48);

}  // namespace

GridPreview::GridPreview(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
}

void GridPreview::SetCells(const GridCells& cells) {
    if (cells == cells_)
        return;
    cells_ = cells;
    update();
}

QSize GridPreview::sizeHint() const {
    return {kColumns * (kCellPixels + kCellGap) + kCellGap,
            kRows * (kCellPixels + kCellGap) + kCellGap};
}

void GridPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const bool on = cells_[static_cast<std::size_t>(PanelState::CellIndex(row, column))];
            painter.fillRect(kCellGap + column * (kCellPixels + kCellGap),
                             kCellGap + row * (kCellPixels + kCellGap), kCellPixels, kCellPixels,
                             on ? kLitColor : kUnlitColor);
        }
    }
}

PictureImportDialog::PictureImportDialog(QImage picture, const QString& name, QWidget* parent)
    : QDialog(parent), picture_(std::move(picture)) {
    if (picture_.format() != QImage::Format_RGBA8888)
        picture_.convertTo(QImage::Format_RGBA8888);
    setWindowTitle(tr("Import Picture - %1").arg(name));

    preview_ = new GridPreview(this);

    threshold_ = new QSlider(Qt::Horizontal, this);
    threshold_->setRange(0, 255);
    threshold_->setValue(PictureOptions{}.threshold);
    threshold_->setPageStep(16);
    thresholdValue_ = new QLabel(this);
    thresholdValue_->setMinimumWidth(thresholdValue_->fontMetrics().horizontalAdvance("000") + 4);
    auto* thresholdLabel = new QLabel(tr("&Threshold:"), this);
    thresholdLabel->setBuddy(threshold_);

    invert_ = new QCheckBox(tr("&Invert (light the light parts)"), this);
    fit_ = new QRadioButton(tr("&Fit: whole picture, unused cells off"), this);
    fill_ = new QRadioButton(tr("F&ill: cover the grid, crop the edges"), this);
    fit_->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(thresholdLabel);
    thresholdRow->addWidget(threshold_, 1);
    thresholdRow->addWidget(thresholdValue_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 0, Qt::AlignHCenter);
    layout->addLayout(thresholdRow);
    layout->addWidget(invert_);
    layout->addWidget(fit_);
    layout->addWidget(fill_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(threshold_, &QSlider::valueChanged, this, &PictureImportDialog::Refresh);
    connect(invert_, &QCheckBox::toggled, this, &PictureImportDialog::Refresh);
    connect(fit_, &QRadioButton::toggled, this, &PictureImportDialog::Refresh);
    Refresh();
}

void PictureImportDialog::Refresh() {
    const PictureFit fit = fit_->isChecked() ? PictureFit::Fit : PictureFit::Fill;
    std::optional<CellLevels>& levels = levels_[fit == PictureFit::Fit ? 0 : 1];
    if (!levels) {
        const PictureView view{picture_.constBits(), picture_.width(), picture_.height(),
                               static_cast<std::ptrdiff_t>(picture_.bytesPerLine()),
                               PixelFormat::Rgba8};
        levels = PictureLevels(view, fit);
        if (!levels) {
            // Only a picture LoadPicture would have refused gets here; show nothing lit.
            levels.emplace();
            levels->fill(-1);
        }
    }
    thresholdValue_->setText(QString::number(threshold_->value()));
    cells_ = ThresholdLevels(*levels, threshold_->value(), invert_->isChecked());
    preview_->SetCells(cells_);
}

std::optional<QImage> PictureImportDialog::LoadPicture(const QString& path, QString* error) {
    const QString name = QFileInfo(path).fileName();
    const auto fail = [&](const QString& why) -> std::optional<QImage> {
        if (error != nullptr)
            *error = name + QStringLiteral(": ") + why;
        return std::nullopt;
    };
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        if (!QFileInfo::exists(path))
            return fail(tr("the file does not exist"));
        return fail(tr("not a picture this program can read (PNG, JPEG, BMP or GIF)"));
    }
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "jpg" && format != "bmp" &&
        format != "gif") {
        return fail(tr("not a PNG, JPEG, BMP or GIF picture"));
    }
    // The header tells the size; a picture too large is refused before it is decoded.
    const QSize size = reader.size();
    if (size.isValid() &&
        std::int64_t{size.width()} * std::int64_t{size.height()} > kMaxPicturePixels) {
        return fail(tr("the picture is %1 x %2 pixels; pictures of up to 64 megapixels can be "
                       "imported")
                        .arg(size.width())
                        .arg(size.height()));
    }
    // Decoders allocate from the header's numbers; the limit stops a lying header.
    if (QImageReader::allocationLimit() < kDecodeLimitMiB)
        QImageReader::setAllocationLimit(kDecodeLimitMiB);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return fail(tr("the picture could not be read (%1)").arg(reader.errorString()));
    if (std::int64_t{image.width()} * std::int64_t{image.height()} > kMaxPicturePixels) {
        return fail(tr("the picture is %1 x %2 pixels; pictures of up to 64 megapixels can be "
                       "imported")
                        .arg(image.width())
                        .arg(image.height()));
    }
    return image;
}

std::optional<GridCells> PictureImportDialog::Run(QWidget* parent, const QString& path,
                                                  QString* error) {
    if (error != nullptr)
        error->clear();
    std::optional<QImage> picture = LoadPicture(path, error);
    if (!picture)
        return std::nullopt;
    PictureImportDialog dialog(std::move(*picture), QFileInfo(path).fileName(), parent);
    if (parent != nullptr)
        ui::FitBeside(dialog, *parent->window());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Result();
}

}  // namespace velta
