#include "device/simulated_transmitter.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "device/hid_link.h"

namespace velta {

struct SimulatedTransmitter::Shared {
    mutable std::mutex mutex;
    std::condition_variable changed;

    std::vector<HidInterfaceInfo> interfaces;
    std::string startFailure;
    std::map<std::string, int> failingOpens;  // path -> errno
    int writesUntilFailure = 0;               // 0: no scheduled failure
    bool failAllWrites = false;
    bool stallWrites = false;
    bool stallNextWrite = false;
    std::uint64_t releases = 0;  // bumped by each release of the stalled writes
    bool shortWrites = false;
    int writeInterrupts = 0;
    int writeInterruptError = EINTR;
    int stalledWrites = 0;
    int interruptsPending = 0;
    int interrupted = 0;
    // Bumped by Unplug; a handle opened under an older plug is dead.
    std::uint64_t plug = 0;
    std::deque<std::vector<std::uint8_t>> inputReports;

    // The last kRecordLimit reports accepted and their paths; `writtenTotal` counts them all.
    std::deque<DeviceReport> written;
    std::deque<std::string> writtenPaths;
    std::uint64_t writtenTotal = 0;
    std::vector<std::string> opened;
    int openHandles = 0;
    int readersWaiting = 0;
    int inputReportsDelivered = 0;
};

class SimulatedTransmitter::Handle : public HidDevice {
  public:
    Handle(std::shared_ptr<Shared> shared, std::string path, std::uint64_t plug)
        : shared_(std::move(shared)), path_(std::move(path)), plug_(plug) {}

    ~Handle() override {
        const std::lock_guard lock(shared_->mutex);
        --shared_->openHandles;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    WriteResult Write(const DeviceReport& report, LinkClock::time_point /*deadline*/) override {
        std::unique_lock lock(shared_->mutex);
        Shared& s = *shared_;
        if (s.writeInterrupts > 0) {
            --s.writeInterrupts;
            return {WriteStatus::Interrupted, s.writeInterruptError};
        }
        // Like a device behind hidapi, a stalled write can't be given up: it waits for the device.
        if ((s.stallWrites || s.stallNextWrite) && plug_ == s.plug) {
            s.stallNextWrite = false;
            ++s.stalledWrites;
            const std::uint64_t ticket = s.releases;
            s.changed.wait(lock, [&] { return s.releases != ticket || plug_ != s.plug; });
            --s.stalledWrites;
        }
        if (s.writesUntilFailure > 0 && --s.writesUntilFailure == 0)
            return {WriteStatus::Failed, EIO};
        if (s.failAllWrites || plug_ != s.plug)
            return {WriteStatus::Failed, EIO};
        if (s.shortWrites)
            return {WriteStatus::Short, 0};
        s.written.push_back(report);
        s.writtenPaths.push_back(path_);
        ++s.writtenTotal;
        if (s.written.size() > kRecordLimit) {
            s.written.pop_front();
            s.writtenPaths.pop_front();
        }
        return {WriteStatus::Written, 0};
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length) override {
        std::unique_lock lock(shared_->mutex);
        Shared& s = *shared_;
        // An interrupted read is retried, as the platform layer must.
        for (; s.interruptsPending > 0; --s.interruptsPending)
            ++s.interrupted;
        ++s.readersWaiting;
        s.changed.wait(lock,
                       [&] { return cancelled_ || plug_ != s.plug || !s.inputReports.empty(); });
        --s.readersWaiting;
        if (cancelled_)
            return ReadOutcome::Cancelled;
        if (plug_ != s.plug)
            return ReadOutcome::Failed;
        const std::vector<std::uint8_t> bytes = std::move(s.inputReports.front());
        s.inputReports.pop_front();
        ++s.inputReportsDelivered;
        buffer.fill(0);
        length = std::min(bytes.size(), buffer.size());
        std::copy_n(bytes.begin(), length, buffer.begin());
        if (length == 0)
            length = buffer.size();
        return ReadOutcome::Report;
    }

    // A wait on a condition: it ends at once.
    bool CancelRead() override {
        {
            const std::lock_guard lock(shared_->mutex);
            cancelled_ = true;
        }
        shared_->changed.notify_all();
        return true;
    }

  private:
    std::shared_ptr<Shared> shared_;
    std::string path_;
    std::uint64_t plug_;
    bool cancelled_ = false;  // guarded by the shared mutex
};

HidInterfaceInfo SimulatedTransmitter::TransmitterInterface(std::string path,
                                                            std::string serialNumber) {
    return HidInterfaceInfo{std::move(path), kTransmitterVendorId, kTransmitterProductId,
                            std::move(serialNumber)};
}

SimulatedTransmitter::SimulatedTransmitter() : shared_(std::make_shared<Shared>()) {
    shared_->interfaces.push_back(TransmitterInterface());
}

SimulatedTransmitter::~SimulatedTransmitter() = default;

void SimulatedTransmitter::SetInterfaces(std::vector<HidInterfaceInfo> interfaces) {
    const std::lock_guard lock(shared_->mutex);
    shared_->interfaces = std::move(interfaces);
}

void SimulatedTransmitter::FailStart(std::string message) {
    const std::lock_guard lock(shared_->mutex);
    shared_->startFailure = std::move(message);
}

std::string SimulatedTransmitter::StartFailure() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->startFailure;
}

void SimulatedTransmitter::FailOpen(const std::string& path, bool fail, int error) {
    const std::lock_guard lock(shared_->mutex);
    if (fail) {
        shared_->failingOpens[path] = error;
    } else {
        shared_->failingOpens.erase(path);
    }
}

void SimulatedTransmitter::FailWriteNumber(int n) {
    const std::lock_guard lock(shared_->mutex);
    shared_->writesUntilFailure = std::max(n, 0);
}

void SimulatedTransmitter::FailAllWrites(bool fail) {
    const std::lock_guard lock(shared_->mutex);
    shared_->failAllWrites = fail;
}

void SimulatedTransmitter::StallWrites(bool stall) {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stallWrites = stall;
        if (!stall)
            ++shared_->releases;
    }
    shared_->changed.notify_all();
}

