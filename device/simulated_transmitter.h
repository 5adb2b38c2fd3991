// A transmitter in software: a scriptable list of HID interfaces, a record of every report the
// program wrote, and faults on demand (open fails, the n-th write fails, unplug, the device sends
// an input report). The tests drive the link with it, and `--simulate` lets anyone try the
// program without the hardware. Every member is safe to call from any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"

namespace velta {

class SimulatedTransmitter : public HidTransport {
  public:
    static constexpr const char* kDefaultPath = "sim:transmitter";

    // The interface entry of a transmitter at the given path (vendor 0x04D8, product 0x003F).
    static HidInterfaceInfo TransmitterInterface(std::string path = kDefaultPath);

    // Exactly one interface present, the transmitter, accepting every report and never sending
    // an input report.
    SimulatedTransmitter();
    ~SimulatedTransmitter() override;
    SimulatedTransmitter(const SimulatedTransmitter&) = delete;
    SimulatedTransmitter& operator=(const SimulatedTransmitter&) = delete;

    // The interfaces present, in platform order. Handles opened before an Unplug stay dead;
    // handles opened after this call work again (the device was plugged back in).
    void SetInterfaces(std::vector<HidInterfaceInfo> interfaces);
    // Opening this path fails (or works again with fail = false).
    void FailOpen(const std::string& path, bool fail = true);
    // The n-th write from now (1-based, counting every write attempt) fails; 0 clears.
    void FailWriteNumber(int n);
    void FailAllWrites(bool fail);
    // The device goes away: pending and future reads on the handles open now fail, their writes
    // fail, and no interface is listed any more.
    void Unplug();
    // A pending read, or else the next read, returns an input report.
    void SendInputReport();

    std::vector<DeviceReport> WrittenReports() const;  // every report accepted, in order
    std::vector<std::string> WrittenPaths() const;     // path of each accepted report
    std::vector<std::string> OpenedPaths() const;      // every successful open, in order
    int OpenHandleCount() const;                       // handles open right now
    bool ReadPending() const;                          // a reader is blocked in Read right now
    void ClearRecord();                                // forgets written reports and paths

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path) override;

  private:
    struct Shared;  // state shared with the handles, which may outlive the transmitter
    class Handle;
    std::shared_ptr<Shared> shared_;
};

}  // namespace velta
