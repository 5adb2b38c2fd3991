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
    std::condition_variable_any changed;

    std::vector<HidInterfaceInfo> interfaces;
    std::string startFailure;
    std::map<std::string, int> failingOpens;  // path -> errno
    int writesUntilFailure = 0;               // 0: no scheduled failure
    bool failAllWrites = false;
    bool stallWrites = false;
    bool shortWrites = false;
    int stalledWrites = 0;
    int interruptsPending = 0;
    int interrupted = 0;
    // Bumped by Unplug; a handle opened under an older plug is dead.
    std::uint64_t plug = 0;
    std::deque<std::vector<std::uint8_t>> inputReports;

    std::vector<DeviceReport> written;
    std::vector<std::string> writtenPaths;
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

    bool Write(const DeviceReport& report) override {
        std::unique_lock lock(shared_->mutex);
        Shared& s = *shared_;
        if (s.stallWrites && plug_ == s.plug) {
            ++s.stalledWrites;
            s.changed.wait(lock, [&] { return !s.stallWrites || plug_ != s.plug; });
            --s.stalledWrites;
        }
        bool fail = s.failAllWrites || s.shortWrites || plug_ != s.plug;
        if (s.writesUntilFailure > 0 && --s.writesUntilFailure == 0)
            fail = true;
        if (fail)
            return false;
        s.written.push_back(report);
        s.writtenPaths.push_back(path_);
        return true;
    }

    ReadOutcome Read(InputReport& buffer, std::size_t& length, std::stop_token stop) override {
        std::unique_lock lock(shared_->mutex);
        Shared& s = *shared_;
        // An interrupted read is retried, as the platform layer must.
        for (; s.interruptsPending > 0; --s.interruptsPending)
            ++s.interrupted;
        ++s.readersWaiting;
        const bool woken =
            s.changed.wait(lock, stop, [&] { return plug_ != s.plug || !s.inputReports.empty(); });
        --s.readersWaiting;
        if (plug_ != s.plug)
            return ReadOutcome::Failed;
        if (!woken)
            return ReadOutcome::Cancelled;
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

  private:
    std::shared_ptr<Shared> shared_;
    std::string path_;
    std::uint64_t plug_;
};

HidInterfaceInfo SimulatedTransmitter::TransmitterInterface(std::string path) {
    return HidInterfaceInfo{std::move(path), kTransmitterVendorId, kTransmitterProductId};
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
    }
    shared_->changed.notify_all();
}

int SimulatedTransmitter::StalledWrites() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->stalledWrites;
}

void SimulatedTransmitter::ShortWrites(bool shortWrites) {
    const std::lock_guard lock(shared_->mutex);
    shared_->shortWrites = shortWrites;
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
    return shared_->written;
}

std::vector<std::string> SimulatedTransmitter::WrittenPaths() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->writtenPaths;
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
    shared_->written.clear();
    shared_->writtenPaths.clear();
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
