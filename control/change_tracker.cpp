#include "control/change_tracker.h"

#include <algorithm>

namespace velta {

FeatureMask ChangeTracker::DetectChanges() {
    const FeatureMask mask = panel_.BuildFeatureMask(true);
    FeatureMask result = 0;

    // Each examined feature's snapshot always ends equal to the current data. Unchecked features keep the snapshot
    // of the last call that examined them.
    if ((mask & feature::kLedGrid) != 0) {
        const auto& words = panel_.LED_data();
        if (!std::equal(words.begin(), words.end(), gridSnapshot_.begin())) {
            result |= feature::kLedGrid;
        }
        std::copy(words.begin(), words.end(), gridSnapshot_.begin());
    }

    if ((mask & feature::kRgbPods) != 0) {
        const PanelState::RgbData rgb = panel_.RGB_data();
        const auto used = rgb.begin();
        const auto usedEnd = used + kRgbDataUsed;
        if (!std::equal(used, usedEnd, podSnapshot_.begin()))
            result |= feature::kRgbPods;
        std::copy(used, usedEnd, podSnapshot_.begin());
    }

    if ((mask & feature::kLedRings) == 0)
        return result;

    // The ring report also carries grid brightness and scroll speed, so they count as rings.
    const auto& rings = panel_.ring_data();
    if (!std::equal(rings.begin(), rings.end(), ringSnapshot_.begin())) {
        result |= feature::kLedRings;
    }
    std::copy(rings.begin(), rings.end(), ringSnapshot_.begin());

    const int gridBrightness = panel_.GridBrightness();
    if (gridBrightness != lastGridBrightness_)
        result |= feature::kLedRings;
    lastGridBrightness_ = gridBrightness;

    const int scrollSpeed = panel_.ScrollSpeed();
    if (scrollSpeed != lastScrollSpeed_)
        result |= feature::kLedRings;
    lastScrollSpeed_ = scrollSpeed;

    return result;
}

}  // namespace velta
