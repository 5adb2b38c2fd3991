// The style of the panel's controls when the panel is scaled: the check marks, radio marks and
// slider handles grow and shrink with the captions, so a caption keeps the room its rectangle
// gives it at every scale. Everything else is the application's style.
#pragma once

#include <QProxyStyle>

namespace velta {

class PanelStyle : public QProxyStyle {
    Q_OBJECT

  public:
    explicit PanelStyle(QObject* parent);

    void SetScale(double scale) { scale_ = scale; }

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

  private:
    double scale_ = 1.0;
};

}  // namespace velta
