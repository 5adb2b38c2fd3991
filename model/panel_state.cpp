#include "model/panel_state.h"

#include <algorithm>
#include <utility>

namespace velta {

bool PanelState::Cell(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns)
        return false;
    return Cell(CellIndex(row, column));
}

void PanelState::SetCell(int index, bool on) {
    if (!IsCellIndex(index))
        return;
    gridCells_[index] = on ? 1 : 0;
    if (observer_ != nullptr)
        observer_->OnCellWritten(index, on);
}

void PanelState::SetCell(int row, int column, bool on) {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns)
        return;
    SetCell(CellIndex(row, column), on);
}

void PanelState::SetPodColor(int pod, Color color) {
    if (!IsPod(pod))
        return;
    podColors_[pod] = color & 0x00FFFFFFu;
}

void PanelState::SetPodMark(int pod, bool on) {
    if (!IsPod(pod))
        return;
    podMarks_[pod] = on ? 1 : 0;
    if (observer_ != nullptr)
        observer_->OnPodMarkWritten(pod, on);
}

void PanelState::SetPodLedColors(int pod, Color onColor, Color offColor) {
    if (!IsPod(pod))
        return;
    podLedColors_[pod] = LedColors{onColor, offColor};
    if (observer_ != nullptr)
        observer_->OnPodLedColorsChanged(pod, onColor, offColor);
}

void PanelState::SetCurrentColor(Color color) {
    currentColor_ = color & 0x00FFFFFFu;
    Notify(PanelField::CurrentColor);
}

void PanelState::SetRingOn(int ring, bool on) {
    if (!IsRing(ring))
        return;
    ringOn_[ring] = on ? 1 : 0;
    if (observer_ != nullptr)
        observer_->OnRingWritten(ring, on);
}

void PanelState::SetRingLevel(int level) {
    ringLevel_ = std::clamp(level, 0, kRingLevelMax);
    Notify(PanelField::RingLevel);
}

void PanelState::SetGridBrightness(int value) {
    gridBrightness_ = std::clamp(value, 0, kGridBrightnessMax);
    Notify(PanelField::GridBrightness);
}

void PanelState::SetScrollSpeed(int value) {
    scrollSpeed_ = std::clamp(value, 0, kScrollSpeedMax);
    Notify(PanelField::ScrollSpeed);
}

void PanelState::SetScrollText(std::string text) {
    scrollText_ = std::move(text);
    Notify(PanelField::ScrollText);
}

void PanelState::SetFeature(FeatureBox box, bool on) {
    featureSelection_[Index(box)] = on;
    Notify(PanelField::FeatureSelection);
}

void PanelState::SetAutoUpdate(bool on) {
    autoUpdate_ = on;
    Notify(PanelField::AutoUpdate);
}

void PanelState::SetFillMode(FillMode mode) {
    fillMode_ = mode;
    Notify(PanelField::FillMode);
}

void PanelState::SetRfMode(bool on) {
    rfMode_ = on;
    Notify(PanelField::RfMode);
}

FeatureMask PanelState::BuildFeatureMask(bool withText) const {
    const auto bit = [this](FeatureBox box) -> FeatureMask { return Feature(box) ? 1u : 0u; };
    FeatureMask mask = bit(FeatureBox::LedGrid) | bit(FeatureBox::RgbPods) << 1 |
                       bit(FeatureBox::LedRings) << 2 | bit(FeatureBox::GridBrightness) << 3 |
                       bit(FeatureBox::RingBrightness) << 4;
    if (withText)
        mask |= bit(FeatureBox::ScrollingText) << 6;
    return mask;
}

PanelState::LedData PanelState::LED_data() const {
    LedData words{};
    for (int column = 0; column < kColumns; ++column) {
        std::uint32_t word = 0;
        for (int row = 0; row < kRows; ++row) {
            if (gridCells_[CellIndex(row, column)] != 0)
                word |= 1u << row;
        }
        words[column] = word;
    }
    return words;
}

PanelState::RgbData PanelState::RGB_data() const {
    RgbData bytes{};
    for (int pod = 0; pod < kPodCount; ++pod) {
        const Color v = podColors_[pod];
        bytes[3 * pod] = RedOf(v);
        bytes[3 * pod + 1] = GreenOf(v);
        bytes[3 * pod + 2] = BlueOf(v);
    }
    return bytes;
}

PanelState::RingData PanelState::ring_data() const {
    RingData bytes{};
    const int level = ringLevel_;
    const auto low = static_cast<std::uint8_t>(level & 0xFF);
    const auto high = static_cast<std::uint8_t>(level >> 8);
    for (int ring = 0; ring < kRingCount; ++ring) {
        const bool on = ringOn_[ring] != 0;
        bytes[2 * ring] = on ? low : 0;
        bytes[2 * ring + 1] = on ? high : 0;
    }
    return bytes;
}

}  // namespace velta
