// The whole program headless: the controller driven through the entry points the window uses,
// a fake window, and the simulated transmitter at the far end of a real link.
#include "control/control_center_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "device/simulated_transmitter.h"
#include "grid/grid_transforms.h"
#include "grid/pointer_painting.h"
#include "tests/control/fake_view.h"
#include "tests/control/report_kinds.h"
#include "tests/support/allocation_counter.h"

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using B = FeatureBox;
using Strings = std::vector<std::string>;

constexpr const char* kDetected = "Device Detected - 0x00";
constexpr const char* kNotDetected = "Device Not Detected - 0xF1";

// Client point in the middle of the painting band of cell (row, column).
PointerSample PointerOver(int row, int column, bool right, bool middle = false) {
    return PointerSample{104 + 18 * column + 9, 49 + 18 * row + 9, right, middle};
}

using testing::ReportKinds;

// The program as the window starts it.
struct Rig {
    Rig() { controller.OnInitDialog(); }

    // The entry points the window calls for its check boxes.
    void Click(FeatureBox box, bool checked = true) {
        controller.OnFeatureBoxClicked(box, checked);
    }
    void ClickAutoUpdate(bool checked) { controller.OnAutoUpdateClicked(checked); }
    void CheckGridPodsRings() {
        for (B box : {B::LedGrid, B::RgbPods, B::LedRings})
            Click(box);
    }
    // Connect Tx, then Activate RF Mode; forgets the RF-on report.
    void ConnectWithRf() {
        controller.OnConnectTx();
        ASSERT_TRUE(controller.Link().IsConnected());
        controller.OnRfMode();
        ASSERT_TRUE(panel.RfMode());
        Settle();
        tx.ClearRecord();
    }
    // Runs the link's posted work until every send has been answered, as the event loop would.
    void Settle() {
        ASSERT_TRUE(testing::WaitUntil([&] {
            view.RunPosted();
            return controller.SendsInFlight() == 0;
        }));
    }
    // A command that sends, and its answer.
    void Sent(const std::function<void()>& command) {
        command();
        Settle();
    }
    Strings Written() const { return ReportKinds(tx.WrittenReports()); }
    const std::string& LogText() const { return controller.Log().Text(); }
    bool Logged(std::string_view text) const { return LogText().find(text) != std::string::npos; }
    // The box must show exactly the log without the separator that the next refresh brings.
    void ExpectBoxShowsLog() const {
        EXPECT_TRUE(view.refreshesContiguous);
        EXPECT_EQ(LogText().empty() ? view.shown : view.shown + "\r\n\r\n", LogText());
    }

    SimulatedTransmitter tx;
    testing::FakeView view;
    ControlCenterController controller{tx, view};
    PanelState& panel = controller.Panel();
};

class ControllerTest : public ::testing::Test, public Rig {};

// ---------------------------------------------------------------- start-up and simple handlers

TEST_F(ControllerTest, StartUp) {
    EXPECT_THAT(view.timerStarts, IsEmpty());  // idle: no tick at all
    EXPECT_FALSE(controller.Link().IsConnected());
    EXPECT_THAT(view.statusTexts, IsEmpty());
    EXPECT_THAT(tx.OpenedPaths(), IsEmpty());
    // Start-up sets the fill mode and the sliders whatever the panel held.
    panel.SetFillMode(FillMode::Copy);
    panel.SetGridBrightness(3);
    panel.SetScrollSpeed(4);
    panel.SetRingLevel(5);
    controller.OnInitDialog();
    EXPECT_EQ(panel.GetFillMode(), FillMode::AllOff);
    EXPECT_EQ(panel.GridBrightness(), 15);
    EXPECT_EQ(panel.ScrollSpeed(), 15);
    EXPECT_EQ(panel.RingLevel(), 4095);
}

