#include "model/input_file.h"

#include "model/error_text.h"

#include <array>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velta {

namespace {

#ifndef _WIN32

// What a file that is not a regular one is, in the user's words.
std::string DescribeIrregular(mode_t mode) {
    struct Kind {
        mode_t type;
        const char* name;
    };
    static constexpr std::array<Kind, 5> kKinds = {{
        {S_IFDIR, "a directory"},
        {S_IFIFO, "a FIFO"},
        {S_IFCHR, "a character device"},
        {S_IFBLK, "a block device"},
        {S_IFSOCK, "a socket"},
    }};
    const mode_t type = mode & S_IFMT;
    for (const Kind& kind : kKinds) {
        if (kind.type == type)
            return kind.type == S_IFDIR
                       ? "it is a directory"
                       : std::string("it is ") + kind.name + ", not a regular file";
    }
    return "it is not a regular file";
}

// The file descriptor, closed on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The file opened for reading, or why not. Opened without blocking (a FIFO with no writer would
// otherwise hang the open) and checked on the open descriptor, so the file can't be swapped
// between the check and the read.
struct Opened {
    std::optional<Descriptor> fd;  // set only for a regular file
    std::string error;
    bool irregular = false;  // refused for what it is, not for a failed call
};

void Open(const std::string& path, Opened& opened) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0) {
        const int error = errno;
        // A socket can't be opened at all; say what it is rather than the open's words.
        opened.irregular = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
        opened.error = opened.irregular ? DescribeIrregular(info.st_mode) : ErrnoText(error);
        return;
    }
    opened.fd.emplace(fd);
    if (::fstat(fd, &info) != 0) {
        opened.error = ErrnoText(errno);
        opened.fd.reset();
    } else if (!S_ISREG(info.st_mode)) {
        opened.irregular = true;
        opened.error = DescribeIrregular(info.st_mode);
        opened.fd.reset();
    }
}

#endif

}  // namespace

InputFile ReadInputFile(const std::string& path, std::size_t limit) {
#ifdef _WIN32
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec)
        return {std::nullopt, ec.message()};
    if (status.type() == std::filesystem::file_type::directory)
        return {std::nullopt, "it is a directory"};
    if (status.type() != std::filesystem::file_type::regular)
        return {std::nullopt, "it is not a regular file"};
    std::ifstream stream(std::filesystem::path(path), std::ios::binary);
    if (!stream)
        return {std::nullopt, "it can't be opened"};
    std::string bytes(limit, '\0');
    stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (stream.bad())
        return {std::nullopt, "it is not a readable file"};
    bytes.resize(static_cast<std::size_t>(stream.gcount()));
    return {std::move(bytes), {}};
#else
    Opened opened;
    Open(path, opened);
    if (!opened.fd)
        return {std::nullopt, opened.error};
    const int fd = opened.fd->get();
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {std::nullopt, ErrnoText(errno)};
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {std::move(bytes), {}};
#endif
}

std::string RefuseIrregularFile(const std::string& path) {
#ifdef _WIN32
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || status.type() == std::filesystem::file_type::regular)
        return {};
    return status.type() == std::filesystem::file_type::directory ? "it is a directory"
                                                                  : "it is not a regular file";
#else
    Opened opened;
    Open(path, opened);
    // A path that can't be opened is left to the caller's own open, which says why.
    return opened.irregular ? opened.error : std::string();
#endif
}

}  // namespace velta
