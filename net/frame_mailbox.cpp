#include "net/frame_mailbox.h"

#include <utility>

namespace velta::net {

void FrameMailbox::Wake(std::unique_lock<std::mutex>& lock) {
    const bool wake = !std::exchange(notified_, true);
    lock.unlock();
    if (wake && notify_)
        notify_();
}

void FrameMailbox::Put(const SequenceFrame& frame) {
    std::unique_lock lock(mutex_);
    if (pending_)
        ++replaced_;
    pending_ = frame;
    Wake(lock);
}

void FrameMailbox::Signal() {
    std::unique_lock lock(mutex_);
    Wake(lock);
}

std::optional<SequenceFrame> FrameMailbox::Take() {
    std::lock_guard lock(mutex_);
    notified_ = false;
    return std::exchange(pending_, std::nullopt);
}

std::uint64_t FrameMailbox::Replaced() const {
    std::lock_guard lock(mutex_);
    return replaced_;
}

}  // namespace velta::net
