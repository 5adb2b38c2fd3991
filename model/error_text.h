// Words for an errno value that read the same on every system: the C libraries word some values
// differently (or, on Windows, read errno as a Win32 code when asked through the system
// category), and the program's messages must not depend on which one it was built with.
#pragma once

#include <string>

namespace velta {

// "Permission denied" for EACCES and so on for the values a file or device open can leave; any
// other value in the C library's own words.
std::string ErrnoText(int error);

}  // namespace velta
