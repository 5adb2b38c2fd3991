// velta play and velta datacenter for designs with frames, in-process: the command's clock and
// sleep are a fake time the test moves, and the window's controller playing the same design is
// the reference for what reaches the display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/console_view.h"
#include "control/control_center_controller.h"
#include "device/device_reports.h"
#include "display/report_hex.h"
#include "export/sequence_export.h"
#include "model/design_file.h"
#include "tests/cli/velta_rig.h"
#include "tests/model/random_frame.h"

namespace velta::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using TimePoint = std::chrono::steady_clock::time_point;

std::string WriteDesignFile(const std::string& name, const Design& design) {
    const std::string path = ::testing::TempDir() + "velta_play_" + name;
    std::ofstream(path, std::ios::binary) << WriteDesign(design);
    return path;
}

FeatureMask MaskOf(const DesignFeatures& features) {
    return (features.grid ? feature::kLedGrid : 0) | (features.pods ? feature::kRgbPods : 0) |
           (features.rings ? feature::kLedRings : 0);
}

std::string FeatureArg(const DesignFeatures& features) {
    std::string list;
    const std::pair<bool, const char*> names[] = {{features.grid, "grid"},
                                                  {features.pods, "pods"},
                                                  {features.rings, "rings"},
                                                  {features.text, "text"}};
    for (const auto& [on, name] : names) {
        if (on)
            list += (list.empty() ? "" : ",") + std::string(name);
    }
    return list;
}

// A controller of the window's over a transmitter nobody connects, the design opened in it.
struct Window {
    SimulatedTransmitter transmitter;
    std::ostringstream ignored;
    ConsoleView view{ignored};
    ControlCenterController controller{transmitter, view};

    explicit Window(const Design& design, std::optional<DesignFeatures> ticked = std::nullopt) {
        controller.OnInitDialog();
        Design opened = design;
        if (ticked)
            opened.features = *ticked;
        std::string error;
        EXPECT_TRUE(controller.OpenDesign(WriteDesign(opened), "window.velta", error)) << error;
    }
    // Runs the link's answers until every send has been answered, as the event loop would.
    void Settle() {
        view.RunPosted();
        while (controller.SendsInFlight() > 0) {
            view.WaitForPosted();
            view.RunPosted();
        }
    }
};

TEST(DatacenterTest, ADesignWithFramesGivesWhatExportSequenceGives) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 24; ++round) {
        Design design;
        const std::size_t count = 1 + rng() % 6;
        for (std::size_t i = 0; i < count; ++i)
            design.frames.push_back(testing::RandomFrame(rng));
        design.features = {rng() % 2 == 0, rng() % 2 == 0, rng() % 2 == 0, false};
        // Half the rounds tick their own choice on the command line (text never with grid).
        std::optional<DesignFeatures> ticked;
        if (round % 2 == 1) {
            ticked = DesignFeatures{rng() % 2 == 0, rng() % 2 == 0, rng() % 2 == 0, false};
            ticked->text = !ticked->grid && rng() % 2 == 0;
        }
        const DesignFeatures used = ticked.value_or(design.features);

        Rig rig;
        Strings args = {"datacenter", WriteDesignFile("dc.velta", design)};
        if (ticked && !FeatureArg(*ticked).empty()) {
            args.push_back("--features");
            args.push_back(FeatureArg(*ticked));
        } else if (ticked) {
            continue;  // an empty list can't be given; the design's own choice is covered
        }
        const Outcome run = rig.Velta(args);
        ASSERT_EQ(run.code, kExitOk) << round << ": " << ::testing::PrintToString(run.err);
        EXPECT_THAT(run.err, IsEmpty());

        EXPECT_EQ(run.outText, ExportSequenceText(design.frames, MaskOf(used))) << round;
        Window window(design, ticked);
        EXPECT_EQ(run.outText, window.controller.SequenceText()) << round;
        Window exported(design, ticked);
        exported.controller.ExportSequenceToDataCenter();
        EXPECT_EQ(run.outText, exported.controller.DataCenterText()) << round;
        // A frame list with a block feature ticked says something; one without, nothing.
        EXPECT_EQ(run.outText.empty(), MaskOf(used) == 0) << round;
        EXPECT_EQ(rig.devicesMade, 0);
    }
}

// The command's time: `now` is what the clock says, each sleep moves it to the moment asked
// for, and the stop flag can be raised from inside the n-th sleep, as Ctrl+C would.
struct FakeTime {
    TimePoint now{std::chrono::hours(1)};
    int sleeps = 0;
    int stopInSleep = 0;  // 0: never
    bool stop = false;

