#include "ui/panel/panel_area.h"

#include <QScreen>
#include <QStyle>

namespace velta {

PanelArea::PanelArea(QWidget* panel, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // The area is no stop of its own: Tab goes from the panel's last control to the first.
    setFocusPolicy(Qt::NoFocus);
    setWidget(panel);
}

QSize PanelArea::sizeHint() const {
    return widget() != nullptr ? widget()->sizeHint() : QScrollArea::sizeHint();
}

QSize PanelArea::OpeningSize(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return window.sizeHint();
    // The frame is not known before the window is shown; a title bar's height and a border
    // each side stand in for it.
    const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QSize frame(2 * border,
                      window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * border);
    return window.sizeHint().boundedTo(screen->availableGeometry().size() - frame);
}

}  // namespace velta
