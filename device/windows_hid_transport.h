// The link's platform layer on Windows: the HID class driver through SetupAPI, the HID library and
// overlapped file I/O, all reached through Win32HidApi (device/win32_hid_api.h), so the logic here
// is the same over the real calls and over the tests' fake.
#pragma once

#include <chrono>
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
class WindowsHidTransport : public HidTransport {
  public:
    // How long a write waits for the device before it is cancelled: the link's own budget, so a
    // write the link has given up on is also ended in the device.
    static constexpr std::chrono::milliseconds kWriteTimeout{250};
    // A read waits in slices of this length and looks at its stop token between them, so a stop
    // ends it within one slice (the link asks for well under 200 ms).
    static constexpr std::chrono::milliseconds kReadSlice{100};

    explicit WindowsHidTransport(std::shared_ptr<Win32HidApi> api);

    // Every interface whose vendor and product id can be read, opened for no access at all so
    // that devices others hold (keyboards, mice) are listed too.
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override;

  private:
    std::shared_ptr<Win32HidApi> api_;
};

}  // namespace velta
