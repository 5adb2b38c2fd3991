#include "cli/standard_io.h"

#ifdef _WIN32
// windows.h first: the other Windows headers build on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string_view>

#include "device/utf16.h"
#endif

namespace velta::cli {

#ifdef _WIN32

std::vector<std::string> ProgramArguments(int /*argc*/, char* /*argv*/[]) {
    std::vector<std::string> args;
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!wide)
        return args;
    // wchar_t is a UTF-16 unit on Windows.
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    for (int i = 1; i < count; ++i) {
        const std::wstring_view arg(wide.get()[i]);
        args.push_back(Utf16ToUtf8(
            std::u16string_view(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
    }
    return args;
}

void UseBinaryStandardStreams() {
    for (std::FILE* stream : {stdin, stdout, stderr})
        _setmode(_fileno(stream), _O_BINARY);
}

Utf8Console::Utf8Console() {
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
        !GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
        return;  // no console to show it: the bytes go to a file or a pipe as they are
    const UINT current = GetConsoleOutputCP();
    if (current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        savedCodePage_ = current;
}

Utf8Console::~Utf8Console() {
    if (savedCodePage_ != 0)
        SetConsoleOutputCP(savedCodePage_);
}

#else

std::vector<std::string> ProgramArguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseBinaryStandardStreams() {}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

}  // namespace velta::cli
