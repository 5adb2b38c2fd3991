#include "model/sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/edit_history.h"
#include "tests/model/random_frame.h"
#include "tests/model/random_panel.h"

namespace velta {
namespace {

using Frames = std::vector<SequenceFrame>;

SequenceFrame FrameWithCell(int cell, int holdMs = kDefaultHoldMs) {
    SequenceFrame frame;
    frame.cells[static_cast<std::size_t>(cell)] = true;
    frame.holdMs = holdMs;
    return frame;
}

// Frames told apart by their one lit cell.
std::vector<int> Cells(const Sequence& sequence) {
    std::vector<int> cells;
    for (const SequenceFrame& frame : sequence.Frames()) {
        int lit = -1;
        for (int i = kCellCount - 1; i >= 0; --i)
            lit = frame.cells[static_cast<std::size_t>(i)] ? i : lit;
        cells.push_back(lit);
    }
    return cells;
}

Sequence OfCells(const std::vector<int>& cells) {
    Frames frames;
    for (const int cell : cells)
        frames.push_back(FrameWithCell(cell));
    return Sequence(frames);
}

TEST(SequenceFrame, CaptureAndApplyCarryThePictureOnly) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        PanelState panel;
        testing::RandomPanel(panel, rng);
        const std::string text = panel.ScrollText();
        const FeatureMask boxes = panel.BuildFeatureMask(true);
        const SequenceFrame frame = testing::RandomFrame(rng);
        ApplyFrame(panel, frame);
        EXPECT_EQ(CaptureFrame(panel, frame.holdMs), frame);
        EXPECT_EQ(panel.ScrollText(), text);
        EXPECT_EQ(panel.BuildFeatureMask(true), boxes);
        // Each pod's LED shows the pod's colour at once, as after a pod colouring.
        for (int pod = 0; pod < kPodCount; ++pod)
            EXPECT_EQ(panel.PodLedColors(pod).off, frame.pods[static_cast<std::size_t>(pod)]);
    }
    PanelState panel;
    EXPECT_EQ(CaptureFrame(panel, 0).holdMs, kMinHoldMs);
    EXPECT_EQ(CaptureFrame(panel, 1'000'000).holdMs, kMaxHoldMs);
    EXPECT_EQ(CaptureFrame(panel).holdMs, 100);
}

