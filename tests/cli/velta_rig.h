// What the velta command tests share: velta run in-process against two simulated transmitters,
// one behind --simulate and one standing in for the USB stack, and the two streams split into
// lines.
#pragma once

#include <cstddef>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/velta_cli.h"
#include "device/simulated_transmitter.h"

namespace velta::cli {

using Strings = std::vector<std::string>;

// A 65-byte report as --simulate prints it: byte 1 is the command, `payload` from byte 3 on.
inline std::string Hex(int command, const std::vector<int>& payload = {}) {
    std::vector<int> bytes(65, 0);
    bytes[1] = command;
    for (std::size_t i = 0; i < payload.size(); ++i)
        bytes[3 + i] = payload[i];
    std::string line;
    const char* digits = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            line += ' ';
        line += digits[bytes[i] >> 4];
        line += digits[bytes[i] & 0xF];
    }
    return line;
}

inline std::vector<int> Ascii(const std::string& text) {
    return std::vector<int>(text.begin(), text.end());
}

inline Strings Lines(const std::string& text) {
    Strings lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// A transport that hands everything to a simulated transmitter the test keeps, standing in for
// the USB stack on the path without --simulate.
class Forwarding : public HidTransport {
  public:
    explicit Forwarding(SimulatedTransmitter& target) : target_(target) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return target_.Enumerate(); }
    std::string StartFailure() const override { return target_.StartFailure(); }
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override {
        return target_.OpenPath(path, failure);
    }

  private:
    SimulatedTransmitter& target_;
};

struct Outcome {
    int code = -1;
    std::string outText;  // stdout byte for byte
    Strings out;
    Strings err;
};

struct Rig {
    SimulatedTransmitter simulated;  // what --simulate talks to
    SimulatedTransmitter device;     // what the "USB" path reaches
    int devicesMade = 0;
    Transports transports;

    Rig() {
        transports.simulated = &simulated;
        transports.makeDevice = [this] {
            ++devicesMade;
            return std::make_unique<Forwarding>(device);
        };
    }

    Outcome Velta(const Strings& args, const std::string& input = {}) {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        Outcome run;
        run.code = RunVelta(args, transports, in, out, err);
        run.outText = out.str();
        run.out = Lines(run.outText);
        run.err = Lines(err.str());
        return run;
    }
};

}  // namespace velta::cli