    void Install(Transports& transports) {
        transports.now = [this] { return now; };
        transports.sleepUntil = [this](TimePoint until) {
            ++sleeps;
            if (sleeps == stopInSleep) {
                stop = true;  // the signal comes part-way through the hold
                now += (until - now) / 2;
                return;
            }
            now = std::max(now, until);
        };
        transports.stopRequested = [this] { return stop; };
    }
};

// The command's stdout cut into frames: the lines before the first frame, then per frame its
// line and the command bytes of the reports it sent.
struct Played {
    Strings before;
    Strings frameLines;
    std::vector<std::vector<int>> commands;
};

Played Split(const Strings& out) {
    Played played;
    bool afterGrid = false;
    for (const std::string& line : out) {
        if (line.rfind("frame ", 0) == 0) {
            played.frameLines.push_back(line);
            played.commands.emplace_back();
        } else if (played.frameLines.empty()) {
            played.before.push_back(line);
        } else {
            // The grid tail carries no command byte: it always follows its grid report.
            std::vector<int>& commands = played.commands.back();
            if (!commands.empty() && commands.back() == kCommandGrid && !afterGrid) {
                afterGrid = true;
                continue;
            }
            afterGrid = false;
            commands.push_back(std::stoi(line.substr(3, 2), nullptr, 16));
        }
    }
    return played;
}

// The window playing the same design with "send while playing": every report the display gets.
std::vector<DeviceReport> PlayInTheWindow(const Design& design, bool loop, int ticks) {
    Window window(design);
    TimePoint now{std::chrono::hours(1)};
    window.controller.SetPlayClock([&now] { return now; });
    window.controller.OnConnectTx();
    window.controller.OnRfMode();
    window.Settle();
    std::optional<TimePoint> next = window.controller.StartPlaying(loop, true);
    for (int tick = 0; next && tick < ticks; ++tick) {
        window.Settle();
        now = *next;
        next = window.controller.PlayTick();
    }
    window.Settle();
    window.controller.StopPlaying();
    window.Settle();
    return window.transmitter.WrittenReports();
}

// Frames 0 and 1 differ in the pods alone, 2 is 1 again, 3 differs from 2 in the grid alone.
Design FourFrames() {
    std::mt19937 rng(7);
    Design design;
    design.features = {true, true, true, false};
    SequenceFrame frame = testing::RandomFrame(rng);
    frame.holdMs = 100;
    design.frames.push_back(frame);
    frame.pods[3] ^= 0x010203u;
    frame.holdMs = 250;
    design.frames.push_back(frame);
    frame.holdMs = 40;
    design.frames.push_back(frame);
    frame.cells.flip(77);
    frame.holdMs = 1000;
    design.frames.push_back(frame);
    return design;
}

TEST(PlayTest, PlaysInOrderSendingOnlyWhatChanged) {
    const Design design = FourFrames();
    Rig rig;
    FakeTime time;
    time.Install(rig.transports);
    const Outcome run = rig.Velta({"play", WriteDesignFile("four.velta", design), "--simulate"});
    ASSERT_EQ(run.code, kExitOk) << ::testing::PrintToString(run.err);
    EXPECT_THAT(run.err, IsEmpty());

    const Played played = Split(run.out);
    EXPECT_THAT(played.before, ElementsAre(Hex(kCommandRfOn)));
    EXPECT_THAT(played.frameLines, ElementsAre("frame 1/4 (100 ms)", "frame 2/4 (250 ms)",
                                               "frame 3/4 (40 ms)", "frame 4/4 (1000 ms)"));
    ASSERT_EQ(played.commands.size(), 4u);
    EXPECT_THAT(played.commands[0], ElementsAre(kCommandGrid, kCommandPods, kCommandRings));
    EXPECT_THAT(played.commands[1], ElementsAre(kCommandPods));
    EXPECT_THAT(played.commands[2], IsEmpty());
    EXPECT_THAT(played.commands[3], ElementsAre(kCommandGrid));
    // One sleep per hold: the play ends when the last hold is over, not by polling.
    EXPECT_EQ(time.sleeps, 4);

    // Byte for byte what the window's Play sends, and nothing after the last frame (RF stays on).
    const std::vector<DeviceReport> window = PlayInTheWindow(design, false, 100);
    EXPECT_EQ(rig.simulated.WrittenReports(), window);
}

