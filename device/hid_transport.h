// The platform layer under the link: list HID interfaces, open one, write a report, read one.
// Platform-neutral: the hidapi transport implements it on Linux, and a native transport on
// another system implements the same calls with that system's I/O.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_reports.h"

namespace velta {

struct HidInterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // The device's USB serial number string in UTF-8, exactly as the device gives it; empty when
    // it gives none. Two transmitters on one computer are told apart by it.
    std::string serialNumber{};
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
    Cancelled,  // CancelRead came before a report did
};

// What became of one write. Only Written means the device took the whole report.
enum class WriteStatus {
    Written,      // all 65 bytes were taken
    Short,        // fewer were taken: the device did not get the report
    Interrupted,  // a signal or a would-block came first and nothing was written: try again
    TimedOut,     // the platform gave the write up at its deadline itself; nothing was written
    Failed,       // the write failed for real: the device was removed, an I/O error
};

struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    int error = 0;  // the platform's error number where it gave one (EINTR, EAGAIN, EIO, ...)
};

using LinkClock = std::chrono::steady_clock;

// One open handle on a device path; closed by the destructor. Write and Read may run at the same
// time on different threads, each on its own handle.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // Writes one 65-byte report (byte 0 = report id 0). May block for as long as the device does
    // not take the report: a platform that can give a write up may do so at `deadline`
    // (TimedOut), one that can't (hidapi) ignores it and the caller stops waiting instead.
    // Interrupted is reported, never retried here: the caller decides whether time is left.
    virtual WriteResult Write(const DeviceReport& report, LinkClock::time_point deadline) = 0;
    // Blocks until an input report arrives, the read fails, or CancelRead is called. Interrupted
    // or would-block reads are retried here, never reported. On Report, `length`
    // (1..kReportSize) bytes of `buffer` are the device's and the rest are zero.
    virtual ReadOutcome Read(InputReport& buffer, std::size_t& length) = 0;
    // Any thread. Makes a Read in progress, or the next one, return Cancelled. True when the
    // platform ends the read at once (a cancelled wait, a cancelled overlapped read), so the
    // caller may wait for the reader; false when the reader sees it only at its next look at the
    // device (a read slice later), so the caller must leave the reader to finish alone.
    virtual bool CancelRead() = 0;
};

class HidTransport {
  public:
    virtual ~HidTransport() = default;
    // Empty when the platform's HID library is working; otherwise why it failed to start (the
    // transport then lists no interfaces).
    virtual std::string StartFailure() const { return {}; }
    // The present HID interfaces, in the platform's order, each with its serial number where the
    // device has one.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Opens a path for reading and writing, shared; nullptr when it can't be opened, with the
    // reason in `failure`. The handle is shared because a reader or a writer stuck in the device
    // may keep it after the link has let it go; it is closed by whoever lets go last.
    virtual std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) = 0;
};

}  // namespace velta
