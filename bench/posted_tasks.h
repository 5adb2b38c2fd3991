// The event loop's queue for the benchmarks: work another thread posts waits here until the
// timed thread runs it. Posting may come from any thread; only the timed thread runs the work.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace velta::bench {

class PostedTasks {
  public:
    void Post(std::function<void()> task) {
        {
            const std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_one();
    }
    // Runs posted work, waiting for it, until `done` holds.
    template <typename Done>
    void RunUntil(Done done) {
        while (!done()) {
            std::deque<std::function<void()>> tasks;
            {
                std::unique_lock lock(mutex_);
                posted_.wait(lock, [&] { return !tasks_.empty(); });
                tasks.swap(tasks_);
            }
            for (auto& task : tasks)
                task();
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace velta::bench