TEST(Sequence, EditsAndWhatTheyRefuse) {
    struct Case {
        const char* name;
        std::vector<int> start;
        std::function<bool(Sequence&, EditHistory*)> edit;
        bool changes;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"add to an empty list",
         {},
         [](Sequence& s, EditHistory* h) { return s.AddAfter(kNoFrame, FrameWithCell(9), h); },
         true,
         {9}},
        {"add first",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.AddAfter(kNoFrame, FrameWithCell(9), h); },
         true,
         {9, 1, 2}},
        {"add after the middle",
         {1, 2, 3},
         [](Sequence& s, EditHistory* h) { return s.AddAfter(1, FrameWithCell(9), h); },
         true,
         {1, 2, 9, 3}},
        {"add after the last",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.AddAfter(1, FrameWithCell(9), h); },
         true,
         {1, 2, 9}},
        {"add after a missing frame",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.AddAfter(2, FrameWithCell(9), h); },
         false,
         {1, 2}},
        {"replace",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.Replace(0, FrameWithCell(9), h); },
         true,
         {9, 2}},
        {"replace by an equal frame",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.Replace(1, FrameWithCell(2), h); },
         false,
         {1, 2}},
        {"replace a missing frame",
         {1},
         [](Sequence& s, EditHistory* h) { return s.Replace(1, FrameWithCell(9), h); },
         false,
         {1}},
        {"duplicate",
         {1, 2, 3},
         [](Sequence& s, EditHistory* h) { return s.Duplicate(1, h); },
         true,
         {1, 2, 2, 3}},
        {"duplicate a missing frame",
         {},
         [](Sequence& s, EditHistory* h) { return s.Duplicate(0, h); },
         false,
         {}},
        {"delete",
         {1, 2, 3},
         [](Sequence& s, EditHistory* h) { return s.Delete(0, h); },
         true,
         {2, 3}},
        {"delete a missing frame",
         {1},
         [](Sequence& s, EditHistory* h) { return s.Delete(kNoFrame, h); },
         false,
         {1}},
        {"move forwards",
         {1, 2, 3, 4},
         [](Sequence& s, EditHistory* h) { return s.Move(0, 2, h); },
         true,
         {2, 3, 1, 4}},
        {"move backwards",
         {1, 2, 3, 4},
         [](Sequence& s, EditHistory* h) { return s.Move(3, 1, h); },
         true,
         {1, 4, 2, 3}},
        {"move onto itself",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.Move(1, 1, h); },
         false,
         {1, 2}},
        {"move past the end",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.Move(0, 2, h); },
         false,
         {1, 2}},
        {"set the whole list",
         {1, 2},
         [](Sequence& s, EditHistory* h) { return s.SetFrames({FrameWithCell(7)}, h); },
         true,
         {7}},
        {"set an equal list",
         {1, 2},
         [](Sequence& s, EditHistory* h) {
             return s.SetFrames(OfCells({1, 2}).Frames(), h);
         },
         false,
         {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState panel;
        EditHistory history;
        Sequence sequence = OfCells(c.start);
        EXPECT_EQ(c.edit(sequence, &history), c.changes);
        EXPECT_EQ(Cells(sequence), c.expected);
        EXPECT_EQ(history.UndoCount(), c.changes ? 1u : 0u);
        if (!c.changes)
            continue;
        EXPECT_TRUE(history.Undo(panel, sequence));
        EXPECT_EQ(Cells(sequence), c.start);
        EXPECT_TRUE(history.Redo(panel, sequence));
        EXPECT_EQ(Cells(sequence), c.expected);
        // Without a history the edit is the same, just not recorded.
        Sequence plain = OfCells(c.start);
        EXPECT_TRUE(c.edit(plain, nullptr));
        EXPECT_EQ(plain.Frames(), sequence.Frames());
    }
}

TEST(Sequence, HoldTimesAreClampedAndTheListIsBounded) {
    Sequence sequence;
    ASSERT_TRUE(sequence.AddAfter(kNoFrame, FrameWithCell(0, 0)));
    ASSERT_TRUE(sequence.AddAfter(0, FrameWithCell(0, 70000)));
    EXPECT_EQ(sequence[0].holdMs, kMinHoldMs);
    EXPECT_EQ(sequence[1].holdMs, kMaxHoldMs);

    Sequence full(Frames(kMaxSequenceFrames + 5, FrameWithCell(1)));
    EXPECT_EQ(full.Size(), kMaxSequenceFrames);
    EXPECT_FALSE(full.AddAfter(0, FrameWithCell(2)));
    EXPECT_FALSE(full.Duplicate(0));
    EXPECT_TRUE(full.Delete(0));
    EXPECT_TRUE(full.Duplicate(0));
}

