// The platform layer under the link: list HID interfaces, open one, write a report, read one.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "device/device_reports.h"

namespace velta {

struct HidInterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

using InputReport = std::array<std::uint8_t, kReportSize>;

enum class ReadOutcome {
    Report,     // an input report arrived
    Failed,     // the read failed, e.g. the device was removed
    Cancelled,  // the stop token was triggered before a report arrived
};

// One open handle on a device path; closed by the destructor.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // Writes one 65-byte report (byte 0 = report id 0); true when the platform took all of it.
    virtual bool Write(const DeviceReport& report) = 0;
    // Blocks until an input report arrives, the read fails, or stop is requested. A stop must end
    // the call promptly (well under 200 ms) and is reported as Cancelled.
    virtual ReadOutcome Read(InputReport& buffer, std::stop_token stop) = 0;
};

class HidTransport {
  public:
    virtual ~HidTransport() = default;
    // The present HID interfaces, in the platform's order.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Opens a path for reading and writing, shared; nullptr when it can't be opened.
    virtual std::unique_ptr<HidDevice> OpenPath(const std::string& path) = 0;
};

}  // namespace velta
