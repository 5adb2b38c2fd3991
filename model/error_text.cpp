#include "model/error_text.h"

#include <cerrno>
#include <system_error>

namespace velta {

namespace {

struct ErrnoWords {
    int error;
    const char* words;
};

// The wording of the GNU C library, which Linux users know.
constexpr ErrnoWords kErrnoWords[] = {
    {EPERM, "Operation not permitted"},
    {ENOENT, "No such file or directory"},
    {EINTR, "Interrupted system call"},
    {EIO, "Input/output error"},
    {ENXIO, "No such device or address"},
    {EBADF, "Bad file descriptor"},
    {EAGAIN, "Resource temporarily unavailable"},
    {ENOMEM, "Cannot allocate memory"},
    {EACCES, "Permission denied"},
    {EBUSY, "Device or resource busy"},
    {EEXIST, "File exists"},
    {ENODEV, "No such device"},
    {ENOTDIR, "Not a directory"},
    {EISDIR, "Is a directory"},
    {EINVAL, "Invalid argument"},
    {ENFILE, "Too many open files in system"},
    {EMFILE, "Too many open files"},
    {EFBIG, "File too large"},
    {ENOSPC, "No space left on device"},
    {EROFS, "Read-only file system"},
    {ENAMETOOLONG, "File name too long"},
    {ELOOP, "Too many levels of symbolic links"},
    {ETIMEDOUT, "Connection timed out"},
};

}  // namespace

std::string ErrnoText(int error) {
    for (const ErrnoWords& entry : kErrnoWords) {
        if (entry.error == error)
            return entry.words;
    }
    // The generic category reads errno values on every system (the system category would read
    // a Win32 code on Windows).
    return std::generic_category().message(error);
}

}  // namespace velta