TEST_F(ControllerTest, CheckBoxRules) {
    struct Case {
        const char* name;
        std::vector<std::pair<FeatureBox, bool>> clicks;
        FeatureMask expected;  // with the text bit
    };
    const std::vector<Case> cases = {
        {"rings on checks both brightness boxes", {{B::LedRings, true}}, 0x1C},
        {"rings off unchecks both", {{B::LedRings, true}, {B::LedRings, false}}, 0x00},
        {"grid unchecks text", {{B::ScrollingText, true}, {B::LedGrid, true}}, 0x01},
        {"text unchecks grid", {{B::LedGrid, true}, {B::ScrollingText, true}}, 0x40},
        {"unchecking text leaves both unchecked",
         {{B::LedGrid, true}, {B::ScrollingText, true}, {B::ScrollingText, false}},
         0x00},
        {"pods untouched by the others",
         {{B::RgbPods, true}, {B::LedGrid, true}, {B::LedRings, true}, {B::LedRings, false}},
         0x03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (B box : {B::LedGrid, B::RgbPods, B::LedRings, B::GridBrightness, B::RingBrightness,
                      B::ScrollingText})
            panel.SetFeature(box, false);
        for (const auto& [box, checked] : c.clicks)
            Click(box, checked);
        EXPECT_EQ(panel.BuildFeatureMask(true), c.expected);
    }
}

TEST_F(ControllerTest, ColourBoxLosingFocusSetsCurrentColour) {
    view.picked = MakeColor(0x12, 0x34, 0x56);
    controller.OnColorKillFocus();
    EXPECT_EQ(panel.CurrentColor(), 0x563412u);
}

TEST_F(ControllerTest, SampleTickPaintsErasesAndColoursMarkedPods) {
    view.pointer = PointerOver(2, 5, /*right=*/true);
    controller.OnTimer(102);
    EXPECT_TRUE(panel.Cell(2, 5));
    view.pointer = PointerOver(2, 5, false, /*middle=*/true);
    controller.OnTimer(102);
    EXPECT_FALSE(panel.Cell(2, 5));

    panel.SetCurrentColor(0x0000FF);
    panel.SetPodMark(7, true);
    view.pointer = PointerSample{};
    controller.OnTimer(102);
    EXPECT_EQ(panel.PodColor(7), 0x0000FFu);
    EXPECT_FALSE(panel.PodMark(7));
}

// The 10 ms sampling runs from a paint button's press until the tick after its release, and
// while a marked pod waits for its colour; otherwise the program takes no ticks.
TEST(Controller, SamplingRunsOnlyWhileItCanChangeSomething) {
    struct Step {
        std::function<void(Rig&)> act;
        bool running;  // the sampling timer after the step
    };
    const auto press = [](int row, int column, bool right, bool middle = false) {
        return [=](Rig& r) {
            r.view.pointer = PointerOver(row, column, right, middle);
            r.controller.OnPaintButtonsChanged(true);
        };
    };
    const auto release = [](Rig& r) {
        r.view.pointer.rightHeld = r.view.pointer.middleHeld = false;
        r.controller.OnPaintButtonsChanged(false);
    };
    const auto tick = [](Rig& r) { r.controller.OnTimer(kSampleTimerId); };
    const auto move = [](int row, int column, int nudge = 0) {
        return [=](Rig& r) {
            const PointerSample held = r.view.pointer;
            r.view.pointer = PointerOver(row, column, held.rightHeld, held.middleHeld);
            r.view.pointer.x += nudge;
            r.controller.OnPointerMoved();
        };
    };
    const auto offGrid = [](Rig& r) { r.view.pointer = PointerSample{300, 40, true, false}; };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::function<void(const Rig&)> check;
    };
    const std::vector<Case> cases = {
        // Held still, the pointer needs no ticks; a move to another cell arms one, a move
        // within the cell does not.
        {"paint stroke",
         {{press(2, 5, true), true},
          {tick, false},
          {move(2, 5, 3), false},
          {move(2, 6), true},
          {tick, false},
          {release, true},
          {tick, false}},
         [](const Rig& r) { EXPECT_TRUE(r.panel.Cell(2, 5) && r.panel.Cell(2, 6)); }},
        {"erase stroke",
         {{[](Rig& r) { r.panel.SetCell(3, 3, true); }, false},
          {press(3, 3, false, true), true},
          {tick, false},
          {release, true},
          {tick, false}},
         [](const Rig& r) { EXPECT_FALSE(r.panel.Cell(3, 3)); }},
        {"pod click waits for its colour",
         {{[](Rig& r) { r.controller.OnLedClicked(LedKind::Pod, 4); }, true}, {tick, false}},
         [](const Rig& r) { EXPECT_FALSE(r.panel.PodMark(4)); }},
        {"grid and ring clicks need no tick",
         {{[](Rig& r) { r.controller.OnLedClicked(LedKind::GridCell, 7); }, false},
          {[](Rig& r) { r.controller.OnLedClicked(LedKind::Ring, 2); }, false}},
         [](const Rig& r) { EXPECT_TRUE(r.panel.Cell(7) && r.panel.RingOn(2)); }},
        {"colour all pods",
         {{[](Rig& r) { r.controller.OnGridCommand(GridCommand::ColorAllPods); }, true},
          {tick, false}},
         [](const Rig& r) { EXPECT_EQ(r.panel.PodLedColors(19).off, r.panel.CurrentColor()); }},
        {"held over the rows beside the grid, marked pods wait for the release",
         {{[](Rig& r) { r.controller.OnLedClicked(LedKind::Pod, 0); }, true},
          {offGrid, true},
          {tick, true},
          {release, true},
          {tick, false}},
         [](const Rig& r) { EXPECT_FALSE(r.panel.PodMark(0)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.panel.SetCurrentColor(0x0000FF);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            c.steps[i].act(r);
            EXPECT_EQ(r.view.TimerRunning(kSampleTimerId), c.steps[i].running) << "step " << i;
            if (r.view.TimerRunning(kSampleTimerId)) {
                EXPECT_EQ(r.view.runningTimers.at(kSampleTimerId), 10);
            }
        }
        c.check(r);
    }
}

TEST_F(ControllerTest, ButtonIdsReachTheirCommands) {
    struct Case {
        int controlId;
        std::function<void(const Rig&)> check;
    };
    panel.SetCell(0, 0, true);
    const std::vector<Case> cases = {
        {1011, [](const Rig& r) { EXPECT_FALSE(r.panel.Cell(0, 0)); }},   // Deselect All
        {1010, [](const Rig& r) { EXPECT_TRUE(r.panel.Cell(11, 31)); }},  // Select All
        {1037, [](const Rig& r) { EXPECT_TRUE(r.controller.Link().IsConnected()); }},
        {1061, [](const Rig& r) { EXPECT_TRUE(r.panel.RfMode()); }},
        {1029, [](const Rig& r) { EXPECT_FALSE(r.LogText().empty()); }},  // Save Sequence
        {1003, [](const Rig& r) { EXPECT_TRUE(r.panel.RfMode()); }},      // no command: nothing
    };
    Click(B::LedGrid);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controlId);
        Sent([&] { controller.OnButtonClicked(c.controlId); });
        c.check(*this);
    }
    tx.ClearRecord();
    Sent([&] { controller.OnButtonClicked(1038); });  // Update Data
    EXPECT_THAT(Written(), ElementsAre("grid", "tail"));
}

