// A FIFO where a file should be. Left alone, a reader that opens it waits for a writer forever;
// after two seconds the guard breaks the reader's wait, so a reader that did block ends (and fails
// its test) instead of hanging the run. On Windows it is a named pipe (Path() is \\.\pipe\NAME).
#pragma once

#ifdef _WIN32
#include <windows.h>
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
        made_ = Make();
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
        Remove();
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }
    const std::string& Path() const { return path_; }

  private:
#ifdef _WIN32
    // A few ends, one for each reader that opens it; hanging them up ends every waiting read.
    bool Make() {
        path_ = "\\\\.\\pipe\\" + path_.substr(path_.find_last_of("/\\") + 1);
        bool made = true;
        for (HANDLE& end : ends_) {
            end = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, kEnds, 0, 0,
                                   0, nullptr);
            made = made && end != INVALID_HANDLE_VALUE;
        }
        return made;
    }
    void BreakWaits() {
        for (const HANDLE end : ends_)
            DisconnectNamedPipe(end);
    }
    void Remove() {
        for (const HANDLE end : ends_)
            CloseHandle(end);
    }
    static constexpr DWORD kEnds = 8;
    HANDLE ends_[kEnds] = {};
#else
    bool Make() {
        std::remove(path_.c_str());
        return ::mkfifo(path_.c_str(), 0600) == 0;
    }
    // A writer's open lets a blocked open go on, and its close ends the read.
    void BreakWaits() {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    void Remove() {
        std::remove(path_.c_str());
    }
#endif

    std::string path_;
    bool made_ = false;
    std::atomic<bool> done_{false};
    std::thread guard_;
};

}  // namespace velta::testing
