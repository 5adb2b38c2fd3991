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
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace velta::testing {

class ChildProcess {
  public:
    using Ms = std::chrono::milliseconds;

    ChildProcess(const std::string& program, std::vector<std::string> args) {
        int out[2], err[2];
        // Close-on-exec: the child keeps only its own ends, as fds 1 and 2.
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        streams_[0].fd = out[0];
        streams_[1].fd = err[0];
        for (const Stream& stream : streams_)
            fcntl(stream.fd, F_SETFL, O_NONBLOCK);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const Stream& stream : streams_)
            close(stream.fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what the child has written so far, waiting at most `wait` for the first bytes.
    void Pump(Ms wait = Ms(0)) {
        std::array<pollfd, 2> fds{{{streams_[0].fd, POLLIN, 0}, {streams_[1].fd, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), static_cast<int>(wait.count())) <= 0)
            return;
        for (Stream& stream : streams_) {
            std::array<char, 65536> buffer;
            for (ssize_t n; (n = read(stream.fd, buffer.data(), buffer.size())) > 0;)
                stream.partial.append(buffer.data(), static_cast<std::size_t>(n));
            for (std::size_t end; (end = stream.partial.find('\n')) != std::string::npos;) {
                stream.lines.push_back(stream.partial.substr(0, end));
                stream.partial.erase(0, end + 1);
            }
        }
    }
    const std::vector<std::string>& Out() const { return streams_[0].lines; }
    const std::vector<std::string>& Err() const { return streams_[1].lines; }

    // Pumps until `done` holds or `timeout` passes; returns whether it held.
    bool PumpUntil(const std::function<bool()>& done, Ms timeout = Ms(10000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (; !done(); Pump(Ms(10))) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
        }
        return true;
    }

    // Sends `signal` and waits (bounded) for the exit: the exit code, or -1 when it did not exit
    // normally in time.
    int Stop(int signal = SIGTERM, Ms timeout = Ms(10000)) {
        kill(pid_, signal);
        int status = 0;
        const bool ended =
            PumpUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout);
        exited_ = ended;
        Pump();
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
