// The six sends: each packs the panel's current content, builds its report(s) and writes them through
// the link in order. Failures are reported by the link; every report of a send is attempted.
#pragma once

#include "device/hid_link.h"
#include "model/panel_state.h"

namespace velta {

void SendGrid(const PanelState& panel, HidLink& link);   // GridReport, then its tail report
void SendPods(const PanelState& panel, HidLink& link);   // PodReport
void SendRings(const PanelState& panel, HidLink& link);  // RingReport
// TextReport, only with RF mode on, the link connected and a non-empty text.
void SendText(const PanelState& panel, HidLink& link);
void SendRfOn(HidLink& link);
void SendRfOff(HidLink& link);

}  // namespace velta
