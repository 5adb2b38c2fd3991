// Tells which features changed since the last look, for Auto Update and Update Data.
#pragma once

#include <array>
#include <cstdint>

#include "model/panel_state.h"

namespace velta {

class ChangeTracker {
  public:
    explicit ChangeTracker(const PanelState& panel) : panel_(panel) {}

    // Only bits 0x01, 0x02, 0x04 can be set. Repacks the arrays of every examined feature and
    // brings their snapshots up to date; unexamined features keep their snapshots.
    FeatureMask DetectChanges();

  private:
    const PanelState& panel_;
    std::array<std::uint32_t, kLedDataWords> gridSnapshot_{};
    std::array<int, kRgbDataUsed> podSnapshot_{};
    std::array<int, kRingDataBytes> ringSnapshot_{};
    int lastGridBrightness_ = 0;
    int lastScrollSpeed_ = 0;
};

}  // namespace velta
