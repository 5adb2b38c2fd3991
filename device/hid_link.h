// The one connection to the transmitter: finds it by vendor and product id, opens it twice
// (write handle, read handle), writes reports through a writer thread with a deadline, and keeps
// a reader waiting on the device so a removed device is noticed and input reports are seen.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "device/device_reports.h"
#include "device/hid_transport.h"
#include "device/link_notices.h"
#include "device/link_wait.h"
#include "device/report_tap.h"

namespace velta {

constexpr std::uint16_t kTransmitterVendorId = 0x04D8;
constexpr std::uint16_t kTransmitterProductId = 0x003F;

// Makes an input report as the tap sees it: `length` clamped to 1..kReportSize (0 means a
// report the transport could not size: the whole buffer) and every byte past it zero.
void NormaliseInputReport(InputReport& report, std::size_t& length);

class HidLink {
  public:
    // How long WriteReport waits for the device to take one report before it counts as failed.
    static constexpr std::chrono::milliseconds kWriteBudget{250};

    HidLink(HidTransport& transport, LinkNotices& notices);
    // `wait` decides when a write's budget has run out; it must outlive the link.
    HidLink(HidTransport& transport, LinkNotices& notices, LinkWait& wait);
    ~HidLink();  // closes the link: the reader is joined, a stuck writer is left to finish alone
    HidLink(const HidLink&) = delete;
    HidLink& operator=(const HidLink&) = delete;

    // UI thread. On failure the notices get the reason (ShowLinkDiagnostic).
    bool Open();
    // UI thread. Waits at most kWriteBudget for the device.
    bool WriteReport(const DeviceReport& report);
    // UI thread. Returns promptly even with a write stuck in the device.
    void Close();
    bool IsConnected() const { return connected_.load(); }
    // UI thread. True when the link is connected and its transmitter is still listed.
    bool DevicePresent();
    // UI thread. Sees every written report and every input report from now on; nullptr stops it.
    // The tap must outlive the link's posted work (the UI thread's queue) or be unset first.
    void SetTap(ReportTap* tap);

  private:
    // Shared with work still queued for the UI thread, so a notice can tell whether it belongs to
    // the current link even after this object is gone.
    struct NoticeToken {
        std::atomic<std::uint64_t> generation{0};
        std::atomic<ReportTap*> tap{nullptr};
    };
    struct Writer;

    void ReadWatch(const std::stop_token& stop, std::uint64_t generation);
    static void WriteLoop(const std::shared_ptr<Writer>& writer);
    // Lets the writer go: joined when it is idle, left to finish alone when a write is stuck.
    void ReleaseWriter();
    bool FailWrite(const DeviceReport& report);
    void Diagnose(const std::string& reason, bool permissionProblem);

    HidTransport& transport_;
    LinkNotices& notices_;
    SteadyLinkWait steadyWait_;
    LinkWait& wait_;
    std::shared_ptr<NoticeToken> token_ = std::make_shared<NoticeToken>();
    ReportTap* tap_ = nullptr;  // UI thread's copy
    std::string path_;          // the transmitter's path while open

    // The write handle lives inside the writer, which the writer thread releases on its way out,
    // so a handle is never closed under a write.
    std::shared_ptr<Writer> writer_;
    std::thread writerThread_;

    // Owned by the reader thread while it runs; the UI thread touches it only before the reader
    // starts and after it has been joined.
    std::unique_ptr<HidDevice> readHandle_;
    std::jthread reader_;

    std::atomic<bool> connected_{false};
};

}  // namespace velta
