// The Data Center text of a whole sequence at once: what Save Sequence appends when it is
// clicked on each frame in turn, for the same ticked features. Users paste it into their display
// sequences, so it must match Save Sequence byte for byte.
#pragma once

#include <string>
#include <vector>

#include "model/panel_content.h"
#include "model/panel_state.h"

namespace velta {

// For each frame in order: the frame applied to a panel, then the grid, pod and ring blocks
// selected by `features` (bits 0x01, 0x02, 0x04; the other bits are ignored, as Save Sequence
// ignores them). The text is the Data Center box's: every block, without the separator that
// would wait for a next one. An empty list, or no block feature, gives an empty text.
std::string ExportSequenceText(const std::vector<SequenceFrame>& frames, FeatureMask features);

}  // namespace velta
