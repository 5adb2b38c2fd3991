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
    return velta::cli::RunVelta(args, transports, std::cout, std::cerr);
}
