// Which transmitter the link opens when more than one is plugged in: none chosen takes the first
// in the platform's order; otherwise the one whose path, or else whose serial number, is exactly
// the choice. The same rule serves the link, `velta list --device` and the diagnostics.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/hid_transport.h"

namespace velta {

struct DeviceChoice {
    std::string pathOrSerial;  // empty: any transmitter, the first in the platform's order

    bool Any() const { return pathOrSerial.empty(); }
};

// The transmitters (vendor 0x04D8, product 0x003F) among `interfaces`, in their order.
std::vector<HidInterfaceInfo> ListTransmitters(const std::vector<HidInterfaceInfo>& interfaces);

// The transmitters the choice names, in the platform's order, to be tried one after the other:
// every transmitter when none is chosen; else those whose path is the choice, or, when no path
// is, those whose serial number is. An interface of another device is never chosen, whatever
// its path.
std::vector<HidInterfaceInfo> ChooseTransmitters(const std::vector<HidInterfaceInfo>& interfaces,
                                                 const DeviceChoice& choice);

// A path, serial number or choice as it may be shown on a terminal or in a window: control
// characters (C0, DEL, C1) and bytes that are not UTF-8 each become '?', so a device's serial
// number can't steer the terminal. Anything else is kept as it is.
std::string ShownName(std::string_view text);

}  // namespace velta
