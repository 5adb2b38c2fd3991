#include "device/windows_hid_transport.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
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

// The errno a Win32 code is known by, 0 when none.
int ErrnoOf(std::uint32_t code) {
    for (const auto& entry : kErrnoOfWin32Error) {
        if (entry.code == code)
            return entry.error;
    }
    return 0;
}

// One open handle with a transfer for each direction. A call never returns with its transfer in
// flight (it finishes it, cancelled if need be), so the destructor may close the handle at once.
// Write runs on one thread, Read on one thread (they may differ), CancelRead on any; the read's
// state that CancelRead touches is guarded by `readMutex_`.
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

    WriteResult Write(const DeviceReport& report, LinkClock::time_point deadline) override {
        std::uint32_t error = 0;
        if (!write_->StartWrite(report, error))
            return {WriteStatus::Failed, ErrnoOf(error)};
        // A device that has not taken the report by the deadline is not waited for: the write is
        // cancelled, and finished, so nothing of it stays in flight.
        const bool givenUp = !write_->WaitUntil(deadline);
        if (givenUp)
            write_->Cancel();
        std::size_t written = 0;
        if (!write_->Finish(written, error)) {
            // Taken just before the cancel came, it counts as written (below).
            if (givenUp && error == win32_error::kOperationAborted)
                return {WriteStatus::TimedOut, ETIMEDOUT};
            return {WriteStatus::Failed, ErrnoOf(error)};
        }
        return {written >= report.size() ? WriteStatus::Written : WriteStatus::Short, 0};
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length) override {
        for (;;) {
            buffer.fill(0);
            std::uint32_t error = 0;
            {
                const std::lock_guard lock(readMutex_);
                if (readCancelled_)
                    return ReadOutcome::Cancelled;
                if (!read_->StartRead(buffer, error))
                    return ReadOutcome::Failed;
                reading_ = true;
            }
            // Blocks until a report comes, the device goes (the pending read fails at once) or
            // CancelRead cancels it: no timeout, so an idle reader never wakes.
            std::size_t got = 0;
            const bool done = read_->Finish(got, error);
            {
                const std::lock_guard lock(readMutex_);
                reading_ = false;
                if (readCancelled_)
                    return ReadOutcome::Cancelled;  // whatever came, the reader no longer wants it
            }
            if (!done)
                return ReadOutcome::Failed;
            got = std::min(got, buffer.size());
            // The system puts the report id first. Id 0 means the device numbers no reports, so
            // it is no byte of the device's: dropped, so the reader gets the bytes hidraw gives.
            if (got > 0 && buffer[0] == 0) {
                std::copy(buffer.begin() + 1, buffer.begin() + static_cast<std::ptrdiff_t>(got),
                          buffer.begin());
                buffer[--got] = 0;
            }
            if (got > 0) {
                length = got;
                return ReadOutcome::Report;
            }
            // Nothing arrived: read again.
        }
    }

    // The pending read is cancelled in the device, so the reader is back at once.
    bool CancelRead() override {
        const std::lock_guard lock(readMutex_);
        readCancelled_ = true;
        if (reading_)
            read_->Cancel();
        return true;
    }

  private:
    std::shared_ptr<Win32HidApi> api_;
    Win32Handle handle_;
    std::unique_ptr<Win32Transfer> write_;  // used by Write only
    std::unique_ptr<Win32Transfer> read_;   // started and finished by Read; CancelRead cancels it
    std::mutex readMutex_;
    bool reading_ = false;  // a read is in flight: CancelRead must cancel it
    bool readCancelled_ = false;
};

}  // namespace

HidFailure DescribeWin32Failure(Win32HidApi& api, std::uint32_t error) {
    HidFailure failure;
    failure.error = ErrnoOf(error);
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
        if (api_->Attributes(handle, info.vendorId, info.productId)) {
            info.serialNumber = Utf16ToUtf8(api_->SerialNumber(handle));
            interfaces.push_back(std::move(info));
        }
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
