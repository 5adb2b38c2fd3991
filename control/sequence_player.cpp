#include "control/sequence_player.h"

#include <algorithm>
#include <utility>

namespace velta {

SequencePlayer::SequencePlayer(Clock clock) : clock_(std::move(clock)) {}

bool SequencePlayer::Start(std::vector<SequenceFrame> frames, bool loop) {
    playing_ = false;
    shownAny_ = false;
    pass_ = 0;
    frames_ = std::move(frames);
    starts_.clear();
    total_ = Duration::zero();
    if (frames_.empty())
        return false;
    starts_.reserve(frames_.size());
    for (const SequenceFrame& frame : frames_) {
        starts_.push_back(total_);
        total_ += std::chrono::milliseconds(ClampHoldMs(frame.holdMs));
    }
    loop_ = loop;
    start_ = clock_();
    playing_ = true;
    return true;
}

void SequencePlayer::Stop() {
    playing_ = false;
}

PlaybackStep SequencePlayer::Tick() {
    return Tick(clock_());
}

PlaybackStep SequencePlayer::Tick(TimePoint now) {
    PlaybackStep step;
    if (!playing_)
        return step;
    // A clock that went back before the start shows the first frame.
    const Duration elapsed = std::max(now - start_, Duration::zero());
    const auto passes = elapsed / total_;
    std::size_t index = 0;
    // Played once, the play ends with the pass it was in at the last tick (the first, unless
    // looping was switched off while playing).
    if (!loop_ && passes > pass_) {
        index = frames_.size() - 1;
        playing_ = false;
    } else {
        const Duration into = elapsed % total_;
        // The latest frame whose planned start has come.
        index = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), into) -
                                         starts_.begin()) -
                1;
        pass_ = passes;
        const TimePoint passStart = start_ + passes * total_;
        step.nextChange = passStart + (index + 1 < starts_.size() ? starts_[index + 1] : total_);
    }
    step.frame = &frames_[index];
    step.index = index;
    step.changed = !shownAny_ || index != shown_;
    shownAny_ = true;
    shown_ = index;
    return step;
}

}  // namespace velta
