// How long the UI thread waits for the device: the link asks this object instead of the clock,
// so tests decide when a wait has run out without depending on wall time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace velta {

class LinkWait {
  public:
    virtual ~LinkWait() = default;
    // With `lock` held: waits on `changed` until `done()` holds or `budget` has run out, and
    // returns done(). `changed` is notified whenever done() may have become true.
    virtual bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                         std::chrono::milliseconds budget, const std::function<bool()>& done) = 0;
};

// The real one: the steady clock.
class SteadyLinkWait : public LinkWait {
  public:
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                 std::chrono::milliseconds budget, const std::function<bool()>& done) override {
        return changed.wait_for(lock, budget, done);
    }
};

}  // namespace velta
