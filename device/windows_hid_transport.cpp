#include "device/windows_hid_transport.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "device/utf16.h"

namespace velta {

namespace {

// Win32 codes that have an errno the diagnostics read (a permission problem, a busy device).
constexpr struct {
    std::uint32_t code;
    int error;
} kErrnoOfWin32Error[] = {
    {win32_error::kAccessDenied, EACCES},       {win32_error::kSharingViolation, EBUSY},
    {win32_error::kFileNotFound, ENOENT},       {win32_error::kPathNotFound, ENOENT},
    {win32_error::kDeviceNotConnected, ENODEV}, {win32_error::kNotEnoughMemory, ENOMEM},
};

// One open handle with a transfer for each direction. A call never returns with its transfer in
// flight (it finishes it, cancelled if need be), so the destructor may close the handle at once.
class WindowsHidDevice : public HidDevice {
  public:
    WindowsHidDevice(std::shared_ptr<Win32HidApi> api, Win32Handle handle,
                     std::unique_ptr<Win32Transfer> write, std::unique_ptr<Win32Transfer> read)
        : api_(std::move(api)), handle_(handle), write_(std::move(write)), read_(std::move(read)) {}
    ~WindowsHidDevice() override {
        write_.reset();
        read_.reset();
        api_->Close(handle_);
    }
    WindowsHidDevice(const WindowsHidDevice&) = delete;
    WindowsHidDevice& operator=(const WindowsHidDevice&) = delete;

    bool Write(const DeviceReport& report) override {
        std::uint32_t error = 0;
        if (!write_->StartWrite(report, error))
            return false;
        // A device that does not take the report is not waited for: the write is cancelled and
        // counts as failed.
        if (!write_->Wait(WindowsHidTransport::kWriteTimeout))
            write_->Cancel();
        std::size_t written = 0;
        return write_->Finish(written, error) && written == report.size();
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length, std::stop_token stop) override {
        while (!stop.stop_requested()) {
            buffer.fill(0);
            std::uint32_t error = 0;
            if (!read_->StartRead(buffer, error))
                return ReadOutcome::Failed;
            bool stopped = false;
            while (!read_->Wait(WindowsHidTransport::kReadSlice)) {
                if (stop.stop_requested()) {
                    read_->Cancel();
                    stopped = true;
                    break;
                }
            }
            std::size_t got = 0;
            const bool done = read_->Finish(got, error);
            if (stopped)
                return ReadOutcome::Cancelled;
            // A removed device fails the pending read at once (device not connected).
            if (!done)
                return ReadOutcome::Failed;
            if (got > 0) {
                length = std::min(got, buffer.size());
                return ReadOutcome::Report;
            }
            // Nothing arrived: read again.
        }
        return ReadOutcome::Cancelled;
    }

  private:
    std::shared_ptr<Win32HidApi> api_;
    Win32Handle handle_;
    std::unique_ptr<Win32Transfer> write_;  // used by Write only
    std::unique_ptr<Win32Transfer> read_;   // used by Read only
};

}  // namespace

HidFailure DescribeWin32Failure(Win32HidApi& api, std::uint32_t error) {
    HidFailure failure;
    for (const auto& entry : kErrnoOfWin32Error) {
        if (entry.code == error)
            failure.error = entry.error;
    }
    failure.message = api.ErrorText(error) + " (Windows error " + std::to_string(error) + ")";
    return failure;
}

WindowsHidTransport::WindowsHidTransport(std::shared_ptr<Win32HidApi> api) : api_(std::move(api)) {}

std::vector<HidInterfaceInfo> WindowsHidTransport::Enumerate() {
    std::vector<HidInterfaceInfo> interfaces;
    for (const std::u16string& path : api_->InterfacePaths()) {
        std::uint32_t error = 0;
        const Win32Handle handle = api_->Open(path, false, error);
        if (handle == kNoWin32Handle)
            continue;
        HidInterfaceInfo info{Utf16ToUtf8(path), 0, 0};
        if (api_->Attributes(handle, info.vendorId, info.productId))
            interfaces.push_back(std::move(info));
        api_->Close(handle);
    }
    return interfaces;
}

std::unique_ptr<HidDevice> WindowsHidTransport::OpenPath(const std::string& path,
                                                         HidFailure& failure) {
    std::uint32_t error = 0;
    const Win32Handle handle = api_->Open(Utf8ToUtf16(path), true, error);
    if (handle == kNoWin32Handle) {
        failure = DescribeWin32Failure(*api_, error);
        return nullptr;
    }
    std::unique_ptr<Win32Transfer> write = api_->MakeTransfer(handle);
    std::unique_ptr<Win32Transfer> read = api_->MakeTransfer(handle);
    if (!write || !read) {
        failure = HidFailure{ENOMEM, "no event for overlapped I/O"};
        write.reset();
        read.reset();
        api_->Close(handle);
        return nullptr;
    }
    return std::make_unique<WindowsHidDevice>(api_, handle, std::move(write), std::move(read));
}

}  // namespace velta
