#include "fake_hidapi.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

struct hid_device_ {
    std::string path;
    std::uint64_t plug = 0;
};

namespace velta::testing {

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;

    std::string initFailure;
    std::wstring lastError;
    std::vector<FakeHidDevice> devices;
    std::map<std::string, int> failingOpens;
    bool stallWrites = false;
    bool stallNextWrite = false;
    std::uint64_t releases = 0;  // bumped by each release of the stalled writes
    int stalledWrites = 0;
    int writeResult = 0;
    int writeError = EIO;
    std::chrono::milliseconds writeDelay{0};
    std::vector<std::vector<std::uint8_t>> written;
    std::deque<FakeRead> reads;
    int readsUntilUnplug = -1;
    int readCalls = 0;
    bool readWaiting = false;
    std::uint64_t plug = 0;  // bumped by an unplug: handles of an older plug are dead

    std::map<hid_device*, std::unique_ptr<hid_device_>> handles;
    struct Enumeration {
        std::vector<hid_device_info> infos;
        std::vector<std::string> paths;
        std::vector<std::wstring> serials;
    };
    std::map<hid_device_info*, std::unique_ptr<Enumeration>> enumerations;
    int inits = 0;
    int exits = 0;

    void UnplugLocked() {
        ++plug;
        devices.clear();
        changed.notify_all();
    }
};

// Preloaded under a real program, the fake lists one transmitter and takes its write timing from
// VELTA_FAKE_WRITE_MS (every write takes that long in the device).
void FromEnvironment(State& state) {
#ifdef VELTA_FAKE_HIDAPI_FROM_ENV
    state.devices.push_back({"/dev/hidraw-fake", 0x04D8, 0x003F});
    if (const char* ms = std::getenv("VELTA_FAKE_WRITE_MS"); ms != nullptr)
        state.writeDelay = std::chrono::milliseconds(std::atoi(ms));
#else
    (void)state;
#endif
}

State& Shared() {
    static State state;
    static const bool configured = (FromEnvironment(state), true);
    (void)configured;
    return state;
}

}  // namespace

FakeHidapi& FakeHidapi::Instance() {
    static FakeHidapi instance;
    return instance;
}

void FakeHidapi::Reset() {
    State& s = Shared();
    std::unique_lock lock(s.mutex);
    s.stallWrites = false;
    s.stallNextWrite = false;
    ++s.releases;
    s.changed.notify_all();
    s.changed.wait(lock, [&] { return s.stalledWrites == 0; });
    s.initFailure.clear();
    s.devices.clear();
    s.failingOpens.clear();
    s.writeResult = 0;
    s.writeError = EIO;
    s.writeDelay = std::chrono::milliseconds(0);
    s.written.clear();
    s.reads.clear();
    s.readsUntilUnplug = -1;
    s.readCalls = 0;
    ++s.plug;
    s.inits = 0;
    s.exits = 0;
}

void FakeHidapi::FailInit(std::string message) {
    const std::lock_guard lock(Shared().mutex);
    Shared().initFailure = std::move(message);
}

void FakeHidapi::SetDevices(std::vector<FakeHidDevice> devices) {
    const std::lock_guard lock(Shared().mutex);
    Shared().devices = std::move(devices);
}

void FakeHidapi::FailOpen(const std::string& path, int error) {
    const std::lock_guard lock(Shared().mutex);
    Shared().failingOpens[path] = error;
}

void FakeHidapi::StallWrites(bool stall) {
    const std::lock_guard lock(Shared().mutex);
    Shared().stallWrites = stall;
    if (!stall)
        ++Shared().releases;
    Shared().changed.notify_all();
}

void FakeHidapi::StallNextWrite() {
    const std::lock_guard lock(Shared().mutex);
    Shared().stallNextWrite = true;
}

int FakeHidapi::StalledWrites() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().stalledWrites;
}

void FakeHidapi::SetWriteResult(int result, int error) {
    const std::lock_guard lock(Shared().mutex);
    Shared().writeResult = result;
    Shared().writeError = error;
}

void FakeHidapi::SetWriteDelay(std::chrono::milliseconds delay) {
    const std::lock_guard lock(Shared().mutex);
    Shared().writeDelay = delay;
}

std::vector<std::vector<std::uint8_t>> FakeHidapi::Written() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().written;
}

void FakeHidapi::QueueReads(std::vector<FakeRead> reads) {
    const std::lock_guard lock(Shared().mutex);
    for (auto& read : reads)
        Shared().reads.push_back(std::move(read));
    Shared().changed.notify_all();
}

void FakeHidapi::UnplugAfterReads(int n) {
    const std::lock_guard lock(Shared().mutex);
    Shared().readsUntilUnplug = n;
    Shared().changed.notify_all();
}

void FakeHidapi::Unplug() {
    const std::lock_guard lock(Shared().mutex);
    Shared().UnplugLocked();
}

int FakeHidapi::ReadCalls() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().readCalls;
}

bool FakeHidapi::ReadWaiting() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().readWaiting;
}

int FakeHidapi::OpenHandles() const {
    const std::lock_guard lock(Shared().mutex);
    return static_cast<int>(Shared().handles.size());
}

