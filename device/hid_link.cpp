#include "device/hid_link.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "device/link_diagnostics.h"

namespace velta {

// The hand-over between the UI thread and the writer thread: one report at a time.
struct HidLink::Writer {
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<HidDevice> handle;  // the writer thread's once it runs; released by it
    DeviceReport report{};
    std::uint64_t submitted = 0;  // reports handed over
    std::uint64_t completed = 0;  // reports the device took or refused
    bool lastWritten = false;
    bool quit = false;      // the link no longer wants this writer
    bool finished = false;  // the handle is released and the thread is returning
};

void NormaliseInputReport(InputReport& report, std::size_t& length) {
    if (length == 0 || length > report.size())
        length = report.size();
    std::fill(report.begin() + static_cast<std::ptrdiff_t>(length), report.end(), 0);
}

HidLink::HidLink(HidTransport& transport, LinkNotices& notices)
    : transport_(transport), notices_(notices), wait_(steadyWait_) {}

HidLink::HidLink(HidTransport& transport, LinkNotices& notices, LinkWait& wait)
    : transport_(transport), notices_(notices), wait_(wait) {}

HidLink::~HidLink() {
    Close();
    // Notices still queued belong to a link that no longer exists.
    token_->generation.fetch_add(1);
}

void HidLink::SetTap(ReportTap* tap) {
    tap_ = tap;
    token_->tap.store(tap);
}

void HidLink::Diagnose(const std::string& reason, bool permissionProblem) {
    notices_.ShowLinkDiagnostic(reason, permissionProblem);
}

bool HidLink::Open() {
    Close();

    if (const std::string failure = transport_.StartFailure(); !failure.empty()) {
        Diagnose(DescribeStartFailure(failure), false);
        return false;
    }

    std::unique_ptr<HidDevice> writeHandle;
    std::optional<std::pair<std::string, HidFailure>> firstFailure;
    for (const HidInterfaceInfo& info : transport_.Enumerate()) {
        if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId)
            continue;
        HidFailure failure;
        writeHandle = transport_.OpenPath(info.path, failure);
        if (writeHandle != nullptr) {
            path_ = info.path;
            break;
        }
        if (!firstFailure)
            firstFailure.emplace(info.path, std::move(failure));
    }
    if (writeHandle == nullptr) {
        if (firstFailure) {
            Diagnose(DescribeOpenFailure(firstFailure->first, firstFailure->second, UdevRulePath()),
                     IsPermissionError(firstFailure->second.error));
        } else {
            Diagnose(DescribeNoTransmitter(), false);
        }
        return false;
    }

    auto writer = std::make_shared<Writer>();
    writer->handle = std::move(writeHandle);
    try {
        writerThread_ = std::thread([writer] { WriteLoop(writer); });
    } catch (const std::system_error& e) {
        path_.clear();
        Diagnose(std::string("cannot start the link's writer thread: ") + e.what(), false);
        return false;
    }
    writer_ = std::move(writer);

    // A missing read handle is not fatal here: the reader reports it as a read error.
    HidFailure ignored;
    readHandle_ = transport_.OpenPath(path_, ignored);
    connected_.store(true);
    const std::uint64_t generation = token_->generation.fetch_add(1) + 1;
    notices_.ClearLinkDiagnostic();

    try {
        reader_ = std::jthread(
            [this, generation](const std::stop_token& stop) { ReadWatch(stop, generation); });
    } catch (const std::system_error&) {
        // No thread to watch the device: still usable, a removal shows up as a failed write.
    }
    return true;
}

