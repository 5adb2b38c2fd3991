// Random panel content for the model tests, always through PanelState's setters and obeying the
// panel's own rules (grid and text boxes exclude each other, the brightness boxes follow rings).
#pragma once

#include <random>
#include <string>

#include "model/panel_state.h"

namespace velta::testing {

inline std::string RandomText(std::mt19937& rng) {
    static constexpr const char* kPieces[] = {
        "Hello", " ", "\xC3\xBC",         "\"", "\\", "\n", "\xE2\x82\xAC",
        "\t",    "/", "\xF0\x9F\x8E\x89", "x"};
    std::string text;
    const int count = static_cast<int>(rng() % 12);
    for (int i = 0; i < count; ++i)
        text += kPieces[rng() % std::size(kPieces)];
    return text;
}

inline void TickFeature(PanelState& panel, FeatureBox box, bool on) {
    panel.SetFeature(box, on);
    if (box == FeatureBox::LedRings) {
        panel.SetFeature(FeatureBox::GridBrightness, on);
        panel.SetFeature(FeatureBox::RingBrightness, on);
    }
    if (on && box == FeatureBox::LedGrid)
        panel.SetFeature(FeatureBox::ScrollingText, false);
    if (on && box == FeatureBox::ScrollingText)
        panel.SetFeature(FeatureBox::LedGrid, false);
}

// One user-like edit of a random kind.
inline void RandomEdit(PanelState& panel, std::mt19937& rng) {
    switch (rng() % 8) {
        case 0:
        case 1:
            for (int n = 1 + static_cast<int>(rng() % 20); n > 0; --n)
                panel.ToggleCell(static_cast<int>(rng() % kCellCount));
            break;
        case 2: {
            const int pod = static_cast<int>(rng() % kPodCount);
            const Color color = rng() & 0xFFFFFFu;
            panel.SetPodColor(pod, color);
            panel.SetPodLedColors(pod, 0xFFFFFF, color);
            break;
        }
        case 3:
            panel.ToggleRing(static_cast<int>(rng() % kRingCount));
            break;
        case 4:
            panel.SetRingLevel(static_cast<int>(rng() % (kRingLevelMax + 1)));
            panel.SetGridBrightness(static_cast<int>(rng() % (kGridBrightnessMax + 1)));
            break;
        case 5:
            panel.SetScrollSpeed(static_cast<int>(rng() % (kScrollSpeedMax + 1)));
            break;
        case 6:
            panel.SetScrollText(RandomText(rng));
            break;
        case 7:
            TickFeature(panel, static_cast<FeatureBox>(rng() % 3 == 0 ? 5 : rng() % 3),
                        rng() % 2 == 0);
            panel.SetFillMode(static_cast<FillMode>(rng() % 3));
            break;
    }
}

inline void RandomPanel(PanelState& panel, std::mt19937& rng) {
    for (int i = 0; i < kCellCount; ++i)
        panel.SetCell(i, rng() % 2 == 0);
    for (int n = 0; n < 30; ++n)
        RandomEdit(panel, rng);
}

}  // namespace velta::testing
