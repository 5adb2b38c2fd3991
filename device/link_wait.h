// When the link stops waiting for the device: the link asks this object instead of the clock, so
// tests decide when a report's deadline has passed without depending on wall time.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

#include "device/hid_transport.h"

namespace velta {

class LinkWait {
  public:
    virtual ~LinkWait() = default;
    // With `lock` held: waits on `changed` until `done()` holds or `deadline` has passed, and
    // returns done(). `changed` is notified whenever done() may have become true, except for
    // changes the caller is content to see only at the deadline.
    virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                           LinkClock::time_point deadline, const std::function<bool()>& done) = 0;
};

// The real one: the steady clock.
class SteadyLinkWait : public LinkWait {
  public:
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   LinkClock::time_point deadline, const std::function<bool()>& done) override {
        return changed.wait_until(lock, deadline, done);
    }
};

}  // namespace velta
