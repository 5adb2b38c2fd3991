#include "grid/pointer_painting.h"

namespace velta {

namespace {

// The painting window in client pixels, all bounds exclusive. Grid LEDs are 18 pixels apart; the
// bands that map to cells lie 2 pixels right of and 1 pixel above the LED controls.
constexpr std::int32_t kWindowLeft = 104;
constexpr std::int32_t kWindowRight = 680;
constexpr std::int32_t kWindowTop = 31;
constexpr std::int32_t kWindowBottom = 286;
constexpr std::int32_t kColumnOrigin = 86;
constexpr std::int32_t kRowOrigin = 31;
constexpr std::int32_t kPitch = 18;

}  // namespace

PaintTarget PaintTargetAt(std::int32_t x, std::int32_t y) {
    // The window test comes first: pointer positions can lie anywhere in the int32 range
    // (multi-monitor setups, far outside the dialog), and only inside it is the arithmetic safe.
    if (x <= kWindowLeft || x >= kWindowRight || y <= kWindowTop || y >= kWindowBottom) {
        return {};
    }
    const int column = (x - kColumnOrigin) / kPitch - 1;
    const int row = (y - kRowOrigin) / kPitch - 1;
    const int index = column + kColumns * row;
    if (!PanelState::IsCellIndex(index))
        return {PaintArea::OffGrid, -1};
    return {PaintArea::OnCell, index};
}

void SampleTick(PanelState& panel, const PointerSample& sample) {
    if (sample.rightHeld || sample.middleHeld) {
        const bool paintValue = sample.rightHeld;  // right paints, and wins over middle
        const PaintTarget target = PaintTargetAt(sample.x, sample.y);
        // Over the rows just above and below the grid the tick ends here; marked pods wait for
        // a later tick.
        if (target.area == PaintArea::OffGrid)
            return;
        if (target.area == PaintArea::OnCell)
            panel.SetCell(target.cellIndex, paintValue);
    }

    for (int pod = 0; pod < kPodCount; ++pod) {
        if (!panel.PodMark(pod))
            continue;
        const Color color = panel.CurrentColor();
        panel.SetPodColor(pod, color);
        panel.SetPodLedColors(pod, kColouredPodLedOnColor, color);
        panel.SetPodMark(pod, false);
    }
}

void ColorAllPods(PanelState& panel) {
    // The LED colours follow at the next tick, which finds every mark set.
    for (int pod = 0; pod < kPodCount; ++pod) {
        panel.SetPodColor(pod, panel.CurrentColor());
        panel.SetPodMark(pod, true);
    }
}

}  // namespace velta
