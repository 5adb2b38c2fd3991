// "Import Picture": turns a picture file into the grid's 384 cells. The user sees a live
// 32 x 12 preview while choosing the threshold, Invert and Fit or Fill; OK gives the cells.
// The dialog only reads the file it is given and writes nothing.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <array>
#include <optional>

#include "grid/picture_to_grid.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace velta {

// Paints 32 x 12 cells, lit ones in the LEDs' colour.
class GridPreview : public QWidget {
    Q_OBJECT

  public:
    explicit GridPreview(QWidget* parent = nullptr);
    void SetCells(const GridCells& cells);
    const GridCells& Cells() const { return cells_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    GridCells cells_{};
};

class PictureImportDialog : public QDialog {
    Q_OBJECT

  public:
    // `name` is what the title shows (the file's name).
    PictureImportDialog(QImage picture, const QString& name, QWidget* parent = nullptr);

    // The cells for the current choices; what OK takes.
    GridCells Result() const { return cells_; }

    // Decodes a PNG, JPEG, BMP or GIF (its first frame) for conversion. Empty on failure, with a
    // message naming the file in *error: unreadable, not a picture, or over 64 megapixels.
    static std::optional<QImage> LoadPicture(const QString& path, QString* error);

    // Loads `path`, runs the dialog modally and gives the cells on OK. Empty on Cancel (with
    // *error left empty) or when the file can't be used (with the message in *error).
    static std::optional<GridCells> Run(QWidget* parent, const QString& path, QString* error);

    // The controls, for tests.
    QSlider* ThresholdSlider() const { return threshold_; }
    QLabel* ThresholdValue() const { return thresholdValue_; }
    QCheckBox* InvertBox() const { return invert_; }
    QRadioButton* FitButton() const { return fit_; }
    QRadioButton* FillButton() const { return fill_; }
    GridPreview* Preview() const { return preview_; }

  private:
    void Refresh();

    QImage picture_;  // Format_RGBA8888
    // Cell levels per fit mode, worked out once: threshold and Invert only re-threshold them.
    std::array<std::optional<CellLevels>, 2> levels_;
    GridCells cells_{};
    GridPreview* preview_ = nullptr;
    QSlider* threshold_ = nullptr;
    QLabel* thresholdValue_ = nullptr;
    QCheckBox* invert_ = nullptr;
    QRadioButton* fit_ = nullptr;
    QRadioButton* fill_ = nullptr;
};

}  // namespace velta
