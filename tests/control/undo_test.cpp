// Every content edit the window can make is one undo step, whichever entry point makes it:
// random sequences of edits undo back to the start and redo to the end, one step at a time.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "control/control_center_controller.h"
#include "control/control_ids.h"
#include "device/simulated_transmitter.h"
#include "tests/control/fake_view.h"

namespace velta {
namespace {

struct Rig {
    Rig() { controller.OnInitDialog(); }
    SimulatedTransmitter tx;
    testing::FakeView view;
    ControlCenterController controller{tx, view};
};

// One edit as the window makes it, with a random parameter.
using Edit = std::function<void(Rig&, std::mt19937&)>;

PointerSample OverCell(int cell, bool right, bool middle) {
    return {104 + 18 * (cell % kColumns) + 9, 49 + 18 * (cell / kColumns) + 9, right, middle};
}

const std::vector<std::pair<const char*, Edit>>& Edits() {
    static const std::vector<std::pair<const char*, Edit>> edits = {
        {"LED click",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnLedClicked(LedKind::GridCell, static_cast<int>(g() % kCellCount));
         }},
        {"ring click",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnLedClicked(LedKind::Ring, static_cast<int>(g() % kRingCount));
         }},
        {"grid command",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnGridCommand(static_cast<GridCommand>(g() % 11));  // not the pods
         }},
        {"paint stroke over three cells",
         [](Rig& r, std::mt19937& g) {
             const bool paint = g() % 2 == 0;
             const int start = static_cast<int>(g() % (kCellCount - 3));
             r.view.pointer = OverCell(start, paint, !paint);
             r.controller.OnPaintButtonsChanged(true);
             for (int i = 0; i < 3; ++i) {
                 r.view.pointer = OverCell(start + i, paint, !paint);
                 r.controller.OnTimer(kSampleTimerId);
             }
             r.view.pointer.rightHeld = r.view.pointer.middleHeld = false;
             r.controller.OnPaintButtonsChanged(false);
             r.controller.OnTimer(kSampleTimerId);
         }},
        {"pod colouring",
         [](Rig& r, std::mt19937& g) {
             r.controller.Panel().SetCurrentColor(g() & 0xFFFFFFu);
             r.controller.OnLedClicked(LedKind::Pod, static_cast<int>(g() % kPodCount));
             r.controller.OnTimer(kSampleTimerId);
         }},
        {"color all pods",
         [](Rig& r, std::mt19937& g) {
             r.controller.Panel().SetCurrentColor(g() & 0xFFFFFFu);
             r.controller.OnGridCommand(GridCommand::ColorAllPods);
             r.controller.OnTimer(kSampleTimerId);
         }},
        {"slider drag",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnSliderPressed();
             for (int i = 0; i < 3; ++i)
                 r.controller.OnSliderMoved(panel_id::kRingLevel, static_cast<int>(g() % 4096));
             r.controller.OnSliderReleased();
         }},
        {"slider key",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnSliderMoved(panel_id::kGridBrightness, static_cast<int>(g() % 16));
         }},
        {"typing",
         [](Rig& r, std::mt19937& g) {
             std::string text = r.controller.Panel().ScrollText();
             for (int i = 0; i < 4; ++i) {
                 text.push_back(static_cast<char>('a' + g() % 26));
                 r.controller.OnScrollTextEdited(text);
             }
             r.controller.OnScrollTextEditFinished();
         }},
        {"feature box click",
         [](Rig& r, std::mt19937& g) {
             const auto box = static_cast<FeatureBox>(
                 std::array{0, 1, 2, 5}[g() % 4]);  // the brightness boxes can't be clicked
             r.controller.OnFeatureBoxClicked(box, !r.controller.Panel().Feature(box));
         }},
        {"fill mode",
         [](Rig& r, std::mt19937& g) {
             r.controller.OnFillModeChosen(static_cast<FillMode>(g() % 3));
         }},
        {"picture import",
         [](Rig& r, std::mt19937& g) {
             std::array<bool, kCellCount> cells{};
             for (bool& cell : cells)
                 cell = g() % 3 == 0;
             r.controller.ReplaceGrid(cells, "Import Picture");
         }},
    };
    return edits;
}

