#include "device/simulated_transmitter.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <utility>

#include "device/hid_link.h"

namespace velta {

struct SimulatedTransmitter::Shared {
    mutable std::mutex mutex;
    std::condition_variable_any changed;

    std::vector<HidInterfaceInfo> interfaces;
    std::set<std::string> failingOpens;
    int writesUntilFailure = 0;  // 0: no scheduled failure
    bool failAllWrites = false;
    // Bumped by Unplug; a handle opened under an older plug is dead.
    std::uint64_t plug = 0;
    int inputReportsQueued = 0;

    std::vector<DeviceReport> written;
    std::vector<std::string> writtenPaths;
    std::vector<std::string> opened;
    int openHandles = 0;
    int readersWaiting = 0;
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
        const std::lock_guard lock(shared_->mutex);
        Shared& s = *shared_;
        bool fail = s.failAllWrites || plug_ != s.plug;
        if (s.writesUntilFailure > 0 && --s.writesUntilFailure == 0)
            fail = true;
        if (fail)
            return false;
        s.written.push_back(report);
        s.writtenPaths.push_back(path_);
        return true;
    }

    ReadOutcome Read(InputReport& buffer, std::stop_token stop) override {
        std::unique_lock lock(shared_->mutex);
        Shared& s = *shared_;
        ++s.readersWaiting;
        const bool woken =
            s.changed.wait(lock, stop, [&] { return plug_ != s.plug || s.inputReportsQueued > 0; });
        --s.readersWaiting;
        if (plug_ != s.plug)
            return ReadOutcome::Failed;
        if (!woken)
            return ReadOutcome::Cancelled;
        --s.inputReportsQueued;
        buffer.fill(0);
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

void SimulatedTransmitter::FailOpen(const std::string& path, bool fail) {
    const std::lock_guard lock(shared_->mutex);
    if (fail) {
        shared_->failingOpens.insert(path);
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

void SimulatedTransmitter::Unplug() {
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->plug;
        shared_->interfaces.clear();
        shared_->inputReportsQueued = 0;
    }
    shared_->changed.notify_all();
}

void SimulatedTransmitter::SendInputReport() {
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->inputReportsQueued;
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

void SimulatedTransmitter::ClearRecord() {
    const std::lock_guard lock(shared_->mutex);
    shared_->written.clear();
    shared_->writtenPaths.clear();
}

std::vector<HidInterfaceInfo> SimulatedTransmitter::Enumerate() {
    const std::lock_guard lock(shared_->mutex);
    return shared_->interfaces;
}

std::unique_ptr<HidDevice> SimulatedTransmitter::OpenPath(const std::string& path) {
    const std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    const bool present = std::any_of(s.interfaces.begin(), s.interfaces.end(),
                                     [&](const HidInterfaceInfo& i) { return i.path == path; });
    if (!present || s.failingOpens.count(path) != 0)
        return nullptr;
    s.opened.push_back(path);
    ++s.openHandles;
    return std::make_unique<Handle>(shared_, path, s.plug);
}

}  // namespace velta
