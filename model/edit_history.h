// Undo and redo of the user's edits.
//
// The history holds, per step, the panel as it was before and after the step: content, feature
// boxes and fill mode (opening a design changes all three at once and undoes as one step).
// Undo and redo write back through PanelState's setters, so the window repaints and Auto Update
// sends as after any other edit. The window decides what a step is: a click, a whole paint
// stroke, a whole slider drag, a grid command, opening a design.
//
//   history.Begin(panel, "Paint");   // mouse press
//   ...                              // any number of writes to the panel
//   history.End(panel);              // mouse release: one step "Paint", if anything changed
//
// or, for a step that is done in one call: `auto before = CaptureSnapshot(panel); ...;
// history.Record(before, CaptureSnapshot(panel), "Shift Left");`.
//
// Changes to the frame list of a sequence are steps of the same history (Sequence records its
// own edits here), so one Undo takes back the newest step whether it edited the panel or the
// list. A step can also do both: opening a design with frames is recorded from
// CaptureSnapshot(panel, sequence) before to the same after, and undoes as one step. A window
// that keeps a sequence calls the Undo and Redo that take it.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "model/design_file.h"
#include "model/panel_state.h"
#include "model/sequence.h"

namespace velta {

// What a step can change: the same parts a design file holds.
using EditSnapshot = Design;
inline EditSnapshot CaptureSnapshot(const PanelState& panel) {
    return CaptureDesign(panel);
}
inline EditSnapshot CaptureSnapshot(const PanelState& panel, const Sequence& sequence) {
    EditSnapshot snapshot = CaptureDesign(panel);
    snapshot.frames = sequence.Frames();
    return snapshot;
}

class EditHistory {
  public:
    static constexpr std::size_t kDefaultMaxSteps = 1000;

    // Keeps at most `maxSteps` undo steps (at least 1); the oldest go first.
    explicit EditHistory(std::size_t maxSteps = kDefaultMaxSteps);

    // Records one finished step; drops the redo branch. A step that changed nothing is not
    // recorded (returns false) and leaves the redo branch alone. When the frames differ, the
    // step replaces the whole frame list too.
    bool Record(const EditSnapshot& before, const EditSnapshot& after, std::string label);
    // Records a change to the frame list that has just been made (Sequence calls this).
    void Record(SequenceChange change, std::string label);

    // Grouping: Begin captures the panel, the matching End records one step from there to the
    // panel's state then. Nested Begin/End pairs fold into the outermost one, whose label counts.
    void Begin(const PanelState& panel, std::string label);
    bool End(const PanelState& panel);  // true when a step was recorded
    bool InStep() const { return open_ != nullptr; }

    bool CanUndo() const { return !done_.empty() && !InStep(); }
    bool CanRedo() const { return !undone_.empty() && !InStep(); }
    // Bare labels ("Shift Left"), empty when there is nothing; and menu texts ("Undo Shift Left",
    // just "Undo" when there is nothing).
    std::string UndoLabel() const;
    std::string RedoLabel() const;
    std::string UndoText() const;
    std::string RedoText() const;

    // Write the state before (after) the step back into the panel and the frame list. False,
    // and nothing written, when there is no such step or a Begin is still open.
    bool Undo(PanelState& panel, Sequence& sequence);
    bool Redo(PanelState& panel, Sequence& sequence);
    // For a window without a sequence: as above, but a step that changed a frame list is not
    // taken (false, nothing written).
    bool Undo(PanelState& panel);
    bool Redo(PanelState& panel);

    std::size_t UndoCount() const { return done_.size(); }
    std::size_t RedoCount() const { return undone_.size(); }
    std::size_t MaxSteps() const { return maxSteps_; }

    // Close guard: the panel is "as saved" when the history stands where MarkSaved was called
    // (after saving or opening a design); undoing or redoing back to that point counts.
    void MarkSaved() { savedId_ = CurrentId(); }
    bool IsAtSaved() const { return savedId_ == CurrentId(); }

  private:
    // A snapshot as kept: sliders in small integers, the text shared with neighbouring snapshots
    // that hold the same text, so a long text costs once however many steps keep it.
    struct Stored {
        std::bitset<kCellCount> cells;
        std::array<Color, kPodCount> pods{};
        std::bitset<kRingCount> rings;
        std::uint16_t ringLevel = 0;
        std::uint8_t gridBrightness = 0;
        std::uint8_t scrollSpeed = 0;
        DesignFeatures features;
        FillMode fillMode = FillMode::AllOff;
        std::shared_ptr<const std::string> text;
    };
    struct Step {
        Stored before;  // text null: the step changed only the frame list
        Stored after;
        std::unique_ptr<const SequenceChange> list;  // null: the step changed only the panel
        std::string label;
        std::uint64_t id = 0;
    };
    struct Open {
        EditSnapshot before;
        std::string label;
        int depth = 1;
    };

    Stored Store(const EditSnapshot& snapshot, const Stored* neighbour) const;
    static bool SameContent(const Stored& a, const Stored& b);
    static void Apply(PanelState& panel, const Stored& target, bool withContent, bool withChoices);
    static void ApplyStep(PanelState& panel, Sequence* sequence, const Step& step, bool forward);
    // Moves the newest step of `from` to `to`, carrying it out backwards or forwards.
    bool Take(std::deque<Step>& from, std::deque<Step>& to, PanelState& panel, Sequence* sequence,
              bool forward);
    bool Push(Step step);
    std::uint64_t CurrentId() const { return done_.empty() ? baseId_ : done_.back().id; }

    std::size_t maxSteps_;
    std::deque<Step> done_;    // oldest first; back() is the next undo
    std::deque<Step> undone_;  // back() is the next redo
    std::unique_ptr<Open> open_;
    std::uint64_t nextId_ = 1;
    std::uint64_t baseId_ = 0;  // id of the newest step dropped by the bound (0: none)
    std::uint64_t savedId_ = 0;
};

}  // namespace velta
