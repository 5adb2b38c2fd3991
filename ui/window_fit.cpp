#include "ui/window_fit.h"

#include <QLayout>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "control/window_placement.h"

namespace velta::ui {

namespace {

ScreenRect ToScreenRect(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

}  // namespace

void FitBeside(QWidget& window, const QWidget& main, std::initializer_list<const QWidget*> open,
               Scaling scaling) {
    const QScreen* screen = main.screen();
    if (screen == nullptr)
        return;
    window.ensurePolished();
    if (QLayout* layout = window.layout())
        layout->activate();
    // The window manager's frame is known only once a window was shown; the main window's
    // stands in for it.
    const QSize frame = main.frameGeometry().size() - main.geometry().size();
    const QSize wanted = window.testAttribute(Qt::WA_Resized)
                             ? window.size()
                             : window.sizeHint().expandedTo(window.minimumSize());
    std::vector<ScreenRect> others;
    for (const QWidget* other : open) {
        if (other != nullptr && other != &window && other->isVisible())
            others.push_back(ToScreenRect(other->frameGeometry()));
    }
    ScreenRect available = ToScreenRect(screen->availableGeometry());
    const qreal ratio = screen->devicePixelRatio();
    if (ratio != static_cast<int>(ratio)) {
        // At a fractional scale the logical size is rounded up from the device pixels (1366 at
        // 1.5 is 910.7, taken as 911): one logical pixel less keeps the last one on the screen.
        available.width -= 1;
        available.height -= 1;
    }
    // A window that scales its content may be made smaller to fit beside the main window, down to
    // its minimum size; others keep their size.
    const QSize least =
        scaling == Scaling::ScalesContent
            ? window.minimumSize().expandedTo(window.minimumSizeHint()).boundedTo(wanted)
            : wanted;
    const ScreenRect place =
        PlaceBesideMain(available, ToScreenRect(main.frameGeometry()),
                        {wanted.width() + frame.width(), wanted.height() + frame.height()},
                        {least.width() + frame.width(), least.height() + frame.height()}, others);
    const QSize inside = QSize(place.width, place.height) - frame;
    window.resize(inside.expandedTo(window.minimumSize()).boundedTo(window.maximumSize()));
    // A window's position is that of its frame.
    window.move(place.x, place.y);
}

}  // namespace velta::ui
