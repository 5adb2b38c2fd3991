// The one connection to the transmitter: finds it by vendor and product id, opens it twice
// (write handle, read handle), writes reports, and keeps a reader waiting on the device so a
// removed device is noticed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "device/device_reports.h"
#include "device/hid_transport.h"
#include "device/link_notices.h"

namespace velta {

constexpr std::uint16_t kTransmitterVendorId = 0x04D8;
constexpr std::uint16_t kTransmitterProductId = 0x003F;

enum class LinkState { Closed, Watching, Unwatched, ReadFailed, WriteFailed };

class HidLink {
public:
    HidLink(HidTransport& transport, LinkNotices& notices);
    ~HidLink();  // closes the link: no reader thread outlives it
    HidLink(const HidLink&) = delete;
    HidLink& operator=(const HidLink&) = delete;

    bool Open();
    bool WriteReport(const DeviceReport& report);
    void Close();
    bool IsConnected() const { return connected_.load(); }
    LinkState State() const;

private:
    // (private members are defined by the implementation)
    std::atomic<bool> connected_{false};
};

}  // namespace velta
