#include "cli/stop_signals.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace velta::cli {

namespace {

// The one thing the handlers touch. The platform calls them with nothing to hand them, so the flag
// lives at file scope; lock-free, so a signal handler may set it (and on Windows, where the
// handler runs on a thread of its own, every thread sees it set).
std::atomic<bool> stopSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32

// Closing the console, logging off or shutting down ends the process as soon as the handler
// returns (and after 5 s whatever it does): the handler waits this long for the command to end
// on its own first, which, when it does, ends the process and the wait with it.
constexpr DWORD kEndingGraceMs = 2000;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    stopSignalled.store(true);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(kEndingGraceMs);
    return TRUE;
}

#else

extern "C" void OnStopSignal(int /*signal*/) {
    stopSignalled.store(true);
}

#endif

}  // namespace

void CatchStopSignals() {
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#else
    // No SA_RESTART: a sleeping command wakes from its sleep slices on its own anyway.
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

bool StopSignalled() {
    return stopSignalled.load();
}

}  // namespace velta::cli
