#include "device/hid_link.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "device/link_diagnostics.h"

namespace velta {

struct HidLink::Batch {
    ReportBatch reports;
    std::vector<char> written;  // per report, once tried
    BatchDone done;
    bool droppedLink = false;
    bool closed = false;
};

// What the link's threads, and the work they post to the UI thread, share with the link. It
// outlives the link as long as any of them holds it; once the link is gone nothing is posted and
// posted work does nothing.
struct HidLink::Channel {
    std::mutex mutex;
    LinkNotices* notices = nullptr;  // null once the link is gone
    std::uint64_t generation = 0;    // bumped by every Open and Close: older reader notices drop
    std::atomic<ReportTap*> tap{nullptr};
    std::atomic<bool> connected{false};

    // Any thread; never waits for the UI thread.
    void Post(std::function<void()> task) {
        const std::lock_guard lock(mutex);
        if (notices != nullptr)
            notices->PostToUiThread(std::move(task));
    }
    // UI thread: the notices when the link still exists (and, with a generation, is still the
    // open that posted).
    LinkNotices* Current() {
        const std::lock_guard lock(mutex);
        return notices;
    }
    LinkNotices* Current(std::uint64_t of) {
        const std::lock_guard lock(mutex);
        return of == generation ? notices : nullptr;
    }

    // Any thread: the batch's outcome goes to the UI thread, where the tap sees each report and
    // then the batch's own callback runs.
    static void Answer(const std::shared_ptr<Channel>& channel, Batch& batch) {
        BatchResult result;
        result.written = std::all_of(batch.written.begin(), batch.written.end(),
                                     [](char written) { return written != 0; });
        result.droppedLink = batch.droppedLink;
        result.closed = batch.closed;
        channel->Post([channel, reports = std::move(batch.reports),
                       written = std::move(batch.written), done = std::move(batch.done), result] {
            if (channel->Current() == nullptr)
                return;
            if (ReportTap* tap = channel->tap.load(); tap != nullptr) {
                for (std::size_t i = 0; i < reports.size(); ++i)
                    tap->OnReportWritten(reports[i], written[i] != 0);
            }
            if (done)
                done(result);
        });
    }
};

// Writes in the device right now, by path, over every writer the link has had. A writer waits
// here before its first write until no older write on its path is left in the device: a report
// given up at its deadline may still land, and it must land before the newer ones, not behind.
struct HidLink::DeviceGate {
    std::mutex mutex;
    std::condition_variable left;
    std::map<std::string, int> writing;  // entries stay at 0: a path's node is made once
    int waiters = 0;

    bool Busy(const std::string& path) {
        const std::lock_guard lock(mutex);
        const auto it = writing.find(path);
        return it != writing.end() && it->second > 0;
    }
    void Enter(const std::string& path) {
        const std::lock_guard lock(mutex);
        ++writing[path];
    }
    void Leave(const std::string& path) {
        const std::lock_guard lock(mutex);
        --writing[path];
        if (waiters > 0)
            left.notify_all();
    }
    void Wake() {
        const std::lock_guard lock(mutex);
        left.notify_all();
    }
    // True once no write is left on `path`; false at the deadline or once `stop` holds.
    bool WaitClear(const std::string& path, LinkClock::time_point deadline, LinkWait& wait,
                   const std::atomic<bool>& stop) {
        std::unique_lock lock(mutex);
        ++waiters;
        wait.WaitUntil(lock, left, deadline, [&] { return writing[path] == 0 || stop.load(); });
        --waiters;
        return writing[path] == 0 && !stop.load();
    }
};

// The hand-over between the UI thread, the writer thread and its watchdog. Everything but the
// handle and `abandoned` is guarded by `mutex`.
struct HidLink::Writer {
    Writer(std::shared_ptr<HidDevice> device, std::string devicePath,
           std::shared_ptr<Channel> linkChannel, std::shared_ptr<DeviceGate> deviceGate,
           LinkWait& linkWait)
        : handle(std::move(device)),
          path(std::move(devicePath)),
          channel(std::move(linkChannel)),
          gate(std::move(deviceGate)),
          wait(linkWait) {}

