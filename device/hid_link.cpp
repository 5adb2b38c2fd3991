#include "device/hid_link.h"

#include <string>
#include <system_error>
#include <utility>

namespace velta {

HidLink::HidLink(HidTransport& transport, LinkNotices& notices)
    : transport_(transport), notices_(notices) {}

HidLink::~HidLink() {
    Close();
    // Read-error notices still queued belong to a link that no longer exists.
    token_->generation.fetch_add(1);
}

bool HidLink::Open() {
    Close();

    std::unique_ptr<HidDevice> writeHandle;
    std::string path;
    for (const HidInterfaceInfo& info : transport_.Enumerate()) {
        if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId) {
            continue;
        }
        writeHandle = transport_.OpenPath(info.path);
        if (writeHandle != nullptr) {
            path = info.path;
            break;
        }
    }
    if (writeHandle == nullptr)
        return false;

    writeHandle_ = std::move(writeHandle);
    // A missing read handle is not fatal here: the reader reports it as a read error.
    readHandle_ = transport_.OpenPath(path);
    readHandleOpen_.store(readHandle_ != nullptr);
    open_ = true;
    connected_.store(true);
    const std::uint64_t generation = token_->generation.fetch_add(1) + 1;

    readerRunning_.store(true);
    try {
        reader_ = std::jthread(
            [this, generation](const std::stop_token& stop) { ReadWatch(stop, generation); });
    } catch (const std::system_error&) {
        // No thread to watch the device: still usable, a removal shows up as a failed write.
        readerRunning_.store(false);
    }
    return true;
}

void HidLink::ReadWatch(const std::stop_token& stop, std::uint64_t generation) {
    struct Finished {
        std::atomic<bool>& running;
        ~Finished() { running.store(false); }
    } finished{readerRunning_};

    if (!connected_.load())
        return;

    ReadOutcome outcome = ReadOutcome::Failed;
    if (readHandle_ != nullptr) {
        InputReport buffer{};
        outcome = readHandle_->Read(buffer, stop);
    }
    if (outcome != ReadOutcome::Failed)
        return;  // a report's bytes mean nothing to us

    readHandle_.reset();
    readHandleOpen_.store(false);
    connected_.store(false);
    // Never wait for the UI thread here: Close may be waiting on the UI thread for this thread.
    notices_.PostToUiThread([token = token_, generation, notices = &notices_] {
        if (token->generation.load() == generation)
            notices->SetStatusText(kTextReadError);
    });
}

bool HidLink::WriteReport(const DeviceReport& report) {
    if (writeHandle_ != nullptr && writeHandle_->Write(report))
        return true;
    writeHandle_.reset();
    // Cleared before the box: it runs a nested event loop whose timer ticks must already see a
    // dead link instead of writing again.
    connected_.store(false);
    notices_.ShowWriteError();
    return false;
}

void HidLink::Close() {
    if (reader_.joinable()) {
        reader_.request_stop();
        reader_.join();
    }
    reader_ = std::jthread();
    writeHandle_.reset();
    readHandle_.reset();
    readHandleOpen_.store(false);
    readerRunning_.store(false);
    connected_.store(false);
    open_ = false;
}

LinkState HidLink::State() const {
    if (!open_)
        return LinkState::Closed;
    if (writeHandle_ == nullptr)
        return LinkState::WriteFailed;
    if (!readHandleOpen_.load())
        return LinkState::ReadFailed;
    return readerRunning_.load() ? LinkState::Watching : LinkState::Unwatched;
}

}  // namespace velta
