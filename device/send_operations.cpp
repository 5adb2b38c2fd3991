#include "device/send_operations.h"

namespace velta {

// Every send packs afresh right before building, and writes every report even when an earlier
// one failed: the link reports each failed write itself.

void SendGrid(PanelState& panel, HidLink& link) {
    panel.PackLedData();
    DeviceReport report = GridReport(panel.LED_data());
    link.WriteReport(report);
    GridTailReport(report, panel.LED_data()[kColumns - 1]);
    link.WriteReport(report);
}

void SendPods(PanelState& panel, HidLink& link) {
    panel.PackRgbData();
    link.WriteReport(PodReport(panel.RGB_data()));
}

void SendRings(PanelState& panel, HidLink& link) {
    panel.PackRingData();
    link.WriteReport(RingReport(panel.ring_data(), panel.ScrollSpeed(), panel.GridBrightness()));
}

void SendText(const PanelState& panel, HidLink& link) {
    if (panel.RfMode() != 1 || !link.IsConnected() || panel.ScrollText().empty())
        return;
    link.WriteReport(TextReport(panel.ScrollText()));
}

void SendRfOn(HidLink& link) {
    link.WriteReport(RfOnReport());
}

void SendRfOff(HidLink& link) {
    link.WriteReport(RfOffReport());
}

}  // namespace velta
