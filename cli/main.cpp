// velta: the command-line program. Everything but the real streams and the USB transport is in
// RunVelta.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/velta_cli.h"
#include "device/hidapi_transport.h"
#include "device/simulated_transmitter.h"

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    velta::SimulatedTransmitter simulated;
    velta::cli::Transports transports;
    transports.makeDevice = [] { return std::make_unique<velta::HidapiTransport>(); };
    transports.simulated = &simulated;
    // Report lines and Data Center text go out byte for byte (CR LF included): nothing on this
    // platform translates line ends, and the C streams need not be kept in step.
    std::ios::sync_with_stdio(false);
    const int code = velta::cli::RunVelta(args, transports, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
