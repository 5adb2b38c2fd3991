#include "model/sequence.h"

#include <algorithm>
#include <utility>

#include "model/edit_history.h"

namespace velta {

namespace {

SequenceFrame Clamped(SequenceFrame frame) {
    frame.holdMs = ClampHoldMs(frame.holdMs);
    return frame;
}

// Takes the element at `from` out and puts it back at `to`, shifting those between.
void MoveWithin(std::vector<SequenceFrame>& frames, std::size_t from, std::size_t to) {
    const auto first = frames.begin();
    if (from < to)
        std::rotate(first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(from) + 1,
                    first + static_cast<std::ptrdiff_t>(to) + 1);
    else
        std::rotate(first + static_cast<std::ptrdiff_t>(to),
                    first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(from) + 1);
}

}  // namespace

Sequence::Sequence(std::vector<SequenceFrame> frames) : frames_(std::move(frames)) {
    if (frames_.size() > kMaxSequenceFrames)
        frames_.resize(kMaxSequenceFrames);
    for (SequenceFrame& frame : frames_)
        frame = Clamped(frame);
}

bool Sequence::Commit(SequenceChange change, EditHistory* history, std::string label) {
    if (history != nullptr && history->InStep())
        return false;
    if (!Apply(change, true))
        return false;
    if (history != nullptr)
        history->Record(std::move(change), std::move(label));
    return true;
}

bool Sequence::AddAfter(std::size_t index, const SequenceFrame& frame, EditHistory* history) {
    if (index != kNoFrame && index >= frames_.size())
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::Insert;
    change.index = index + 1;  // kNoFrame + 1 wraps to 0
    change.after = Clamped(frame);
    return Commit(std::move(change), history, "Add Frame");
}

bool Sequence::Replace(std::size_t index, const SequenceFrame& frame, EditHistory* history) {
    if (index >= frames_.size() || frames_[index] == Clamped(frame))
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::Replace;
    change.index = index;
    change.before = frames_[index];
    change.after = Clamped(frame);
    return Commit(std::move(change), history, "Replace Frame");
}

bool Sequence::Duplicate(std::size_t index, EditHistory* history) {
    if (index >= frames_.size())
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::Insert;
    change.index = index + 1;
    change.after = frames_[index];
    return Commit(std::move(change), history, "Duplicate Frame");
}

bool Sequence::Delete(std::size_t index, EditHistory* history) {
    if (index >= frames_.size())
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::Remove;
    change.index = index;
    change.before = frames_[index];
    return Commit(std::move(change), history, "Delete Frame");
}

bool Sequence::Move(std::size_t from, std::size_t to, EditHistory* history) {
    if (from >= frames_.size() || to >= frames_.size() || from == to)
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::Move;
    change.index = from;
    change.to = to;
    return Commit(std::move(change), history, "Move Frame");
}

bool Sequence::SetFrames(std::vector<SequenceFrame> frames, EditHistory* history,
                         std::string label) {
    Sequence clean(std::move(frames));
    if (clean.frames_ == frames_)
        return false;
    SequenceChange change;
    change.kind = SequenceChange::Kind::ReplaceAll;
    change.allBefore = std::make_shared<const std::vector<SequenceFrame>>(frames_);
    change.allAfter = std::make_shared<const std::vector<SequenceFrame>>(std::move(clean.frames_));
    return Commit(std::move(change), history, std::move(label));
}

bool Sequence::Apply(const SequenceChange& change, bool forward) {
    using Kind = SequenceChange::Kind;
    const std::size_t size = frames_.size();
    const auto at = [this](std::size_t index) {
        return frames_.begin() + static_cast<std::ptrdiff_t>(index);
    };
    // Undoing an insert is a remove and the other way round.
    const bool inserting = (change.kind == Kind::Insert) == forward;
    switch (change.kind) {
        case Kind::Insert:
        case Kind::Remove:
            if (inserting) {
                if (change.index > size || size >= kMaxSequenceFrames)
                    return false;
                frames_.insert(at(change.index),
                               change.kind == Kind::Insert ? change.after : change.before);
            } else {
                if (change.index >= size)
                    return false;
                frames_.erase(at(change.index));
            }
            return true;
        case Kind::Replace:
            if (change.index >= size)
                return false;
            frames_[change.index] = forward ? change.after : change.before;
            return true;
        case Kind::Move:
            if (change.index >= size || change.to >= size)
                return false;
            if (forward)
                MoveWithin(frames_, change.index, change.to);
            else
                MoveWithin(frames_, change.to, change.index);
            return true;
        case Kind::ReplaceAll: {
            const auto& target = forward ? change.allAfter : change.allBefore;
            if (!target)
                return false;
            frames_ = *target;
            return true;
        }
    }
    return false;
}

}  // namespace velta
