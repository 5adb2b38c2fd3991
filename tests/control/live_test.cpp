// Live mode: the controller read-only while the panel follows frames from outside, and the live
// input that brings them from the network (127.0.0.1 only, ports chosen free by the system).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "control/control_center_controller.h"
#include "control/guidance.h"
#include "control/live_input.h"
#include "device/simulated_transmitter.h"
#include "net/channel_map.h"
#include "net/udp_socket.h"
#include "tests/control/fake_view.h"
#include "tests/control/report_kinds.h"
#include "tests/model/random_frame.h"
#include "tests/support/net_packets.h"

namespace velta {
namespace {

using ::testing::AllOf;
using ::testing::Each;
using ::testing::IsEmpty;
using ::testing::Not;
using B = FeatureBox;
using Reports = std::vector<DeviceReport>;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kLoopback = 0x7F000001;

// The program as the window starts it, with the three boxes a frame fills ticked.
struct Rig {
    Rig() {
        controller.OnInitDialog();
        for (B box : {B::LedGrid, B::RgbPods, B::LedRings})
            controller.OnFeatureBoxClicked(box, true);
    }
    void ConnectWithRf() {
        controller.OnConnectTx();
        ASSERT_TRUE(controller.Link().IsConnected());
        controller.OnRfMode();
        Settle();
        tx.ClearRecord();
    }
    // The 10 ms sampling tick, when its timer runs.
    void SampleTick() {
        if (view.TimerRunning(kSampleTimerId))
            controller.OnTimer(kSampleTimerId);
    }
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

// What Auto Update sends for each content in turn: the expectation every live frame is held to.
Reports AutoUpdateReports(const std::vector<SequenceFrame>& frames) {
    Rig rig;
    rig.ConnectWithRf();
    rig.controller.OnAutoUpdateClicked(true);
    for (const SequenceFrame& frame : frames) {
        ApplyFrame(rig.panel, frame);
        rig.controller.OnTimer(kAutoUpdateTimerId);
        rig.Settle();
    }
    return rig.tx.WrittenReports();
}

// A frame as the channel map carries it (the levels keep only what the channels hold).
SequenceFrame Carried(const SequenceFrame& frame) {
    return net::DecodeUniverse(net::EncodeUniverse(frame, 1), 1);
}

std::vector<SequenceFrame> RandomFrames(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<SequenceFrame> frames;
    for (std::size_t i = 0; i < count; ++i)
        frames.push_back(Carried(testing::RandomFrame(rng)));
    return frames;
}

// ------------------------------------------------------------------ the controller's live mode

// Everything an edit could touch: the content, the choices, the frames and the history.
struct Snapshot {
    PanelContent content;
    FeatureMask features;
    FillMode fill;
    std::vector<SequenceFrame> frames;
    std::size_t undo, redo;
    bool operator==(const Snapshot&) const = default;
};
Snapshot Take(const ControlCenterController& c) {
    return {CaptureContent(c.Panel()), c.Panel().BuildFeatureMask(true), c.Panel().GetFillMode(),
            c.Frames().Frames(),       c.History().UndoCount(),          c.History().RedoCount()};
}

// Each entry point while live: those that would change the panel's content do nothing (and say
// why); the choices and the frame list stay the user's. Every action does change something when
// the panel is not live, so a refusal is never a no-op in disguise.
TEST(LiveMode, OnlyTheContentIsReadOnly) {
    const std::string design = [] {
        Rig rig;
        rig.panel.SetCell(5, true);
        return rig.controller.DesignText();
    }();
    struct Case {
        const char* name;
        std::function<void(Rig&)> action;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"grid command", [](Rig& r) { r.controller.OnGridCommand(GridCommand::InvertGrid); }, true},
        {"LED click", [](Rig& r) { r.controller.OnLedClicked(LedKind::GridCell, 7); }, true},
        {"ring click", [](Rig& r) { r.controller.OnLedClicked(LedKind::Ring, 2); }, true},
        {"pod colouring",
         [](Rig& r) {
             r.panel.SetCurrentColor(0x0000FF);
             r.controller.OnLedClicked(LedKind::Pod, 2);
             r.SampleTick();
         },
         true},
        {"painting",
         [](Rig& r) {
             r.view.pointer = PointerSample{104 + 9, 49 + 9, true, false};
             r.controller.OnPaintButtonsChanged(true);
             r.SampleTick();
         },
         true},
        {"slider drag",
         [](Rig& r) {
             r.controller.OnSliderPressed();
             r.controller.OnSliderMoved(1049, 7);
             r.controller.OnSliderReleased();
         },
         true},
        {"slider key", [](Rig& r) { r.controller.OnSliderMoved(1050, 3); }, true},
        {"text", [](Rig& r) { r.controller.OnScrollTextEdited("hi"); }, true},
        {"open design",
         [&design](Rig& r) {
             std::string error;
             EXPECT_EQ(r.controller.OpenDesign(design, "d.vdesign", error), !r.controller.Live());
         },
         true},
        {"new design", [](Rig& r) { r.controller.NewDesign(); }, true},
        {"picture import", [](Rig& r) { r.controller.ReplaceGrid({}, "Import Picture"); }, true},
        {"undo", [](Rig& r) { r.controller.Undo(); }, true},
        {"redo", [](Rig& r) { r.controller.Redo(); }, true},
        {"load frame", [](Rig& r) { r.controller.LoadFrame(0); }, true},
        {"play", [](Rig& r) { r.controller.StartPlaying(false, false); }, true},
        {"feature box", [](Rig& r) { r.controller.OnFeatureBoxClicked(B::LedRings, false); },
         false},
        {"fill mode", [](Rig& r) { r.controller.OnFillModeChosen(FillMode::Copy); }, false},
        {"add frame", [](Rig& r) { r.controller.AddFrame(0, 100); }, false},
    };
    for (const Case& c : cases) {
        for (const bool live : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (live ? " while live" : ""));
            Rig rig;
            // A frame, content, a step to undo and one to redo.
            rig.controller.AddFrame(kNoFrame, 100);
            rig.controller.OnLedClicked(LedKind::GridCell, 1);
            rig.controller.OnLedClicked(LedKind::GridCell, 2);
            rig.controller.Undo();
            if (live)
                rig.controller.EnterLive(false);
            const Snapshot before = Take(rig.controller);
            c.action(rig);
            const Snapshot after = Take(rig.controller);
            if (live && c.refused) {
                EXPECT_EQ(after, before);
                EXPECT_THAT(rig.view.hints,
                            AllOf(Not(IsEmpty()), Each(std::string(kHintLiveReadOnly))));
            } else {
                EXPECT_NE(after, before);  // a real edit of something
                if (live) {
                    EXPECT_EQ(after.content, before.content);
                }
                EXPECT_THAT(rig.view.hints, IsEmpty());
            }
        }
    }
}

// Entering keeps the panel (ending a play and a paint stroke first); live frames are shown but
// are no undo steps; leaving puts the panel back, while the display keeps the last frame.
TEST(LiveMode, LeavingPutsThePanelBackAndTheDisplayKeepsTheLastFrame) {
    Rig rig;
    rig.ConnectWithRf();
    rig.controller.OnLedClicked(LedKind::GridCell, 40);
    rig.controller.OnScrollTextEdited("kept");
    rig.panel.SetCurrentColor(0x00FF00);
    rig.controller.OnLedClicked(LedKind::Pod, 3);  // waits for its colour at the next tick
    rig.Settle();
    rig.controller.EnterLive(true);
    EXPECT_TRUE(rig.controller.Live());
    EXPECT_FALSE(rig.view.TimerRunning(kSampleTimerId));
    EXPECT_EQ(rig.panel.PodColor(3), 0x00FF00u);  // the colouring finished on the way in
    const PanelContent kept = CaptureContent(rig.panel);
    const std::size_t steps = rig.controller.History().UndoCount();

    const std::vector<SequenceFrame> frames = RandomFrames(3, 7);
    for (const SequenceFrame& frame : frames) {
        rig.controller.ShowLiveFrame(frame);
        rig.Settle();
        EXPECT_EQ(CaptureFrame(rig.panel, frame.holdMs), frame);
    }
    EXPECT_EQ(rig.controller.History().UndoCount(), steps);
    EXPECT_EQ(rig.controller.FrameBatchesSent(), frames.size());
    rig.tx.ClearRecord();
    rig.controller.LeaveLive();
    rig.Settle();
    EXPECT_FALSE(rig.controller.Live());
    EXPECT_EQ(CaptureContent(rig.panel), kept);
    EXPECT_THAT(rig.tx.WrittenReports(), IsEmpty());  // no Auto Update: the display keeps it
    rig.controller.ShowLiveFrame(frames[0]);          // not live: ignored
    EXPECT_EQ(CaptureContent(rig.panel), kept);
}

// ------------------------------------------------------------------ the live input

// A sender on the loopback address and a live input listening there.
struct LiveRig : Rig {
    LiveRig() { ConnectWithRf(); }
    bool Start(net::LossPolicy onLoss = net::LossPolicy::Hold) {
        LiveInputConfig config;
        config.receiver.bindAddress = kLoopback;
        config.receiver.ports = {0, 0, 0};
        config.receiver.joinMulticast = false;
        config.receiver.input.onLoss = onLoss;
        std::string error;
        const bool started = live.Start(config, error);
        EXPECT_EQ(error, "");
        return started;
    }
    void SendSacn(const SequenceFrame& frame, std::uint8_t options = 0) {
        net::test::SacnSpec spec;
        const net::Universe universe = net::EncodeUniverse(frame, 1);
        spec.slots.assign(universe.begin(), universe.end());
        spec.sequence = sequence++;
        spec.options = options;
        const net::test::Bytes packet = net::test::SacnPacket(spec);
        posted = view.PostedCount();
        ASSERT_TRUE(sender.SendTo(packet, {kLoopback, live.Port(net::Protocol::Sacn)}));
    }
    // Waits (bounded) until the receiver has read `count` sACN datagrams in all.
    void WaitForDatagrams(std::uint64_t count) {
        ASSERT_TRUE(
            testing::WaitUntil([&] { return live.Stats().receiver.counters.packets[0] >= count; }));
    }
    // The task posted for what the receiver made of the last packet sent, and the sends it
    // started.
    void Deliver() {
        ASSERT_TRUE(testing::WaitUntil([&] { return view.PostedCount() > posted; }));
        Settle();
    }
    LiveInput live{controller, view};
    net::os::SocketLibrary library;
    net::os::UdpSocket sender = [] {
        net::os::UdpSocket socket;
        std::string error;
        socket.Open(kLoopback, 0, error);
        return socket;
    }();
    std::uint8_t sequence = 1;
    int posted = 0;
};

// Off until started: no socket, no live mode. On: every frame's reports are exactly those Auto
// Update sends for the same content, in the same order. Off again: the panel is back.
TEST(LiveInput, FramesGoOutAsAutoUpdateSendsThem) {
    LiveRig rig;
    EXPECT_FALSE(rig.live.On());
    EXPECT_EQ(rig.live.Port(net::Protocol::Sacn), 0);
    EXPECT_FALSE(rig.controller.Live());
    const PanelContent before = CaptureContent(rig.panel);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.controller.Live());
    EXPECT_NE(rig.live.Port(net::Protocol::Sacn), 0);

