#include "device/send_operations.h"

namespace velta {

// Every send writes every report even when an earlier one failed: the link reports each failed
// write itself.

void SendGrid(const PanelState& panel, HidLink& link) {
    const PanelState::LedData words = panel.LED_data();
    DeviceReport report = GridReport(words);
    link.WriteReport(report);
    GridTailReport(report, words[kColumns - 1]);
    link.WriteReport(report);
}

void SendPods(const PanelState& panel, HidLink& link) {
    link.WriteReport(PodReport(panel.RGB_data()));
}

void SendRings(const PanelState& panel, HidLink& link) {
    link.WriteReport(RingReport(panel.ring_data(), panel.ScrollSpeed(), panel.GridBrightness()));
}

void SendText(const PanelState& panel, HidLink& link) {
    if (!panel.RfMode() || !link.IsConnected() || panel.ScrollText().empty())
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
