// Stands in for the UI thread's event queue: work posted from any thread waits here until the
// test runs it on its own thread.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace velta::testing {

// Waits for a condition another thread brings about; fails the wait after a generous bound
// instead of hanging the test run.
template <typename Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class PostedTasks {
  public:
    void Post(std::function<void()> task) {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ++posted_;
    }
    // Waits (bounded) until `count` tasks have been posted in total.
    bool WaitForPosted(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return WaitUntil([&] { return PostedCount() >= count; }, timeout);
    }
    int PostedCount() const {
        const std::lock_guard lock(mutex_);
        return posted_;
    }
    // Runs the queued tasks on the calling thread, as the UI thread would.
    void RunPosted() {
        std::deque<std::function<void()>> tasks;
        {
            const std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
    }

  private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    int posted_ = 0;
};

}  // namespace velta::testing
