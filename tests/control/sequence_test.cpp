// Sequences in the command layer: the export against Save Sequence, the player on a fake clock,
// and playing frames onto the simulated transmitter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "control/control_center_controller.h"
#include "control/sequence_player.h"
#include "device/simulated_transmitter.h"
#include "export/sequence_export.h"
#include "tests/control/fake_view.h"
#include "tests/control/report_kinds.h"
#include "tests/model/random_frame.h"

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;
using Ms = std::chrono::milliseconds;
using TimePoint = SequencePlayer::TimePoint;

using testing::ReportKinds;

struct Rig {
    Rig() { controller.OnInitDialog(); }
    void Tick(std::initializer_list<FeatureBox> boxes) {
        for (const FeatureBox box : boxes)
            controller.OnFeatureBoxClicked(box, true);
    }
    void ConnectWithRf() {
        controller.OnConnectTx();
        ASSERT_TRUE(controller.Link().IsConnected());
        controller.OnRfMode();
        Settle();
        tx.ClearRecord();
    }
    // Runs the link's posted work until every send has been answered.
    void Settle() {
        ASSERT_TRUE(testing::WaitUntil([&] {
            view.RunPosted();
            return controller.SendsInFlight() == 0;
        }));
    }
    SimulatedTransmitter tx;
    testing::FakeView view;
    ControlCenterController controller{tx, view};
    PanelState& panel = controller.Panel();
};

// A clock the test moves by hand.
struct FakeClock {
    TimePoint now{std::chrono::hours(1)};
    SequencePlayer::Clock Clock() {
        return [this] { return now; };
    }
};

// Puts the frames into the controller's sequence as the Sequence window's Add would, then clears
// the panel again.
void LoadFrames(ControlCenterController& controller, const std::vector<SequenceFrame>& frames) {
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ApplyFrame(controller.Panel(), frames[i]);
        ASSERT_TRUE(controller.AddFrame(i == 0 ? kNoFrame : i - 1, frames[i].holdMs));
    }
    ApplyFrame(controller.Panel(), SequenceFrame{});
}

std::vector<SequenceFrame> FramesWithHolds(const std::vector<int>& holds) {
    std::vector<SequenceFrame> frames;
    for (std::size_t i = 0; i < holds.size(); ++i) {
        SequenceFrame frame;
        frame.cells[i] = true;
        frame.holdMs = holds[i];
        frames.push_back(frame);
    }
    return frames;
}

// ---------------------------------------------------------------- export

TEST(SequenceExport, EqualsSaveSequenceClickedOnEachFrame) {
    std::mt19937 rng(5);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        std::vector<SequenceFrame> frames(rng() % 6);
        for (SequenceFrame& frame : frames) {
            frame = testing::RandomFrame(rng);
            if (rng() % 3 == 0 && &frame != &frames.front())
                frame = *(&frame - 1);  // a frame held twice logs twice
        }
        Rig rig;
        for (const FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings,
                                     FeatureBox::ScrollingText}) {
            if (rng() % 2 == 0)
                rig.controller.OnFeatureBoxClicked(box, true);
        }
        // The log may already hold blocks; the export is only what the frames add.
        rig.controller.OnSaveSequence();
        rig.controller.ClearDataCenter();
        for (const SequenceFrame& frame : frames) {
            rig.controller.ShowFrame(frame, false);
            rig.controller.OnSaveSequence();
        }
        const std::string exported = ExportSequenceText(frames, rig.panel.BuildFeatureMask(false));
        EXPECT_EQ(exported, rig.controller.DataCenterText());
        EXPECT_EQ(exported, rig.view.shown);
    }
}

// ---------------------------------------------------------------- player