    std::mutex mutex;
    std::condition_variable work;       // the writer waits here for batches
    std::condition_variable watch;      // the watchdog waits here for the deadline of a step
    std::shared_ptr<HidDevice> handle;  // the writer thread's; none once a write failed
    const std::string path;
    const std::shared_ptr<Channel> channel;
    const std::shared_ptr<DeviceGate> gate;
    LinkWait& wait;  // used only by threads Close joins

    std::deque<Batch> queue;  // the front one is being written
    std::size_t tried = 0;    // reports of the front batch written or failed
    // The step in progress, a write or the wait for an older write, and when it has to be over.
    std::uint64_t step = 0;
    bool stepping = false;
    LinkClock::time_point deadline{};
    bool inDevice = false;  // the step is a write: the device has the thread
    bool dead = false;      // a write failed: no handle, every report from now on fails at once
    // Given up at a deadline or by Close: the batches are answered, and the writer thread touches
    // nothing but its handle and the gate any more.
    std::atomic<bool> abandoned{false};
    bool quit = false;  // Close: the writer ends once idle, the watchdog at once
    bool watchdogIdle = false;

    void BeginStep(LinkClock::time_point until) {
        ++step;
        stepping = true;
        deadline = until;
        // The watchdog sleeps until the deadline it knows and then looks again, so only an idle
        // one needs waking: no hand-off per report.
        if (watchdogIdle)
            watch.notify_one();
    }

