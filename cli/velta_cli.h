// The `velta` command line as a function: parses the arguments, runs one command through the
// controller the window uses, and reports on the two streams it is given. main() only supplies
// the real streams and transports, so the tests run every command in-process.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "device/simulated_transmitter.h"

namespace velta::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,          // bad arguments, or a file or input that can't be read
    kExitNoTransmitter = 3,  // no transmitter found
    kExitCannotOpen = 4,     // a transmitter is there but none could be opened
    kExitWriteFailed = 5,    // the transmitter did not take a report (play stops there)
    kExitNetwork = 6,        // serve could not listen, or its network input stopped working
};

// Where the commands find a transmitter.
struct Transports {
    // The USB device layer; called only when a command talks to the transmitter without
    // --simulate, so `velta --help` never touches the USB stack.
    std::function<std::unique_ptr<HidTransport>()> makeDevice;
    // The same for a command that runs for long and mostly waits (serve): a USB layer that need
    // not end at once, so its reader wakes as rarely as it can. Empty: makeDevice.
    std::function<std::unique_ptr<HidTransport>()> makeServiceDevice;
    // What --simulate talks to; the reports it receives during the command are printed.
    SimulatedTransmitter* simulated = nullptr;

    // How `play` keeps time. main() keeps the steady clock and the sliced sleep; the tests pass a
    // fake clock and a sleep that moves it, so they run without real time.
    using TimePoint = std::chrono::steady_clock::time_point;
    std::function<TimePoint()> now = &std::chrono::steady_clock::now;
    // Returns at `until`, or earlier once stopRequested() holds. Empty: SleepUntil below with
    // `now` and `stopRequested`.
    std::function<void(TimePoint until)> sleepUntil;
    // True once the user asked a playing sequence to stop (Ctrl+C); empty: never.
    std::function<bool()> stopRequested;
    // Called as play starts: from then on SIGINT and SIGTERM ask it to stop (stopRequested)
    // instead of ending the process, so the frame being sent is finished. Empty: nothing.
    std::function<void()> catchStopSignals;
};

// The longest a sleeping `play` goes without looking at the stop request.
inline constexpr std::chrono::milliseconds kStopPollInterval{50};

// Sleeps until `now()` reaches `until` in slices of at most kStopPollInterval, returning early
// once `stopRequested` (if given) holds.
void SleepUntil(Transports::TimePoint until, const std::function<Transports::TimePoint()>& now,
                const std::function<bool()>& stopRequested);

// `args` are the arguments after the program name. Returns the process exit code. Reads `in`
// only for `decode`, and files only those named on the command line; writes nothing but `out`
// and `err`.
int RunVelta(const std::vector<std::string>& args, Transports& transports, std::istream& in,
             std::ostream& out, std::ostream& err);
// The same with nothing on the input.
int RunVelta(const std::vector<std::string>& args, Transports& transports, std::ostream& out,
             std::ostream& err);

}  // namespace velta::cli
