#include "device/hidapi_transport.h"

#include <hidapi.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <type_traits>

namespace velta {

// Every handle holds this, so the transport can wait for the last one before hid_exit.
struct HidapiTransport::Handles {
    std::mutex mutex;
    std::condition_variable closed;
    int open = 0;
};

namespace {

// hidapi's wide error text, narrowed: ASCII as is, anything else as '?'.
std::string Narrow(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr)
        return narrow;
    for (; *text != L'\0'; ++text)
        narrow.push_back(*text > 0 && *text < 0x80 ? static_cast<char>(*text) : '?');
    return narrow;
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

}  // namespace

// hidapi's wide strings are UTF-32 where wchar_t has 32 bits and UTF-16 where it has 16; a
// surrogate pair is joined, and a lone surrogate or a value past U+10FFFF (a device's string
// descriptor is the device's to fill) becomes U+FFFD, so the result is always UTF-8.
std::string WideToUtf8(const wchar_t* text) {
    std::string utf8;
    if (text == nullptr)
        return utf8;
    constexpr char32_t kReplacement = 0xFFFD;
    for (; *text != L'\0'; ++text) {
        auto point = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
        if (point >= 0xD800 && point <= 0xDBFF) {
            const auto low =
                static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[1]));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
                ++text;
            } else {
                point = kReplacement;
            }
        } else if ((point >= 0xDC00 && point <= 0xDFFF) || point > 0x10FFFF) {
            point = kReplacement;
        }
        AppendUtf8(utf8, point);
    }
    return utf8;
}

namespace {

template <typename Handles>
class HidapiDevice : public HidDevice {
  public:
    HidapiDevice(hid_device* handle, std::shared_ptr<Handles> handles,
                 std::chrono::milliseconds readSlice)
        : handle_(handle), handles_(std::move(handles)), readSlice_(readSlice) {}
    ~HidapiDevice() override {
        hid_close(handle_);
        const std::lock_guard lock(handles_->mutex);
        if (--handles_->open == 0)
            handles_->closed.notify_all();
    }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    WriteResult Write(const DeviceReport& report, LinkClock::time_point /*deadline*/) override {
        // hid_write blocks until the device takes the report; it can't be given up.
        errno = 0;
        const int written = hid_write(handle_, report.data(), report.size());
        if (written < 0) {
            const int error = errno;
            const bool interrupted = error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
            return {interrupted ? WriteStatus::Interrupted : WriteStatus::Failed, error};
        }
        // Every back end counts the report id byte, so a whole report is all 65 bytes.
        if (static_cast<std::size_t>(written) < report.size())
            return {WriteStatus::Short, 0};
        return {WriteStatus::Written, 0};
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length) override {
        const int slice = static_cast<int>(readSlice_.count());
        while (!cancelled_.load()) {
            buffer.fill(0);
            // A removed device fails the poll without touching errno, so a stale EINTR must not
            // be taken for a fresh one.
            errno = 0;
            const int got = hid_read_timeout(handle_, buffer.data(), buffer.size(), slice);
            if (cancelled_.load())
                break;  // whatever came, the reader no longer wants it
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

    // Seen at the end of the current slice: hidapi has no way to end a read from outside.
    bool CancelRead() override {
        cancelled_.store(true);
        return false;
    }

  private:
    hid_device* handle_;
    std::shared_ptr<Handles> handles_;
    std::chrono::milliseconds readSlice_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace

HidapiTransport::HidapiTransport(std::chrono::milliseconds readSlice)
    : initialised_(hid_init() == 0), readSlice_(readSlice), handles_(std::make_shared<Handles>()) {
    if (!initialised_) {
        startFailure_ = Narrow(hid_error(nullptr));
        if (startFailure_.empty())
            startFailure_ = "hid_init failed";
    }
}

HidapiTransport::~HidapiTransport() {
    if (!initialised_)
        return;
    // A reader ends within one slice of being cancelled; a write stuck in the device may never
    // end, and then the library is left to the process's exit rather than shut under it.
    std::unique_lock lock(handles_->mutex);
    const auto wait = readSlice_ + std::chrono::milliseconds(500);
    if (handles_->closed.wait_for(lock, wait, [&] { return handles_->open == 0; }))
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
        interfaces.push_back(HidInterfaceInfo{info->path, info->vendor_id, info->product_id,
                                              WideToUtf8(info->serial_number)});
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
    {
        const std::lock_guard lock(handles_->mutex);
        ++handles_->open;
    }
    return std::make_unique<HidapiDevice<Handles>>(handle, handles_, readSlice_);
}

}  // namespace velta
