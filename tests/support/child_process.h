// A program run as a child process for the tests (POSIX): its stdout and stderr read through
// pipes into lines, every wait bounded, a signal to stop it, its memory from /proc. The child is
// killed and reaped when the object goes, so a failed test leaves nothing running.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace velta::testing {

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    ChildProcess(const std::string& program, const std::vector<std::string>& args) {
        int out[2] = {-1, -1};
        int err[2] = {-1, -1};
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, pointers.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        streams_[0].fd = out[0];
        streams_[1].fd = err[0];
        for (const Stream& stream : streams_)
            fcntl(stream.fd, F_SETFL, fcntl(stream.fd, F_GETFL) | O_NONBLOCK);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const Stream& stream : streams_) {
            if (stream.fd >= 0)
                close(stream.fd);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // Reads what the child has written so far, waiting at most `wait` for the first bytes.
    void Pump(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
        std::array<pollfd, 2> fds{};
        for (std::size_t i = 0; i < fds.size(); ++i)
            fds[i] = {streams_[i].fd, POLLIN, 0};
        if (poll(fds.data(), fds.size(), static_cast<int>(wait.count())) <= 0)
            return;
        for (Stream& stream : streams_) {
            std::array<char, 65536> buffer;
            for (;;) {
                const ssize_t n = read(stream.fd, buffer.data(), buffer.size());
                if (n <= 0)
                    break;
                stream.partial.append(buffer.data(), static_cast<std::size_t>(n));
            }
            std::size_t end;
            while ((end = stream.partial.find('\n')) != std::string::npos) {
                stream.lines.push_back(stream.partial.substr(0, end));
                stream.partial.erase(0, end + 1);
            }
        }
    }
    const std::vector<std::string>& Out() const { return streams_[0].lines; }
    const std::vector<std::string>& Err() const { return streams_[1].lines; }

    // Pumps until `done` holds or `timeout` passes; returns whether it held.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const Clock::time_point deadline = Clock::now() + timeout;
        while (!done()) {
            if (Clock::now() >= deadline)
                return false;
            Pump(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Sends `signal` and waits (bounded) for the exit; the exit code, or -1 when it did not exit
    // normally in time.
    int Stop(int signal = SIGTERM, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        if (pid_ <= 0)
            return -1;
        kill(pid_, signal);
        const Clock::time_point deadline = Clock::now() + timeout;
        int status = 0;
        while (Clock::now() < deadline) {
            Pump(std::chrono::milliseconds(10));
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                Pump();
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return -1;
    }

    // The child's resident memory in kB (VmRSS), 0 when it can't be read.
    long ResidentKb() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6));
        }
        return 0;
    }

  private:
    struct Stream {
        int fd = -1;
        std::string partial;
        std::vector<std::string> lines;
    };
    pid_t pid_ = -1;
    bool exited_ = false;
    std::array<Stream, 2> streams_{};
};

}  // namespace velta::testing
