// velta: the command-line program. Everything but the real streams, the USB transport and the
// signals is in RunVelta.
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/velta_cli.h"
#include "device/hidapi_transport.h"
#include "device/simulated_transmitter.h"

namespace {

// Set by SIGINT or SIGTERM while a sequence plays. A signal handler may touch nothing else, so
// this one flag lives at file scope.
volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void OnStopSignal(int /*signal*/) {
    stopSignalled = 1;
}

// From now on Ctrl+C and SIGTERM ask for a stop instead of ending the process. No SA_RESTART
// is needed: play wakes from its sleep slices on its own.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    velta::SimulatedTransmitter simulated;
    velta::cli::Transports transports;
    // A command never sits idle: a short read slice lets it end as soon as it is done, without
    // waiting up to a whole idle slice for its reader to let the device go.
    transports.makeDevice = [] {
        return std::make_unique<velta::HidapiTransport>(std::chrono::milliseconds(50));
    };
    // The service sits idle for hours: its reader wakes once per full slice.
    transports.makeServiceDevice = [] { return std::make_unique<velta::HidapiTransport>(); };
    transports.simulated = &simulated;
    transports.catchStopSignals = &CatchStopSignals;
    transports.stopRequested = [] { return stopSignalled != 0; };
    // Report lines and Data Center text go out byte for byte (CR LF included): nothing on this
    // platform translates line ends, and the C streams need not be kept in step.
    std::ios::sync_with_stdio(false);
    const int code = velta::cli::RunVelta(args, transports, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
