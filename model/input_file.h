// Reading a file the user named without ever hanging on it: anything that is not a regular file
// (a directory, a FIFO, a device, a socket) is refused before a byte is read, and no more than a
// given size is read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace velta {

struct InputFile {
    std::optional<std::string> bytes;  // at most the limit asked for
    std::string error;                 // when there are no bytes: why, without the file's name
};

// `path` is UTF-8 on every system (on Windows it is read as such, not in the ANSI code page).
// The file's first `limit` bytes (all of them when it is shorter). A reader that refuses files
// over some size asks for one byte more than it accepts.
InputFile ReadInputFile(const std::string& path, std::size_t limit);

// Empty when `path` names a regular file, or nothing that can be opened (the caller's own open
// then says why); otherwise why it is refused, e.g. "it is a FIFO, not a regular file". Never
// blocks: for a reader of its own (a picture decoder) that opens the file after this check.
std::string RefuseIrregularFile(const std::string& path);

}  // namespace velta