TEST(SequencePlayer, ShowsTheLatestFrameWhoseStartHasCome) {
    struct Case {
        const char* name;
        std::vector<int> holds;
        bool loop;
        int atMs;
        bool playing;  // after the tick
        std::size_t index;
        int nextMs;  // from the start of play; only while playing
    };
    const std::vector<Case> cases = {
        {"start", {100, 200, 50}, false, 0, true, 0, 100},
        {"just before the second", {100, 200, 50}, false, 99, true, 0, 100},
        {"the second begins", {100, 200, 50}, false, 100, true, 1, 300},
        {"inside the last", {100, 200, 50}, false, 320, true, 2, 350},
        {"once: the end stops on the last", {100, 200, 50}, false, 350, false, 2, 0},
        {"once: long after", {100, 200, 50}, false, 99999, false, 2, 0},
        {"loop: second pass", {100, 200, 50}, true, 350, true, 0, 450},
        {"loop: third pass", {100, 200, 50}, true, 2 * 350 + 120, true, 1, 2 * 350 + 300},
        {"loop: one frame", {40}, true, 90, true, 0, 120},
        {"loop: long holds", {60000, 60000}, true, 60000 * 5 + 1, true, 1, 60000 * 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        SequencePlayer player(clock.Clock());
        ASSERT_TRUE(player.Start(FramesWithHolds(c.holds), c.loop));
        const TimePoint start = clock.now;
        clock.now += Ms(c.atMs);
        const PlaybackStep step = player.Tick();
        EXPECT_EQ(player.IsPlaying(), c.playing);
        ASSERT_NE(step.frame, nullptr);
        EXPECT_EQ(step.index, c.index);
        EXPECT_EQ(*step.frame, player.Frames()[c.index]);
        EXPECT_TRUE(step.changed);
        if (c.playing) {
            EXPECT_EQ(step.nextChange, start + Ms(c.nextMs));
        }
    }
}

// Ticks at the moments the player asks for, some of them late: later frames keep their planned
// starts, and frames whose whole hold passed unseen are skipped.
TEST(SequencePlayer, LateTicksDoNotShiftLaterFrames) {
    FakeClock clock;
    SequencePlayer player(clock.Clock());
    ASSERT_TRUE(player.Start(FramesWithHolds({100, 100, 100, 100, 100}), false));
    const TimePoint start = clock.now;
    std::vector<std::size_t> shown;
    std::vector<int> shownAtMs;
    const std::vector<int> lateness = {0, 30, 150, 0, 0, 0};
    for (std::size_t tick = 0; player.IsPlaying(); ++tick) {
        const PlaybackStep step = player.Tick();
        if (step.changed) {
            shown.push_back(step.index);
            shownAtMs.push_back(
                static_cast<int>(std::chrono::duration_cast<Ms>(clock.now - start).count()));
        }
        // The window's timer fires at nextChange, plus whatever the window was busy with.
        clock.now = step.nextChange + Ms(lateness[tick % lateness.size()]);
        ASSERT_LT(tick, 20u);
    }
    // Frame 2 is shown 30 ms late; the tick for frame 3 (due at 300) comes at 450, in frame 4's
    // time, so frame 3 is skipped and frame 4 still ends the play at 500.
    EXPECT_THAT(shown, ElementsAre(0, 1, 2, 4));
    EXPECT_THAT(shownAtMs, ElementsAre(0, 100, 230, 450));
}

TEST(SequencePlayer, StartStopAndLoopSwitching) {
    FakeClock clock;
    SequencePlayer player(clock.Clock());
    EXPECT_FALSE(player.Start({}, true));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.Tick().frame, nullptr);

    ASSERT_TRUE(player.Start(FramesWithHolds({100, 100}), true));
    EXPECT_TRUE(player.Loop());
    EXPECT_TRUE(player.Tick().changed);
    EXPECT_FALSE(player.Tick().changed);  // the same frame: nothing to show again
    clock.now += Ms(450);                 // third pass, second frame
    EXPECT_EQ(player.Tick().index, 0u);
    player.SetLoop(false);  // ends with this pass
    clock.now += Ms(100);
    EXPECT_EQ(player.Tick().index, 1u);
    EXPECT_TRUE(player.IsPlaying());
    clock.now += Ms(100);
    const PlaybackStep last = player.Tick();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(last.index, 1u);
    EXPECT_FALSE(last.changed);

    ASSERT_TRUE(player.Start(FramesWithHolds({100}), false));
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.Tick().frame, nullptr);
}

