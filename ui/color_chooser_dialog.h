// A small modal colour chooser: a grid of basic colours, red/green/blue spin boxes with sliders,
// a hex field and a preview. It keeps nothing between runs and writes no file, so picking a
// custom colour leaves no trace on the user's disk.
#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "model/panel_state.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace velta {

class ColorChooserDialog : public QDialog {
    Q_OBJECT

  public:
    explicit ColorChooserDialog(Color initial, QWidget* parent = nullptr);

    Color CurrentColor() const { return color_; }
    void SetCurrentColor(Color color);

    // Runs the dialog modally; the chosen colour on OK, nullopt on Cancel.
    static std::optional<Color> Choose(QWidget* parent, Color initial);

    // "#RRGGBB" (the '#' optional, hex digits in either case) to a colour; nullopt for anything
    // else. Formatting gives "#RRGGBB" in capitals.
    static std::optional<Color> ParseHex(const QString& text);
    static QString FormatHex(Color color);

  private:
    enum Channel { kRed, kGreen, kBlue };

    QGridLayout* BuildBasicColors();
    QGridLayout* BuildChannels();
    void BuildHexField(QGridLayout& channels);
    void BuildPreview();
    void SetChannel(Channel channel, int value);
    void OnHexEdited(const QString& text);
    void ShowColor(bool updateHex);

    Color color_ = 0;
    std::array<QSpinBox*, 3> spins_{};
    std::array<QSlider*, 3> sliders_{};
    QLineEdit* hexEdit_ = nullptr;
    QLabel* preview_ = nullptr;
};

}  // namespace velta