TEST_F(ControllerTest, UnknownTimerIdDoesNothing) {
    ConnectWithRf();
    ClickAutoUpdate(true);
    CheckGridPodsRings();
    view.pointer = PointerOver(0, 0, true);
    controller.OnTimer(104);
    controller.OnTimer(0);
    EXPECT_FALSE(panel.Cell(0, 0));
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
}

// Each command reaches its own grid operation: compared with the operation run directly on a
// second panel holding the same lopsided picture.
TEST(Controller, GridCommandsReachTheirOperations) {
    // In the order of GridCommand.
    const std::vector<void (*)(PanelState&)> operations = {
        SelectAll,    DeselectAll,   ShiftLeft,      ShiftRight,   ShiftUp,    ShiftDown,
        ShiftInwards, ShiftOutwards, ShiftDownwards, ShiftUpwards, InvertGrid, ColorAllPods};
    const auto draw = [](PanelState& p) {
        for (const auto& [row, column] :
             std::vector<std::pair<int, int>>{{0, 0}, {1, 3}, {4, 17}, {7, 30}, {10, 12}, {11, 31}})
            p.SetCell(row, column, true);
        p.SetCurrentColor(0x00AA55);
        p.SetFillMode(FillMode::AllOn);
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        SCOPED_TRACE(i);
        Rig r;
        PanelState reference;
        draw(r.panel);
        draw(reference);
        r.controller.OnGridCommand(static_cast<GridCommand>(i));
        operations[i](reference);
        EXPECT_EQ(r.panel.LED_data(), reference.LED_data());
        EXPECT_EQ(r.panel.RGB_data(), reference.RGB_data());
        for (int pod = 0; pod < kPodCount; ++pod)
            EXPECT_EQ(r.panel.PodMark(pod), reference.PodMark(pod)) << pod;
    }
}

// ---------------------------------------------------------------- Connect Tx and the link

// Which interfaces match is the link's business; the controller shows whether one did, and
// keeps a connected link rather than searching again.
TEST(Controller, ConnectTx) {
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present ? "transmitter after other devices" : "only other devices");
        Rig r;
        std::vector<HidInterfaceInfo> interfaces = {{"sim:mouse", 0x046D, 0xC077},
                                                    {"sim:other", 0x04D8, 0x0040}};
        if (present)
            interfaces.push_back(SimulatedTransmitter::TransmitterInterface("sim:tx"));
        r.tx.SetInterfaces(interfaces);
        r.controller.OnConnectTx();
        EXPECT_EQ(r.controller.Link().IsConnected(), present);
        EXPECT_EQ(r.tx.OpenHandleCount(), present ? 2 : 0);  // write handle and read handle
        const auto opened = r.tx.OpenedPaths();
        r.controller.OnConnectTx();
        EXPECT_EQ(r.tx.OpenedPaths(), opened);
        const char* status = present ? kDetected : kNotDetected;
        EXPECT_THAT(r.view.statusTexts, ElementsAre(status, status));
    }
}

TEST_F(ControllerTest, ReadErrorThenConnectTxOpensAnew) {
    controller.OnConnectTx();
    tx.Unplug();
    ASSERT_TRUE(view.WaitForPosted(1));
    view.RunPosted();
    EXPECT_FALSE(controller.Link().IsConnected());

    tx.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});  // plugged back in
    controller.OnConnectTx();
    EXPECT_TRUE(controller.Link().IsConnected());
    EXPECT_THAT(view.statusTexts, ElementsAre(kDetected, "Read Error - 0xA0", kDetected));

    Sent([&] { controller.OnRfMode(); });
    EXPECT_THAT(Written(), ElementsAre("rf-on"));
    EXPECT_EQ(view.writeErrors, 0);
}

TEST_F(ControllerTest, CloseEndsTheLink) {
    controller.OnConnectTx();
    controller.OnClose();
    EXPECT_FALSE(controller.Link().IsConnected());
    EXPECT_EQ(tx.OpenHandleCount(), 0);
    view.RunPosted();
    EXPECT_THAT(view.statusTexts, ElementsAre(kDetected));  // no read error
}

// ---------------------------------------------------------------- RF mode

// Without a link every toggle reports the failed write and toggles anyway.
TEST(Controller, RfToggleFlipsModeAndCaption) {
    for (const bool connected : {true, false}) {
        SCOPED_TRACE(connected ? "connected" : "no link");
        Rig r;
        if (connected)
            r.controller.OnConnectTx();
        for (int toggle = 1; toggle <= 2; ++toggle) {
            r.controller.OnRfMode();
            // The toggle is done before the write's answer comes back.
            EXPECT_EQ(r.panel.RfMode(), toggle % 2 == 1);
            r.Settle();
            EXPECT_EQ(r.view.caption, toggle == 1 ? "Disable RF Mode" : "Activate RF Mode");
            EXPECT_EQ(r.view.writeErrors, connected ? 0 : toggle);
        }
        EXPECT_THAT(r.Written(),
                    ElementsAreArray(connected ? Strings{"rf-on", "rf-off"} : Strings{}));
        EXPECT_THAT(r.view.timerStarts, IsEmpty());  // no auto update
        // Never connected: a failed write took no link down, so the Status box stays as it was.
        EXPECT_THAT(r.view.statusTexts,
                    ElementsAreArray(connected ? Strings{kDetected} : Strings{}));
    }
}

