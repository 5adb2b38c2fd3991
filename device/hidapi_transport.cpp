#include "device/hidapi_transport.h"

#include <hidapi.h>

namespace velta {

namespace {

// hidapi cannot close a handle under a blocked read, so the read waits in short slices and
// looks at the stop token between them; a stop is therefore seen within one slice.
constexpr int kReadSliceMs = 100;

class HidapiDevice : public HidDevice {
  public:
    explicit HidapiDevice(hid_device* handle) : handle_(handle) {}
    ~HidapiDevice() override { hid_close(handle_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool Write(const DeviceReport& report) override {
        // Only -1 means failure: the count hidapi returns differs between back ends (with the
        // report id byte or without it, or the device's own report length).
        return hid_write(handle_, report.data(), report.size()) >= 0;
    }

    ReadOutcome Read(InputReport& buffer, std::stop_token stop) override {
        while (!stop.stop_requested()) {
            const int got = hid_read_timeout(handle_, buffer.data(), buffer.size(), kReadSliceMs);
            if (got < 0)
                return ReadOutcome::Failed;
            if (got > 0)
                return ReadOutcome::Report;
        }
        return ReadOutcome::Cancelled;
    }

  private:
    hid_device* handle_;
};

}  // namespace

HidapiTransport::HidapiTransport() : initialised_(hid_init() == 0) {}

HidapiTransport::~HidapiTransport() {
    if (initialised_)
        hid_exit();
}

std::vector<HidInterfaceInfo> HidapiTransport::Enumerate() {
    std::vector<HidInterfaceInfo> interfaces;
    if (!initialised_)
        return interfaces;
    hid_device_info* const list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info != nullptr; info = info->next) {
        if (info->path == nullptr)
            continue;
        interfaces.push_back(HidInterfaceInfo{info->path, info->vendor_id, info->product_id});
    }
    hid_free_enumeration(list);
    return interfaces;
}

std::unique_ptr<HidDevice> HidapiTransport::OpenPath(const std::string& path) {
    if (!initialised_)
        return nullptr;
    hid_device* const handle = hid_open_path(path.c_str());
    if (handle == nullptr)
        return nullptr;
    return std::make_unique<HidapiDevice>(handle);
}

}  // namespace velta
