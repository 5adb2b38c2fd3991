// The platform layer under the link: list HID interfaces, open one, write a report, read one.
#pragma once

#include <array>
#include <cstddef>
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

// Why a platform call failed: the errno it left (0 when it gave none) and the platform's own
// words, when it has any.
struct HidFailure {
    int error = 0;
    std::string message;
};

using InputReport = std::array<std::uint8_t, kReportSize>;

enum class ReadOutcome {
    Report,     // an input report arrived
    Failed,     // the read failed for real: the device was removed, an I/O error
    Cancelled,  // the stop token was triggered before a report arrived
};

// One open handle on a device path; closed by the destructor. Write and Read may run at the same
// time on different threads, each on its own handle.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // Writes one 65-byte report (byte 0 = report id 0); true when the platform took all of it.
    // May block for as long as the device does not take the report.
    virtual bool Write(const DeviceReport& report) = 0;
    // Blocks until an input report arrives, the read fails, or stop is requested. Interrupted or
    // would-block reads are retried here, never reported. A stop must end the call promptly
    // (well under 200 ms) and is reported as Cancelled. On Report, `length` (1..kReportSize)
    // bytes of `buffer` are the device's and the rest are zero.
    virtual ReadOutcome Read(InputReport& buffer, std::size_t& length, std::stop_token stop) = 0;
};

class HidTransport {
  public:
    virtual ~HidTransport() = default;
    // Empty when the platform's HID library is working; otherwise why it failed to start (the
    // transport then lists no interfaces).
    virtual std::string StartFailure() const { return {}; }
    // The present HID interfaces, in the platform's order.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Opens a path for reading and writing, shared; nullptr when it can't be opened, with the
    // reason in `failure`.
    virtual std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) = 0;
};

}  // namespace velta
