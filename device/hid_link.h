// The one connection to the transmitter: finds it by vendor and product id, opens it twice
// (write handle, read handle), writes reports, and keeps a reader waiting on the device so a
// removed device is noticed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
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
    // Shared with read-error notices still queued for the UI thread, so a notice can tell whether
    // it belongs to the current link even after this object is gone.
    struct NoticeToken {
        std::atomic<std::uint64_t> generation{0};
    };

    void ReadWatch(const std::stop_token& stop, std::uint64_t generation);

    HidTransport& transport_;
    LinkNotices& notices_;
    std::shared_ptr<NoticeToken> token_ = std::make_shared<NoticeToken>();

    // UI thread only.
    std::unique_ptr<HidDevice> writeHandle_;
    bool open_ = false;  // a successful Open not yet followed by Close

    // Owned by the reader thread while it runs; the UI thread touches it only before the reader
    // starts and after it has been joined. Its presence is mirrored in readHandleOpen_ for State().
    std::unique_ptr<HidDevice> readHandle_;
    std::atomic<bool> readHandleOpen_{false};
    std::atomic<bool> readerRunning_{false};
    std::jthread reader_;

    std::atomic<bool> connected_{false};
};

}  // namespace velta
