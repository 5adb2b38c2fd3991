// Design files: the panel's content, the ticked feature boxes and the fill mode as JSON
// (docs/FILE-FORMAT.md). Reading is all or nothing: a file is either taken whole or refused with
// one message naming the file, the field and what was expected. Nothing here throws.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/panel_content.h"
#include "model/panel_state.h"

namespace velta {

inline constexpr std::string_view kDesignFormat = "velta-design";
inline constexpr int kDesignVersion = 1;
// A design of the longest sequence, kMaxSequenceFrames frames, is about 930 KB.
inline constexpr std::size_t kMaxDesignFileBytes = std::size_t{1} << 20;  // 1 MiB
inline constexpr std::size_t kMaxSequenceFrames = 1000;
inline constexpr std::string_view kDesignFileExtension = "velta";

// The four boxes of "Features to Update" a design carries. The two brightness boxes are not
// stored: they follow "LED Rings".
struct DesignFeatures {
    bool grid = false;
    bool pods = false;
    bool rings = false;
    bool text = false;

    bool operator==(const DesignFeatures&) const = default;
};

// One design: what the panel shows plus the choices that go with it, and the frames of its
// display sequence (none for a single picture). Everything a missing key leaves alone has the
// panel's start-up value.
struct Design {
    PanelContent content;
    DesignFeatures features;
    FillMode fillMode = FillMode::AllOff;
    std::vector<SequenceFrame> frames;  // at most kMaxSequenceFrames

    bool operator==(const Design&) const = default;
};

struct DesignReadResult {
    std::optional<Design> design;  // set exactly when the file was read
    std::string error;             // "<file>: <field>: expected ..., got ..." otherwise

    bool Ok() const { return design.has_value(); }
};

// `fileName` is only used in messages (pass the name the user sees, e.g. "party.velta").
DesignReadResult ReadDesign(std::string_view bytes, std::string_view fileName);

// Deterministic text, one grid row and one pod per line, so two designs diff line by line; the
// frames, when there are any, follow with one grid row per line and their pods on one line.
// Text that is not valid UTF-8 is written with U+FFFD in place of the bad bytes.
std::string WriteDesign(const Design& design);

// The panel's content and choices; no frames (the panel has none).
Design CaptureDesign(const PanelState& panel);

// Sets the feature boxes and the fill mode, only what differs; the brightness boxes follow
// `rings`, and `grid` wins over `text` when both are set.
void ApplyChoices(PanelState& panel, const DesignFeatures& features, FillMode fillMode);

// Writes content, feature boxes and fill mode through the panel's setters, only what differs;
// the frames are the caller's to put into its sequence.
// "LED Rings" brings both brightness boxes with it, as clicking it does. "LED Grid" and
// "Scrolling Text" exclude each other; a Design holding both keeps the grid.
void ApplyDesign(PanelState& panel, const Design& design);

}  // namespace velta
