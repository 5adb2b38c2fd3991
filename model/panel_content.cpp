#include "model/panel_content.h"

#include <algorithm>

namespace velta {

namespace {

// Everything content and frames share, written only where it differs.
template <typename Picture>
void ApplyPicture(PanelState& panel, const Picture& picture) {
    for (int i = 0; i < kCellCount; ++i) {
        const bool on = picture.cells[static_cast<std::size_t>(i)];
        if (panel.Cell(i) != on)
            panel.SetCell(i, on);
    }
    for (int pod = 0; pod < kPodCount; ++pod) {
        const Color color = picture.pods[static_cast<std::size_t>(pod)] & 0x00FFFFFFu;
        const bool colorDiffers = panel.PodColor(pod) != color;
        if (colorDiffers)
            panel.SetPodColor(pod, color);
        // The LED is brought in line also when only it lags behind (a colouring whose tick has
        // not run yet), so after applying, what the pod shows is what it holds.
        if (colorDiffers || panel.PodLedColors(pod).off != color)
            panel.SetPodLedColors(pod, kColouredPodLedOnColor, color);
    }
    for (int ring = 0; ring < kRingCount; ++ring) {
        const bool on = picture.rings[static_cast<std::size_t>(ring)];
        if (panel.RingOn(ring) != on)
            panel.SetRingOn(ring, on);
    }
    if (panel.RingLevel() != picture.ringLevel)
        panel.SetRingLevel(picture.ringLevel);
    if (panel.GridBrightness() != picture.gridBrightness)
        panel.SetGridBrightness(picture.gridBrightness);
    if (panel.ScrollSpeed() != picture.scrollSpeed)
        panel.SetScrollSpeed(picture.scrollSpeed);
}

template <typename Picture>
void CapturePicture(const PanelState& panel, Picture& picture) {
    for (int i = 0; i < kCellCount; ++i)
        picture.cells[static_cast<std::size_t>(i)] = panel.Cell(i);
    for (int pod = 0; pod < kPodCount; ++pod)
        picture.pods[static_cast<std::size_t>(pod)] = panel.PodColor(pod);
    for (int ring = 0; ring < kRingCount; ++ring)
        picture.rings[static_cast<std::size_t>(ring)] = panel.RingOn(ring);
    picture.ringLevel = panel.RingLevel();
    picture.gridBrightness = panel.GridBrightness();
    picture.scrollSpeed = panel.ScrollSpeed();
}

}  // namespace

PanelContent CaptureContent(const PanelState& panel) {
    PanelContent content;
    CapturePicture(panel, content);
    content.text = panel.ScrollText();
    return content;
}

void ApplyContent(PanelState& panel, const PanelContent& content) {
    ApplyPicture(panel, content);
    if (panel.ScrollText() != content.text)
        panel.SetScrollText(content.text);
}

SequenceFrame CaptureFrame(const PanelState& panel, int holdMs) {
    SequenceFrame frame;
    CapturePicture(panel, frame);
    frame.holdMs = ClampHoldMs(holdMs);
    return frame;
}

void ApplyFrame(PanelState& panel, const SequenceFrame& frame) {
    ApplyPicture(panel, frame);
}

}  // namespace velta
