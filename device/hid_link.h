// The one connection to the transmitter: finds it by vendor and product id, opens it twice
// (write handle, read handle), writes each command's reports on a writer thread with a deadline
// per report, and keeps a reader waiting on the device so a removed device is noticed and input
// reports are seen. The UI thread never waits for the device: it hands a command's reports over
// in one go and hears how they went later, as posted work.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/device_choice.h"
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

// One command's reports, written in this order with nothing between them.
using ReportBatch = std::vector<DeviceReport>;

struct BatchResult {
    bool written = false;      // the device took every report of the batch
    bool droppedLink = false;  // a write of this batch failed or was given up: the link went down
    bool closed = false;       // Close (or a new Open) came before the batch was all written
};
using BatchDone = std::function<void(const BatchResult&)>;

// Why the last Open found no usable transmitter.
enum class OpenFailure {
    None,          // the last Open succeeded, or there was none
    StartFailed,   // the platform's HID library did not start
    NotFound,      // no transmitter listed, or none the choice names
    CannotOpen,    // a transmitter was listed but refused to open (a permission problem above all)
    ThreadFailed,  // the link's threads could not be started
};

class HidLink {
  public:
    // How long one report may take the device: a write still in the device after this is given
    // up, and so is every report after it.
    static constexpr std::chrono::milliseconds kWriteBudget{250};

    HidLink(HidTransport& transport, LinkNotices& notices);
    // `wait` decides when a report's deadline has passed; it must outlive the link.
    HidLink(HidTransport& transport, LinkNotices& notices, LinkWait& wait);
    // Closes the link; nothing it posted runs any more.
    ~HidLink();
    HidLink(const HidLink&) = delete;
    HidLink& operator=(const HidLink&) = delete;

    // UI thread. Which transmitter the next Open looks for (none chosen: the first in the
    // platform's order). An open link stays on its transmitter until it is opened anew.
    void SetDeviceChoice(DeviceChoice choice) { choice_ = std::move(choice); }
    const DeviceChoice& Choice() const { return choice_; }
    // UI thread. Opens the first transmitter the choice names that opens (twice: write and read
    // handle). On failure the notices get the reason (ShowLinkDiagnostic), naming the choice when
    // nothing matched it.
    bool Open();
    OpenFailure LastOpenFailure() const { return lastFailure_; }
    // The transmitter the link has open (path and serial number); empty while closed.
    const HidInterfaceInfo& Transmitter() const { return transmitter_; }
    // UI thread; returns at once. The reports go to the writer in one hand-off, behind every
    // batch sent before. Later, as posted work on the UI thread and in the order the batches were
    // sent, the tap sees each report with its outcome and then `done` runs: exactly once per
    // batch, also when the link fails, is closed or is opened anew first (a report not written
    // by then counts as failed), and never once the link is gone. The connected flag is already
    // clear from the moment a write failed or was given up.
    void Send(ReportBatch reports, BatchDone done = {});
    // UI thread. Returns promptly even with a write stuck in the device or a read waiting in it;
    // batches not yet written are answered as failed.
    void Close();
    bool IsConnected() const;
    // UI thread. True when the link is connected and its transmitter is still listed.
    bool DevicePresent();
    // UI thread. Sees every written report and every input report from now on; nullptr stops it.
    // The tap must outlive the link or be unset first.
    void SetTap(ReportTap* tap);

  private:
    struct Channel;
    struct DeviceGate;
    struct Batch;
    struct Writer;
    struct Reader;

    static void ReadWatch(const std::shared_ptr<Reader>& reader,
                          const std::shared_ptr<Channel>& channel, std::uint64_t generation);
    static void WriteLoop(const std::shared_ptr<Writer>& writer);
    static void WatchLoop(const std::shared_ptr<Writer>& writer);
    // Starts the writer and its watchdog on `handle`; false (nothing left running) when a thread
    // could not be started.
    bool StartWriter(std::shared_ptr<HidDevice> handle);
    void StopReader();
    void StopWriter();
    bool Fail(OpenFailure failure, const std::string& reason, bool permissionProblem);

    HidTransport& transport_;
    LinkNotices& notices_;
    SteadyLinkWait steadyWait_;
    LinkWait& wait_;
    // Shared with the link's threads and with the work they post.
    std::shared_ptr<Channel> channel_;
    // Shared with every writer this link has had, including ones still stuck in the device.
    std::shared_ptr<DeviceGate> gate_;
    DeviceChoice choice_;
    OpenFailure lastFailure_ = OpenFailure::None;
    HidInterfaceInfo transmitter_;  // while open
    std::string path_;              // the transmitter's path while open

    // The write handle lives in the writer. The writer thread owns it while it runs; the watchdog
    // only watches the clock. Both are joined by Close, except a writer with a write in the device:
    // that one is left to finish alone and lets the handle go when its write returns, so a handle
    // is never closed under a write and Close never waits for the device.
    std::shared_ptr<Writer> writer_;
    std::thread writerThread_;
    std::thread watchdogThread_;

    // The read handle lives in the reader, owned by the reader thread. Close joins the thread when
    // the platform ends a read at once, and otherwise leaves it to end at its next look at the
    // device, which then lets the handle go.
    std::shared_ptr<Reader> reader_;
    std::thread readerThread_;
};

}  // namespace velta
