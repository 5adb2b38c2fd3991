# Cross-compiles everything below the window, and velta.exe, for 64-bit Windows with Debian's
# mingw-w64 (POSIX threads model, for std::thread and std::mutex). scripts/test-windows uses it:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELTA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTA_MINGW_TRIPLE}-windres)

# Only the mingw sysroot is searched for headers, libraries and packages, so nothing of the host's
# /usr/include or /usr/lib can leak into a Windows build; programs still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELTA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12's libstdc++ for mingw has no futex: without this, std::binary_semaphore falls back to a
# waiter pool that can miss a wake-up. The POSIX semaphore build of it does not.
add_compile_definitions(_GLIBCXX_USE_POSIX_SEMAPHORE=1)

# One self-contained file per program: the C++ runtime and winpthreads linked in, so the
# programs run without the compiler's DLLs beside them (under wine too).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine when they are run at all from the build (ctest).
find_program(VELTA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VELTA_WINE64)
  find_program(VELTA_WINE64 NAMES wine64 wine)
endif()
if(VELTA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTA_WINE64})
endif()
