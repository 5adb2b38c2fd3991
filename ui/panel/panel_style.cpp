#include "ui/panel/panel_style.h"

#include <QApplication>
#include <algorithm>
#include <array>
#include <cmath>

namespace velta {

namespace {

// The sizes that belong to a control's mark or handle rather than to the window around it.
constexpr std::array<QStyle::PixelMetric, 9> kScaledMetrics = {
    QStyle::PM_IndicatorWidth,          QStyle::PM_IndicatorHeight,
    QStyle::PM_ExclusiveIndicatorWidth, QStyle::PM_ExclusiveIndicatorHeight,
    QStyle::PM_CheckBoxLabelSpacing,    QStyle::PM_RadioButtonLabelSpacing,
    QStyle::PM_SliderThickness,         QStyle::PM_SliderLength,
    QStyle::PM_SliderControlThickness,
};

}  // namespace

// No base style given: the application's, whatever it is when asked.
PanelStyle::PanelStyle(QObject* parent) : QProxyStyle() {
    setParent(parent);
}

int PanelStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    if (std::find(kScaledMetrics.begin(), kScaledMetrics.end(), metric) == kScaledMetrics.end())
        return base;
    return std::max(1, static_cast<int>(std::lround(base * scale_)));
}

}  // namespace velta
