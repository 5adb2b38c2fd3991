// The frames of a display sequence as the user builds them: add, replace, duplicate, delete and
// move frames, each one undo step in the same history as the panel's edits, so Undo takes back
// panel edits and list edits in the order they were made.
//
//   Sequence sequence;
//   sequence.AddAfter(kNoFrame, CaptureFrame(panel), &history);  // the first frame
//   sequence.Duplicate(0, &history);
//   history.Undo(panel, sequence);                                // the duplicate goes again
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "model/design_file.h"
#include "model/panel_content.h"

namespace velta {

class EditHistory;

// "After no frame": AddAfter(kNoFrame, ...) puts the frame first, which starts an empty list.
inline constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);

// One change to a frame list as the history keeps it: the frames it put in or took out, not
// copies of the list, so a step costs the same however long the list is. Only replacing the
// whole list (opening a design) keeps both lists, shared with whoever else holds them.
struct SequenceChange {
    enum class Kind { Insert, Remove, Replace, Move, ReplaceAll };
    Kind kind = Kind::Insert;
    std::size_t index = 0;  // the frame inserted, removed or replaced; for Move where it was
    std::size_t to = 0;     // Move: where it ends up
    SequenceFrame before;   // Remove, Replace
    SequenceFrame after;    // Insert, Replace
    std::shared_ptr<const std::vector<SequenceFrame>> allBefore;  // ReplaceAll
    std::shared_ptr<const std::vector<SequenceFrame>> allAfter;   // ReplaceAll
};

class Sequence {
  public:
    Sequence() = default;
    // Hold times are clamped to kMinHoldMs..kMaxHoldMs; frames past kMaxSequenceFrames are cut.
    explicit Sequence(std::vector<SequenceFrame> frames);

    const std::vector<SequenceFrame>& Frames() const { return frames_; }
    std::size_t Size() const { return frames_.size(); }
    bool Empty() const { return frames_.empty(); }
    const SequenceFrame& operator[](std::size_t index) const { return frames_[index]; }

    // The edits. Each changes the list and, given a history, records itself there as one step
    // ("Add Frame", "Replace Frame", "Duplicate Frame", "Delete Frame", "Move Frame"). Each
    // returns false and changes nothing when an index is out of range, when it would change
    // nothing (a frame replaced by an equal one, a frame moved onto itself), when adding to a
    // list of kMaxSequenceFrames, or while the history has a step open (Begin without End).
    // Hold times are clamped to kMinHoldMs..kMaxHoldMs.

    // Inserts `frame` right after frame `index` (kNoFrame: first).
    bool AddAfter(std::size_t index, const SequenceFrame& frame, EditHistory* history = nullptr);
    bool Replace(std::size_t index, const SequenceFrame& frame, EditHistory* history = nullptr);
    // A copy of frame `index` right after it.
    bool Duplicate(std::size_t index, EditHistory* history = nullptr);
    bool Delete(std::size_t index, EditHistory* history = nullptr);
    // Takes frame `from` out and puts it back so that it ends up at index `to`.
    bool Move(std::size_t from, std::size_t to, EditHistory* history = nullptr);
    // The whole list at once (opening a sequence, clearing it), as one step named `label`.
    bool SetFrames(std::vector<SequenceFrame> frames, EditHistory* history = nullptr,
                   std::string label = "Replace Frames");

    // Carries a recorded change out forwards (redo) or backwards (undo); the history calls this.
    // False, and nothing changed, when the list does not fit the change (it was edited without
    // the history).
    bool Apply(const SequenceChange& change, bool forward);

  private:
    bool Commit(SequenceChange change, EditHistory* history, std::string label);

    std::vector<SequenceFrame> frames_;
};

}  // namespace velta