int FakeHidapi::OpenEnumerations() const {
    const std::lock_guard lock(Shared().mutex);
    return static_cast<int>(Shared().enumerations.size());
}

int FakeHidapi::Inits() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().inits;
}

int FakeHidapi::Exits() const {
    const std::lock_guard lock(Shared().mutex);
    return Shared().exits;
}

}  // namespace velta::testing

using velta::testing::FakeRead;
using velta::testing::Shared;
using velta::testing::State;

extern "C" {

int hid_init(void) {
    State& s = Shared();
    const std::lock_guard lock(s.mutex);
    ++s.inits;
    if (!s.initFailure.empty()) {
        s.lastError.assign(s.initFailure.begin(), s.initFailure.end());
        return -1;
    }
    return 0;
}

int hid_exit(void) {
    const std::lock_guard lock(Shared().mutex);
    ++Shared().exits;
    return 0;
}

hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id) {
    State& s = Shared();
    const std::lock_guard lock(s.mutex);
    auto list = std::make_unique<State::Enumeration>();
    for (const auto& d : s.devices) {
        if ((vendor_id != 0 && d.vendorId != vendor_id) ||
            (product_id != 0 && d.productId != product_id))
            continue;
        list->paths.push_back(d.path);
        list->serials.push_back(d.serial);
        hid_device_info info{};
        info.vendor_id = d.vendorId;
        info.product_id = d.productId;
        list->infos.push_back(info);
    }
    if (list->infos.empty())
        return nullptr;
    for (std::size_t i = 0; i < list->infos.size(); ++i) {
        list->infos[i].path = list->paths[i].data();
        list->infos[i].serial_number = list->serials[i].empty() ? nullptr : list->serials[i].data();
        list->infos[i].next = i + 1 < list->infos.size() ? &list->infos[i + 1] : nullptr;
    }
    hid_device_info* const head = list->infos.data();
    s.enumerations.emplace(head, std::move(list));
    return head;
}

void hid_free_enumeration(hid_device_info* devs) {
    const std::lock_guard lock(Shared().mutex);
    Shared().enumerations.erase(devs);
}

hid_device* hid_open_path(const char* path) {
    State& s = Shared();
    const std::lock_guard lock(s.mutex);
    if (const auto failing = s.failingOpens.find(path); failing != s.failingOpens.end()) {
        s.lastError = L"open failed";
        errno = failing->second;
        return nullptr;
    }
    if (std::none_of(s.devices.begin(), s.devices.end(),
                     [&](const auto& d) { return d.path == path; })) {
        s.lastError = L"no such device";
        errno = ENOENT;
        return nullptr;
    }
    auto handle = std::make_unique<hid_device_>(hid_device_{path, s.plug});
    hid_device* const raw = handle.get();
    s.handles.emplace(raw, std::move(handle));
    return raw;
}

int hid_write(hid_device* dev, const unsigned char* data, size_t length) {
    State& s = Shared();
    std::unique_lock lock(s.mutex);
    if (s.writeDelay.count() > 0) {
        // The device is slow, not stuck: the write returns after the delay whatever happens.
        const auto delay = s.writeDelay;
        lock.unlock();
        std::this_thread::sleep_for(delay);
        lock.lock();
    }
    if (s.stallWrites || s.stallNextWrite) {
        s.stallNextWrite = false;
        ++s.stalledWrites;
        s.changed.notify_all();
        const std::uint64_t ticket = s.releases;
        s.changed.wait(lock, [&] { return s.releases != ticket; });
        --s.stalledWrites;
        s.changed.notify_all();
    }
    if (dev->plug != s.plug || s.writeResult < 0) {
        errno = dev->plug != s.plug ? EIO : s.writeError;
        return -1;
    }
    s.written.emplace_back(data, data + length);
    return s.writeResult > 0 ? s.writeResult : static_cast<int>(length);
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds) {
    State& s = Shared();
    std::unique_lock lock(s.mutex);
    ++s.readCalls;
    if (s.readsUntilUnplug >= 0 && s.readsUntilUnplug-- == 0)
        s.UnplugLocked();
    if (dev->plug != s.plug)
        return -1;  // a hang-up: hidapi leaves errno alone
    if (s.reads.empty()) {
        s.readWaiting = true;
        s.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return !s.reads.empty() || dev->plug != s.plug; });
        s.readWaiting = false;
        return 0;  // the next call takes what arrived
    }
    const FakeRead read = std::move(s.reads.front());
    s.reads.pop_front();
    switch (read.kind) {
        case FakeRead::Kind::Data: {
            const std::size_t n = std::min(length, read.bytes.size());
            std::copy_n(read.bytes.begin(), n, data);
            return static_cast<int>(n);
        }
        case FakeRead::Kind::Timeout:
            return 0;
        case FakeRead::Kind::Error:
            errno = read.error;
            return -1;
    }
    return -1;
}

void hid_close(hid_device* dev) {
    const std::lock_guard lock(Shared().mutex);
    Shared().handles.erase(dev);
}

const wchar_t* hid_error(hid_device* /*dev*/) {
    const std::lock_guard lock(Shared().mutex);
    return Shared().lastError.c_str();
}

}  // extern "C"