// ---------------------------------------------------------------- Update Data

// The panel's own texts and boxes stay; beside them the status bar says why a click could do
// nothing and what to do next, and says nothing when the click did its work.
TEST(Controller, ClicksThatCanDoNothingSayWhatToDoNext) {
    using Controller = ControlCenterController;
    const struct {
        const char* name;
        bool connect;
        bool rfFirst;
        void (Controller::*click)();
        const char* hintHas;  // nullptr: no hint
        int writeErrors;
        Strings status;
    } cases[] = {
        // clang-format off
        {"RF without a transmitter", false, false, &Controller::OnRfMode,
         "No transmitter is connected", 1, {}},
        {"RF off again without a transmitter", false, true, &Controller::OnRfMode,
         "click Connect Tx", 1, {}},
        {"RF with the transmitter", true, false, &Controller::OnRfMode, nullptr, 0, {kDetected}},
        {"Update Data with RF off", true, false, &Controller::OnUpdateData, "RF mode is off", 0,
         {kDetected}},
        {"Update Data without a transmitter", false, true, &Controller::OnUpdateData,
         "no transmitter is connected", 0, {kNotDetected}},
        {"Update Data that sends", true, true, &Controller::OnUpdateData, nullptr, 0, {kDetected}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        if (c.connect)
            r.controller.OnConnectTx();
        if (c.rfFirst)
            r.Sent([&] { r.controller.OnRfMode(); });
        r.view.hints.clear();
        r.view.writeErrors = 0;
        const bool rfBefore = r.panel.RfMode();
        r.Sent([&] { (r.controller.*c.click)(); });
        if (c.hintHas == nullptr) {
            EXPECT_THAT(r.view.hints, IsEmpty());
        } else {
            ASSERT_EQ(r.view.hints.size(), 1u);
            EXPECT_THAT(r.view.hints.front(), HasSubstr(c.hintHas));
        }
        EXPECT_EQ(r.view.writeErrors, c.writeErrors);  // the fixed box still comes
        EXPECT_EQ(r.view.statusTexts, c.status);
        if (c.click == &Controller::OnRfMode) {
            EXPECT_NE(r.panel.RfMode(), rfBefore);  // and the toggle still happens
        }
    }
}

TEST_F(ControllerTest, UpdateDataWithRfOffDoesNothing) {
    controller.OnConnectTx();
    CheckGridPodsRings();
    panel.SetCell(0, 0, true);
    tx.ClearRecord();
    controller.OnUpdateData();
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
    EXPECT_THAT(view.statusTexts, ElementsAre(kDetected));
}

TEST_F(ControllerTest, UpdateDataWithoutLinkShowsNotDetectedAndLeavesTrackingAlone) {
    CheckGridPodsRings();
    Sent([&] { controller.OnRfMode(); });  // no link: reported, but RF mode is on
    view.writeErrors = 0;
    controller.OnUpdateData();
    EXPECT_THAT(view.statusTexts, ElementsAre(kNotDetected));
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(view.writeErrors, 0);
    // Had change tracking run, the sliders would no longer count as changed.
    controller.OnTimer(103);
    EXPECT_TRUE(Logged("ring_data[0]"));
}

// Hand-written: ring 1 on at level 0xABC; grid empty and pods black, so only the ring block is
// logged although all three reports go out.
TEST_F(ControllerTest, StartUpUpdateDataLogsOnlyTheRingBlock) {
    CheckGridPodsRings();
    panel.SetRingOn(1, true);
    panel.SetRingLevel(0xABC);
    ConnectWithRf();
    Sent([&] { controller.OnUpdateData(); });

    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods", "rings"));
    const std::string expected =
        "ring_data[0]   = 0x00\r\n"
        "ring_data[1]   = 0x00\r\n"
        "ring_data[2]   = 0xBC\r\n"
        "ring_data[3]   = 0x0A\r\n"
        "ring_data[4]   = 0x00\r\n"
        "ring_data[5]   = 0x00\r\n"
        "ring_data[6]   = 0x00\r\n"
        "ring_data[7]   = 0x00\r\n"
        "ring_data[8]   = 0x00\r\n"
        "ring_data[9]   = 0x00\r\n"
        "ring_data[10] = 0x00\r\n"
        "ring_data[11] = 0x00\r\n"
        "ring_data[12] = 0x00\r\n"
        "ring_data[13] = 0x00\r\n"
        "ring_data[14] = 0x00\r\n"
        "ring_data[15] = 0x00\r\n"
        "ring_data[16] = 0x00\r\n"
        "ring_data[17] = 0x00\r\n"
        "ring_data[18] = 0x00\r\n"
        "ring_data[19] = 0x00\r\n"
        "ring_data[20] = 0x00\r\n"
        "ring_data[21] = 0x00\r\n"
        "ring_data[22] = 0x00\r\n"
        "ring_data[23] = 0x00\r\n";
    EXPECT_EQ(view.shown, expected);
    EXPECT_EQ(LogText(), expected + "\r\n\r\n");
    EXPECT_EQ(view.refreshes, 1);

    // The ring report carries the same level, scroll speed 15 and grid brightness 15.
    const DeviceReport ring = tx.WrittenReports()[3];
    EXPECT_EQ(ring[5], 0xBC);
    EXPECT_EQ(ring[6], 0x0A);
    EXPECT_EQ(ring[27], 15);
    EXPECT_EQ(ring[28], 15);
}

TEST_F(ControllerTest, UpdateDataTwiceSendsAgainAndLogsNothingNew) {
    CheckGridPodsRings();
    panel.SetCell(3, 4, true);
    ConnectWithRf();
    Sent([&] { controller.OnUpdateData(); });
    const std::string logAfterFirst = LogText();
    Sent([&] { controller.OnUpdateData(); });
    EXPECT_THAT(Written(),
                ElementsAre("grid", "tail", "pods", "rings", "grid", "tail", "pods", "rings"));
    EXPECT_EQ(LogText(), logAfterFirst);
    ExpectBoxShowsLog();
    // And the auto-update tick that follows finds nothing to send.
    tx.ClearRecord();
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
}

// Each checked feature is sent; the Data Center gets the blocks that changed. When a write fails
// partway, the link drops its write handle, so every later report of the command fails too; the
// command shows one Write Error box however many of its reports failed, the Status box says the
// link is down, and the blocks are still logged. Interruptions are retried, a short write fails.
TEST(Controller, UpdateDataSendsTheCheckedFeatures) {
    struct Case {
        const char* name;
        std::vector<FeatureBox> boxes;
        std::string text;
        std::function<void(SimulatedTransmitter&)> fault;  // none: every write goes through
        Strings sent;
        bool failed;
        FeatureMask logged;
    };
    const std::vector<FeatureBox> gpr = {B::LedGrid, B::RgbPods, B::LedRings};
    const std::vector<FeatureBox> prt = {B::RgbPods, B::LedRings, B::ScrollingText};
    const auto failWrite = [](int n) {
        return [n](SimulatedTransmitter& tx) { tx.FailWriteNumber(n); };
    };
    const auto interrupt = [](int error) {
        return [error](SimulatedTransmitter& tx) { tx.InterruptWrites(3, error); };
    };
    const Strings all = {"grid", "tail", "pods", "rings"};
    const std::vector<Case> cases = {
        {"nothing checked", {}, "Hi", nullptr, {}, false, 0},
        {"text only", {B::ScrollingText}, "Hi", nullptr, {"text"}, false, 0},
        {"empty text is not sent", {B::ScrollingText}, "", nullptr, {}, false, 0},
        {"pods and text",
         {B::RgbPods, B::ScrollingText},
         "Hi",
         nullptr,
         {"pods", "text"},
         false,
         0x02},
        {"grid and rings",
         {B::LedGrid, B::LedRings},
         "",
         nullptr,
         {"grid", "tail", "rings"},
         false,
         0x05},
        {"grid report fails", gpr, "Hi", failWrite(1), {}, true, 0x07},
        {"tail fails", gpr, "Hi", failWrite(2), {"grid"}, true, 0x07},
        {"pod report fails", gpr, "Hi", failWrite(3), {"grid", "tail"}, true, 0x07},
        {"ring report fails", gpr, "Hi", failWrite(4), {"grid", "tail", "pods"}, true, 0x07},
        {"pods fail, text fails behind them", prt, "Hi", failWrite(1), {}, true, 0x06},
        {"text fails", prt, "Hi", failWrite(3), {"pods", "rings"}, true, 0x06},
        {"short write",
         gpr,
         "",
         [](SimulatedTransmitter& tx) { tx.ShortWrites(true); },
         {},
         true,
         0x07},
        {"signals are retried", gpr, "", interrupt(EINTR), all, false, 0x07},
        {"a device that would block is retried", gpr, "", interrupt(EAGAIN), all, false, 0x07},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.panel.SetCell(0, 1, true);
        r.panel.SetPodColor(0, 0xFFFFFF);
        r.panel.SetScrollText(c.text);
        for (FeatureBox box : c.boxes)
            r.panel.SetFeature(box, true);
        r.ConnectWithRf();
        if (c.fault)
            c.fault(r.tx);
        r.Sent([&] { r.controller.OnUpdateData(); });
        EXPECT_THAT(r.Written(), ElementsAreArray(c.sent));
        EXPECT_EQ(r.view.writeErrors, c.failed ? 1 : 0);
        EXPECT_EQ(r.controller.Link().IsConnected(), !c.failed);
        EXPECT_EQ(r.view.statusTexts.back(), c.failed ? kNotDetected : kDetected);
        EXPECT_EQ(r.Logged("LED_data[0]"), (c.logged & 0x01) != 0);
        EXPECT_EQ(r.Logged("RGB_data[0]   = 0xFF\r\n"), (c.logged & 0x02) != 0);
        EXPECT_EQ(r.Logged("ring_data[0]"), (c.logged & 0x04) != 0);
        if (!c.sent.empty() && c.sent.back() == "text") {
            const DeviceReport report = r.tx.WrittenReports().back();
            EXPECT_EQ(report[3], 'H');
            EXPECT_EQ(report[4], 'i');
            EXPECT_EQ(report[5], 0);
        }
    }
}

// The UI thread never waits for the device: with the device holding a write, every command
// returns at once. Update Data and the RF button are disabled while their own send is out (a
// click meanwhile does nothing), another command's reports go out behind it, and a tick leaves
// its changes to the first tick after the answer.
TEST_F(ControllerTest, CommandsReturnWhileTheDeviceHoldsAWrite) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    Sent([&] { controller.OnTimer(103); });  // the first look
    tx.ClearRecord();

    tx.StallWrites(true);
    controller.OnUpdateData();
    ASSERT_TRUE(testing::WaitUntil([&] { return tx.StalledWrites() == 1; }));
    EXPECT_EQ(controller.SendsInFlight(), 1);
    EXPECT_TRUE(view.busy.at(1038));
    controller.OnUpdateData();  // disabled: nothing
    panel.SetCell(4, 4, true);
    controller.OnTimer(103);  // a send is out: the change waits
    controller.OnRfMode();    // the RF button's own send queues behind
    EXPECT_TRUE(view.busy.at(1061));
    EXPECT_EQ(controller.SendsInFlight(), 2);
    view.RunPosted();
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());

    tx.StallWrites(false);
    Settle();
    EXPECT_FALSE(view.busy.at(1038));
    EXPECT_FALSE(view.busy.at(1061));
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods", "rings", "rf-off"));
    EXPECT_EQ(view.writeErrors, 0);
    controller.OnRfMode();  // RF on again
    Settle();
    tx.ClearRecord();
    Sent([&] { controller.OnTimer(103); });  // the waiting change goes out now
    EXPECT_THAT(Written(), ElementsAre("grid", "tail"));
    EXPECT_TRUE(Logged("LED_data[4]   = 0x010\r\n"));

    // Closing with a send out answers it without a box: the user ended the link.
    tx.StallWrites(true);
    controller.OnUpdateData();
    ASSERT_TRUE(testing::WaitUntil([&] { return tx.StalledWrites() == 1; }));
    controller.OnClose();
    Settle();
    EXPECT_EQ(view.writeErrors, 0);
    EXPECT_FALSE(view.busy.at(1038));
    tx.StallWrites(false);
}

