#include "device/platform_transport.h"

#ifdef _WIN32
#include "device/windows_hid_transport.h"
#else
#include "device/hidapi_transport.h"
#endif

namespace velta {

std::unique_ptr<HidTransport> MakePlatformTransport() {
#ifdef _WIN32
    return std::make_unique<WindowsHidTransport>(MakeWin32HidApi());
#else
    return std::make_unique<HidapiTransport>();
#endif
}

}  // namespace velta