    // With `mutex` held: the writer is given up. Every batch it holds is answered, the report in
    // progress and those after it as failed, and the link goes down unless Close is ending it.
    void Abandon(bool closing) {
        abandoned.store(true);
        stepping = false;
        bool front = true;
        for (Batch& batch : queue) {
            std::fill(batch.written.begin() + static_cast<std::ptrdiff_t>(front ? tried : 0),
                      batch.written.end(), 0);
            if (front && !dead && !closing)
                batch.droppedLink = true;
            batch.closed = closing;
            front = false;
            Channel::Answer(channel, batch);
        }
        queue.clear();
        tried = 0;
        if (!closing)
            channel->connected.store(false);
        work.notify_all();
        watch.notify_all();
        gate->Wake();
    }
};

// The read handle and the flag Close sets; `mutex` guards both, so a reader never reports after
// Close, and Close never cancels a handle the reader has let go.
struct HidLink::Reader {
    explicit Reader(std::shared_ptr<HidDevice> device) : handle(std::move(device)) {}
    std::mutex mutex;
    std::shared_ptr<HidDevice> handle;
    bool stopped = false;
};

void NormaliseInputReport(InputReport& report, std::size_t& length) {
    if (length == 0 || length > report.size())
        length = report.size();
    std::fill(report.begin() + static_cast<std::ptrdiff_t>(length), report.end(), 0);
}

HidLink::HidLink(HidTransport& transport, LinkNotices& notices)
    : HidLink(transport, notices, steadyWait_) {}

HidLink::HidLink(HidTransport& transport, LinkNotices& notices, LinkWait& wait)
    : transport_(transport),
      notices_(notices),
      wait_(wait),
      channel_(std::make_shared<Channel>()),
      gate_(std::make_shared<DeviceGate>()) {
    channel_->notices = &notices_;
}

HidLink::~HidLink() {
    Close();
    // Work still queued for the UI thread, and threads still finishing alone, belong to a link
    // that no longer exists.
    const std::lock_guard lock(channel_->mutex);
    channel_->notices = nullptr;
}

void HidLink::SetTap(ReportTap* tap) {
    channel_->tap.store(tap);
}

bool HidLink::IsConnected() const {
    return channel_->connected.load();
}

bool HidLink::Fail(OpenFailure failure, const std::string& reason, bool permissionProblem) {
    lastFailure_ = failure;
    notices_.ShowLinkDiagnostic(reason, permissionProblem);
    return false;
}

bool HidLink::Open() {
    Close();

    if (const std::string failure = transport_.StartFailure(); !failure.empty())
        return Fail(OpenFailure::StartFailed, DescribeStartFailure(failure), false);

    const std::vector<HidInterfaceInfo> interfaces = transport_.Enumerate();
    const std::vector<HidInterfaceInfo> candidates = ChooseTransmitters(interfaces, choice_);
    if (candidates.empty()) {
        return Fail(OpenFailure::NotFound,
                    choice_.Any()
                        ? DescribeNoTransmitter()
                        : DescribeNoChosenTransmitter(choice_, ListTransmitters(interfaces)),
                    false);
    }

    std::unique_ptr<HidDevice> writeHandle;
    const HidInterfaceInfo* opened = nullptr;
    std::optional<std::pair<std::string, HidFailure>> firstFailure;
    for (const HidInterfaceInfo& info : candidates) {
        HidFailure failure;
        writeHandle = transport_.OpenPath(info.path, failure);
        if (writeHandle != nullptr) {
            opened = &info;
            break;
        }
        if (!firstFailure)
            firstFailure.emplace(info.path, std::move(failure));
    }
    // The read handle is refused for the same reasons as the write handle (a permission problem
    // above all), so it gets the same diagnosis.
    std::unique_ptr<HidDevice> readHandle;
    if (writeHandle != nullptr) {
        HidFailure failure;
        readHandle = transport_.OpenPath(opened->path, failure);
        if (readHandle == nullptr) {
            writeHandle.reset();
            firstFailure.emplace(opened->path, std::move(failure));
        }
    }
    if (writeHandle == nullptr) {
        return Fail(OpenFailure::CannotOpen,
                    DescribeOpenFailure(firstFailure->first, firstFailure->second, UdevRulePath()),
                    IsPermissionError(firstFailure->second.error));
    }

    path_ = opened->path;
    if (!StartWriter(std::move(writeHandle))) {
        path_.clear();
        return false;
    }
    transmitter_ = *opened;
    lastFailure_ = OpenFailure::None;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(channel_->mutex);
        generation = ++channel_->generation;
    }
    // Set before the reader starts, so its first look finds the link connected.
    channel_->connected.store(true);
    notices_.ClearLinkDiagnostic();

    reader_ = std::make_shared<Reader>(std::move(readHandle));
    try {
        readerThread_ = std::thread([reader = reader_, channel = channel_, generation] {
            ReadWatch(reader, channel, generation);
        });
    } catch (const std::system_error&) {
        // No thread to watch the device: still usable, a removal shows up as a failed write.
        reader_.reset();
    }
    return true;
}

bool HidLink::StartWriter(std::shared_ptr<HidDevice> handle) {
    auto writer = std::make_shared<Writer>(std::move(handle), path_, channel_, gate_, wait_);
    try {
        writerThread_ = std::thread([writer] { WriteLoop(writer); });
    } catch (const std::system_error& e) {
        return Fail(OpenFailure::ThreadFailed,
                    std::string("cannot start the link's writer thread: ") + e.what(), false);
    }
    writer_ = writer;
    try {
        watchdogThread_ = std::thread([writer] { WatchLoop(writer); });
    } catch (const std::system_error& e) {
        StopWriter();
        return Fail(OpenFailure::ThreadFailed,
                    std::string("cannot start the link's writer thread: ") + e.what(), false);
    }
    return true;
}