TEST(Undo, RandomEditSequencesUndoAndRedoStepByStep) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 40; ++round) {
        Rig r;
        std::vector<std::string> states{r.controller.DesignText()};
        std::vector<const char*> names;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            const auto& [name, edit] = Edits()[random() % Edits().size()];
            edit(r, random);
            const std::string now = r.controller.DesignText();
            if (now == states.back())
                continue;  // an edit that changed nothing is no step
            states.push_back(now);
            names.push_back(name);
        }
        SCOPED_TRACE(::testing::PrintToString(names));
        EXPECT_EQ(r.controller.History().UndoCount(), states.size() - 1);
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            ASSERT_TRUE(r.controller.Undo());
            EXPECT_EQ(r.controller.DesignText(), states[i - 1]) << "undo to " << i - 1;
        }
        EXPECT_FALSE(r.controller.Undo());
        for (std::size_t i = 1; i < states.size(); ++i) {
            ASSERT_TRUE(r.controller.Redo());
            EXPECT_EQ(r.controller.DesignText(), states[i]) << "redo to " << i;
        }
        EXPECT_FALSE(r.controller.Redo());
        // A new edit after an undo drops what could have been redone.
        if (states.size() > 1) {
            r.controller.Undo();
            r.controller.OnGridCommand(GridCommand::InvertGrid);
            EXPECT_FALSE(r.controller.History().CanRedo());
        }
    }
}

TEST(Undo, TypingIsOneStepUntilAPauseAndAnotherEditEndsIt) {
    Rig r;
    r.controller.OnScrollTextEdited("H");
    r.controller.OnScrollTextEdited("Hi");
    r.controller.OnLedClicked(LedKind::GridCell, 0);  // ends the typing step first
    r.controller.OnScrollTextEdited("Hi!");
    r.controller.OnScrollTextEditFinished();
    EXPECT_EQ(r.controller.History().UndoCount(), 3u);
    EXPECT_EQ(r.controller.History().UndoText(), "Undo Type Scrolling Text");
    r.controller.Undo();
    EXPECT_EQ(r.controller.Panel().ScrollText(), "Hi");
    r.controller.Undo();
    EXPECT_FALSE(r.controller.Panel().Cell(0));
    r.controller.Undo();
    EXPECT_EQ(r.controller.Panel().ScrollText(), "");
}

TEST(Undo, ThirtyMixedEditsUndoBackToTheSavedFileByteForByte) {
    std::mt19937 random(16);
    for (int round = 0; round < 10; ++round) {
        Rig r;
        for (int i = 0; i < 5; ++i)
            Edits()[random() % Edits().size()].second(r, random);
        const std::string saved = r.controller.DesignText();
        std::string error;
        ASSERT_TRUE(r.controller.OpenDesign(saved, "saved.velta", error)) << error;
        std::vector<const char*> names;
        for (int i = 0; i < 30; ++i) {
            const auto& [name, edit] = Edits()[random() % Edits().size()];
            edit(r, random);
            names.push_back(name);
        }
        SCOPED_TRACE(::testing::PrintToString(names));
        while (!r.controller.History().IsAtSaved())
            ASSERT_TRUE(r.controller.Undo());
        EXPECT_EQ(r.controller.DesignText(), saved);
        EXPECT_FALSE(r.controller.DesignModified());
    }
}

