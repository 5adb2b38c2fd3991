// The link's platform layer on Windows: the HID class driver through SetupAPI, the HID library and
// overlapped file I/O, all reached through Win32HidApi (device/win32_hid_api.h), so the logic here
// is the same over the real calls and over the tests' fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "device/win32_hid_api.h"

namespace velta {

// What a failed Win32 call's code means to the link: the errno the diagnostics know it by (0 when
// there is none) and the system's own words with the code.
HidFailure DescribeWin32Failure(Win32HidApi& api, std::uint32_t error);

// Holds no state of its own beyond the calls it makes; the handles it opens share those calls,
// so they may outlive it (a write stuck in the device ends on its own).
//
// A write waits for the device until the deadline it is given and is then cancelled, so a write
// the link gives up on also ends in the device. A read waits for its transfer with no timeout at
// all (an idle reader never wakes); CancelRead cancels the transfer, and a removed device fails
// it, so either ends the read at once. Neither returns with its transfer in flight, so a handle is
// closed only when nothing can still write into its OVERLAPPED.
class WindowsHidTransport : public HidTransport {
  public:
    explicit WindowsHidTransport(std::shared_ptr<Win32HidApi> api);

    // Every interface whose vendor and product id can be read, opened for no access at all so
    // that devices others hold (keyboards, mice) are listed too.
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override;

  private:
    std::shared_ptr<Win32HidApi> api_;
};

}  // namespace velta