// After a send failed or was given up, the program no longer knows what the display holds: the
// next send after reconnecting carries every ticked feature in full, while the Data Center still
// gets only what changed.
TEST_F(ControllerTest, AfterAFailedSendTheNextSendIsWhole) {
    CheckGridPodsRings();
    ConnectWithRf();
    Sent([&] { controller.OnTimer(103); });  // the first look
    panel.SetCell(0, 0, true);
    tx.FailWriteNumber(1);
    Sent([&] { controller.OnTimer(103); });
    ASSERT_FALSE(controller.Link().IsConnected());
    EXPECT_EQ(view.writeErrors, 1);

    controller.OnConnectTx();
    tx.ClearRecord();
    const std::size_t logged = LogText().size();
    panel.SetPodColor(3, 0x00FF00);
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods", "rings"));
    EXPECT_EQ(LogText().find("LED_data", logged), std::string::npos);
    EXPECT_NE(LogText().find("RGB_data", logged), std::string::npos);

    // Whole once: from then on only changes again.
    tx.ClearRecord();
    panel.SetRingOn(2, true);
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("rings"));
}

// ---------------------------------------------------------------- Save Sequence

TEST(Controller, SaveSequence) {
    struct Case {
        const char* name;
        std::vector<FeatureBox> boxes;
        Strings blocks;  // first line of each block, in order
    };
    const std::vector<Case> cases = {
        {"nothing checked", {}, {}},
        {"text only", {B::ScrollingText}, {}},
        {"rings only", {B::LedRings}, {"ring_data[0]"}},
        {"all three",
         {B::LedRings, B::LedGrid, B::RgbPods},
         {"LED_data[0]", "RGB_data[0]", "ring_data[0]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        for (FeatureBox box : c.boxes)
            r.panel.SetFeature(box, true);
        r.controller.OnSaveSequence();
        EXPECT_EQ(r.view.refreshes, static_cast<int>(c.blocks.size()));
        std::size_t at = 0;
        for (const std::string& first : c.blocks) {
            at = r.LogText().find(first, at);
            ASSERT_NE(at, std::string::npos) << first;
        }
        if (c.blocks.empty()) {
            EXPECT_EQ(r.LogText(), "");
        }
        EXPECT_THAT(r.tx.OpenedPaths(), IsEmpty());
    }
}

TEST_F(ControllerTest, SaveSequenceSendsNothingAndLeavesTrackingAlone) {
    Click(B::LedRings);
    ConnectWithRf();
    controller.OnSaveSequence();
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    // The sliders still count as changed for the first auto-update tick.
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("rings"));
    ExpectBoxShowsLog();
}

// ---------------------------------------------------------------- auto update

TEST_F(ControllerTest, TickWithoutLinkRefreshesSnapshotsSoTheChangeIsNotSentLater) {
    Click(B::LedGrid);
    Sent([&] { controller.OnRfMode(); });  // RF on without a link
    panel.SetCell(6, 6, true);
    controller.OnTimer(103);
    EXPECT_TRUE(Logged("LED_data[6]   = 0x040\r\n"));
    EXPECT_EQ(view.writeErrors, 1);  // the RF toggle's only: without a link the tick sends nothing
    const std::string log = LogText();

    controller.OnConnectTx();
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), log);
}