void HidLink::ReadWatch(const std::shared_ptr<Reader>& reader,
                        const std::shared_ptr<Channel>& channel, std::uint64_t generation) {
    // Reads even when a write has already failed: the link is down then, but a removal must still
    // be noticed and the handle given up. Input reports are handed to the tap until the read
    // fails or the link is closed.
    for (;;) {
        InputReport buffer{};
        std::size_t length = 0;
        const ReadOutcome outcome = reader->handle->Read(buffer, length);
        if (outcome == ReadOutcome::Cancelled)
            return;
        if (outcome == ReadOutcome::Failed)
            break;
        if (channel->tap.load() == nullptr)
            continue;  // nobody looks at input reports: no work for the UI thread
        NormaliseInputReport(buffer, length);
        channel->Post([channel, generation, buffer, length] {
            if (channel->Current(generation) == nullptr)
                return;
            if (ReportTap* tap = channel->tap.load(); tap != nullptr)
                tap->OnReportRead(buffer, length);
        });
    }

    std::shared_ptr<HidDevice> handle;
    {
        const std::lock_guard lock(reader->mutex);
        if (reader->stopped)
            return;  // Close came first: a read that fails now is no news
        handle = std::move(reader->handle);
        channel->connected.store(false);
        // Never wait for the UI thread here: Close may be waiting on the UI thread for this thread.
        channel->Post([channel, generation] {
            if (LinkNotices* notices = channel->Current(generation); notices != nullptr)
                notices->SetStatusText(kTextReadError);
        });
    }
    handle.reset();  // the read handle is given up; the write handle stays
}