TEST(PlayTest, FeaturesChooseWhatIsSentAndTheDeviceGetsItWithoutSimulate) {
    const Design design = FourFrames();
    Rig rig;
    FakeTime time;
    time.Install(rig.transports);
    const Outcome run =
        rig.Velta({"play", WriteDesignFile("pods.velta", design), "--features", "pods"});
    ASSERT_EQ(run.code, kExitOk);
    const Played played = Split(run.out);
    EXPECT_THAT(played.before, IsEmpty());
    EXPECT_EQ(played.frameLines.size(), 4u);
    // Without --simulate only the frame lines are printed.
    EXPECT_EQ(run.out.size(), 4u);
    Strings sent;
    for (const DeviceReport& report : rig.device.WrittenReports())
        sent.push_back(FormatReportHex(report).substr(3, 2));
    EXPECT_THAT(sent, ElementsAre("F0", "12", "12"));  // RF on, the pods of frames 1 and 2
    EXPECT_THAT(rig.simulated.WrittenReports(), IsEmpty());
}

TEST(PlayTest, AStopRequestEndsThePlayAfterTheCurrentFrame) {
    struct Case {
        bool loop;
        int stopInSleep;
        int framesShown;
    };
    const std::vector<Case> cases = {
        {true, 1, 1},    // during the first hold
        {true, 6, 6},    // frames 1-4, then 1 and 2 again
        {true, 9, 9},    // in the third pass
        {false, 2, 2},   // a single pass stopped before its end
        {false, 99, 4},  // never reached: the pass ends on its own
    };
    const Design design = FourFrames();
    const std::string file = WriteDesignFile("stop.velta", design);
    for (const Case& c : cases) {
        Rig rig;
        FakeTime time;
        time.stopInSleep = c.stopInSleep;
        time.Install(rig.transports);
        Strings args = {"play", file, "--simulate"};
        if (c.loop)
            args.push_back("--loop");
        const Outcome run = rig.Velta(args);
        EXPECT_EQ(run.code, kExitOk) << c.stopInSleep;
        const Played played = Split(run.out);
        ASSERT_EQ(played.frameLines.size(), static_cast<std::size_t>(c.framesShown))
            << c.stopInSleep;
        for (int i = 0; i < c.framesShown; ++i) {
            EXPECT_EQ(played.frameLines[static_cast<std::size_t>(i)],
                      "frame " + std::to_string(i % 4 + 1) + "/4 (" +
                          std::to_string(design.frames[static_cast<std::size_t>(i % 4)].holdMs) +
                          " ms)")
                << c.stopInSleep;
        }
        // The display got exactly the frames shown, as the window sends them, and nothing after.
        EXPECT_EQ(rig.simulated.WrittenReports(),
                  PlayInTheWindow(design, c.loop, c.framesShown - 1))
            << c.stopInSleep;
        EXPECT_EQ(time.sleeps, std::min(c.stopInSleep, c.framesShown)) << c.stopInSleep;
    }
}

TEST(PlayTest, AFailedWriteStopsThePlayAndExitsFive) {
    struct Case {
        int failingWrite;
        std::size_t framesShown;
    };
    // Writes: 1 RF on; frame 1: 2-3 grid, 4 pods, 5 rings; frame 2: 6 pods; frame 4: 7-8 grid.
    const std::vector<Case> cases = {{1, 0}, {2, 0}, {6, 1}, {8, 3}};
    const Design design = FourFrames();
    const std::string file = WriteDesignFile("fail.velta", design);
    for (const Case& c : cases) {
        Rig rig;
        FakeTime time;
        time.Install(rig.transports);
        rig.simulated.FailWriteNumber(c.failingWrite);
        const Outcome run = rig.Velta({"play", file, "--simulate", "--loop"});
        EXPECT_EQ(run.code, kExitWriteFailed) << c.failingWrite;
        EXPECT_EQ(Split(run.out).frameLines.size(), c.framesShown) << c.failingWrite;
        ASSERT_FALSE(run.err.empty()) << c.failingWrite;
        EXPECT_THAT(run.err[0], HasSubstr("Write Error"));
        // Looping would go on for ever: the failure is what ended it.
        EXPECT_LE(time.sleeps, 4) << c.failingWrite;
    }
}

TEST(PlayTest, ADesignWithoutFramesIsRefusedBeforeTheTransmitter) {
    Rig rig;
    FakeTime time;
    time.Install(rig.transports);
    const Outcome run = rig.Velta({"play", WriteDesignFile("still.velta", Design{}), "--simulate"});
    EXPECT_EQ(run.code, kExitUsage);
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_THAT(run.err[0], HasSubstr("still.velta has no frames to play"));
    EXPECT_THAT(run.out, IsEmpty());
    EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty());
    EXPECT_EQ(rig.devicesMade, 0);
    EXPECT_EQ(time.sleeps, 0);
}

}  // namespace
}  // namespace velta::cli