TEST_F(ControllerTest, AutoUpdateTickSendsAndLogsEachChangeOnce) {
    CheckGridPodsRings();
    ConnectWithRf();
    Sent([&] { controller.OnTimer(103); });  // first look: the sliders count as changed
    EXPECT_THAT(Written(), ElementsAre("rings"));
    tx.ClearRecord();

    panel.SetCell(0, 2, true);
    panel.SetPodColor(19, 0xFFFFFF);
    Sent([&] { controller.OnTimer(103); });
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods"));
    panel.SetScrollSpeed(3);
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods", "rings"));
    EXPECT_EQ(tx.WrittenReports().back()[27], 3);

    // The log: ring block, then grid and pod blocks, then the ring block again.
    const std::string& log = LogText();
    const std::size_t grid = log.find("LED_data[2]   = 0x001\r\n");
    const std::size_t pods = log.find("RGB_data[59] = 0xFF\r\n");
    ASSERT_NE(grid, std::string::npos);
    ASSERT_NE(pods, std::string::npos);
    EXPECT_LT(log.find("ring_data[0]"), grid);
    EXPECT_LT(grid, pods);
    EXPECT_LT(pods, log.rfind("ring_data[0]"));
    EXPECT_THAT(log, HasSubstr("LED_data[31] = 0x000\r\n\r\nRGB_data[0]   = 0x00\r\n"));
    EXPECT_EQ(view.refreshes, 4);
    ExpectBoxShowsLog();
}

