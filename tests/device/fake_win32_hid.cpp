#include "tests/device/fake_win32_hid.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "device/utf16.h"

namespace velta::testing {

namespace {

class FakeTransfer : public Win32Transfer {
  public:
    explicit FakeTransfer(FakeWin32Hid& api) : api_(api) {}

    bool StartRead(std::span<std::uint8_t> buffer, std::uint32_t& error) override {
        api_.calls.push_back("read");
        FakeWin32Io io;
        io.waitsBeforeDone = -1;
        if (!api_.reads.empty()) {
            io = api_.reads.front();
            api_.reads.pop_front();
        }
        readBuffer_ = buffer;
        return Start(io, error);
    }
    bool StartWrite(std::span<const std::uint8_t> bytes, std::uint32_t& error) override {
        api_.calls.push_back("write " + std::to_string(bytes.size()));
        FakeWin32Io io;
        if (!api_.writes.empty()) {
            io = api_.writes.front();
            api_.writes.pop_front();
        }
        readBuffer_ = {};
        return Start(io, error);
    }
    bool Wait(std::chrono::milliseconds timeout) override {
        api_.calls.push_back("wait " + std::to_string(timeout.count()));
        if (cancelled_ || io_.waitsBeforeDone == 0)
            return true;
        if (io_.waitsBeforeDone > 0)
            --io_.waitsBeforeDone;
        if (api_.onTimedOutWait)
            api_.onTimedOutWait(++timedOutWaits_);
        return false;
    }
    void Cancel() override {
        api_.calls.push_back("cancel");
        // A transfer that was done already stays done.
        cancelled_ = io_.waitsBeforeDone != 0;
    }
    bool Finish(std::size_t& transferred, std::uint32_t& error) override {
        api_.calls.push_back("finish");
        --api_.transfersInFlight;
        if (cancelled_) {
            error = win32_error::kOperationAborted;
            return false;
        }
        if (io_.error != 0) {
            error = io_.error;
            return false;
        }
        const std::size_t count = std::min(io_.bytes.size(), readBuffer_.size());
        std::copy_n(io_.bytes.begin(), count, readBuffer_.begin());
        transferred = readBuffer_.empty() ? io_.written : count;
        return true;
    }

  private:
    bool Start(const FakeWin32Io& io, std::uint32_t& error) {
        io_ = io;
        cancelled_ = false;
        if (io.startError != 0) {
            error = io.startError;
            return false;
        }
        ++api_.transfersInFlight;
        return true;
    }

    FakeWin32Hid& api_;
    FakeWin32Io io_;
    std::span<std::uint8_t> readBuffer_;
    bool cancelled_ = false;
    int timedOutWaits_ = 0;
};

}  // namespace

std::vector<std::u16string> FakeWin32Hid::InterfacePaths() {
    std::vector<std::u16string> paths;
    for (const FakeWin32Interface& entry : interfaces)
        paths.push_back(entry.path);
    return paths;
}

Win32Handle FakeWin32Hid::Open(const std::u16string& path, bool readWrite, std::uint32_t& error) {
    calls.push_back((readWrite ? "open " : "open-query ") + Utf16ToUtf8(path));
    const auto found = std::find_if(interfaces.begin(), interfaces.end(),
                                    [&](const FakeWin32Interface& i) { return i.path == path; });
    if (found == interfaces.end()) {
        error = win32_error::kFileNotFound;
        return kNoWin32Handle;
    }
    const std::uint32_t failure = readWrite ? found->openError : found->queryOpenError;
    if (failure != 0) {
        error = failure;
        return kNoWin32Handle;
    }
    ++openHandles;
    handleInterface_.push_back(static_cast<std::size_t>(found - interfaces.begin()));
    return handleInterface_.size();  // 1-based, never kNoWin32Handle
}

bool FakeWin32Hid::Attributes(Win32Handle handle, std::uint16_t& vendorId,
                              std::uint16_t& productId) {
    const FakeWin32Interface& entry = interfaces.at(handleInterface_.at(handle - 1));
    if (!entry.attributes)
        return false;
    vendorId = entry.vendorId;
    productId = entry.productId;
    return true;
}

void FakeWin32Hid::Close(Win32Handle /*handle*/) {
    calls.push_back("close");
    --openHandles;
}

std::unique_ptr<Win32Transfer> FakeWin32Hid::MakeTransfer(Win32Handle /*handle*/) {
    if (!transfersAvailable)
        return nullptr;
    return std::make_unique<FakeTransfer>(*this);
}

}  // namespace velta::testing