    const std::vector<SequenceFrame> frames = RandomFrames(6, 11);
    for (const SequenceFrame& frame : frames) {
        rig.SendSacn(frame);
        rig.Deliver();
    }
    EXPECT_EQ(rig.tx.WrittenReports(), AutoUpdateReports(frames));
    const LiveInputStats stats = rig.live.Stats();
    EXPECT_EQ(stats.framesShown, frames.size());
    EXPECT_EQ(stats.framesSent, frames.size());
    EXPECT_EQ(stats.receiver.sourceCount, 1);
    EXPECT_EQ(std::string(stats.receiver.sources[0].label.name.data()), "Console");

    rig.live.Stop();
    EXPECT_FALSE(rig.controller.Live());
    EXPECT_EQ(CaptureContent(rig.panel), before);
    EXPECT_EQ(rig.live.Port(net::Protocol::Sacn), 0);
    EXPECT_EQ(rig.live.Stats().framesSent, frames.size());  // still readable
}

// However many frames arrive before the UI thread looks, one task is posted and it shows the
// newest; frames arriving while a send is out go out as one batch behind it.
TEST(LiveInput, TheNewestFrameWinsAndNothingQueues) {
    LiveRig rig;
    ASSERT_TRUE(rig.Start());
    const std::vector<SequenceFrame> frames = RandomFrames(40, 13);
    rig.SendSacn(frames[0]);
    rig.WaitForDatagrams(1);
    ASSERT_TRUE(testing::WaitUntil([&] { return rig.view.PostedCount() > rig.posted; }));
    rig.tx.StallWrites(true);
    rig.view.RunPosted();  // frame 0 goes out and sticks in the device
    ASSERT_TRUE(testing::WaitUntil([&] { return rig.tx.StalledWrites() == 1; }));
    const int postedBefore = rig.view.PostedCount();
    for (std::size_t i = 1; i < frames.size(); ++i)
        rig.SendSacn(frames[i]);
    rig.WaitForDatagrams(frames.size());
    EXPECT_EQ(rig.view.PostedCount(), postedBefore + 1);  // one task for 39 frames
    rig.view.RunPosted();
    EXPECT_EQ(CaptureFrame(rig.panel, frames.back().holdMs), frames.back());
    EXPECT_EQ(rig.controller.SendsInFlight(), 1);  // the newest waits for the answer, no queue
    rig.tx.StallWrites(false);
    rig.Settle();
    EXPECT_EQ(rig.tx.WrittenReports(), AutoUpdateReports({frames[0], frames.back()}));
    EXPECT_EQ(rig.live.Stats().receiver.framesReplaced, frames.size() - 2);
}

