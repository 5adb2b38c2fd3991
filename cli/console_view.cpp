#include "cli/console_view.h"

#include <ostream>
#include <utility>

namespace velta::cli {

ConsoleView::ConsoleView(std::ostream& err) : err_(err) {}

void ConsoleView::RunPosted() {
    // A task may post again; those run on the next drain, like an event queued from a handler.
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard lock(postedMutex_);
        tasks.swap(posted_);
    }
    for (auto& task : tasks)
        task();
}

void ConsoleView::ShowWriteError() {
    ++writeFailures_;
    err_ << "velta: " << kTextWriteError << ": the transmitter did not take a report\n";
}

void ConsoleView::WaitForPosted() {
    std::unique_lock lock(postedMutex_);
    postedChanged_.wait(lock, [&] { return !posted_.empty(); });
}

bool ConsoleView::WaitForPostedUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(postedMutex_);
    return postedChanged_.wait_until(lock, deadline, [&] { return !posted_.empty(); });
}

void ConsoleView::PostToUiThread(std::function<void()> task) {
    {
        const std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(task));
    }
    postedChanged_.notify_one();
}

}  // namespace velta::cli
