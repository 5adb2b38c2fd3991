// Live mode: the controller read-only while the panel follows frames from outside, and the live
// input that brings them from the network (127.0.0.1 only, ports chosen free by the system).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/guidance.h"
#include "control/live_input.h"
#include "net/udp_socket.h"
#include "tests/control/auto_update_steps.h"
#include "tests/support/net_packets.h"

namespace velta {
namespace {

using testing::AutoUpdateSteps;
using ::testing::Each;
using testing::Joined;
using testing::RandomCarriedFrames;

constexpr std::uint32_t kLoopback = 0x7F000001;

using Rig = testing::ServedRig;

void SampleTick(Rig& r) {  // when its timer runs
    if (r.view.TimerRunning(kSampleTimerId))
        r.controller.OnTimer(kSampleTimerId);
}

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

// While live, each entry point that would change the content does nothing and says why; the
// choices and the frame list stay the user's. Each action does change something when the panel is
// not live, so a refusal is never a no-op in disguise.
TEST(LiveMode, OnlyTheContentIsReadOnly) {
    Rig source;
    source.panel.SetCell(5, true);
    const std::string design = source.controller.DesignText();
    std::string error;
    const std::vector<std::pair<const char*, std::function<void(Rig&)>>> refused = {
        {"grid command", [](Rig& r) { r.controller.OnGridCommand(GridCommand::InvertGrid); }},
        {"LED click", [](Rig& r) { r.controller.OnLedClicked(LedKind::GridCell, 7); }},
        {"ring click", [](Rig& r) { r.controller.OnLedClicked(LedKind::Ring, 2); }},
        {"pod colouring",
         [](Rig& r) {
             r.panel.SetCurrentColor(0x0000FF);
             r.controller.OnLedClicked(LedKind::Pod, 2);
             SampleTick(r);
         }},
        {"painting",
         [](Rig& r) {
             r.view.pointer = PointerSample{113, 58, true, false};  // over cell 0
             r.controller.OnPaintButtonsChanged(true);
             SampleTick(r);
         }},
        {"slider drag",
         [](Rig& r) {
             r.controller.OnSliderPressed();
             r.controller.OnSliderMoved(1049, 7);
         }},
        {"slider key", [](Rig& r) { r.controller.OnSliderMoved(1050, 3); }},
        {"text", [](Rig& r) { r.controller.OnScrollTextEdited("hi"); }},
        {"open design", [&](Rig& r) { r.controller.OpenDesign(design, "d.velta", error); }},
        {"new design", [](Rig& r) { r.controller.NewDesign(); }},
        {"picture import", [](Rig& r) { r.controller.ReplaceGrid({}, "Import Picture"); }},
        {"undo", [](Rig& r) { r.controller.Undo(); }},
        {"redo", [](Rig& r) { r.controller.Redo(); }},
        {"load frame", [](Rig& r) { r.controller.LoadFrame(0); }},
        {"play", [](Rig& r) { r.controller.StartPlaying(false, false); }},
    };
    const std::vector<std::pair<const char*, std::function<void(Rig&)>>> allowed = {
        {"feature box", [](Rig& r) { r.controller.OnFeatureBoxClicked(FeatureBox::LedRings, 0); }},
        {"fill mode", [](Rig& r) { r.controller.OnFillModeChosen(FillMode::Copy); }},
        {"add frame", [](Rig& r) { r.controller.AddFrame(0, 100); }},
    };
    for (const auto* list : {&refused, &allowed}) {
        for (const auto& [name, action] : *list) {
            for (const bool live : {false, true}) {
                SCOPED_TRACE(std::string(name) + (live ? " while live" : ""));
                Rig rig;
                rig.controller.AddFrame(kNoFrame, 100);  // a frame, a step to undo, one to redo
                rig.controller.OnLedClicked(LedKind::GridCell, 1);
                rig.controller.OnLedClicked(LedKind::GridCell, 2);
                rig.controller.Undo();
                if (live) {
                    rig.panel.SetCurrentColor(0x00FF00);
                    rig.controller.OnLedClicked(LedKind::Pod, 3);  // waits for the next tick,
                    rig.controller.EnterLive(false);               // which entering brings
                    EXPECT_EQ(rig.panel.PodColor(3), 0x00FF00u);
                }
                const Snapshot before = Take(rig.controller);
                action(rig);
                const Snapshot after = Take(rig.controller);
                const bool refusal = live && list == &refused;
                EXPECT_EQ(after == before, refusal);
                EXPECT_EQ(after.content == before.content, live || list == &allowed);
                EXPECT_EQ(rig.view.hints.empty(), !refusal);
                EXPECT_THAT(rig.view.hints, Each(std::string(kHintLiveReadOnly)));
            }
        }
    }
    Rig rig;
    rig.controller.EnterLive(false);
    EXPECT_FALSE(rig.controller.OpenDesign(design, "d.velta", error));
    EXPECT_EQ(error, kLiveRefusal);
}

// A live input on 127.0.0.1 and an sACN sender.
struct LiveRig : Rig {
    LiveRig() {
        Connect();
        std::string error;
        EXPECT_TRUE(sender.Open(kLoopback, 0, error)) << error;
    }
    bool Start(net::LossPolicy onLoss = net::LossPolicy::Hold) {
        LiveInputConfig config;
        config.receiver.bindAddress = kLoopback;
        config.receiver.ports = {0, 0, 0};
        config.receiver.joinMulticast = false;
        config.receiver.input.onLoss = onLoss;
        std::string error;
        return live.Start(config, error);
    }
    void Send(const SequenceFrame& frame, std::uint8_t options = 0) {
        net::test::SacnFields fields;
        const net::Universe universe = net::EncodeUniverse(frame, 1);
        fields.levels.assign(universe.begin(), universe.end());
        fields.sequence = sequence++;
        fields.options = options;
        posted = view.PostedCount();
        EXPECT_TRUE(sender.SendTo(net::test::SacnPacket(fields),
                                  {kLoopback, live.Port(net::Protocol::Sacn)}));
    }
    // Whether the task posted after the last Send has come (bounded wait).
    bool Posted() {
        return testing::WaitUntil([&] { return view.PostedCount() > posted; });
    }
    LiveInput live{controller, view};
    net::os::SocketLibrary library;
    net::os::UdpSocket sender;
    std::uint8_t sequence = 1;
    int posted = 0;
};

// Off until started (no socket, no live mode). However many frames arrive before the UI thread
// looks, one task is posted and it shows the newest; frames arriving while a send is out go out
// as one batch behind it, exactly as Auto Update would send them; none is an undo step. Off
// again: the panel is back, and the display keeps the last frame.
TEST(LiveInput, TheNewestFrameWinsAndNothingQueues) {
    LiveRig rig;
    EXPECT_EQ(rig.live.Port(net::Protocol::Sacn), 0);
    rig.controller.OnLedClicked(LedKind::GridCell, 40);
    const PanelContent before = CaptureContent(rig.panel);
    const std::size_t steps = rig.controller.History().UndoCount();
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.controller.Live());
    const std::vector<SequenceFrame> frames = RandomCarriedFrames(40, 13);
    rig.Send(frames[0]);
    ASSERT_TRUE(rig.Posted());
    rig.tx.StallWrites(true);
    rig.view.RunPosted();  // frame 0 goes out and sticks in the device
    ASSERT_TRUE(testing::WaitUntil([&] { return rig.tx.StalledWrites() == 1; }));
    const int posted = rig.view.PostedCount();
    for (std::size_t i = 1; i < frames.size(); ++i)
        rig.Send(frames[i]);
    // Every packet read and every frame but the newest replaced (the last batch handed over):
    // the receiver counts before it hands a batch over and posts.
    ASSERT_TRUE(testing::WaitUntil([&] {
        const net::ReceiverStats stats = rig.live.Stats().receiver;
        return stats.counters.packets[0] == frames.size() &&
               stats.framesReplaced == frames.size() - 2 && rig.view.PostedCount() > posted;
    }));
    EXPECT_EQ(rig.view.PostedCount(), posted + 1);  // one task for 39 frames
    rig.view.RunPosted();
    EXPECT_EQ(CaptureFrame(rig.panel, frames.back().holdMs), frames.back());
    EXPECT_EQ(rig.controller.SendsInFlight(), 1);  // the newest waits for the answer
    rig.tx.StallWrites(false);
    rig.Settle();
    EXPECT_EQ(rig.tx.WrittenReports(), Joined(AutoUpdateSteps({frames[0], frames.back()})));
    const LiveInputStats stats = rig.live.Stats();
    EXPECT_EQ(stats.receiver.framesReplaced, frames.size() - 2);
    EXPECT_EQ(stats.framesShown, 2u);
    EXPECT_EQ(stats.framesSent, 2u);
    EXPECT_EQ(rig.controller.History().UndoCount(), steps);
    rig.live.Stop();
    rig.Settle();
    EXPECT_FALSE(rig.controller.Live());
    EXPECT_EQ(CaptureContent(rig.panel), before);
    EXPECT_EQ(rig.tx.WrittenReports().size(),
              Joined(AutoUpdateSteps({frames[0], frames.back()})).size());
    EXPECT_EQ(rig.live.Port(net::Protocol::Sacn), 0);
    rig.controller.ShowLiveFrame(frames[1]);  // not live: ignored
    EXPECT_EQ(CaptureContent(rig.panel), before);
}

// When the last source ends the display holds its last frame or is blanked, as configured; the
// policy can change while live without leaving live mode.
TEST(LiveInput, WhenEverySourceHasGone) {
    const struct {
        const char* name;
        net::LossPolicy start;
        std::optional<net::LossPolicy> switchTo;
        bool blank;
    } cases[] = {
        {"hold", net::LossPolicy::Hold, std::nullopt, false},
        {"blank", net::LossPolicy::Blank, std::nullopt, true},
        {"switched to blank while live", net::LossPolicy::Hold, net::LossPolicy::Blank, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LiveRig rig;
        std::vector<std::string> events;
        rig.live.SetEventSink([&](const net::SourceEvent& event, net::LossPolicy policy) {
            events.push_back(net::DescribeEvent(event, policy));
        });
        ASSERT_TRUE(rig.Start(c.start));
        std::string error;
        EXPECT_TRUE(!c.switchTo || rig.live.SetOnLoss(*c.switchTo, error)) << error;
        EXPECT_TRUE(rig.controller.Live());
        const SequenceFrame frame = RandomCarriedFrames(1, 17)[0];
        rig.Send(frame);
        ASSERT_TRUE(rig.Posted());
        rig.Settle();
        rig.Send(frame, 0x40);  // stream terminated
        ASSERT_TRUE(testing::WaitUntil([&] {
            rig.view.RunPosted();
            return events.size() == 3;
        }));
        rig.Settle();
        EXPECT_EQ(events[2], c.blank ? "every source has gone: blanking the display"
                                     : "every source has gone: holding the last frame");
        const SequenceFrame shown = c.blank ? SequenceFrame{} : frame;
        EXPECT_EQ(CaptureFrame(rig.panel, shown.holdMs), shown);
        EXPECT_EQ(rig.tx.WrittenReports(), Joined(AutoUpdateSteps({frame, shown})));
    }
}

}  // namespace
}  // namespace velta
