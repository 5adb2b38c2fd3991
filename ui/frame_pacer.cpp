#include "ui/frame_pacer.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace velta {

FramePacer::FramePacer(QWidget& window, std::function<void()> onFrame,
                       std::function<void()> onSeenChanged)
    : QObject(&window),
      window_(window),
      onFrame_(std::move(onFrame)),
      onSeenChanged_(std::move(onSeenChanged)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &FramePacer::Frame);
    window_.installEventFilter(this);
}

bool FramePacer::Seen() const {
    const QWindow* native = window_.windowHandle();
    return window_.isVisible() && !window_.isMinimized() &&
           (native == nullptr || native->isExposed());
}

int FramePacer::FrameInterval() const {
    const QScreen* screen = window_.screen();
    const qreal rate = screen != nullptr && screen->refreshRate() > 1 ? screen->refreshRate() : 60;
    return std::clamp(static_cast<int>(std::ceil(1000 / rate)), 4, 100);
}

void FramePacer::Detach() {
    timer_.stop();
    window_.removeEventFilter(this);
    if (watchedWindow_ != nullptr)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = nullptr;
    onFrame_ = [] {};
    onSeenChanged_ = {};
}

// A change long enough after the last frame is shown in this event-loop pass, once everything
// that arrived with it is taken in (a timer of zero runs after the events at hand, without the
// loop going to sleep); a change sooner waits out the rest of the frame. Changes come in bursts
// (each command's reports are answered together), so most frames cost no wake-up of their own.
void FramePacer::Request() {
    pending_ = true;
    if (!seen_ || timer_.isActive())
        return;
    const int interval = FrameInterval();
    const qint64 since = lastFrame_.isValid() ? lastFrame_.elapsed() : interval;
    timer_.start(since >= interval ? 0 : static_cast<int>(interval - since));
}

void FramePacer::Frame() {
    if (!pending_ || !Seen())
        return;
    pending_ = false;
    lastFrame_.start();
    onFrame_();
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            // The native window exists from the first show on; its exposure is told to it.
            if (watched == &window_ && window_.windowHandle() != watchedWindow_) {
                if (watchedWindow_ != nullptr)
                    watchedWindow_->removeEventFilter(this);
                watchedWindow_ = window_.windowHandle();
                if (watchedWindow_ != nullptr)
                    watchedWindow_->installEventFilter(this);
            }
            [[fallthrough]];
        case QEvent::Hide:
        case QEvent::WindowStateChange:
        case QEvent::Expose:
            // Visibility, window state and exposure are already updated when these arrive.
            SeenMayHaveChanged();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void FramePacer::SeenMayHaveChanged() {
    const bool seen = Seen();
    if (seen == seen_)
        return;
    seen_ = seen;
    if (!seen)
        timer_.stop();
    if (onSeenChanged_)
        onSeenChanged_();
    // What changed while nobody looked is shown at once.
    if (seen && pending_) {
        pending_ = false;
        lastFrame_.start();
        onFrame_();
    }
}

}  // namespace velta
