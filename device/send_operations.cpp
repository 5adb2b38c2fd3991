#include "device/send_operations.h"

namespace velta {

void SendGrid(const PanelState& panel, ReportBatch& batch) {
    const PanelState::LedData words = panel.LED_data();
    DeviceReport report = GridReport(words);
    batch.push_back(report);
    GridTailReport(report, words[kColumns - 1]);
    batch.push_back(report);
}

void SendPods(const PanelState& panel, ReportBatch& batch) {
    batch.push_back(PodReport(panel.RGB_data()));
}

void SendRings(const PanelState& panel, ReportBatch& batch) {
    batch.push_back(RingReport(panel.ring_data(), panel.ScrollSpeed(), panel.GridBrightness()));
}

void SendText(const PanelState& panel, bool linkConnected, ReportBatch& batch) {
    if (!panel.RfMode() || !linkConnected || panel.ScrollText().empty())
        return;
    batch.push_back(TextReport(panel.ScrollText()));
}

void SendRfOn(ReportBatch& batch) {
    batch.push_back(RfOnReport());
}

void SendRfOff(ReportBatch& batch) {
    batch.push_back(RfOffReport());
}

}  // namespace velta
