// A stand-in for the Win32 calls under WindowsHidTransport, so its logic runs on any system.
// Single-threaded and without real time: a wait returns at once, timed out or done as scripted,
// and records the timeout it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/win32_hid_api.h"

namespace velta::testing {

struct FakeWin32Interface {
    std::u16string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t queryOpenError = 0;  // opening it for no access fails with this
    bool attributes = true;            // HidD_GetAttributes works on it
    std::uint32_t openError = 0;       // opening it for reading and writing fails with this
};

// How one read or write goes.
struct FakeWin32Io {
    std::uint32_t startError = 0;       // ReadFile / WriteFile fails at once with this
    int waitsBeforeDone = 0;            // waits that time out first; -1: done only when cancelled
    std::uint32_t error = 0;            // it ends with this error (0: it worked)
    std::vector<std::uint8_t> bytes{};  // a read's report
    std::size_t written = 65;           // a write's count
};

class FakeWin32Hid : public Win32HidApi {
  public:
    std::vector<FakeWin32Interface> interfaces;
    std::deque<FakeWin32Io> reads;   // taken in order; none left: a read that is never done
    std::deque<FakeWin32Io> writes;  // taken in order; none left: a whole write at once
    // Called on every wait that times out, with the count of them so far (a stop from "another
    // thread").
    std::function<void(int)> onTimedOutWait;

    // What happened, in order: "open-query PATH", "open PATH", "close", "read", "write",
    // "wait N" (ms), "cancel", "finish".
    std::vector<std::string> calls;
    int openHandles = 0;
    int transfersInFlight = 0;
    bool transfersAvailable = true;

    std::vector<std::u16string> InterfacePaths() override;
    Win32Handle Open(const std::u16string& path, bool readWrite, std::uint32_t& error) override;
    bool Attributes(Win32Handle handle, std::uint16_t& vendorId, std::uint16_t& productId) override;
    void Close(Win32Handle handle) override;
    std::unique_ptr<Win32Transfer> MakeTransfer(Win32Handle handle) override;
    std::string ErrorText(std::uint32_t error) override {
        return "words for " + std::to_string(error);
    }

  private:
    std::vector<std::size_t> handleInterface_;  // handle - 1 -> index in interfaces
};

}  // namespace velta::testing