// Each kind of step has a name of its own in the Edit menu; a click that also changes other
// boxes is still one step.
TEST(Undo, EveryStepIsOneStepWithItsOwnName) {
    const auto drag = [](int slider, int value) {
        return [=](Rig& r) {
            r.controller.OnSliderPressed();
            r.controller.OnSliderMoved(slider, value / 2);
            r.controller.OnSliderMoved(slider, value);
            r.controller.OnSliderReleased();
        };
    };
    const auto stroke = [](bool right) {
        return [=](Rig& r) {
            if (!right)
                r.controller.OnGridCommand(GridCommand::SelectAll);
            r.view.pointer = OverCell(40, right, !right);
            r.controller.OnPaintButtonsChanged(true);
            r.controller.OnTimer(kSampleTimerId);
            r.view.pointer = OverCell(41, false, false);
            r.controller.OnPaintButtonsChanged(false);
            r.controller.OnTimer(kSampleTimerId);
        };
    };
    const auto clicks = [](std::vector<std::pair<FeatureBox, bool>> boxes) {
        return [=](Rig& r) {
            for (const auto& [box, checked] : boxes)
                r.controller.OnFeatureBoxClicked(box, checked);
        };
    };
    const auto colour = [](bool all) {
        return [=](Rig& r) {
            r.controller.Panel().SetCurrentColor(0x0000FF);
            if (all)
                r.controller.OnGridCommand(GridCommand::ColorAllPods);
            else
                r.controller.OnLedClicked(LedKind::Pod, 3);
            r.controller.OnTimer(kSampleTimerId);
        };
    };
    using B = FeatureBox;
    const struct {
        const char* label;
        std::size_t steps;  // the edit's clicks, each one step
        std::function<void(Rig&)> edit;
    } cases[] = {
        // clang-format off
        {"Tick LED Grid", 1, clicks({{B::LedGrid, true}})},
        // Unticks LED Grid in the same step.
        {"Tick Scrolling Text", 2, clicks({{B::LedGrid, true}, {B::ScrollingText, true}})},
        // The two brightness boxes go with it.
        {"Untick LED Rings", 2, clicks({{B::LedRings, true}, {B::LedRings, false}})},
        {"Choose Fill Mode All On", 1, [](Rig& r) { r.controller.OnFillModeChosen(FillMode::AllOn); }},
        {"Choose Fill Mode Copy", 1, [](Rig& r) { r.controller.OnFillModeChosen(FillMode::Copy); }},
        {"Move LED Grid Brightness", 1, drag(panel_id::kGridBrightness, 3)},
        {"Move Scroll Speed", 1, drag(panel_id::kScrollSpeed, 4)},
        {"Move Ring Level", 1, drag(panel_id::kRingLevel, 100)},
        {"Move Ring Level", 1, [](Rig& r) { r.controller.OnSliderMoved(panel_id::kRingLevel, 7); }},
        {"Switch LED", 1, [](Rig& r) { r.controller.OnLedClicked(LedKind::GridCell, 5); }},
        {"Switch Ring", 1, [](Rig& r) { r.controller.OnLedClicked(LedKind::Ring, 5); }},
        {"Colour Pod", 1, colour(false)},
        {"Colour All Pods", 1, colour(true)},
        {"Paint LEDs", 1, stroke(true)},
        {"Erase LEDs", 2, stroke(false)},
        {"Type Scrolling Text", 1, [](Rig& r) { r.controller.OnScrollTextEdited("QQ"); }},
        // clang-format on
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.label);
        Rig r;
        const std::string before = r.controller.DesignText();
        test.edit(r);
        r.controller.OnScrollTextEditFinished();
        const std::string after = r.controller.DesignText();
        EXPECT_EQ(r.controller.History().UndoLabel(), test.label);
        EXPECT_EQ(r.controller.History().UndoCount(), test.steps);
        // One undo takes the last click back whole, one redo brings it again.
        r.controller.Undo();
        const std::string undone = r.controller.DesignText();
        EXPECT_NE(undone, after);
        r.controller.Redo();
        EXPECT_EQ(r.controller.DesignText(), after);
        while (r.controller.Undo()) {
        }
        EXPECT_EQ(r.controller.DesignText(), before);
    }
}

TEST(Undo, OpeningADesignIsOneStepAndMarksItSaved) {
    Rig r;
    std::string error;
    EXPECT_FALSE(r.controller.OpenDesign("{", "bad.velta", error));
    EXPECT_NE(error.find("bad.velta"), std::string::npos);
    EXPECT_EQ(r.controller.History().UndoCount(), 0u);

    Rig source;
    source.controller.OnGridCommand(GridCommand::SelectAll);
    source.controller.OnFeatureBoxClicked(FeatureBox::LedRings, true);
    const std::string file = source.controller.DesignText();
    ASSERT_TRUE(r.controller.OpenDesign(file, "a.velta", error)) << error;
    EXPECT_FALSE(r.controller.DesignModified());
    EXPECT_EQ(r.controller.DesignText(), file);
    EXPECT_TRUE(r.controller.Panel().Feature(FeatureBox::GridBrightness));
    r.controller.Undo();
    EXPECT_TRUE(r.controller.DesignModified());
    EXPECT_FALSE(r.controller.Panel().Cell(0));
    EXPECT_FALSE(r.controller.Panel().Feature(FeatureBox::LedRings));
}

}  // namespace
}  // namespace velta