void HidLink::ReadWatch(const std::stop_token& stop, std::uint64_t generation) {
    // Reads even when a write has already failed: the link is down then, but a removal must still
    // be noticed and the handle given up.
    // Input reports are handed to the tap until the read fails or the link is closed.
    while (readHandle_ != nullptr) {
        InputReport buffer{};
        std::size_t length = 0;
        const ReadOutcome outcome = readHandle_->Read(buffer, length, stop);
        if (outcome == ReadOutcome::Cancelled)
            return;
        if (outcome == ReadOutcome::Failed)
            break;
        if (token_->tap.load() == nullptr)
            continue;  // nobody looks at input reports: no work for the UI thread
        NormaliseInputReport(buffer, length);
        notices_.PostToUiThread([token = token_, generation, buffer, length] {
            if (token->generation.load() != generation)
                return;
            if (ReportTap* tap = token->tap.load(); tap != nullptr)
                tap->OnReportRead(buffer, length);
        });
    }

    readHandle_.reset();
    connected_.store(false);
    // Never wait for the UI thread here: Close may be waiting on the UI thread for this thread.
    notices_.PostToUiThread([token = token_, generation, notices = &notices_] {
        if (token->generation.load() == generation)
            notices->SetStatusText(kTextReadError);
    });
}

void HidLink::WriteLoop(const std::shared_ptr<Writer>& writer) {
    Writer& w = *writer;
    std::unique_lock lock(w.mutex);
    for (;;) {
        w.changed.wait(lock, [&] { return w.quit || w.submitted != w.completed; });
        if (w.quit)
            break;  // a report still handed over was given up by the UI thread
        const DeviceReport report = w.report;
        lock.unlock();
        const bool written = w.handle->Write(report);
        lock.lock();
        w.completed = w.submitted;
        w.lastWritten = written;
        w.changed.notify_all();
    }
    // Released here, after the last write has returned: never under a write.
    std::unique_ptr<HidDevice> handle = std::move(w.handle);
    lock.unlock();
    handle.reset();
    lock.lock();
    w.finished = true;
    w.changed.notify_all();
}

void HidLink::ReleaseWriter() {
    if (writer_ == nullptr)
        return;
    bool idle = false;
    {
        std::unique_lock lock(writer_->mutex);
        writer_->quit = true;
        writer_->changed.notify_all();
        idle = writer_->submitted == writer_->completed;
        // An idle writer only has to close its handle, so it is waited for: the handle is
        // closed when this returns. A stuck one keeps the handle until its write returns.
        if (idle)
            writer_->changed.wait(lock, [&] { return writer_->finished; });
    }
    if (idle) {
        writerThread_.join();
    } else {
        writerThread_.detach();
    }
    writerThread_ = std::thread();
    writer_.reset();
}

bool HidLink::FailWrite(const DeviceReport& report) {
    ReleaseWriter();
    // Cleared before the box: it runs a nested event loop whose timer ticks must already see a
    // dead link instead of writing again.
    connected_.store(false);
    if (tap_ != nullptr)
        tap_->OnReportWritten(report, false);
    notices_.ShowWriteError();
    return false;
}

bool HidLink::WriteReport(const DeviceReport& report) {
    if (writer_ == nullptr)
        return FailWrite(report);
    bool written = false;
    {
        Writer& w = *writer_;
        std::unique_lock lock(w.mutex);
        w.report = report;
        const std::uint64_t number = ++w.submitted;
        w.changed.notify_all();
        const bool done =
            wait_.WaitFor(lock, w.changed, kWriteBudget, [&] { return w.completed == number; });
        written = done && w.lastWritten;
    }
    if (!written)
        return FailWrite(report);
    if (tap_ != nullptr)
        tap_->OnReportWritten(report, true);
    return true;
}

bool HidLink::DevicePresent() {
    if (!connected_.load())
        return false;
    const auto interfaces = transport_.Enumerate();
    return std::any_of(interfaces.begin(), interfaces.end(), [&](const HidInterfaceInfo& info) {
        return info.path == path_ && info.vendorId == kTransmitterVendorId &&
               info.productId == kTransmitterProductId;
    });
}

void HidLink::Close() {
    if (reader_.joinable()) {
        reader_.request_stop();
        reader_.join();
    }
    reader_ = std::jthread();
    ReleaseWriter();
    readHandle_.reset();
    connected_.store(false);
    path_.clear();
}

}  // namespace velta
