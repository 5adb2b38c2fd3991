// The whole program headless: the controller driven through the entry points the window uses,
// a fake window, and the simulated transmitter at the far end of a real link.
#include "core/control_center_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "device/simulated_transmitter.h"
#include "grid/grid_transforms.h"
#include "grid/pointer_painting.h"
#include "tests/core/fake_view.h"

// Allocation counting for this thread only, so the link's reader thread cannot disturb it.
namespace {
thread_local std::size_t t_allocations = 0;
void* CountedAlloc(std::size_t size) {
    ++t_allocations;
    return std::malloc(size == 0 ? 1 : size);
}
// Kept out of line so the compiler never sees a malloc'd pointer meet free() through an inlined
// operator delete (which it would flag as a new/free mismatch).
[[gnu::noinline]] void CountedFree(void* p) noexcept {
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using velta::testing::FakeView;

constexpr std::string_view kSeparator = "\r\n\r\n";

// Client point in the middle of the painting band of cell (row, column).
PointerSample PointerOver(int row, int column, bool right, bool middle) {
    return PointerSample{104 + 18 * column + 9, 49 + 18 * row + 9, right, middle};
}

// Names the reports in the order written. A grid report is always followed by its tail, whose
// byte 1 is column data rather than a command.
std::vector<std::string> Kinds(const std::vector<DeviceReport>& reports) {
    std::vector<std::string> kinds;
    bool afterGrid = false;
    for (const DeviceReport& r : reports) {
        std::string kind;
        if (afterGrid) {
            kind = "tail";
        } else {
            switch (r[1]) {
                case 0x11:
                    kind = "grid";
                    break;
                case 0x12:
                    kind = "pods";
                    break;
                case 0x13:
                    kind = "rings";
                    break;
                case 0x14:
                    kind = "text";
                    break;
                case 0xF0:
                    kind = "rf-on";
                    break;
                case 0xF1:
                    kind = "rf-off";
                    break;
                default:
                    kind = "?";
                    break;
            }
        }
        afterGrid = kind == "grid";
        kinds.push_back(kind);
    }
    return kinds;
}

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override { controller.OnInitDialog(); }

    // Check boxes toggle their field first, then the window calls the handler.
    void ClickFeature(FeatureBox box, bool checked) {
        panel.SetFeature(box, checked);
        switch (box) {
            case FeatureBox::LedGrid:
                controller.OnLedGrid();
                break;
            case FeatureBox::LedRings:
                controller.OnLedRings();
                break;
            case FeatureBox::ScrollingText:
                controller.OnScrollingText();
                break;
            default:
                break;  // "RGB Pods" has no handler
        }
    }
    void ClickAutoUpdate(bool checked) {
        panel.SetAutoUpdate(checked);
        controller.OnAutoUpdate();
    }
    void CheckGridPodsRings() {
        ClickFeature(FeatureBox::LedGrid, true);
        ClickFeature(FeatureBox::RgbPods, true);
        ClickFeature(FeatureBox::LedRings, true);
    }
    // Connect Tx, then Activate RF Mode; forgets the RF-on report.
    void ConnectWithRf() {
        controller.OnConnectTx();
        ASSERT_TRUE(controller.Link().IsConnected());
        controller.OnRfMode();
        ASSERT_EQ(panel.RfMode(), 1);
        tx.ClearRecord();
    }
    std::vector<std::string> Written() const { return Kinds(tx.WrittenReports()); }
    const std::string& LogText() const { return controller.Log().Text(); }
    // The box must show exactly the log without the separator that the next refresh brings.
    void ExpectBoxShowsLog() const {
        EXPECT_TRUE(view.refreshesContiguous);
        if (LogText().empty()) {
            EXPECT_EQ(view.shown, "");
            return;
        }
        ASSERT_GE(LogText().size(), kSeparator.size());
        EXPECT_EQ(view.shown + std::string(kSeparator), LogText());
    }

    SimulatedTransmitter tx;
    FakeView view;
    ControlCenterController controller{tx, view};
    PanelState& panel = controller.Panel();
};

// ---------------------------------------------------------------- start-up and simple handlers

TEST_F(ControllerTest, StartUpDefaults) {
    EXPECT_EQ(panel.GetFillMode(), FillMode::AllOff);
    EXPECT_THAT(view.timerStarts, ElementsAre(std::pair{102, 10}));
    EXPECT_EQ(panel.GridBrightness(), 15);
    EXPECT_EQ(panel.ScrollSpeed(), 15);
    EXPECT_EQ(panel.RingLevel(), 4095);
    EXPECT_EQ(panel.RfMode(), 0);
    EXPECT_FALSE(controller.Link().IsConnected());
    EXPECT_EQ(view.caption, "Activate RF Mode");
    EXPECT_THAT(view.statusTexts, IsEmpty());
    EXPECT_THAT(tx.OpenedPaths(), IsEmpty());
    EXPECT_EQ(panel.BuildFeatureMask(true), 0u);
}

TEST_F(ControllerTest, CheckBoxRules) {
    struct Case {
        const char* name;
        std::vector<std::pair<FeatureBox, bool>> clicks;
        FeatureMask expected;  // with the text bit
    };
    const std::vector<Case> cases = {
        {"rings on checks both brightness boxes", {{FeatureBox::LedRings, true}}, 0x1C},
        {"rings off unchecks both",
         {{FeatureBox::LedRings, true}, {FeatureBox::LedRings, false}},
         0x00},
        {"grid unchecks text",
         {{FeatureBox::ScrollingText, true}, {FeatureBox::LedGrid, true}},
         0x01},
        {"text unchecks grid",
         {{FeatureBox::LedGrid, true}, {FeatureBox::ScrollingText, true}},
         0x40},
        {"unchecking text leaves both unchecked",
         {{FeatureBox::LedGrid, true},
          {FeatureBox::ScrollingText, true},
          {FeatureBox::ScrollingText, false}},
         0x00},
        {"pods untouched by the others",
         {{FeatureBox::RgbPods, true},
          {FeatureBox::LedGrid, true},
          {FeatureBox::LedRings, true},
          {FeatureBox::LedRings, false}},
         0x03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (FeatureBox box :
             {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings,
              FeatureBox::GridBrightness, FeatureBox::RingBrightness, FeatureBox::ScrollingText}) {
            panel.SetFeature(box, false);
        }
        for (const auto& [box, checked] : c.clicks)
            ClickFeature(box, checked);
        EXPECT_EQ(panel.BuildFeatureMask(true), c.expected);
    }
}

TEST_F(ControllerTest, ColourBoxLosingFocusSetsCurrentColour) {
    view.picked = MakeColor(0x12, 0x34, 0x56);
    controller.OnColorKillFocus();
    EXPECT_EQ(panel.CurrentColor(), 0x563412u);
}

TEST_F(ControllerTest, SampleTickPaintsErasesAndColoursMarkedPods) {
    view.pointer = PointerOver(2, 5, /*right=*/true, /*middle=*/false);
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

TEST_F(ControllerTest, UnknownTimerIdDoesNothing) {
    ConnectWithRf();
    ClickAutoUpdate(true);
    CheckGridPodsRings();
    view.pointer = PointerOver(0, 0, true, false);
    controller.OnTimer(104);
    controller.OnTimer(0);
    EXPECT_FALSE(panel.Cell(0, 0));
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
}

// Each command reaches its own grid operation: compared with the operation run directly on a
// second panel holding the same lopsided picture.
TEST_F(ControllerTest, GridCommandsReachTheirOperations) {
    struct Case {
        GridCommand command;
        void (*operation)(PanelState&);
    };
    const std::vector<Case> cases = {
        {GridCommand::SelectAll, SelectAll},
        {GridCommand::DeselectAll, DeselectAll},
        {GridCommand::ShiftLeft, ShiftLeft},
        {GridCommand::ShiftRight, ShiftRight},
        {GridCommand::ShiftUp, ShiftUp},
        {GridCommand::ShiftDown, ShiftDown},
        {GridCommand::ShiftInwards, ShiftInwards},
        {GridCommand::ShiftOutwards, ShiftOutwards},
        {GridCommand::ShiftDownwards, ShiftDownwards},
        {GridCommand::ShiftUpwards, ShiftUpwards},
        {GridCommand::InvertGrid, InvertGrid},
        {GridCommand::ColorAllPods, ColorAllPods},
    };
    const auto draw = [](PanelState& p) {
        for (const auto& [row, column] : std::vector<std::pair<int, int>>{
                 {0, 0}, {1, 3}, {4, 17}, {7, 30}, {10, 12}, {11, 31}}) {
            p.SetCell(row, column, true);
        }
        p.SetCurrentColor(0x00AA55);
        p.SetFillMode(FillMode::AllOn);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        ControlCenterController fresh{tx, view};
        PanelState reference;
        draw(fresh.Panel());
        draw(reference);
        fresh.OnGridCommand(c.command);
        c.operation(reference);
        for (int i = 0; i < kCellCount; ++i)
            ASSERT_EQ(fresh.Panel().Cell(i), reference.Cell(i)) << i;
        for (int pod = 0; pod < kPodCount; ++pod) {
            EXPECT_EQ(fresh.Panel().PodColor(pod), reference.PodColor(pod));
            EXPECT_EQ(fresh.Panel().PodMark(pod), reference.PodMark(pod));
        }
    }
}

// ---------------------------------------------------------------- Connect Tx and the link

TEST_F(ControllerTest, ConnectTx) {
    struct Case {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        bool connected;
        const char* status;
    };
    const HidInterfaceInfo mouse{"sim:mouse", 0x046D, 0xC077};
    const HidInterfaceInfo otherProduct{"sim:other", 0x04D8, 0x0040};
    const std::vector<Case> cases = {
        {"transmitter present",
         {SimulatedTransmitter::TransmitterInterface()},
         true,
         "Device Detected - 0x00"},
        {"transmitter after other devices",
         {mouse, otherProduct, SimulatedTransmitter::TransmitterInterface("sim:tx")},
         true,
         "Device Detected - 0x00"},
        {"no devices", {}, false, "Device Not Detected - 0xF1"},
        {"only other devices", {mouse, otherProduct}, false, "Device Not Detected - 0xF1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        sim.SetInterfaces(c.interfaces);
        FakeView v;
        ControlCenterController cc{sim, v};
        cc.OnInitDialog();
        cc.OnConnectTx();
        EXPECT_EQ(cc.Link().IsConnected(), c.connected);
        EXPECT_THAT(v.statusTexts, ElementsAre(c.status));
        if (!c.connected) {
            EXPECT_EQ(sim.OpenHandleCount(), 0);
        }
    }
}

TEST_F(ControllerTest, ConnectTxWhileConnectedMakesNoNewSearch) {
    controller.OnConnectTx();
    const auto opened = tx.OpenedPaths();
    ASSERT_EQ(opened.size(), 2u);  // write handle and read handle
    controller.OnConnectTx();
    EXPECT_EQ(tx.OpenedPaths(), opened);
    EXPECT_THAT(view.statusTexts, ElementsAre("Device Detected - 0x00", "Device Detected - 0x00"));
}

TEST_F(ControllerTest, ReadErrorThenConnectTxOpensAnew) {
    controller.OnConnectTx();
    tx.Unplug();
    ASSERT_TRUE(view.WaitForPosted(1));
    view.RunPosted();
    EXPECT_EQ(view.LastStatus(), "Read Error - 0xA0");
    EXPECT_FALSE(controller.Link().IsConnected());

    tx.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});  // plugged back in
    controller.OnConnectTx();
    EXPECT_TRUE(controller.Link().IsConnected());
    EXPECT_EQ(view.LastStatus(), "Device Detected - 0x00");
    EXPECT_EQ(tx.OpenedPaths().size(), 4u);
    EXPECT_EQ(tx.OpenHandleCount(), 2);  // the old write handle was closed before the search

    controller.OnRfMode();
    EXPECT_THAT(Written(), ElementsAre("rf-on"));
    EXPECT_EQ(view.writeErrors, 0);
}

TEST_F(ControllerTest, CloseEndsTheLink) {
    controller.OnConnectTx();
    controller.OnClose();
    EXPECT_FALSE(controller.Link().IsConnected());
    EXPECT_EQ(tx.OpenHandleCount(), 0);
    view.RunPosted();
    EXPECT_THAT(view.statusTexts, ElementsAre("Device Detected - 0x00"));  // no read error

    ControlCenterController neverOpened{tx, view};
    neverOpened.OnInitDialog();
    neverOpened.OnClose();
    EXPECT_EQ(tx.OpenHandleCount(), 0);
}

// ---------------------------------------------------------------- RF mode

TEST_F(ControllerTest, RfToggleWritesAndFlipsCaption) {
    controller.OnConnectTx();
    controller.OnRfMode();
    EXPECT_EQ(panel.RfMode(), 1);
    EXPECT_EQ(view.caption, "Disable RF Mode");
    controller.OnRfMode();
    EXPECT_EQ(panel.RfMode(), 0);
    EXPECT_EQ(view.caption, "Activate RF Mode");
    EXPECT_THAT(Written(), ElementsAre("rf-on", "rf-off"));
    EXPECT_EQ(view.writeErrors, 0);
    EXPECT_THAT(view.timerStarts, ElementsAre(std::pair{102, 10}));  // no auto-update timer
}

TEST_F(ControllerTest, RfToggleWithoutLinkReportsAndTogglesAnyway) {
    controller.OnRfMode();
    EXPECT_EQ(view.writeErrors, 1);
    EXPECT_EQ(panel.RfMode(), 1);
    EXPECT_EQ(view.caption, "Disable RF Mode");
    controller.OnRfMode();
    EXPECT_EQ(view.writeErrors, 2);
    EXPECT_EQ(panel.RfMode(), 0);
    EXPECT_EQ(view.caption, "Activate RF Mode");
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
}

// ---------------------------------------------------------------- Update Data

TEST_F(ControllerTest, UpdateDataWithRfOffDoesNothing) {
    controller.OnConnectTx();
    CheckGridPodsRings();
    panel.SetCell(0, 0, true);
    tx.ClearRecord();
    const auto statusBefore = view.statusTexts;
    controller.OnUpdateData();
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(view.statusTexts, statusBefore);
}

TEST_F(ControllerTest, UpdateDataWithoutLinkShowsNotDetectedAndLeavesTrackingAlone) {
    CheckGridPodsRings();
    controller.OnRfMode();  // no link: reported, but RF mode is on
    view.writeErrors = 0;
    controller.OnUpdateData();
    EXPECT_THAT(view.statusTexts, ElementsAre("Device Not Detected - 0xF1"));
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(view.writeErrors, 0);

    // Had change tracking run, the sliders would no longer count as changed.
    controller.OnTimer(103);
    EXPECT_THAT(LogText(), HasSubstr("ring_data[0]"));
}

// Hand-written: ring 1 on at level 0xABC; grid empty and pods black, so only the ring block is
// logged although all three reports go out.
TEST_F(ControllerTest, StartUpUpdateDataLogsOnlyTheRingBlock) {
    CheckGridPodsRings();
    panel.SetRingOn(1, true);
    panel.SetRingLevel(0xABC);
    ConnectWithRf();
    controller.OnUpdateData();

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
    controller.OnUpdateData();
    const std::string logAfterFirst = LogText();
    controller.OnUpdateData();
    EXPECT_THAT(Written(),
                ElementsAre("grid", "tail", "pods", "rings", "grid", "tail", "pods", "rings"));
    EXPECT_EQ(LogText(), logAfterFirst);
    ExpectBoxShowsLog();
    // And the auto-update tick that follows finds nothing to send.
    tx.ClearRecord();
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
}

TEST_F(ControllerTest, UpdateDataFeatureSelections) {
    struct Case {
        const char* name;
        std::vector<FeatureBox> boxes;
        std::string text;
        std::vector<std::string> sent;
        bool logsGrid, logsPods, logsRings;
    };
    const std::vector<Case> cases = {
        {"nothing checked", {}, "", {}, false, false, false},
        {"text only", {FeatureBox::ScrollingText}, "Hi", {"text"}, false, false, false},
        {"empty text is not sent", {FeatureBox::ScrollingText}, "", {}, false, false, false},
        {"pods and text",
         {FeatureBox::RgbPods, FeatureBox::ScrollingText},
         "Hi",
         {"pods", "text"},
         false,
         true,
         false},
        {"grid and rings",
         {FeatureBox::LedGrid, FeatureBox::LedRings},
         "",
         {"grid", "tail", "rings"},
         true,
         false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        FakeView v;
        ControlCenterController cc{sim, v};
        cc.OnInitDialog();
        PanelState& p = cc.Panel();
        p.SetCell(5, 5, true);
        p.SetPodColor(3, 0x0000FF);
        p.SetScrollText(c.text);
        for (FeatureBox box : c.boxes)
            p.SetFeature(box, true);
        cc.OnConnectTx();
        cc.OnRfMode();
        sim.ClearRecord();
        cc.OnUpdateData();
        EXPECT_THAT(Kinds(sim.WrittenReports()), ElementsAreArray(c.sent));
        const std::string& log = cc.Log().Text();
        EXPECT_EQ(log.find("LED_data[0]") != std::string::npos, c.logsGrid);
        EXPECT_EQ(log.find("RGB_data[0]") != std::string::npos, c.logsPods);
        EXPECT_EQ(log.find("ring_data[0]") != std::string::npos, c.logsRings);
        if (c.sent == std::vector<std::string>{"text"}) {
            const DeviceReport r = sim.WrittenReports()[0];
            EXPECT_EQ(r[3], 'H');
            EXPECT_EQ(r[4], 'i');
            EXPECT_EQ(r[5], 0);
        }
    }
}

// A write fails partway through Update Data: the link drops its write handle, so every later
// report of the command fails and reports again; the text report checks the link and is skipped;
// the Data Center still gets the changed blocks.
TEST_F(ControllerTest, WriteFailureDuringUpdateData) {
    struct Case {
        const char* name;
        std::vector<FeatureBox> boxes;
        int failingWrite;
        std::vector<std::string> accepted;
        int writeErrors;
    };
    const std::vector<FeatureBox> gpr = {FeatureBox::LedGrid, FeatureBox::RgbPods,
                                         FeatureBox::LedRings};
    const std::vector<FeatureBox> prt = {FeatureBox::RgbPods, FeatureBox::LedRings,
                                         FeatureBox::ScrollingText};
    const std::vector<Case> cases = {
        {"grid report fails", gpr, 1, {}, 4},
        {"tail fails", gpr, 2, {"grid"}, 3},
        {"pod report fails", gpr, 3, {"grid", "tail"}, 2},
        {"ring report fails", gpr, 4, {"grid", "tail", "pods"}, 1},
        {"pods fail, text skipped", prt, 1, {}, 2},
        {"text fails", prt, 3, {"pods", "rings"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        FakeView v;
        ControlCenterController cc{sim, v};
        cc.OnInitDialog();
        PanelState& p = cc.Panel();
        p.SetCell(0, 1, true);
        p.SetPodColor(0, 0xFFFFFF);
        p.SetScrollText("Hi");
        for (FeatureBox box : c.boxes)
            p.SetFeature(box, true);
        cc.OnConnectTx();
        cc.OnRfMode();
        sim.ClearRecord();
        sim.FailWriteNumber(c.failingWrite);
        cc.OnUpdateData();
        EXPECT_THAT(Kinds(sim.WrittenReports()), ElementsAreArray(c.accepted));
        EXPECT_EQ(v.writeErrors, c.writeErrors);
        EXPECT_FALSE(cc.Link().IsConnected());
        const std::string& log = cc.Log().Text();
        EXPECT_THAT(log, HasSubstr("RGB_data[0]   = 0xFF\r\n"));
        EXPECT_THAT(log, HasSubstr("ring_data[0]"));
        EXPECT_EQ(log.find("LED_data[") != std::string::npos, p.Feature(FeatureBox::LedGrid));
    }
}

// ---------------------------------------------------------------- Save Sequence

TEST_F(ControllerTest, SaveSequence) {
    struct Case {
        const char* name;
        std::vector<FeatureBox> boxes;
        std::vector<std::string> blocks;  // first line of each block, in order
    };
    const std::vector<Case> cases = {
        {"nothing checked", {}, {}},
        {"text only", {FeatureBox::ScrollingText}, {}},
        {"rings only", {FeatureBox::LedRings}, {"ring_data[0]"}},
        {"all three",
         {FeatureBox::LedRings, FeatureBox::LedGrid, FeatureBox::RgbPods},
         {"LED_data[0]", "RGB_data[0]", "ring_data[0]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        FakeView v;
        ControlCenterController cc{sim, v};
        cc.OnInitDialog();
        for (FeatureBox box : c.boxes)
            cc.Panel().SetFeature(box, true);
        cc.OnSaveSequence();
        const std::string& log = cc.Log().Text();
        EXPECT_EQ(v.refreshes, static_cast<int>(c.blocks.size()));
        std::size_t at = 0;
        for (const std::string& first : c.blocks) {
            const std::size_t found = log.find(first, at);
            ASSERT_NE(found, std::string::npos) << first;
            at = found;
        }
        if (c.blocks.empty()) {
            EXPECT_EQ(log, "");
        }
        EXPECT_THAT(sim.OpenedPaths(), IsEmpty());
    }
}

TEST_F(ControllerTest, SaveSequenceSendsNothingAndLeavesTrackingAlone) {
    ClickFeature(FeatureBox::LedRings, true);
    ConnectWithRf();
    controller.OnSaveSequence();
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    // The sliders still count as changed for the first auto-update tick.
    controller.OnTimer(103);
    EXPECT_THAT(Written(), ElementsAre("rings"));
    ExpectBoxShowsLog();
}

// ---------------------------------------------------------------- auto update

TEST_F(ControllerTest, AutoUpdateTickByState) {
    struct Case {
        const char* name;
        bool connect;
        bool rf;
        bool change;
        std::vector<std::string> sent;
        bool appends;
    };
    const std::vector<Case> cases = {
        {"rf off", true, false, true, {}, false},
        {"rf on, no link", false, true, true, {}, true},
        {"rf on, connected", true, true, true, {"grid", "tail"}, true},
        {"rf on, connected, nothing changed", true, true, false, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        FakeView v;
        ControlCenterController cc{sim, v};
        cc.OnInitDialog();
        cc.Panel().SetFeature(FeatureBox::LedGrid, true);
        if (c.connect)
            cc.OnConnectTx();
        if (c.rf)
            cc.OnRfMode();
        sim.ClearRecord();
        if (c.change)
            cc.Panel().SetCell(11, 31, true);
        const std::size_t before = cc.Log().Text().size();
        cc.OnTimer(103);
        EXPECT_THAT(Kinds(sim.WrittenReports()), ElementsAreArray(c.sent));
        EXPECT_EQ(cc.Log().Text().size() > before, c.appends);
        if (c.appends) {
            EXPECT_THAT(cc.Log().Text(), HasSubstr("LED_data[31] = 0x800\r\n\r\n"));
        }
    }
}

TEST_F(ControllerTest, TickWithoutLinkRefreshesSnapshotsSoTheChangeIsNotSentLater) {
    ClickFeature(FeatureBox::LedGrid, true);
    controller.OnRfMode();  // RF on without a link
    panel.SetCell(6, 6, true);
    controller.OnTimer(103);
    EXPECT_THAT(LogText(), HasSubstr("LED_data[6]   = 0x040\r\n"));
    const std::string log = LogText();

    controller.OnConnectTx();
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), log);
}

TEST_F(ControllerTest, AutoUpdateTickSendsAndLogsEachChangeOnce) {
    CheckGridPodsRings();
    ConnectWithRf();
    controller.OnTimer(103);  // first look: the sliders count as changed
    EXPECT_THAT(Written(), ElementsAre("rings"));
    tx.ClearRecord();

    panel.SetCell(0, 2, true);
    panel.SetPodColor(19, 0xFFFFFF);
    controller.OnTimer(103);
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods"));
    controller.OnTimer(103);
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods"));

    panel.SetScrollSpeed(3);
    controller.OnTimer(103);
    EXPECT_THAT(Written(), ElementsAre("grid", "tail", "pods", "rings"));
    EXPECT_EQ(tx.WrittenReports().back()[27], 3);

    // The log: ring block, then grid and pod blocks, then the ring block again.
    const std::string& log = LogText();
    const std::size_t grid = log.find("LED_data[2]   = 0x001\r\n");
    const std::size_t pods = log.find("RGB_data[59] = 0xFF\r\n");
    const std::size_t rings2 = log.rfind("ring_data[0]");
    ASSERT_NE(grid, std::string::npos);
    ASSERT_NE(pods, std::string::npos);
    EXPECT_LT(log.find("ring_data[0]"), grid);
    EXPECT_LT(grid, pods);
    EXPECT_LT(pods, rings2);
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
    EXPECT_TRUE(view.TimerRunning(103));
    EXPECT_EQ(view.runningTimers.at(103), 100);
    ClickAutoUpdate(false);
    EXPECT_FALSE(view.TimerRunning(103));
    EXPECT_TRUE(view.TimerRunning(102));
}

TEST_F(ControllerTest, RfOffSilencesRunningTimerAndRfOnResumesIt) {
    ClickFeature(FeatureBox::LedGrid, true);
    ConnectWithRf();
    ClickAutoUpdate(true);
    ASSERT_TRUE(view.TimerRunning(103));

    controller.OnRfMode();  // off
    EXPECT_TRUE(view.TimerRunning(103));
    ClickAutoUpdate(false);  // RF off: the timer keeps running
    EXPECT_TRUE(view.TimerRunning(103));
    tx.ClearRecord();
    panel.SetCell(1, 1, true);
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), "");

    controller.OnRfMode();  // on again: the running timer's ticks send, box unchecked or not
    tx.ClearRecord();
    controller.OnTimer(103);
    EXPECT_THAT(Written(), ElementsAre("grid", "tail"));
    EXPECT_THAT(LogText(), HasSubstr("LED_data[1]   = 0x002\r\n"));
}

// ---------------------------------------------------------------- re-entrancy

// The "Write Error" box runs a nested event loop; ticks arriving there must not interleave a
// second send or a second export with the command in progress.
TEST_F(ControllerTest, TicksInsideWriteErrorBoxDuringUpdateData) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    panel.SetCell(0, 0, true);
    int nested = 0;
    view.duringWriteError = [&] {
        ++nested;
        EXPECT_TRUE(controller.Busy());
        const std::size_t logBefore = LogText().size();
        const std::size_t sentBefore = tx.WrittenReports().size();
        view.pointer = PointerOver(4, 9, true, false);
        controller.OnTimer(102);  // painting still runs
        controller.OnTimer(103);
        controller.OnTimer(103);
        EXPECT_EQ(LogText().size(), logBefore);
        EXPECT_EQ(tx.WrittenReports().size(), sentBefore);
    };
    tx.FailWriteNumber(3);  // the pod report
    controller.OnUpdateData();

    EXPECT_EQ(nested, 2);  // pods and rings
    EXPECT_FALSE(controller.Busy());
    EXPECT_THAT(Written(), ElementsAre("grid", "tail"));
    // One export, taken after the sends: it includes the cell painted inside the box.
    EXPECT_EQ(view.refreshes, 2);  // grid and rings
    EXPECT_THAT(LogText(), HasSubstr("LED_data[0]   = 0x001\r\n"));
    EXPECT_THAT(LogText(), HasSubstr("LED_data[9]   = 0x010\r\n"));
    ExpectBoxShowsLog();

    // Tracking stayed consistent: reconnect and the next tick has nothing to do.
    view.duringWriteError = nullptr;
    controller.OnConnectTx();
    tx.ClearRecord();
    const std::string log = LogText();
    view.pointer = PointerSample{};
    controller.OnTimer(103);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(LogText(), log);
}

TEST_F(ControllerTest, TicksInsideWriteErrorBoxDuringAutoUpdateTick) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    controller.OnTimer(103);  // absorb the first look
    tx.ClearRecord();
    const std::size_t refreshesBefore = static_cast<std::size_t>(view.refreshes);

    view.duringWriteError = [&] {
        // The user keeps painting while the box is up; the tick after the paint must still wait.
        view.pointer = PointerOver(5, 7, true, false);
        controller.OnTimer(102);
        controller.OnTimer(103);
        controller.OnUpdateData();  // can't be clicked under a modal box, but must be harmless
    };
    panel.SetCell(2, 2, true);
    panel.SetPodColor(0, 0x00FF00);
    tx.FailWriteNumber(1);
    controller.OnTimer(103);

    EXPECT_EQ(view.writeErrors, 3);  // grid, tail, pods: each failing write once
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
    EXPECT_EQ(static_cast<std::size_t>(view.refreshes), refreshesBefore + 2);
    ExpectBoxShowsLog();
    EXPECT_FALSE(controller.Busy());
    EXPECT_THAT(view.statusTexts, ElementsAre("Device Detected - 0x00"));

    // Not connected now; the guard is released, so a later change is logged by the next tick.
    view.duringWriteError = nullptr;
    view.pointer = PointerSample{};
    panel.SetCell(3, 3, true);
    controller.OnTimer(103);
    EXPECT_THAT(LogText(), HasSubstr("LED_data[3]   = 0x008\r\n"));
    EXPECT_THAT(LogText(), HasSubstr("LED_data[7]   = 0x020\r\n"));
}

TEST_F(ControllerTest, TickInsideWriteErrorBoxOfRfOff) {
    ClickFeature(FeatureBox::LedGrid, true);
    controller.OnRfMode();  // on, no link
    controller.OnTimer(103);
    view.writeErrors = 0;
    const std::string log = LogText();
    panel.SetCell(8, 8, true);
    view.duringWriteError = [&] { controller.OnTimer(103); };  // RF mode is still 1 here
    controller.OnRfMode();
    EXPECT_EQ(view.writeErrors, 1);
    EXPECT_EQ(panel.RfMode(), 0);
    EXPECT_EQ(LogText(), log);
}

// ---------------------------------------------------------------- cost

TEST_F(ControllerTest, NothingChangedTickAllocatesNothing) {
    CheckGridPodsRings();
    ConnectWithRf();
    ClickAutoUpdate(true);
    controller.OnTimer(103);
    tx.ClearRecord();

    const std::size_t before = t_allocations;
    for (int i = 0; i < 100; ++i)
        controller.OnTimer(103);
    EXPECT_EQ(t_allocations - before, 0u);
    EXPECT_THAT(tx.WrittenReports(), IsEmpty());
}

}  // namespace
}  // namespace velta
