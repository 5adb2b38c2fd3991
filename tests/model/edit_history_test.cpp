#include "model/edit_history.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/model/random_panel.h"

namespace velta {
namespace {

// One recorded edit: the window's Begin/End around a user action.
bool Edit(EditHistory& history, PanelState& panel, std::mt19937& rng, const std::string& label) {
    history.Begin(panel, label);
    testing::RandomEdit(panel, rng);
    return history.End(panel);
}

// Random edits, undos and redos against a plain list of states and a cursor.
TEST(EditHistory, FollowsAReferenceThroughRandomSequences) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        PanelState panel;
        EditHistory history;
        std::vector<EditSnapshot> states = {CaptureSnapshot(panel)};
        std::size_t cursor = 0;
        for (int op = 0; op < 300; ++op) {
            const unsigned kind = rng() % 6;
            if (kind < 3) {
                if (Edit(history, panel, rng, "Edit")) {
                    states.resize(cursor + 1);
                    states.push_back(CaptureSnapshot(panel));
                    ++cursor;
                } else {
                    EXPECT_EQ(CaptureSnapshot(panel), states[cursor]);  // changed nothing
                }
            } else if (kind < 5) {
                EXPECT_EQ(history.Undo(panel), cursor > 0);
                cursor -= cursor > 0 ? 1 : 0;
            } else {
                EXPECT_EQ(history.Redo(panel), cursor + 1 < states.size());
                cursor += cursor + 1 < states.size() ? 1 : 0;
            }
            ASSERT_EQ(CaptureSnapshot(panel), states[cursor]) << "after op " << op;
            ASSERT_EQ(history.UndoCount(), cursor);
            ASSERT_EQ(history.RedoCount(), states.size() - 1 - cursor);
        }
        while (history.Undo(panel)) {
        }
        EXPECT_EQ(CaptureSnapshot(panel), states.front());
        while (history.Redo(panel)) {
        }
        EXPECT_EQ(CaptureSnapshot(panel), states.back());
    }
}

TEST(EditHistory, ANewEditDropsTheRedoBranchAndANoOpKeepsIt) {
    PanelState panel;
    EditHistory history;
    for (int i = 0; i < 3; ++i) {
        history.Begin(panel, "Paint");
        panel.SetCell(i, true);
        history.End(panel);
    }
    history.Undo(panel);
    history.Undo(panel);
    ASSERT_EQ(history.RedoCount(), 2u);

    history.Begin(panel, "Paint");
    panel.SetCell(5, false);  // already off: nothing changed
    EXPECT_FALSE(history.End(panel));
    EXPECT_EQ(history.RedoCount(), 2u);

    history.Begin(panel, "Paint");
    panel.SetCell(5, true);
    EXPECT_TRUE(history.End(panel));
    EXPECT_EQ(history.RedoCount(), 0u);
    EXPECT_FALSE(history.Redo(panel));
    EXPECT_TRUE(panel.Cell(0));
    EXPECT_FALSE(panel.Cell(1));
    EXPECT_TRUE(panel.Cell(5));
}

TEST(EditHistory, KeepsAtMostItsBoundDroppingTheOldest) {
    PanelState panel;
    EditHistory history(5);
    for (int i = 0; i < 8; ++i) {
        const EditSnapshot before = CaptureSnapshot(panel);
        panel.SetCell(i, true);
        history.Record(before, CaptureSnapshot(panel), "Paint");
    }
    EXPECT_EQ(history.UndoCount(), 5u);
    while (history.Undo(panel)) {
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(panel.Cell(i), i < 3) << i;
    EXPECT_EQ(EditHistory(0).MaxSteps(), 1u);
}

TEST(EditHistory, MenuTextsNameTheNextStep) {
    PanelState panel;
    EditHistory history;
    EXPECT_EQ(history.UndoText(), "Undo");
    EXPECT_EQ(history.RedoText(), "Redo");
    history.Begin(panel, "Shift Left");
    history.Begin(panel, "Paint");  // nested: folds into the outer step
    panel.SetCell(1, true);
    EXPECT_FALSE(history.End(panel));
    panel.SetCell(2, true);
    EXPECT_FALSE(history.CanUndo());  // still open
    EXPECT_FALSE(history.Undo(panel));
    EXPECT_TRUE(history.End(panel));
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.UndoText(), "Undo Shift Left");
    EXPECT_EQ(history.UndoLabel(), "Shift Left");
    history.Undo(panel);
    EXPECT_FALSE(panel.Cell(1));
    EXPECT_FALSE(panel.Cell(2));
    EXPECT_EQ(history.RedoText(), "Redo Shift Left");
    EXPECT_EQ(history.UndoText(), "Undo");
}

// Feature boxes and fill mode come back only with a step that changed them: a box ticked after a
// paint stroke stays ticked when the stroke is undone; opening a design undoes as a whole.
TEST(EditHistory, RestoresChoicesOnlyWithStepsThatChangedThem) {
    PanelState panel;
    EditHistory history;
    history.Begin(panel, "Paint");
    panel.SetCell(0, true);
    history.End(panel);
    panel.SetFeature(FeatureBox::RgbPods, true);  // not an undoable step
    history.Undo(panel);
    EXPECT_FALSE(panel.Cell(0));
    EXPECT_TRUE(panel.Feature(FeatureBox::RgbPods));

    Design opened;
    opened.content.text = "Party";
    opened.features = {false, false, true, true};
    opened.fillMode = FillMode::Copy;
    history.Begin(panel, "Open Design");
    ApplyDesign(panel, opened);
    history.End(panel);
    EXPECT_TRUE(panel.Feature(FeatureBox::RingBrightness));
    history.Undo(panel);
    EXPECT_EQ(panel.BuildFeatureMask(true), feature::kRgbPods);
    EXPECT_EQ(panel.GetFillMode(), FillMode::AllOff);
    EXPECT_EQ(panel.ScrollText(), "");
    history.Redo(panel);
    EXPECT_EQ(CaptureDesign(panel), opened);
    EXPECT_EQ(panel.BuildFeatureMask(true), 0x5Cu);
}

TEST(EditHistory, KnowsWhenThePanelIsAsSaved) {
    PanelState panel;
    EditHistory history(3);
    const auto paint = [&](int cell) {
        history.Begin(panel, "Paint");
        panel.ToggleCell(cell);
        history.End(panel);
    };
    EXPECT_TRUE(history.IsAtSaved());
    paint(0);
    EXPECT_FALSE(history.IsAtSaved());
    history.Undo(panel);
    EXPECT_TRUE(history.IsAtSaved());
    paint(1);
    history.MarkSaved();
    paint(2);
    history.Undo(panel);
    EXPECT_TRUE(history.IsAtSaved());
    history.Undo(panel);
    EXPECT_FALSE(history.IsAtSaved());
    history.Redo(panel);
    paint(3);
    paint(4);
    paint(5);  // the saved step is now the dropped base
    history.Undo(panel);
    history.Undo(panel);
    history.Undo(panel);
    EXPECT_TRUE(history.IsAtSaved());
    paint(6);  // a new branch: the saved state is no longer reachable by redo
    EXPECT_FALSE(history.IsAtSaved());
}

}  // namespace
}  // namespace velta
