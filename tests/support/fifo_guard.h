// A FIFO where a file should be. Left alone, a reader that opens it waits for a writer forever;
// after two seconds the guard keeps opening the other end, so a reader that did block ends (and
// fails its test) instead of hanging the run.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace velta::testing {

class FifoGuard {
  public:
    explicit FifoGuard(std::string path) : path_(std::move(path)) {
        std::remove(path_.c_str());
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        guard_ = std::thread([this] {
            for (int waited = 0; !done_; waited += 5) {
                if (waited >= 2000) {
                    const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~FifoGuard() {
        done_ = true;
        guard_.join();
        std::remove(path_.c_str());
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    bool made_ = false;
    std::atomic<bool> done_{false};
    std::thread guard_;
};

}  // namespace velta::testing
