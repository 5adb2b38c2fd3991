// Where the receiver leaves frames for whoever shows them: one pending frame, which a newer frame
// replaces, so frames never queue behind a slow consumer and the latest complete frame wins.
//
// Threads: the producer (the receiver's thread) calls Put and Signal; the consumer (the service's
// main thread, or the window's UI thread) calls Take. The notify callback runs on the producer's
// thread, outside the lock, at most once until the consumer calls Take: a consumer that posts a
// task to its own thread posts once per batch, however many frames arrive before the task runs.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "model/panel_content.h"

namespace velta::net {

class FrameMailbox {
  public:
    explicit FrameMailbox(std::function<void()> notify = {}) : notify_(std::move(notify)) {}

    // A new frame, replacing any frame not yet taken.
    void Put(const SequenceFrame& frame);
    // Something other than a frame waits (events): wakes the consumer as Put does.
    void Signal();
    // The pending frame, if any; re-arms the notification either way.
    std::optional<SequenceFrame> Take();

    // Frames replaced before they were taken.
    std::uint64_t Replaced() const;

  private:
    void Wake(std::unique_lock<std::mutex>& lock);

    const std::function<void()> notify_;
    mutable std::mutex mutex_;
    std::optional<SequenceFrame> pending_;
    bool notified_ = false;
    std::uint64_t replaced_ = 0;
};

}  // namespace velta::net
