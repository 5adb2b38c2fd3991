#include "device/hidapi_transport.h"

#include <hidapi.h>

#include <cerrno>
#include <cwchar>

namespace velta {

namespace {

// hidapi cannot close a handle under a blocked read, so the read waits in short slices and
// looks at the stop token between them; a stop is therefore seen within one slice.
constexpr int kReadSliceMs = 100;

// hidapi's wide error text, narrowed: ASCII as is, anything else as '?'.
std::string Narrow(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr)
        return narrow;
    for (; *text != L'\0'; ++text)
        narrow.push_back(*text > 0 && *text < 0x80 ? static_cast<char>(*text) : '?');
    return narrow;
}

class HidapiDevice : public HidDevice {
  public:
    explicit HidapiDevice(hid_device* handle) : handle_(handle) {}
    ~HidapiDevice() override { hid_close(handle_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool Write(const DeviceReport& report) override {
        // The count hidapi returns differs between back ends: with the report id byte or
        // without it. Anything under the 64 bytes of the report proper is a short write.
        const int written = hid_write(handle_, report.data(), report.size());
        return written >= static_cast<int>(report.size()) - 1;
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length, std::stop_token stop) override {
        while (!stop.stop_requested()) {
            buffer.fill(0);
            // A removed device fails the poll without touching errno, so a stale EINTR must not
            // be taken for a fresh one.
            errno = 0;
            const int got = hid_read_timeout(handle_, buffer.data(), buffer.size(), kReadSliceMs);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;  // a signal or a spurious wake-up: the device is still there
                return ReadOutcome::Failed;
            }
            if (got > 0) {
                length = static_cast<std::size_t>(got);
                if (length > buffer.size())
                    length = buffer.size();
                return ReadOutcome::Report;
            }
        }
        return ReadOutcome::Cancelled;
    }

  private:
    hid_device* handle_;
};

}  // namespace

HidapiTransport::HidapiTransport() : initialised_(hid_init() == 0) {
    if (!initialised_) {
        startFailure_ = Narrow(hid_error(nullptr));
        if (startFailure_.empty())
            startFailure_ = "hid_init failed";
    }
}

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

std::unique_ptr<HidDevice> HidapiTransport::OpenPath(const std::string& path, HidFailure& failure) {
    if (!initialised_) {
        failure = HidFailure{0, startFailure_};
        return nullptr;
    }
    errno = 0;
    hid_device* const handle = hid_open_path(path.c_str());
    if (handle == nullptr) {
        const int error = errno;  // before hidapi's error text is fetched
        failure = HidFailure{error, Narrow(hid_error(nullptr))};
        return nullptr;
    }
    return std::make_unique<HidapiDevice>(handle);
}

}  // namespace velta
