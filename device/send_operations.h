// The six sends: each packs the panel's current content, builds its report(s) and adds them, in
// order, to the batch a command hands to the link in one go. The link reports how the batch went.
#pragma once

#include "device/hid_link.h"
#include "model/panel_state.h"

namespace velta {

void SendGrid(const PanelState& panel, ReportBatch& batch);   // GridReport, then its tail report
void SendPods(const PanelState& panel, ReportBatch& batch);   // PodReport
void SendRings(const PanelState& panel, ReportBatch& batch);  // RingReport
// TextReport, only with RF mode on, the link connected and a non-empty text.
void SendText(const PanelState& panel, bool linkConnected, ReportBatch& batch);
void SendRfOn(ReportBatch& batch);
void SendRfOff(ReportBatch& batch);

}  // namespace velta