TEST_F(ControllerTest, AutoUpdateBoxBeforeRfStartsNoTimer) {
    ClickAutoUpdate(true);
    EXPECT_FALSE(view.TimerRunning(103));
    controller.OnConnectTx();
    controller.OnRfMode();
    EXPECT_FALSE(view.TimerRunning(103));
    ClickAutoUpdate(false);
    EXPECT_FALSE(view.TimerRunning(103));
    ClickAutoUpdate(true);
    EXPECT_EQ(view.runningTimers.at(103), 100);
    ClickAutoUpdate(false);
    EXPECT_FALSE(view.TimerRunning(103));
    EXPECT_FALSE(view.TimerRunning(102));
}

TEST_F(ControllerTest, RfOffSilencesRunningTimerAndRfOnResumesIt) {
    Click(B::LedGrid);
    ConnectWithRf();
    ClickAutoUpdate(true);
    ASSERT_TRUE(view.TimerRunning(103));

    Sent([&] { controller.OnRfMode(); });  // off
    EXPECT_TRUE(view.TimerRunning(103));
    ClickAutoUpdate(false);  // RF off: the timer keeps running
    EXPECT_TRUE(view.TimerRunning(103));
    tx.ClearRecord();
    panel.SetCell(1, 1, true);
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");

    Sent([&] { controller.OnRfMode(); });  // on again: the timer's ticks send, box unchecked or not
    EXPECT_TRUE(view.TimerRunning(103));
    tx.ClearRecord();
    Sent([&] { controller.OnTimer(103); });
    EXPECT_THAT(Written(), ElementsAre("grid", "tail"));
    EXPECT_TRUE(Logged("LED_data[1]   = 0x002\r\n"));
}

// Auto Update's timer runs only while something may have changed, yet what goes out, and on
// which tick, is what a timer ticking every 100 ms since Auto Update was checked would send. Each
// script of edits runs twice on a clock the test moves: once firing the timers when the fake
// window has them due, once with a tick on every 100 ms beat whatever the timer's state.
TEST(AutoUpdateArming, SendsWhatAPollingTimerWouldOnTheSameTicks) {
    using Act = std::function<void(Rig&)>;
    const auto led = [](int cell) -> Act {
        return [cell](Rig& r) { r.controller.OnLedClicked(LedKind::GridCell, cell); };
    };
    const auto speed = [](int value) -> Act {
        return [value](Rig& r) { r.controller.OnSliderMoved(1048, value); };
    };
    const auto paint = [](bool held, int column) -> Act {
        return [=](Rig& r) {
            r.view.pointer = PointerOver(3, column, held);
            r.controller.OnPaintButtonsChanged(held);
        };
    };
    const Act rf = [](Rig& r) { r.controller.OnRfMode(); };
    const auto box = [](bool on) -> Act {
        return [on](Rig& r) { r.controller.OnFeatureBoxClicked(B::LedGrid, on); };
    };
    struct Case {
        const char* name;
        std::vector<std::pair<int, Act>> edits;  // at ms
        int armedTicks;                          // how often the armed timer fired
    };
    const std::vector<Case> cases = {
        {"one click, then nothing", {{30, led(5)}}, 2},
        {"a drag across beats",
         {{20, [](Rig& r) { r.controller.OnSliderPressed(); }},
          {30, speed(10)},
          {130, speed(8)},
          {250, speed(6)},
          {255, speed(4)},
          {370, speed(3)},
          {380, [](Rig& r) { r.controller.OnSliderReleased(); }}},
         5},
        {"a paint stroke",
         {{40, paint(true, 2)}, {140, paint(true, 9)}, {190, paint(false, 9)}},
         3},
        {"a pod coloured at the sampling tick",
         {{60, [](Rig& r) { r.controller.OnLedClicked(LedKind::Pod, 4); }}},
         2},
        {"undo and redo",
         {{30, led(1)},
          {260, [](Rig& r) { r.controller.Undo(); }},
          {410, [](Rig& r) { r.controller.Redo(); }}},
         6},
        {"a box ticked later is looked at", {{30, box(false)}, {50, led(7)}, {520, box(true)}}, 3},
        {"changes while RF mode is off go out once it is on again",
         {{40, led(2)}, {60, rf}, {140, led(3)}, {430, rf}},
         3},
        {"unchecked with RF mode off: the timer stays started",
         {{50, rf},
          {70, [](Rig& r) { r.controller.OnAutoUpdateClicked(false); }},
          {90, led(8)},
          {330, rf}},
         3},
    };
    constexpr int kUntilMs = 1000;
    using Sends = std::vector<std::pair<int, Strings>>;  // when, what
    const auto run = [&](const Case& c, bool polling, int& ticks) {
        Rig r;
        int now = 0;
        const auto origin = std::chrono::steady_clock::time_point(std::chrono::hours(1));
        r.controller.SetTickClock([&] { return origin + std::chrono::milliseconds(now); });
        r.panel.SetCurrentColor(0x00FF00);  // what a coloured pod takes
        r.CheckGridPodsRings();
        r.ConnectWithRf();
        r.Sent([&] { r.controller.OnTimer(103); });  // the sliders' first look, off the record
        std::map<int, int> due;  // the fake window's timers: id -> when each fires next
        std::size_t starts = r.view.timerStarts.size();
        const auto follow = [&](int fired) {
            if (fired != 0 && r.view.TimerRunning(fired))
                due[fired] = now + r.view.runningTimers.at(fired);
            for (; starts < r.view.timerStarts.size(); ++starts)  // a (re)start counts from now
                due[r.view.timerStarts[starts].first] = now + r.view.timerStarts[starts].second;
            std::erase_if(due, [&](const auto& d) { return !r.view.TimerRunning(d.first); });
        };
        r.ClickAutoUpdate(true);  // the beat starts now
        follow(0);
        Sends sends;
        // Each step is answered before the next, as the event loop runs answers between ticks.
        const auto step = [&](const std::function<void()>& act) {
            const std::uint64_t before = r.tx.WrittenTotal();
            r.Sent(act);
            std::uint64_t total = before;
            if (const auto sent = r.tx.WrittenSince(total); !sent.empty())
                sends.emplace_back(now, ReportKinds(sent));
        };
        std::size_t edit = 0;
        ticks = 0;
        for (; now <= kUntilMs; ++now) {
            for (; edit < c.edits.size() && c.edits[edit].first == now; ++edit) {
                step([&] { c.edits[edit].second(r); });
                follow(0);
            }
            if (due.contains(kSampleTimerId) && due[kSampleTimerId] == now) {
                r.controller.OnTimer(kSampleTimerId);
                follow(kSampleTimerId);
            }
            if (polling ? now % 100 == 0 && now > 0
                        : due.contains(kAutoUpdateTimerId) && due[kAutoUpdateTimerId] == now) {
                ++ticks;
                step([&] { r.controller.OnTimer(kAutoUpdateTimerId); });
                follow(kAutoUpdateTimerId);
            }
        }
        EXPECT_FALSE(!polling && r.view.TimerRunning(kAutoUpdateTimerId)) << "idle at the end";
        return std::make_pair(sends, r.LogText());
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int polled = 0;
        int armed = 0;
        const auto expected = run(c, true, polled);
        const auto actual = run(c, false, armed);
        EXPECT_FALSE(expected.first.empty());
        EXPECT_EQ(actual.first, expected.first);    // the same reports on the same ticks
        EXPECT_EQ(actual.second, expected.second);  // the same Data Center
        EXPECT_EQ(armed, c.armedTicks);
        EXPECT_EQ(polled, kUntilMs / 100);
    }
}

