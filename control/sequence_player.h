// Plays the frames of a sequence in order, each for its hold time, once or in a loop.
//
// Timing comes from a steady clock, not from counting ticks: frame i is planned to start at the
// start of play plus the holds of the frames before it, and a tick shows the latest frame whose
// planned start has come. A tick that runs late (a slow send, a busy window) therefore does not
// push later frames back, and frames whose whole hold passed unseen are skipped, not replayed.
// The window arms one single-shot timer for the moment the next frame is due:
//
//   player.Start(sequence.Frames(), loop);
//   on each timer (and right after Start):
//     const PlaybackStep step = player.Tick();
//     if (step.changed && !controller.ShowFrame(*step.frame, sendWhilePlaying))
//         player.Stop();                     // a write failed; the link showed Write Error
//     if (player.IsPlaying()) arm the timer for step.nextChange
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "model/panel_content.h"

namespace velta {

struct PlaybackStep {
    // The frame the panel should show now, and its index; null when not playing.
    const SequenceFrame* frame = nullptr;
    std::size_t index = 0;
    // The frame differs from the one the previous tick returned (always true on the first tick
    // after Start): the window shows it only then.
    bool changed = false;
    // When the next frame is due; meaningful while the player is still playing after the tick.
    std::chrono::steady_clock::time_point nextChange{};
};

class SequencePlayer {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    // `clock` gives the time for Start and Tick(); tests pass a fake one.
    explicit SequencePlayer(Clock clock = &std::chrono::steady_clock::now);

    // Plays a copy of `frames` from frame 0, starting now: later edits of the list do not reach
    // a running play. False, and not playing, for an empty list.
    bool Start(std::vector<SequenceFrame> frames, bool loop);
    void Stop();
    bool IsPlaying() const { return playing_; }
    // Looping may be switched while playing; switched off, the play ends at the end of the pass
    // it was in at the last tick.
    bool Loop() const { return loop_; }
    void SetLoop(bool loop) { loop_ = loop; }

    // The frame for the time now. Played once, the play stops when the last frame's hold has
    // passed; that tick still returns the last frame (changed if it was not shown yet), so the
    // panel is left showing it.
    PlaybackStep Tick();
    PlaybackStep Tick(TimePoint now);

    // The frames being played (empty when never started).
    const std::vector<SequenceFrame>& Frames() const { return frames_; }

  private:
    using Duration = std::chrono::steady_clock::duration;

    Clock clock_;
    std::vector<SequenceFrame> frames_;
    std::vector<Duration> starts_;  // planned start of each frame from the start of a pass
    Duration total_{};              // one pass
    TimePoint start_{};
    bool playing_ = false;
    bool loop_ = false;
    bool shownAny_ = false;
    std::size_t shown_ = 0;
    std::chrono::steady_clock::rep pass_ = 0;  // pass of the last tick
};

}  // namespace velta
