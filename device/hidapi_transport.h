// The link's platform layer on hidapi: the one file of the program that talks to the USB stack.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"

namespace velta {

// A wide string from hidapi (a serial number) in UTF-8; empty for a null pointer.
std::string WideToUtf8(const wchar_t* text);

// One per program: it initialises hidapi on construction and shuts it down on destruction once
// every handle it opened is closed (a reader or a stuck writer may still hold one for a moment
// after the link let it go).
class HidapiTransport : public HidTransport {
  public:
    // hidapi cannot close a handle under a blocked read, so a read waits in slices of this length
    // and looks between them whether it was cancelled. Idle, the reader wakes once a slice; a
    // removal ends the read at once (the device hangs up), at the latest one slice later.
    // A short-lived program, which does not sit idle, may take a shorter slice so that it need not
    // wait for a cancelled read on its way out.
    static constexpr std::chrono::milliseconds kReadSlice{1000};

    explicit HidapiTransport(std::chrono::milliseconds readSlice = kReadSlice);
    // Waits at most a read slice (and a little) for handles that threads finishing alone still
    // hold, then shuts hidapi down; a handle still held after that (a write stuck in the device)
    // keeps hidapi up until the process ends, rather than have it shut under the write.
    ~HidapiTransport() override;
    HidapiTransport(const HidapiTransport&) = delete;
    HidapiTransport& operator=(const HidapiTransport&) = delete;

    // False when hidapi could not be initialised; the transport then lists no interfaces.
    bool Initialised() const { return initialised_; }

    std::string StartFailure() const override { return startFailure_; }
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override;

  private:
    struct Handles;  // the count of open handles, shared with them

    bool initialised_ = false;
    std::string startFailure_;
    std::chrono::milliseconds readSlice_;
    std::shared_ptr<Handles> handles_;
};

}  // namespace velta