// ---------------------------------------------------------------- re-entrancy

// The "Write Error" box runs a nested event loop. By the time it shows, the failed send has been
// answered and the link is down, so ticks in there log without sending, Update Data says the
// transmitter is gone, painting runs, and nothing is left half done afterwards.
TEST_F(ControllerTest, TicksInsideTheWriteErrorBox) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    Sent([&] { controller.OnTimer(103); });  // absorb the first look
    tx.ClearRecord();
    int nested = 0;
    view.duringWriteError = [&] {
        ++nested;
        EXPECT_EQ(controller.SendsInFlight(), 0);
        EXPECT_FALSE(controller.Link().IsConnected());
        view.pointer = PointerOver(5, 7, true);
        controller.OnTimer(102);  // painting still runs
        controller.OnTimer(103);  // logs the painted cell, sends nothing
        controller.OnUpdateData();
    };
    panel.SetCell(2, 2, true);
    panel.SetPodColor(0, 0x00FF00);
    tx.FailWriteNumber(1);
    Sent([&] { controller.OnTimer(103); });

    EXPECT_EQ(nested, 1);  // one box for the tick's three reports
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(controller.SendsInFlight(), 0);
    EXPECT_TRUE(Logged("LED_data[2]   = 0x004\r\n"));
    EXPECT_TRUE(Logged("LED_data[7]   = 0x020\r\n"));
    ExpectBoxShowsLog();
    EXPECT_THAT(view.statusTexts, ElementsAre(kDetected, kNotDetected, kNotDetected));
}

TEST_F(ControllerTest, TickInsideWriteErrorBoxOfRfOff) {
    Click(B::LedGrid);
    Sent([&] { controller.OnRfMode(); });  // on, no link
    controller.OnTimer(103);
    view.writeErrors = 0;
    const std::string log = LogText();
    panel.SetCell(8, 8, true);
    view.duringWriteError = [&] { controller.OnTimer(103); };  // RF mode is already 0 here
    Sent([&] { controller.OnRfMode(); });
    EXPECT_EQ(view.writeErrors, 1);
    EXPECT_FALSE(panel.RfMode());
    EXPECT_EQ(LogText(), log);
}

// ---------------------------------------------------------------- cost

TEST_F(ControllerTest, NothingChangedTickAllocatesNothing) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    Sent([&] { controller.OnTimer(103); });
    tx.ClearRecord();

    const std::size_t before = testing::AllocationsOnThisThread();
    for (int i = 0; i < 100; ++i)
        controller.OnTimer(103);
    EXPECT_EQ(testing::AllocationsOnThisThread() - before, 0u);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
}

}  // namespace
}  // namespace velta
