// A transmitter in software: a scriptable list of HID interfaces, a record of the reports the
// program wrote (the last kRecordLimit, and a count of all), and faults on demand (the HID library
// fails to start, an open fails with an errno, the n-th write fails, writes stall, come back short
// or are interrupted, reads are interrupted, unplug, the device sends an input report). The tests
// drive the link with it, and `--simulate` lets anyone try the program without the hardware.
// Every member is safe to call from any thread.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"

namespace velta {

class SimulatedTransmitter : public HidTransport {
  public:
    static constexpr const char* kDefaultPath = "sim:transmitter";
    static constexpr const char* kDefaultSerial = "SIM0001";
    // Reports kept in the record; older ones leave it, the count goes on.
    static constexpr std::size_t kRecordLimit = 10000;

    // The interface entry of a transmitter at the given path with the given serial number (vendor
    // 0x04D8, product 0x003F). SetInterfaces with two of them lists two transmitters, told apart
    // by path and serial; each report in the record keeps the path it was written to.
    static HidInterfaceInfo TransmitterInterface(std::string path = kDefaultPath,
                                                 std::string serialNumber = kDefaultSerial);

    // Exactly one interface present, the transmitter (kDefaultPath, kDefaultSerial), accepting
    // every report and never sending an input report.
    SimulatedTransmitter();
    ~SimulatedTransmitter() override;
    SimulatedTransmitter(const SimulatedTransmitter&) = delete;
    SimulatedTransmitter& operator=(const SimulatedTransmitter&) = delete;

    // The interfaces present, in platform order. Handles opened before an Unplug stay dead;
    // handles opened after this call work again (the device was plugged back in).
    void SetInterfaces(std::vector<HidInterfaceInfo> interfaces);
    // The HID library failed to start with this message (empty: it works again).
    void FailStart(std::string message);
    // Opening this path fails with `error` as errno (or works again with fail = false).
    void FailOpen(const std::string& path, bool fail = true, int error = EIO);
    // The n-th write from now (1-based, counting every write attempt) fails; 0 clears.
    void FailWriteNumber(int n);
    void FailAllWrites(bool fail);
    // Writes block in the device until stalling is turned off again (or the device is unplugged).
    void StallWrites(bool stall);
    // Only the next write blocks, until StallWrites(false); later ones go through meanwhile.
    void StallNextWrite();
    int StalledWrites() const;  // writes blocked in the device right now
    // The device takes only part of each report: the write reports failure, nothing is recorded.
    void ShortWrites(bool shortWrites);
    // The next n write attempts are interrupted (by a signal, or would block with EAGAIN) before
    // anything is written.
    void InterruptWrites(int n, int error = EINTR);
    // The next n reads are interrupted by a signal before anything arrives; the handle retries.
    void InterruptReads(int n);
    int InterruptedReads() const;  // interruptions retried so far
    // The device goes away: pending and future reads on the handles open now fail, their writes
    // fail, and no interface is listed any more.
    void Unplug();
    // A pending read, or else the next read, returns an input report: a report of zeros, or
    // these bytes (at most 65 are delivered; an empty list counts as a 65-byte report of zeros).
    void SendInputReport();
    void SendInputReport(std::vector<std::uint8_t> bytes);

    std::vector<DeviceReport> WrittenReports() const;  // the reports kept, oldest first
    std::vector<std::string> WrittenPaths() const;     // path of each report kept
    // The reports kept that were written to `path`, oldest first.
    std::vector<DeviceReport> WrittenReportsTo(const std::string& path) const;
    std::uint64_t WrittenTotal() const;  // reports accepted since construction
    // The reports kept that were accepted after the first `total` (a WrittenTotal() taken
    // earlier; those that have left the record since are not there), and `total` moved on to
    // WrittenTotal() in the same breath.
    std::vector<DeviceReport> WrittenSince(std::uint64_t& total) const;
    std::vector<std::string> OpenedPaths() const;  // every successful open, in order
    int OpenHandleCount() const;                   // handles open right now
    bool ReadPending() const;                      // a reader is blocked in Read right now
    int InputReportsDelivered() const;             // input reports reads have returned
    void ClearRecord();  // forgets the reports and paths kept and frees their memory

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::string StartFailure() const override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override;

  private:
    struct Shared;  // state shared with the handles, which may outlive the transmitter
    class Handle;
    std::shared_ptr<Shared> shared_;
};

}  // namespace velta