// When the last source ends, the display holds its last frame or is blanked, as configured; the
// policy can change while live without leaving live mode.
TEST(LiveInput, WhenEverySourceHasGone) {
    struct Case {
        const char* name;
        net::LossPolicy start;
        std::optional<net::LossPolicy> switchTo;
        bool blank;
    };
    const std::vector<Case> cases = {
        {"hold", net::LossPolicy::Hold, std::nullopt, false},
        {"blank", net::LossPolicy::Blank, std::nullopt, true},
        {"switched to blank while live", net::LossPolicy::Hold, net::LossPolicy::Blank, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveRig rig;
        Strings events;
        rig.live.SetEventSink([&](const net::SourceEvent& event, net::LossPolicy policy) {
            events.push_back(net::DescribeEvent(event, policy));
        });
        ASSERT_TRUE(rig.Start(c.start));
        const PanelContent before = CaptureContent(rig.panel);
        if (c.switchTo) {
            std::string error;
            ASSERT_TRUE(rig.live.SetOnLoss(*c.switchTo, error)) << error;
            EXPECT_TRUE(rig.controller.Live());
        }
        const SequenceFrame frame = RandomFrames(1, 17)[0];
        rig.SendSacn(frame);
        rig.Deliver();
        rig.SendSacn(frame, 0x40);  // stream terminated
        ASSERT_TRUE(testing::WaitUntil([&] {
            rig.view.RunPosted();
            return events.size() == 3;
        }));
        rig.Settle();
        EXPECT_EQ(events[1],
                  "sACN \"Console\" 127.0.0.1:" + std::to_string(rig.sender.LocalPort()) +
                      " left (stream terminated)");
        EXPECT_EQ(events[2], c.blank ? "every source has gone: blanking the display"
                                     : "every source has gone: holding the last frame");
        const SequenceFrame shown = c.blank ? SequenceFrame{} : frame;
        EXPECT_EQ(CaptureFrame(rig.panel, shown.holdMs), shown);
        EXPECT_EQ(rig.tx.WrittenReports(), AutoUpdateReports({frame, shown}));
        rig.live.Stop();
        EXPECT_EQ(CaptureContent(rig.panel), before);
    }
}

}  // namespace
}  // namespace velta
