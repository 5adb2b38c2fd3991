// Sees every report that crosses the link, for the display preview and the report monitor.
#pragma once

#include <cstddef>

#include "device/device_reports.h"

namespace velta {

enum class ReportDirection { Written, Read };

class ReportTap {
  public:
    virtual ~ReportTap() = default;
    // UI thread, in the order the reports were handed to the link. `written` is false for a write
    // that failed (or missed its deadline); such a report never reached the display.
    virtual void OnReportWritten(const DeviceReport& report, bool written) = 0;
    // UI thread. An input report from the transmitter: `length` bytes of `report` are real
    // (a device may send fewer than 65); the rest are zero.
    virtual void OnReportRead(const DeviceReport& report, std::size_t length) = 0;
};

}  // namespace velta