namespace {

// One report through the device, retried while it is interrupted and time is left. The clock is
// the steady one, not the link's wait: a writer in the device may outlive the link.
WriteResult WriteRetrying(HidDevice& device, const DeviceReport& report,
                          LinkClock::time_point deadline) {
    for (;;) {
        const WriteResult result = device.Write(report, deadline);
        if (result.status != WriteStatus::Interrupted || LinkClock::now() >= deadline)
            return result;
        // A signal is retried at once; a device that would block is given a moment first.
        if (result.error != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

void HidLink::WriteLoop(const std::shared_ptr<Writer>& writer) {
    Writer& w = *writer;
    std::unique_lock lock(w.mutex);
    // Written with `lock` held, released around the waits and the device; after each relock an
    // abandoned writer leaves at once (its batches are answered, the queue is no longer its own).
    // The report is a copy: a batch given up meanwhile goes to the UI thread with its reports.
    const auto writeOne = [&](const DeviceReport report) {
        if (w.gate->Busy(w.path)) {
            // A report of an earlier writer, given up, is still in the device on this path.
            w.BeginStep(LinkClock::now() + kWriteBudget);
            const auto until = w.deadline;
            lock.unlock();
            const bool clear = w.gate->WaitClear(w.path, until, w.wait, w.abandoned);
            lock.lock();
            ++w.step;  // over, whatever the clock says by now: nothing for the watchdog
            if (!clear || w.abandoned.load())
                return false;
        }
        const auto deadline = LinkClock::now() + kWriteBudget;
        w.BeginStep(deadline);
        w.inDevice = true;
        w.gate->Enter(w.path);
        lock.unlock();
        const WriteResult result = WriteRetrying(*w.handle, report, deadline);
        w.gate->Leave(w.path);
        lock.lock();
        w.inDevice = false;
        ++w.step;
        return result.status == WriteStatus::Written;
    };

    for (;;) {
        w.stepping = false;
        w.work.wait(lock, [&] { return w.quit || w.abandoned.load() || !w.queue.empty(); });
        if (w.abandoned.load() || w.queue.empty())
            break;
        Batch& batch = w.queue.front();
        while (w.tried < batch.reports.size()) {
            const bool written = !w.dead && writeOne(batch.reports[w.tried]);
            if (w.abandoned.load())
                break;
            batch.written[w.tried++] = written ? 1 : 0;
            if (!written && !w.dead) {
                // The handle is given up and the link is down from this moment: later commands
                // see a dead link, and every report after this one fails without the device.
                w.dead = true;
                batch.droppedLink = true;
                w.channel->connected.store(false);
                std::shared_ptr<HidDevice> failed = std::move(w.handle);
                lock.unlock();
                failed.reset();
                lock.lock();
                if (w.abandoned.load())
                    break;
            }
        }
        if (w.abandoned.load())
            break;
        Channel::Answer(w.channel, batch);
        w.queue.pop_front();
        w.tried = 0;
    }
    // Released here, after the last write has returned: never under a write.
    std::shared_ptr<HidDevice> handle = std::move(w.handle);
    lock.unlock();
    handle.reset();
}

void HidLink::WatchLoop(const std::shared_ptr<Writer>& writer) {
    Writer& w = *writer;
    std::unique_lock lock(w.mutex);
    while (!w.quit) {
        if (!w.stepping || w.abandoned.load()) {
            w.watchdogIdle = true;
            w.watch.wait(lock, [&] { return w.quit || (w.stepping && !w.abandoned.load()); });
            w.watchdogIdle = false;
            continue;
        }
        const std::uint64_t step = w.step;
        const bool moved = w.wait.WaitUntil(lock, w.watch, w.deadline, [&] {
            return w.quit || w.abandoned.load() || !w.stepping || w.step != step;
        });
        // The same step is still in progress at its deadline: the device is given up.
        if (!moved)
            w.Abandon(false);
    }
}

void HidLink::Send(ReportBatch reports, BatchDone done) {
    Batch batch;
    batch.written.assign(reports.size(), 0);
    batch.reports = std::move(reports);
    batch.done = std::move(done);
    if (writer_ != nullptr) {
        Writer& w = *writer_;
        const std::lock_guard lock(w.mutex);
        if (!w.abandoned.load()) {
            w.queue.push_back(std::move(batch));
            w.work.notify_one();
            return;
        }
        // Given up: answered here, behind everything the abandoned writer answered before.
        Channel::Answer(w.channel, batch);
        return;
    }
    // No write handle: every report fails without the device.
    Channel::Answer(channel_, batch);
}

bool HidLink::DevicePresent() {
    if (!IsConnected())
        return false;
    const auto interfaces = transport_.Enumerate();
    return std::any_of(interfaces.begin(), interfaces.end(), [&](const HidInterfaceInfo& info) {
        return info.path == path_ && info.vendorId == kTransmitterVendorId &&
               info.productId == kTransmitterProductId;
    });
}

void HidLink::StopReader() {
    if (reader_ == nullptr)
        return;
    bool prompt = true;
    {
        const std::lock_guard lock(reader_->mutex);
        reader_->stopped = true;
        if (reader_->handle != nullptr)
            prompt = reader_->handle->CancelRead();
    }
    if (prompt) {
        readerThread_.join();
    } else {
        readerThread_.detach();  // it ends at its next look at the device and lets the handle go
    }
    readerThread_ = std::thread();
    reader_.reset();
}

void HidLink::StopWriter() {
    if (writer_ == nullptr)
        return;
    bool inDevice = false;
    {
        Writer& w = *writer_;
        const std::lock_guard lock(w.mutex);
        w.quit = true;
        if (!w.queue.empty() && !w.abandoned.load())
            w.Abandon(true);
        inDevice = w.inDevice;
        w.work.notify_all();
        w.watch.notify_all();
    }
    if (watchdogThread_.joinable())
        watchdogThread_.join();
    // A writer out of the device leaves at once; one in it is left to finish alone.
    if (inDevice) {
        writerThread_.detach();
    } else {
        writerThread_.join();
    }
    writerThread_ = std::thread();
    watchdogThread_ = std::thread();
    writer_.reset();
}

void HidLink::Close() {
    {
        const std::lock_guard lock(channel_->mutex);
        ++channel_->generation;
    }
    StopReader();
    StopWriter();
    channel_->connected.store(false);
    path_.clear();
    transmitter_ = {};
}

}  // namespace velta
