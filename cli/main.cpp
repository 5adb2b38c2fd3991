// velta: the command-line program. Everything but the process's own arguments and streams, the
// USB transport and the stop signals is in RunVelta.
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/standard_io.h"
#include "cli/stop_signals.h"
#include "cli/velta_cli.h"
#include "device/platform_transport.h"
#include "device/simulated_transmitter.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args = velta::cli::ProgramArguments(argc, argv);
    // Report lines and Data Center text go out byte for byte (CR LF included) on every system,
    // and the C streams need not be kept in step.
    velta::cli::UseBinaryStandardStreams();
    std::ios::sync_with_stdio(false);
    const velta::cli::Utf8Console console;

    velta::SimulatedTransmitter simulated;
    velta::cli::Transports transports;
    // A command never sits idle: a short read slice lets it end as soon as it is done, without
    // waiting up to a whole idle slice for its reader to let the device go.
    transports.makeDevice = [] {
        return velta::MakePlatformTransport(std::chrono::milliseconds(50));
    };
    // The service sits idle for hours: its reader keeps the transport's own, longer slice.
    transports.makeServiceDevice = [] { return velta::MakePlatformTransport(); };
    transports.simulated = &simulated;
    transports.catchStopSignals = &velta::cli::CatchStopSignals;
    transports.stopRequested = &velta::cli::StopSignalled;
    const int code = velta::cli::RunVelta(args, transports, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
