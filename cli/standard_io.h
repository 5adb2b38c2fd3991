// How the program meets its process: the arguments it was given and the three standard streams,
// the same on every system. On Windows the arguments come from the wide command line (the narrow
// argv holds only what the ANSI code page can spell) and the streams carry bytes as they are (text
// mode would turn the Data Center's CR LF into CR CR LF).
#pragma once

#include <string>
#include <vector>

namespace velta::cli {

// The arguments after the program name, in UTF-8.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// Standard input, output and error pass bytes through untranslated from now on (nothing to do
// where no system translates them).
void UseBinaryStandardStreams();

// While one lives, a Windows console shows the UTF-8 the program writes as UTF-8; the console's
// own code page comes back when it ends. Nothing on other systems, or when the output is not a
// console.
class Utf8Console {
  public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

  private:
    [[maybe_unused]] unsigned int savedCodePage_ = 0;  // 0: nothing to restore (Windows only)
};

}  // namespace velta::cli
