// Paces the repaints of a window that is told about changes faster than anyone can look: at most
// one frame's work per screen frame, done at once when the last is a frame ago, and none at all
// while nobody can see the window (hidden, minimised, or not exposed: fully covered where the
// platform tells). Work asked for while the window is out of sight is done once it is seen again.
//
// Owned by the window it paces (a QObject child); everything runs on the UI thread.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;
class QWindow;

namespace velta {

class FramePacer : public QObject {
    Q_OBJECT

  public:
    // `onFrame` does the frame's work; `onSeenChanged` hears every change of Seen().
    FramePacer(QWidget& window, std::function<void()> onFrame,
               std::function<void()> onSeenChanged = {});

    // Something changed: onFrame runs at the next frame in which the window is seen.
    void Request();
    bool Pending() const { return pending_; }
    // Whether someone can see the window.
    bool Seen() const;
    // Milliseconds of one frame of the screen the window is on.
    int FrameInterval() const;
    // Hears nothing more; the window calls it first thing in its destructor, since a window
    // being destroyed is still hidden (and told so) after its own part is gone.
    void Detach();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SeenMayHaveChanged();
    void Frame();

    QWidget& window_;
    std::function<void()> onFrame_;
    std::function<void()> onSeenChanged_;
    QTimer timer_;
    QElapsedTimer lastFrame_;  // since the last frame's work; invalid before the first
    QWindow* watchedWindow_ = nullptr;
    bool pending_ = false;
    bool seen_ = false;
};

}  // namespace velta
