// LinkNotices for tests: records what the link showed and queues posted tasks until the test
// runs them, standing in for the UI thread's event queue.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/link_notices.h"
#include "tests/support/posted_tasks.h"

namespace velta::testing {

class FakeNotices : public LinkNotices, public PostedTasks {
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
    void PostToUiThread(std::function<void()> task) override { Post(std::move(task)); }
};

}  // namespace velta::testing
