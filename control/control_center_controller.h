// The command layer of the window: start-up, every button and check box, both timers and close.
#pragma once

#include "control/change_tracker.h"
#include "control/control_center_view.h"
#include "model/panel_state.h"
#include "device/hid_link.h"
#include "device/hid_transport.h"
#include "export/data_center_log.h"

namespace velta {

// The push buttons that run grid and pod commands.
enum class GridCommand {
    SelectAll,
    DeselectAll,
    ShiftLeft,
    ShiftRight,
    ShiftUp,
    ShiftDown,
    ShiftInwards,
    ShiftOutwards,
    ShiftDownwards,
    ShiftUpwards,
    InvertGrid,
    ColorAllPods,
};

class ControlCenterController {
  public:
    ControlCenterController(HidTransport& transport, ControlCenterView& view);

    PanelState& Panel() { return panel_; }
    const PanelState& Panel() const { return panel_; }
    HidLink& Link() { return link_; }
    const DataCenterLog& Log() const { return log_; }

    void OnInitDialog();  // start-up defaults; starts the sample timer
    void OnGridCommand(GridCommand command);
    void OnConnectTx();
    void OnUpdateData();
    void OnSaveSequence();
    void OnRfMode();
    // The check boxes have already toggled their field in the panel when these run.
    void OnAutoUpdate();
    void OnLedRings();
    void OnScrollingText();
    void OnLedGrid();
    void OnColorKillFocus();
    void OnTimer(int id);
    void OnClose();

    void SendChangedReports(FeatureMask changes);

    // True while Update Data, an auto-update tick or the RF toggle is sending; a modal box
    // raised inside such a command lets ticks in, and those must not start another send.
    bool Busy() const { return busy_; }

  private:
    void AutoUpdateTick();

    ControlCenterView& view_;
    PanelState panel_;
    ChangeTracker tracker_{panel_};
    DataCenterLog log_{panel_, view_};
    HidLink link_;
    bool busy_ = false;
};

}  // namespace velta
