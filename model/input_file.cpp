#include "model/input_file.h"

#include "model/error_text.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace velta {

namespace {

// The few file calls this needs, over the system's own: POSIX, or on Windows the C runtime's
// wide-character calls, which take the UTF-8 name whole (a narrow call would read it in the ANSI
// code page) and leave the same errno values.
#ifdef _WIN32
using FileInfo = struct _stat64;

std::wstring Wide(const std::string& path) {
    const int size = static_cast<int>(std::min<std::size_t>(path.size(), INT_MAX));
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0)
        wide.resize(static_cast<std::size_t>(
            MultiByteToWideChar(CP_UTF8, 0, path.data(), size, wide.data(), size)));
    return wide;
}
// A name the conversion gave nothing for names no file.
int OpenFile(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.empty() != path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Opening never waits on Windows: a pipe with no server is refused at once.
    return _wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
// What a path that could not be opened is. Of what a reader must refuse, only a directory can't be
// opened (a pipe or a device is told apart on its open descriptor), and the C runtime's stat
// fails on a directory named with a trailing separator: the attributes tell it apart instead.
bool StatPath(const std::string& path, FileInfo& info) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    info.st_mode = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? _S_IFDIR : _S_IFREG;
    return true;
}
bool StatFile(int fd, FileInfo& info) {
    return _fstat64(fd, &info) == 0;
}
long ReadSome(int fd, char* data, std::size_t size) {
    return _read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
void CloseFile(int fd) {
    _close(fd);
}
#else
using FileInfo = struct stat;

// Without blocking: a FIFO with no writer would otherwise hang the open.
int OpenFile(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
bool StatPath(const std::string& path, FileInfo& info) {
    return ::stat(path.c_str(), &info) == 0;
}
bool StatFile(int fd, FileInfo& info) {
    return ::fstat(fd, &info) == 0;
}
long ReadSome(int fd, char* data, std::size_t size) {
    return static_cast<long>(::read(fd, data, size));
}
void CloseFile(int fd) {
    ::close(fd);
}
#endif

// What a file that is not a regular one is, in the user's words.
std::string DescribeIrregular(unsigned mode) {
    struct Kind {
        unsigned type;
        const char* name;
    };
    static constexpr Kind kKinds[] = {
        {S_IFDIR, "a directory"},    {S_IFIFO, "a FIFO"},    {S_IFCHR, "a character device"},
#ifndef _WIN32
        {S_IFBLK, "a block device"}, {S_IFSOCK, "a socket"},
#endif
    };
    const unsigned type = mode & S_IFMT;
    for (const Kind& kind : kKinds) {
        if (kind.type == type)
            return kind.type == S_IFDIR
                       ? "it is a directory"
                       : std::string("it is ") + kind.name + ", not a regular file";
    }
    return "it is not a regular file";
}

bool IsRegular(const FileInfo& info) {
    return (info.st_mode & S_IFMT) == S_IFREG;
}

// The file descriptor, closed on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            CloseFile(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The file opened for reading, or why not. Checked on the open descriptor, so the file can't be
// swapped between the check and the read.
struct Opened {
    std::optional<Descriptor> fd;  // set only for a regular file
    std::string error;
    bool irregular = false;  // refused for what it is, not for a failed call
};

void Open(const std::string& path, Opened& opened) {
    const int fd = OpenFile(path);
    FileInfo info{};
    if (fd < 0) {
        const int error = errno;
        // A socket can't be opened at all, nor a directory on Windows; say what it is rather
        // than the open's words.
        opened.irregular = StatPath(path, info) && !IsRegular(info);
        opened.error = opened.irregular ? DescribeIrregular(info.st_mode) : ErrnoText(error);
        return;
    }
    opened.fd.emplace(fd);
    if (!StatFile(fd, info)) {
        opened.error = ErrnoText(errno);
        opened.fd.reset();
    } else if (!IsRegular(info)) {
        opened.irregular = true;
        opened.error = DescribeIrregular(info.st_mode);
        opened.fd.reset();
    }
}

}  // namespace

InputFile ReadInputFile(const std::string& path, std::size_t limit) {
    Opened opened;
    Open(path, opened);
    if (!opened.fd)
        return {std::nullopt, opened.error};
    const int fd = opened.fd->get();
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const long n = ReadSome(fd, bytes.data() + got, bytes.size() - got);
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
}

std::string RefuseIrregularFile(const std::string& path) {
    Opened opened;
    Open(path, opened);
    // A path that can't be opened is left to the caller's own open, which says why.
    return opened.irregular ? opened.error : std::string();
}

}  // namespace velta
