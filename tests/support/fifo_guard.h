// A FIFO where a file should be. Left alone, a reader that opens it waits for a writer forever;
// after two seconds the guard breaks the reader's wait, so a reader that did block ends (and fails
// its test) instead of hanging the run. On Windows the FIFO is a named pipe (Path() is then
// \\.\pipe\..., named after the file asked for) with a few ends for readers to open.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace velta::testing {

class FifoGuard {
  public:
    explicit FifoGuard(std::string path) : path_(std::move(path)) {
#ifdef _WIN32
        path_ = "\\\\.\\pipe\\" + path_.substr(path_.find_last_of("/\\") + 1) + "-" +
                std::to_string(GetCurrentProcessId());
        for (std::size_t i = 0; i < kReaders; ++i) {
            const HANDLE end =
                CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                 kReaders, 0, 0, 0, nullptr);
            if (end != INVALID_HANDLE_VALUE)
                ends_.push_back(end);
        }
        made_ = ends_.size() == kReaders;
#else
        std::remove(path_.c_str());
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
#endif
        guard_ = std::thread([this] {
            for (int waited = 0; !done_; waited += 5) {
                if (waited >= 2000)
                    BreakWaits();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~FifoGuard() {
        done_ = true;
        guard_.join();
#ifdef _WIN32
        for (const HANDLE end : ends_)
            CloseHandle(end);
#else
        std::remove(path_.c_str());
#endif
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const {
        return made_;
    }
    const std::string& Path() const {
        return path_;
    }

  private:
#ifdef _WIN32
    static constexpr std::size_t kReaders = 8;  // opens before the ends run out
    // Hanging up ends every read waiting on this side.
    void BreakWaits() {
        for (const HANDLE end : ends_)
            DisconnectNamedPipe(end);
    }
    std::vector<HANDLE> ends_;
#else
    // A writer's open lets a waiting open go on; its close ends the read.
    void BreakWaits() {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
#endif
    std::string path_;
    bool made_ = false;
    std::atomic<bool> done_{false};
    std::thread guard_;
};

}  // namespace velta::testing