// ---------------------------------------------------------------- playing onto the transmitter

TEST(ShowFrame, SendsOnlyWhatChangedFromThePreviousFrame) {
    Rig rig;
    rig.Tick({FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings});
    rig.ConnectWithRf();
    SequenceFrame first;
    first.cells[3] = true;
    SequenceFrame podsChanged = first;
    podsChanged.pods[2] = 0x123456;
    SequenceFrame speedChanged = podsChanged;
    speedChanged.scrollSpeed = 3;
    SequenceFrame holdChanged = speedChanged;
    holdChanged.holdMs = 900;
    SequenceFrame gridChanged = holdChanged;
    gridChanged.cells[3] = false;

    struct Case {
        const char* name;
        SequenceFrame frame;
        bool send;
        Strings expected;
    };
    const std::vector<Case> cases = {
        {"first frame: all that differs from start-up", first, true, {"grid", "tail", "rings"}},
        {"pods", podsChanged, true, {"pods"}},
        {"scroll speed rides on the ring report", speedChanged, true, {"rings"}},
        {"only the hold time", holdChanged, true, {}},
        {"not sending", gridChanged, false, {}},
        {"sending again catches up", gridChanged, true, {"grid", "tail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.tx.ClearRecord();
        rig.controller.ShowFrame(c.frame, c.send);
        rig.Settle();
        EXPECT_EQ(ReportKinds(rig.tx.WrittenReports()), c.expected);
        EXPECT_EQ(CaptureFrame(rig.panel, c.frame.holdMs), c.frame);
    }
    EXPECT_EQ(rig.view.writeErrors, 0);
    EXPECT_THAT(rig.controller.DataCenterText(), IsEmpty());  // playing logs nothing
}

TEST(ShowFrame, SendsNothingWithoutRfModeOrLink) {
    Rig rig;
    rig.Tick({FeatureBox::LedGrid});
    SequenceFrame frame;
    frame.cells[0] = true;
    rig.controller.ShowFrame(frame, true);  // not connected
    EXPECT_TRUE(rig.panel.Cell(0));
    rig.controller.OnConnectTx();
    frame.cells[1] = true;
    rig.controller.ShowFrame(frame, true);  // RF mode off
    EXPECT_EQ(rig.controller.SendsInFlight(), 0);
    EXPECT_THAT(rig.tx.WrittenReports(), IsEmpty());
}

// A failed write stops the play once its answer comes back: one box, the panel back as before
// Play, and no frame sent after it.
TEST(ShowFrame, AFailedWriteStopsPlaying) {
    Rig rig;
    rig.Tick({FeatureBox::LedGrid});
    rig.ConnectWithRf();
    FakeClock clock;
    rig.controller.SetPlayClock(clock.Clock());
    LoadFrames(rig.controller, FramesWithHolds({10, 10, 10, 10}));
    rig.tx.FailWriteNumber(5);  // frame 2's grid report
    std::vector<std::size_t> shown;
    auto next = rig.controller.StartPlaying(true, true);
    while (next) {
        shown.push_back(rig.controller.LastPlayStep().index);
        rig.Settle();
        if (!rig.controller.Playing())
            break;
        clock.now = *next;
        next = rig.controller.PlayTick();
        ASSERT_LT(shown.size(), 10u);
    }
    EXPECT_THAT(shown, ElementsAre(0, 1, 2));
    EXPECT_EQ(rig.view.writeErrors, 1);
    EXPECT_EQ(rig.view.playingStopped, 1);
    EXPECT_FALSE(rig.controller.Link().IsConnected());
    EXPECT_FALSE(rig.panel.Cell(0));  // back as before Play
    EXPECT_THAT(ReportKinds(rig.tx.WrittenReports()), ElementsAre("grid", "tail", "grid", "tail"));
}

// Frames shown while a send is out are not queued behind it: the answer lets the frame showing
// then go out, with everything that changed since the last frame sent. Stopping sends a frame
// still waiting before the panel goes back, so the display keeps the last frame shown.
TEST(ShowFrame, FramesWhileASendIsOutGoOutAsOne) {
    for (const bool stopBeforeTheAnswer : {false, true}) {
        SCOPED_TRACE(stopBeforeTheAnswer ? "stopped first" : "answered first");
        Rig rig;
        rig.Tick({FeatureBox::LedGrid, FeatureBox::RgbPods});
        rig.ConnectWithRf();
        FakeClock clock;
        rig.controller.SetPlayClock(clock.Clock());
        std::vector<SequenceFrame> frames = FramesWithHolds({10, 10, 10});
        frames[1].pods[0] = frames[2].pods[0] = 0x0000FF;
        LoadFrames(rig.controller, frames);
        rig.tx.StallWrites(true);
        auto next = rig.controller.StartPlaying(false, true);  // frame 0 goes out, and sticks
        ASSERT_TRUE(testing::WaitUntil([&] { return rig.tx.StalledWrites() == 1; }));
        for (int frame = 1; frame <= 2; ++frame) {
            clock.now = *next;
            next = rig.controller.PlayTick();
        }
        EXPECT_EQ(rig.controller.SendsInFlight(), 1);
        if (stopBeforeTheAnswer)
            rig.controller.StopPlaying();
        rig.tx.StallWrites(false);
        rig.Settle();
        // Frame 0, then frame 2 against frame 0: the grid, and the pods frame 1 changed.
        EXPECT_THAT(ReportKinds(rig.tx.WrittenReports()),
                    ElementsAre("grid", "tail", "grid", "tail", "pods"));
        EXPECT_EQ(rig.tx.WrittenReports()[2][7], 0x01);  // frame 2's cell: column 2, row 0
        EXPECT_EQ(rig.view.writeErrors, 0);
    }
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

struct SequenceRig {
    SequenceRig() {
        controller.SetPlayClock([this] { return now; });
        controller.OnInitDialog();
    }
    std::chrono::steady_clock::time_point now{};
    SimulatedTransmitter tx;
    testing::FakeView view;
    ControlCenterController controller{tx, view};
    PanelState& panel = controller.Panel();
};

// The window's frame list: each change one undo step, interleaved with panel edits in the order
// they were made; the export appends exactly the file export's text.
TEST(SequenceInTheController, ListEditsUndoWithPanelEditsAndExportAgrees) {
    SequenceRig r;
    r.controller.OnFeatureBoxClicked(FeatureBox::LedGrid, true);
    r.controller.OnFeatureBoxClicked(FeatureBox::RgbPods, true);
    r.controller.OnLedClicked(LedKind::GridCell, 1);
    ASSERT_TRUE(r.controller.AddFrame(kNoFrame, 250));  // [A]
    r.controller.OnLedClicked(LedKind::GridCell, 2);    // panel edit between list edits
    ASSERT_TRUE(r.controller.AddFrame(0, 100));         // [A, B]
    ASSERT_TRUE(r.controller.DuplicateFrame(1));        // [A, B, B]
    ASSERT_TRUE(r.controller.MoveFrame(0, 2));          // [B, B, A]
    ASSERT_TRUE(r.controller.SetFrameHold(2, 40));
    EXPECT_EQ(r.controller.Frames().Size(), 3u);
    EXPECT_EQ(r.controller.Frames()[2].holdMs, 40);

    r.controller.ExportSequenceToDataCenter();
    EXPECT_EQ(std::string(r.controller.DataCenterText()), r.controller.SequenceText());

    // Undone in turn: the hold, the move, the duplicate, B, the second LED, A.
    const std::vector<std::size_t> sizes = {3, 3, 2, 1, 1, 0};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_TRUE(r.controller.Undo()) << i;
        EXPECT_EQ(r.controller.Frames().Size(), sizes[i]) << i;
    }
    EXPECT_FALSE(r.panel.Cell(2));  // the panel edit between the two adds went back in its turn
    EXPECT_TRUE(r.panel.Cell(1));
    while (r.controller.Redo()) {
    }
    EXPECT_EQ(r.controller.Frames().Size(), 3u);
    EXPECT_TRUE(r.panel.Cell(2));

    // Loading a frame is a step of its own.
    ASSERT_TRUE(r.controller.LoadFrame(2));
    EXPECT_FALSE(r.panel.Cell(2));
    r.controller.Undo();
    EXPECT_TRUE(r.panel.Cell(2));
}

TEST(SequenceInTheController, PlayingShowsFramesOnTimeAndStoppingRestoresThePanel) {
    SequenceRig r;
    for (int frame = 0; frame < 3; ++frame) {
        r.controller.OnGridCommand(GridCommand::DeselectAll);
        r.controller.OnLedClicked(LedKind::GridCell, frame);
        r.controller.AddFrame(frame == 0 ? kNoFrame : frame - 1, 100 * (frame + 1));
    }
    r.controller.OnGridCommand(GridCommand::SelectAll);  // the panel as the user left it
    using std::chrono::milliseconds;
    const auto start = r.now;
    auto next = r.controller.StartPlaying(/*loop=*/false, /*send=*/false);
    ASSERT_TRUE(next);
    EXPECT_TRUE(r.panel.Cell(0) && !r.panel.Cell(1));
    EXPECT_EQ(*next, start + milliseconds(100));
    r.now = start + milliseconds(350);  // late: frame 1 (100..300) has passed
    next = r.controller.PlayTick();
    EXPECT_TRUE(r.panel.Cell(2) && !r.panel.Cell(1));
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, start + milliseconds(600));  // not shifted by the late tick
    r.now = *next;
    EXPECT_FALSE(r.controller.PlayTick());  // the single pass has ended
    r.controller.StopPlaying();
    EXPECT_TRUE(r.panel.Cell(5));  // back to everything lit
    EXPECT_FALSE(r.controller.Playing());

    // An edit while playing stops it first, then lands on the restored panel.
    ASSERT_TRUE(r.controller.StartPlaying(/*loop=*/true, false));
    r.controller.OnLedClicked(LedKind::GridCell, 100);
    EXPECT_FALSE(r.controller.Playing());
    EXPECT_FALSE(r.panel.Cell(100));
    EXPECT_TRUE(r.panel.Cell(101));
}

TEST(SequenceInTheController, SendWhilePlayingStopsOnAFailedWrite) {
    SequenceRig r;
    r.controller.OnFeatureBoxClicked(FeatureBox::LedGrid, true);
    r.controller.OnLedClicked(LedKind::GridCell, 3);
    r.controller.AddFrame(kNoFrame, 100);
    r.controller.OnLedClicked(LedKind::GridCell, 7);
    r.controller.AddFrame(0, 100);
    const auto settle = [&r] {
        ASSERT_TRUE(testing::WaitUntil([&r] {
            r.view.RunPosted();
            return r.controller.SendsInFlight() == 0;
        }));
    };
    r.controller.OnConnectTx();
    r.controller.OnRfMode();
    settle();
    r.tx.ClearRecord();
    ASSERT_TRUE(r.controller.StartPlaying(true, /*send=*/true));
    settle();
    const std::size_t sent = r.tx.WrittenReports().size();
    EXPECT_EQ(sent, 2u);  // grid and tail of the first frame
    r.tx.FailAllWrites(true);
    r.now += std::chrono::milliseconds(100);
    EXPECT_TRUE(r.controller.PlayTick());  // the frame's send is out; its answer stops the play
    settle();
    EXPECT_FALSE(r.controller.Playing());
    EXPECT_FALSE(r.controller.PlayTick());
    EXPECT_EQ(r.view.writeErrors, 1);
}

}  // namespace
}  // namespace velta
