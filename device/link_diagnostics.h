// Words for the user when the transmitter cannot be opened: what was (not) found and, for a
// permission problem, what mends it: on Linux the commands that install the udev rule, on
// Windows the other program that holds the transmitter.
#pragma once

#include <string>
#include <vector>

#include "device/device_choice.h"
#include "device/hid_transport.h"

namespace velta {

// Where the udev rule to copy lives: the installed package's copy when there is one, else the
// source checkout's. Empty on Windows, which has no udev.
std::string UdevRulePath();

// True for the errno values that mean "present, but this user may not open it".
bool IsPermissionError(int error);

std::string DescribeNoTransmitter();
// A transmitter was chosen and none matches: names the choice and every transmitter present
// (`transmitters`, from ListTransmitters) by path and serial number, so the right one can be
// picked.
std::string DescribeNoChosenTransmitter(const DeviceChoice& choice,
                                        const std::vector<HidInterfaceInfo>& transmitters);
// A transmitter as one line of `velta list` and the diagnostics: its path and serial number.
std::string DescribeTransmitter(const HidInterfaceInfo& transmitter);
std::string DescribeStartFailure(const std::string& message);
// The transmitter at `path` was listed but could not be opened: the errno's words (the same on
// every system) or else the platform's. `rulePath` is the udev rule to name in the advice for a
// permission problem on Linux.
std::string DescribeOpenFailure(const std::string& path, const HidFailure& failure,
                                const std::string& rulePath);

}  // namespace velta
