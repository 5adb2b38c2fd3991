// The USB transport of the system the program runs on: hidapi's on Linux, the HID class driver's
// on Windows. The programs ask for it here, so neither names a platform.
#pragma once

#include <chrono>
#include <memory>

#include "device/hid_transport.h"

namespace velta {

// `idleReadSlice`: how long an idle reader may wait in the device before it looks whether the link
// still wants it (where a read can't be cancelled, this bounds how long a closed link's reader
// lingers); 0 keeps the transport's own default.
std::unique_ptr<HidTransport> MakePlatformTransport(
    std::chrono::milliseconds idleReadSlice = std::chrono::milliseconds(0));

}  // namespace velta
