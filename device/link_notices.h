// What the link needs from the window: the write-error box, the status box, and a way to hand
// work from the link's threads to the UI thread, and why the transmitter could not be opened.
#pragma once

#include <functional>
#include <string_view>

namespace velta {

constexpr std::string_view kTextDeviceDetected = "Device Detected - 0x00";
constexpr std::string_view kTextDeviceNotDetected = "Device Not Detected - 0xF1";
constexpr std::string_view kTextReadError = "Read Error - 0xA0";
constexpr std::string_view kTextWriteError = "Write Error";
constexpr std::string_view kTextWriteErrorCaption = "Error";

class LinkNotices {
  public:
    virtual ~LinkNotices() = default;
    // UI thread. The modal "Write Error" box (caption "Error", OK, error icon). It may run a
    // nested event loop in which timer ticks keep arriving.
    virtual void ShowWriteError() = 0;
    // UI thread. Replaces the text of the Status box.
    virtual void SetStatusText(std::string_view text) = 0;
    // Any thread, never blocks: runs task later on the UI thread. A task still queued when the
    // window goes away may be dropped.
    virtual void PostToUiThread(std::function<void()> task) = 0;
    // UI thread. Why the last Open found no usable transmitter, in words for the user (the status
    // text stays "Device Not Detected - 0xF1"). `permissionProblem`: the transmitter is there but
    // the user may not open it, which the udev rule named in `reason` mends.
    virtual void ShowLinkDiagnostic(std::string_view /*reason*/, bool /*permissionProblem*/) {}
    // UI thread. An Open succeeded: an earlier diagnostic no longer holds.
    virtual void ClearLinkDiagnostic() {}
};

}  // namespace velta