void SimulatedTransmitter::StallNextWrite() {
    const std::lock_guard lock(shared_->mutex);
    shared_->stallNextWrite = true;
}

int SimulatedTransmitter::StalledWrites() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->stalledWrites;
}

void SimulatedTransmitter::ShortWrites(bool shortWrites) {
    const std::lock_guard lock(shared_->mutex);
    shared_->shortWrites = shortWrites;
}

void SimulatedTransmitter::InterruptWrites(int n, int error) {
    const std::lock_guard lock(shared_->mutex);
    shared_->writeInterrupts = std::max(n, 0);
    shared_->writeInterruptError = error;
}

void SimulatedTransmitter::InterruptReads(int n) {
    const std::lock_guard lock(shared_->mutex);
    shared_->interruptsPending = std::max(n, 0);
}

int SimulatedTransmitter::InterruptedReads() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->interrupted;
}

void SimulatedTransmitter::Unplug() {
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->plug;
        shared_->interfaces.clear();
        shared_->inputReports.clear();
    }
    shared_->changed.notify_all();
}

void SimulatedTransmitter::SendInputReport() {
    SendInputReport({});
}

void SimulatedTransmitter::SendInputReport(std::vector<std::uint8_t> bytes) {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->inputReports.push_back(std::move(bytes));
    }
    shared_->changed.notify_all();
}

std::vector<DeviceReport> SimulatedTransmitter::WrittenReports() const {
    const std::lock_guard lock(shared_->mutex);
    return {shared_->written.begin(), shared_->written.end()};
}

std::vector<std::string> SimulatedTransmitter::WrittenPaths() const {
    const std::lock_guard lock(shared_->mutex);
    return {shared_->writtenPaths.begin(), shared_->writtenPaths.end()};
}

std::vector<DeviceReport> SimulatedTransmitter::WrittenReportsTo(const std::string& path) const {
    const std::lock_guard lock(shared_->mutex);
    std::vector<DeviceReport> reports;
    for (std::size_t i = 0; i < shared_->written.size(); ++i) {
        if (shared_->writtenPaths[i] == path)
            reports.push_back(shared_->written[i]);
    }
    return reports;
}

std::uint64_t SimulatedTransmitter::WrittenTotal() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->writtenTotal;
}

std::vector<DeviceReport> SimulatedTransmitter::WrittenSince(std::uint64_t& total) const {
    const std::lock_guard lock(shared_->mutex);
    const Shared& s = *shared_;
    // The record holds reports writtenTotal - size .. writtenTotal - 1.
    const std::uint64_t first = s.writtenTotal - s.written.size();
    const std::uint64_t from = std::max(total, first);
    total = s.writtenTotal;
    if (from >= s.writtenTotal)
        return {};
    return {s.written.begin() + static_cast<std::ptrdiff_t>(from - first), s.written.end()};
}

std::vector<std::string> SimulatedTransmitter::OpenedPaths() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->opened;
}

int SimulatedTransmitter::OpenHandleCount() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->openHandles;
}

bool SimulatedTransmitter::ReadPending() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->readersWaiting > 0;
}

int SimulatedTransmitter::InputReportsDelivered() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->inputReportsDelivered;
}

void SimulatedTransmitter::ClearRecord() {
    const std::lock_guard lock(shared_->mutex);
    // Swapped out rather than cleared: a deque keeps its blocks until it is destroyed.
    std::deque<DeviceReport>().swap(shared_->written);
    std::deque<std::string>().swap(shared_->writtenPaths);
}

std::vector<HidInterfaceInfo> SimulatedTransmitter::Enumerate() {
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->startFailure.empty())
        return {};
    return shared_->interfaces;
}

std::unique_ptr<HidDevice> SimulatedTransmitter::OpenPath(const std::string& path,
                                                          HidFailure& failure) {
    const std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    const bool present = std::any_of(s.interfaces.begin(), s.interfaces.end(),
                                     [&](const HidInterfaceInfo& i) { return i.path == path; });
    if (!present) {
        failure = HidFailure{ENOENT, {}};
        return nullptr;
    }
    if (const auto failing = s.failingOpens.find(path); failing != s.failingOpens.end()) {
        failure = HidFailure{failing->second, {}};
        return nullptr;
    }
    s.opened.push_back(path);
    ++s.openHandles;
    return std::make_unique<Handle>(shared_, path, s.plug);
}

}  // namespace velta
