#include "control/control_center_controller.h"

#include "device/send_operations.h"
#include "grid/grid_transforms.h"
#include "grid/pointer_painting.h"

namespace velta {

namespace {

// Marks a sending command as running for its whole extent, also on early return.
class BusyScope {
  public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

ControlCenterController::ControlCenterController(HidTransport& transport, ControlCenterView& view)
    : view_(view), link_(transport, view) {}

void ControlCenterController::OnInitDialog() {
    panel_.SetFillMode(FillMode::AllOff);
    link_.Close();
    view_.StartTimer(kSampleTimerId, kSampleTimerPeriodMs);
    panel_.SetGridBrightness(kGridBrightnessMax);
    panel_.SetScrollSpeed(kScrollSpeedMax);
    panel_.SetRingLevel(kRingLevelMax);
}

void ControlCenterController::OnGridCommand(GridCommand command) {
    switch (command) {
        case GridCommand::SelectAll:
            SelectAll(panel_);
            break;
        case GridCommand::DeselectAll:
            DeselectAll(panel_);
            break;
        case GridCommand::ShiftLeft:
            ShiftLeft(panel_);
            break;
        case GridCommand::ShiftRight:
            ShiftRight(panel_);
            break;
        case GridCommand::ShiftUp:
            ShiftUp(panel_);
            break;
        case GridCommand::ShiftDown:
            ShiftDown(panel_);
            break;
        case GridCommand::ShiftInwards:
            ShiftInwards(panel_);
            break;
        case GridCommand::ShiftOutwards:
            ShiftOutwards(panel_);
            break;
        case GridCommand::ShiftDownwards:
            ShiftDownwards(panel_);
            break;
        case GridCommand::ShiftUpwards:
            ShiftUpwards(panel_);
            break;
        case GridCommand::InvertGrid:
            InvertGrid(panel_);
            break;
        case GridCommand::ColorAllPods:
            ColorAllPods(panel_);
            break;
    }
}

void ControlCenterController::OnConnectTx() {
    // A working link is left alone: searching again would drop its handles. One whose
    // transmitter is no longer listed (removed before the reader noticed) is searched anew, so a
    // dead handle is never reported as a detected device.
    if (link_.IsConnected() && link_.DevicePresent()) {
        view_.SetStatusText(kTextDeviceDetected);
        return;
    }
    view_.SetStatusText(link_.Open() ? kTextDeviceDetected : kTextDeviceNotDetected);
}

void ControlCenterController::OnUpdateData() {
    if (busy_)
        return;
    if (panel_.RfMode() == 0)
        return;
    if (!link_.IsConnected()) {
        view_.SetStatusText(kTextDeviceNotDetected);
        return;
    }
    const BusyScope busy(busy_);
    const FeatureMask mask = panel_.BuildFeatureMask(true);
    // Each send goes out even after an earlier one failed; the link reports every failure.
    SendChangedReports(mask);
    if ((mask & feature::kScrollingText) != 0)
        SendText(panel_, link_);
    // Logs what changed since the last look and brings the snapshots up to date, so the next
    // auto-update tick does not send this content again.
    log_.AppendBlocks(tracker_.DetectChanges());
}

void ControlCenterController::OnSaveSequence() {
    log_.AppendBlocks(panel_.BuildFeatureMask(false));
}

void ControlCenterController::OnRfMode() {
    if (busy_)
        return;
    const BusyScope busy(busy_);
    // The toggle happens even when the write fails; the link has already told the user.
    if (panel_.RfMode() == 0) {
        SendRfOn(link_);
        view_.SetRfButtonCaption(kCaptionDisableRf);
        panel_.SetRfMode(1);
    } else {
        SendRfOff(link_);
        view_.SetRfButtonCaption(kCaptionActivateRf);
        panel_.SetRfMode(0);
    }
}

void ControlCenterController::OnAutoUpdate() {
    // With RF mode off the check mark alone changes; a running timer keeps running.
    if (panel_.RfMode() == 0)
        return;
    if (panel_.AutoUpdate()) {
        view_.StartTimer(kAutoUpdateTimerId, kAutoUpdateTimerPeriodMs);
    } else {
        view_.StopTimer(kAutoUpdateTimerId);
    }
}

void ControlCenterController::OnLedRings() {
    // The two brightness boxes can't be clicked; they always follow "LED Rings".
    const bool on = panel_.Feature(FeatureBox::LedRings);
    panel_.SetFeature(FeatureBox::RingBrightness, on);
    panel_.SetFeature(FeatureBox::GridBrightness, on);
}

void ControlCenterController::OnScrollingText() {
    panel_.SetFeature(FeatureBox::LedGrid, false);
}

void ControlCenterController::OnLedGrid() {
    panel_.SetFeature(FeatureBox::ScrollingText, false);
}

void ControlCenterController::OnColorKillFocus() {
    panel_.SetCurrentColor(view_.PickedColor());
}

void ControlCenterController::OnTimer(int id) {
    if (id == kSampleTimerId) {
        // Painting only touches cells and pod colours, so it may run even inside a send's
        // modal box; the send picks the new content up at its next look.
        SampleTick(panel_, view_.SamplePointer());
    } else if (id == kAutoUpdateTimerId) {
        AutoUpdateTick();
    }
}

void ControlCenterController::OnClose() {
    link_.Close();
}

void ControlCenterController::SendChangedReports(FeatureMask changes) {
    if ((changes & feature::kLedGrid) != 0)
        SendGrid(panel_, link_);
    if ((changes & feature::kRgbPods) != 0)
        SendPods(panel_, link_);
    if ((changes & feature::kLedRings) != 0)
        SendRings(panel_, link_);
}

void ControlCenterController::AutoUpdateTick() {
    // A tick that arrives inside a send's "Write Error" box is dropped, like any missed tick:
    // running it there would interleave reports and log blocks with the command in progress.
    if (busy_)
        return;
    if (panel_.RfMode() == 0)
        return;
    const BusyScope busy(busy_);
    const FeatureMask changes = tracker_.DetectChanges();
    if (changes == 0)
        return;
    if (link_.IsConnected())
        SendChangedReports(changes);
    log_.AppendBlocks(changes);
}

}  // namespace velta
