#include "device/platform_transport.h"

#ifdef _WIN32
#include "device/windows_hid_transport.h"
#else
#include "device/hidapi_transport.h"
#endif

namespace velta {

std::unique_ptr<HidTransport> MakePlatformTransport(std::chrono::milliseconds idleReadSlice) {
#ifdef _WIN32
    static_cast<void>(idleReadSlice);  // a pending read is cancelled at once
    return std::make_unique<WindowsHidTransport>(MakeWin32HidApi());
#else
    if (idleReadSlice.count() > 0)
        return std::make_unique<HidapiTransport>(idleReadSlice);
    return std::make_unique<HidapiTransport>();
#endif
}

}  // namespace velta
