#include "model/panel_content.h"

namespace velta {

namespace {
// A coloured pod's LED: white when marked, its colour otherwise (as the pod colouring leaves it).
constexpr Color kColoredPodOnColor = 0xFFFFFF;
}  // namespace

PanelContent CaptureContent(const PanelState& panel) {
    PanelContent content;
    for (int i = 0; i < kCellCount; ++i)
        content.cells[static_cast<std::size_t>(i)] = panel.Cell(i);
    for (int pod = 0; pod < kPodCount; ++pod)
        content.pods[static_cast<std::size_t>(pod)] = panel.PodColor(pod);
    for (int ring = 0; ring < kRingCount; ++ring)
        content.rings[static_cast<std::size_t>(ring)] = panel.RingOn(ring);
    content.ringLevel = panel.RingLevel();
    content.gridBrightness = panel.GridBrightness();
    content.scrollSpeed = panel.ScrollSpeed();
    content.text = panel.ScrollText();
    return content;
}

void ApplyContent(PanelState& panel, const PanelContent& content) {
    for (int i = 0; i < kCellCount; ++i) {
        const bool on = content.cells[static_cast<std::size_t>(i)];
        if (panel.Cell(i) != on)
            panel.SetCell(i, on);
    }
    for (int pod = 0; pod < kPodCount; ++pod) {
        const Color color = content.pods[static_cast<std::size_t>(pod)] & 0x00FFFFFFu;
        const bool colorDiffers = panel.PodColor(pod) != color;
        if (colorDiffers)
            panel.SetPodColor(pod, color);
        // The LED is brought in line also when only it lags behind (a colouring whose tick has
        // not run yet), so after applying, what the pod shows is what it holds.
        if (colorDiffers || panel.PodLedColors(pod).off != color)
            panel.SetPodLedColors(pod, kColoredPodOnColor, color);
    }
    for (int ring = 0; ring < kRingCount; ++ring) {
        const bool on = content.rings[static_cast<std::size_t>(ring)];
        if (panel.RingOn(ring) != on)
            panel.SetRingOn(ring, on);
    }
    if (panel.RingLevel() != content.ringLevel)
        panel.SetRingLevel(content.ringLevel);
    if (panel.GridBrightness() != content.gridBrightness)
        panel.SetGridBrightness(content.gridBrightness);
    if (panel.ScrollSpeed() != content.scrollSpeed)
        panel.SetScrollSpeed(content.scrollSpeed);
    if (panel.ScrollText() != content.text)
        panel.SetScrollText(content.text);
}

}  // namespace velta
