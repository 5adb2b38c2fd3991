// LinkNotices for tests: records what the link showed and queues posted tasks until the test
// runs them, standing in for the UI thread's event queue.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "device/link_notices.h"

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

class FakeNotices : public LinkNotices {
  public:
    // Called inside ShowWriteError, as a nested event loop would run timer ticks.
    std::function<void()> onWriteError;
    int writeErrors = 0;
    std::vector<std::string> statusTexts;

    void ShowWriteError() override {
        ++writeErrors;
        if (onWriteError)
            onWriteError();
    }
    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void PostToUiThread(std::function<void()> task) override {
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
