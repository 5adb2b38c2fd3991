// A stand-in for the hidapi library, linked instead of it into the tests that compile
// device/hidapi_transport.cpp, so every path of HidapiTransport runs without hardware. Built as a
// shared library too (libvelta_fake_hidapi.so), it can be preloaded under the real programs; it
// then lists one transmitter and takes its timings from the environment (FromEnvironment).
//
// A C library's state is process-wide by nature: the fake keeps one instance, which each test
// resets first. Everything is safe to call from any thread.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velta::testing {

struct FakeHidDevice {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::wstring serial{};  // empty: listed with no serial number (a null pointer)
};

// One scripted outcome of hid_read_timeout.
struct FakeRead {
    enum class Kind { Data, Timeout, Error } kind = Kind::Timeout;
    std::vector<std::uint8_t> bytes;  // Data: what the device sends
    int error = 0;                    // Error: the errno left behind (0: none, as a hang-up)

    static FakeRead Data(std::vector<std::uint8_t> bytes) {
        return {Kind::Data, std::move(bytes), 0};
    }
    static FakeRead Timeout() { return {Kind::Timeout, {}, 0}; }
    static FakeRead Fail(int error) { return {Kind::Error, {}, error}; }
};

class FakeHidapi {
  public:
    static FakeHidapi& Instance();

    // Back to a working library with no devices; releases stalled writes first.
    void Reset();

    // hid_init fails, with this text from hid_error(NULL).
    void FailInit(std::string message);
    void SetDevices(std::vector<FakeHidDevice> devices);
    // hid_open_path of this path fails with `error` as errno.
    void FailOpen(const std::string& path, int error);

    // Writes block until ReleaseWrites (or Reset); StalledWrites counts the blocked ones.
    void StallWrites(bool stall);
    void ReleaseWrites() { StallWrites(false); }
    // Only the next write blocks, until ReleaseWrites; later ones go through meanwhile.
    void StallNextWrite();
    int StalledWrites() const;
    // Every write returns this (-1: failure with `error` as errno); 0 restores whole writes.
    void SetWriteResult(int result, int error = EIO);
    // Every write takes this long in the device.
    void SetWriteDelay(std::chrono::milliseconds delay);
    std::vector<std::vector<std::uint8_t>> Written() const;

    // Reads take the scripted outcomes in order; with none left they time out after their
    // timeout (or as soon as something is scripted). After `n` more calls the device is unplugged
    // (-1 without errno, as a hang-up); -1 turns that off.
    void QueueReads(std::vector<FakeRead> reads);
    void UnplugAfterReads(int n);
    void Unplug();  // now: listed no more, reads and writes fail
    int ReadCalls() const;
    bool ReadWaiting() const;  // a read is waiting in its timeout now

    int OpenHandles() const;
    int OpenEnumerations() const;  // lists not yet freed
    int Inits() const;
    int Exits() const;

  private:
    FakeHidapi() = default;
};

}  // namespace velta::testing