// The list's steps and the panel's steps share one history: random panel edits, list edits,
// undos and redos against a plain list of (panel, frames) states and a cursor.
TEST(Sequence, UndoTakesPanelAndListStepsBackInOrder) {
    for (unsigned seed = 1; seed <= 15; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        PanelState panel;
        Sequence sequence;
        EditHistory history;
        std::vector<EditSnapshot> states = {CaptureSnapshot(panel, sequence)};
        std::size_t cursor = 0;
        const auto index = [&] {
            // Mostly valid, sometimes one past the end.
            return static_cast<std::size_t>(rng() % (sequence.Size() + 1));
        };
        for (int op = 0; op < 300; ++op) {
            bool changed = false;
            switch (rng() % 10) {
                case 0:
                    history.Begin(panel, "Edit");
                    testing::RandomEdit(panel, rng);
                    changed = history.End(panel);
                    break;
                case 1:
                    changed = sequence.AddAfter(sequence.Empty() ? kNoFrame : index(),
                                                CaptureFrame(panel, static_cast<int>(rng() % 900)),
                                                &history);
                    break;
                case 2:
                    changed = sequence.Replace(index(), testing::RandomFrame(rng), &history);
                    break;
                case 3:
                    changed = sequence.Duplicate(index(), &history);
                    break;
                case 4:
                    changed = sequence.Delete(index(), &history);
                    break;
                case 5:
                    changed = sequence.Move(index(), index(), &history);
                    break;
                case 6: {
                    // Opening a design with frames: panel and list in one step.
                    const EditSnapshot before = CaptureSnapshot(panel, sequence);
                    testing::RandomEdit(panel, rng);
                    sequence.SetFrames({testing::RandomFrame(rng), testing::RandomFrame(rng)});
                    changed = history.Record(before, CaptureSnapshot(panel, sequence), "Open");
                    break;
                }
                case 7:
                case 8:
                    EXPECT_EQ(history.Undo(panel, sequence), cursor > 0);
                    cursor -= cursor > 0 ? 1 : 0;
                    break;
                default:
                    EXPECT_EQ(history.Redo(panel, sequence), cursor + 1 < states.size());
                    cursor += cursor + 1 < states.size() ? 1 : 0;
                    break;
            }
            if (changed) {
                states.resize(cursor + 1);
                states.push_back(CaptureSnapshot(panel, sequence));
                ++cursor;
            }
            ASSERT_EQ(CaptureSnapshot(panel, sequence), states[cursor]) << "after op " << op;
            ASSERT_EQ(history.UndoCount(), cursor);
        }
        while (history.Undo(panel, sequence)) {
        }
        EXPECT_EQ(CaptureSnapshot(panel, sequence), states.front());
    }
}

TEST(Sequence, ListEditsWaitForAnOpenStepAndNeedTheSequenceToUndo) {
    PanelState panel;
    Sequence sequence;
    EditHistory history;
    history.Begin(panel, "Paint");
    EXPECT_FALSE(sequence.AddAfter(kNoFrame, FrameWithCell(1), &history));
    EXPECT_TRUE(sequence.Empty());
    panel.SetCell(3, true);
    history.End(panel);
    ASSERT_TRUE(sequence.AddAfter(kNoFrame, CaptureFrame(panel), &history));
    EXPECT_EQ(history.UndoText(), "Undo Add Frame");
    // A window that knows no sequence cannot take the list step back half.
    EXPECT_FALSE(history.Undo(panel));
    EXPECT_EQ(sequence.Size(), 1u);
    ASSERT_TRUE(history.Undo(panel, sequence));
    EXPECT_TRUE(sequence.Empty());
    EXPECT_TRUE(history.Undo(panel));  // the paint step
    EXPECT_FALSE(panel.Cell(3));
    EXPECT_TRUE(history.Redo(panel));   // the paint step again
    EXPECT_FALSE(history.Redo(panel));  // the list step needs the sequence
    EXPECT_TRUE(history.Redo(panel, sequence));
    EXPECT_EQ(sequence.Size(), 1u);
}

// A change that no longer fits the list (edited around the history) is refused, not applied
// out of range.
TEST(Sequence, ApplyRefusesChangesThatDoNotFit) {
    using Kind = SequenceChange::Kind;
    struct Case {
        const char* name;
        SequenceChange change;
        bool forward;
    };
    const std::vector<Case> cases = {
        {"insert past the end", {Kind::Insert, 3, 0, {}, {}, nullptr, nullptr}, true},
        {"undo an insert past the end", {Kind::Insert, 2, 0, {}, {}, nullptr, nullptr}, false},
        {"remove past the end", {Kind::Remove, 2, 0, {}, {}, nullptr, nullptr}, true},
        {"replace past the end", {Kind::Replace, 2, 0, {}, {}, nullptr, nullptr}, false},
        {"move past the end", {Kind::Move, 0, 2, {}, {}, nullptr, nullptr}, true},
        {"whole list missing", {Kind::ReplaceAll, 0, 0, {}, {}, nullptr, nullptr}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sequence sequence = OfCells({1, 2});
        EXPECT_FALSE(sequence.Apply(c.change, c.forward));
        EXPECT_EQ(Cells(sequence), (std::vector<int>{1, 2}));
    }
}

}  // namespace
}  // namespace velta
