// The USB transport of the system the program runs on: hidapi's on Linux, the HID class driver's
// on Windows. The programs ask for it here, so neither names a platform.
#pragma once

#include <memory>

#include "device/hid_transport.h"

namespace velta {

std::unique_ptr<HidTransport> MakePlatformTransport();

}  // namespace velta
