#include "model/edit_history.h"

#include <algorithm>
#include <utility>

namespace velta {

EditHistory::EditHistory(std::size_t maxSteps) : maxSteps_(std::max<std::size_t>(maxSteps, 1)) {}

EditHistory::Stored EditHistory::Store(const EditSnapshot& snapshot,
                                       const Stored* neighbour) const {
    const PanelContent& content = snapshot.content;
    Stored stored;
    stored.cells = content.cells;
    stored.pods = content.pods;
    stored.rings = content.rings;
    stored.ringLevel = static_cast<std::uint16_t>(std::clamp(content.ringLevel, 0, kRingLevelMax));
    stored.gridBrightness =
        static_cast<std::uint8_t>(std::clamp(content.gridBrightness, 0, kGridBrightnessMax));
    stored.scrollSpeed =
        static_cast<std::uint8_t>(std::clamp(content.scrollSpeed, 0, kScrollSpeedMax));
    stored.features = snapshot.features;
    stored.fillMode = snapshot.fillMode;
    if (neighbour != nullptr && neighbour->text && *neighbour->text == content.text)
        stored.text = neighbour->text;
    else
        stored.text = std::make_shared<const std::string>(content.text);
    return stored;
}

bool EditHistory::Push(Step step) {
    undone_.clear();
    step.id = nextId_++;
    done_.push_back(std::move(step));
    while (done_.size() > maxSteps_) {
        baseId_ = done_.front().id;
        done_.pop_front();
    }
    return true;
}

bool EditHistory::Record(const EditSnapshot& before, const EditSnapshot& after, std::string label) {
    if (before == after)
        return false;
    Step step;
    // Share the text with the step before when it is the same, and between before and after.
    const Stored* neighbour = nullptr;
    for (auto it = done_.rbegin(); it != done_.rend() && neighbour == nullptr; ++it) {
        if (it->after.text)
            neighbour = &it->after;
    }
    step.before = Store(before, neighbour);
    step.after = Store(after, &step.before);
    if (before.frames != after.frames) {
        auto change = std::make_unique<SequenceChange>();
        change->kind = SequenceChange::Kind::ReplaceAll;
        change->allBefore = std::make_shared<const std::vector<SequenceFrame>>(before.frames);
        change->allAfter = std::make_shared<const std::vector<SequenceFrame>>(after.frames);
        step.list = std::move(change);
    }
    step.label = std::move(label);
    return Push(std::move(step));
}

void EditHistory::Record(SequenceChange change, std::string label) {
    Step step;
    step.list = std::make_unique<const SequenceChange>(std::move(change));
    step.label = std::move(label);
    Push(std::move(step));
}

void EditHistory::Begin(const PanelState& panel, std::string label) {
    if (open_) {
        ++open_->depth;
        return;
    }
    open_ = std::make_unique<Open>(Open{CaptureSnapshot(panel), std::move(label), 1});
}

bool EditHistory::End(const PanelState& panel) {
    if (!open_)
        return false;
    if (--open_->depth > 0)
        return false;
    const std::unique_ptr<Open> open = std::move(open_);
    return Record(open->before, CaptureSnapshot(panel), std::move(open->label));
}

std::string EditHistory::UndoLabel() const {
    return CanUndo() ? done_.back().label : std::string();
}

std::string EditHistory::RedoLabel() const {
    return CanRedo() ? undone_.back().label : std::string();
}

std::string EditHistory::UndoText() const {
    return CanUndo() ? "Undo " + done_.back().label : std::string("Undo");
}

std::string EditHistory::RedoText() const {
    return CanRedo() ? "Redo " + undone_.back().label : std::string("Redo");
}

bool EditHistory::SameContent(const Stored& a, const Stored& b) {
    return a.cells == b.cells && a.pods == b.pods && a.rings == b.rings &&
           a.ringLevel == b.ringLevel && a.gridBrightness == b.gridBrightness &&
           a.scrollSpeed == b.scrollSpeed && *a.text == *b.text;
}

void EditHistory::Apply(PanelState& panel, const Stored& target, bool withContent,
                        bool withChoices) {
    if (withContent) {
        PanelContent content;
        content.cells = target.cells;
        content.pods = target.pods;
        content.rings = target.rings;
        content.ringLevel = target.ringLevel;
        content.gridBrightness = target.gridBrightness;
        content.scrollSpeed = target.scrollSpeed;
        content.text = *target.text;
        ApplyContent(panel, content);
    }
    if (withChoices)
        ApplyChoices(panel, target.features, target.fillMode);
}

void EditHistory::ApplyStep(PanelState& panel, Sequence* sequence, const Step& step, bool forward) {
    if (step.before.text) {
        // A step puts back only what it changed: the boxes the user ticked since a paint stroke
        // stay ticked when the stroke is undone, and undoing a tick leaves the picture alone
        // (also one that a playing sequence put on the panel meanwhile).
        const bool withContent = !SameContent(step.before, step.after);
        const bool withChoices = step.before.features != step.after.features ||
                                 step.before.fillMode != step.after.fillMode;
        Apply(panel, forward ? step.after : step.before, withContent, withChoices);
    }
    if (step.list && sequence != nullptr)
        sequence->Apply(*step.list, forward);
}

bool EditHistory::Take(std::deque<Step>& from, std::deque<Step>& to, PanelState& panel,
                       Sequence* sequence, bool forward) {
    // Without the sequence, a step that changed the frame list can't be carried out.
    if (InStep() || from.empty() || (sequence == nullptr && from.back().list))
        return false;
    Step step = std::move(from.back());
    from.pop_back();
    ApplyStep(panel, sequence, step, forward);
    to.push_back(std::move(step));
    return true;
}

bool EditHistory::Undo(PanelState& panel, Sequence& sequence) {
    return Take(done_, undone_, panel, &sequence, false);
}

bool EditHistory::Redo(PanelState& panel, Sequence& sequence) {
    return Take(undone_, done_, panel, &sequence, true);
}

bool EditHistory::Undo(PanelState& panel) {
    return Take(done_, undone_, panel, nullptr, false);
}

bool EditHistory::Redo(PanelState& panel) {
    return Take(undone_, done_, panel, nullptr, true);
}

}  // namespace velta
