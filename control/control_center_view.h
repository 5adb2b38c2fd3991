// The window as the controller sees it. The Qt dialog implements it; tests use a fake, so the
// whole program runs headless.
#pragma once

#include <string_view>

#include "device/link_notices.h"
#include "export/data_center_log.h"
#include "grid/pointer_painting.h"
#include "model/panel_state.h"

namespace velta {

constexpr int kSampleTimerId = 102;
constexpr int kSampleTimerPeriodMs = 10;
constexpr int kAutoUpdateTimerId = 103;
constexpr int kAutoUpdateTimerPeriodMs = 100;

constexpr std::string_view kCaptionActivateRf = "Activate RF Mode";
constexpr std::string_view kCaptionDisableRf = "Disable RF Mode";

class ControlCenterView : public LinkNotices, public DataCenterSink {
  public:
    // Caption of button 1061.
    virtual void SetRfButtonCaption(std::string_view caption) = 0;
    // Starting a running timer restarts its period: the first tick comes periodMs from now.
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    // Pointer position in client pixels and the right/middle button states, now.
    virtual PointerSample SamplePointer() = 0;
    // Colour of the colour box's selected item (read when the box loses the focus).
    virtual Color PickedColor() = 0;
    // The undo history gained, lost or finished a step: menus and the title follow it.
    virtual void OnHistoryChanged() {}
    // A playing sequence ended (its last frame, Stop, an edit, or a failed write).
    virtual void OnPlayingStopped() {}
    // Why a click could do nothing, and what to do next; shown beside the panel's own texts
    // (the window's status bar), never instead of them.
    virtual void ShowHint(std::string_view /*hint*/) {}
    // Update Data (1038) or the RF button (1061) has a send in flight (busy) or no longer has:
    // the button is disabled while it does. The controller ignores the command meanwhile.
    virtual void SetCommandBusy(int /*controlId*/, bool /*busy*/) {}
};

}  // namespace velta
