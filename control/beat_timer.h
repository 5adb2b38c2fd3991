// One of the window's periodic timers, able to rest while its ticks would find nothing to do.
// Armed again, its first tick comes on the beat it would have kept had it never rested, and from
// that tick on it keeps the beat by itself: the ticks that run fall on the instants of a timer
// that ran all along.
#pragma once

#include <chrono>
#include <functional>

#include "control/control_center_view.h"

namespace velta {

class BeatTimer {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` is read at every start and arm, so a clock swapped later is heeded.
    BeatTimer(ControlCenterView& view, int id, int periodMs, const Clock& clock)
        : view_(view), clock_(clock), id_(id), period_(periodMs) {}

    // The beat starts now: the first tick comes a period from now.
    void Start() {
        origin_ = clock_();
        Run(period_);
    }
    // A resting timer runs again, its next tick on the beat.
    void Arm() {
        if (running_)
            return;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - origin_).count();
        Run(static_cast<int>(period_ - (elapsed < 0 ? 0 : elapsed % period_)));
    }
    void Rest() {
        if (!running_)
            return;
        running_ = false;
        view_.StopTimer(id_);
    }
    // First thing in every tick: a timer armed off the beat's start runs at its period again.
    void Ticked() {
        if (running_ && interval_ != period_)
            Run(period_);
    }
    bool Running() const { return running_; }

  private:
    void Run(int interval) {
        running_ = true;
        interval_ = interval;
        view_.StartTimer(id_, interval);
    }

    ControlCenterView& view_;
    const Clock& clock_;
    int id_;
    int period_;
    std::chrono::steady_clock::time_point origin_{};
    bool running_ = false;
    int interval_ = 0;  // the interval it was last started with
};

}  // namespace velta
