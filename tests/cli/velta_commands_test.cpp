// velta list, send, datacenter, decode and fixture end to end, in-process: design files on disk,
// the simulated transmitter behind the real link, and what the window's controller does with the
// same design as the reference.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/console_view.h"
#include "control/control_center_controller.h"
#include "device/link_diagnostics.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"
#include "model/design_file.h"
#include "net/fixture_file.h"
#include "tests/cli/velta_rig.h"
#include "tests/support/fifo_guard.h"

namespace velta::cli {
namespace {

using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// Cells (0,0) and (11,31) lit, two pods coloured, rings 0 and 11 on; grid, pods and rings ticked.
const std::string kParty = R"({
  "format": "velta-design", "version": 1,
  "grid": [
    "#...............................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "...............................#"
  ],
  "pods": ["#FF8001", "#000000", "#000000", "#000000", "#000000", "#000000", "#000000",
           "#000000", "#000000", "#000000", "#000000", "#000000", "#000000", "#000000",
           "#000000", "#000000", "#000000", "#000000", "#000000", "#0000AB"],
  "rings": "#..........#", "ringLevel": 1000, "gridBrightness": 9, "scrollSpeed": 4,
  "text": "Hi \"1\"", "features": ["grid", "pods", "rings"], "fillMode": "copy"
})";
const std::string kTextOnly =
    R"({"format": "velta-design", "version": 1, "text": "Hello", "features": ["text"]})";
const std::string kBlank = R"({"format": "velta-design", "version": 1})";

// A design file in the test's temporary directory, named `name`.
std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = ::testing::TempDir() + "velta_cli_" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// "HEX  description" -> description
Strings Descriptions(const Strings& lines) {
    Strings out;
    for (const std::string& line : lines)
        out.push_back(line.size() > 196 ? line.substr(196) : "<short line: " + line + ">");
    return out;
}

Strings HexColumn(const Strings& lines) {
    Strings out;
    for (const std::string& line : lines)
        out.push_back(line.substr(0, 194));
    return out;
}

Strings FormatAll(const std::vector<DeviceReport>& reports) {
    Strings out;
    for (const DeviceReport& report : reports)
        out.push_back(FormatReportHex(report));
    return out;
}

const std::string kRings = "rings, speed 4, brightness 9";

struct SendCase {
    const char* name;
    std::string design;
    Strings features;  // extra arguments
    Strings described;
};

class SendTest : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendTest, SendsWhatUpdateDataSendsAndDescribesEachReport) {
    const SendCase& c = GetParam();
    Rig rig;
    Strings args = {"send", WriteFile(std::string(c.name) + ".velta", c.design), "--simulate"};
    args.insert(args.end(), c.features.begin(), c.features.end());
    const Outcome run = rig.Velta(args);
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_THAT(run.err, IsEmpty());
    EXPECT_THAT(Descriptions(run.out), ElementsAreArray(c.described));
    // The hex column is exactly what the transmitter took.
    EXPECT_THAT(HexColumn(run.out), ElementsAreArray(FormatAll(rig.simulated.WrittenReports())));
    EXPECT_EQ(rig.devicesMade, 0);
    EXPECT_EQ(rig.simulated.OpenHandleCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Designs, SendTest,
    ::testing::Values(
        SendCase{"DesignFeatures",
                 kParty,
                 {},
                 {"RF on", "grid, columns 0-30", "grid tail, column 31", "pods", kRings}},
        SendCase{"OverrideTextAndRings",
                 kParty,
                 {"--features", "text,rings"},
                 {"RF on", kRings, "text \"Hi \\\"1\\\"\" (6 bytes)"}},
        SendCase{"OverridePodsOnly", kParty, {"--features=pods"}, {"RF on", "pods"}},
        SendCase{"RepeatedName", kParty, {"--features", "pods,pods"}, {"RF on", "pods"}},
        SendCase{"TextDesign", kTextOnly, {}, {"RF on", "text \"Hello\" (5 bytes)"}},
        SendCase{"OverrideTextDesignWithGrid",
                 kTextOnly,
                 {"--features", "grid"},
                 {"RF on", "grid, columns 0-30", "grid tail, column 31"}},
        // Nothing ticked: RF goes on and Update Data has nothing to send.
        SendCase{"NothingTicked", kBlank, {}, {"RF on"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A text the display can't show as given is named on stderr, the same way whichever command
// sends it; a text that is not sent (its box unticked) draws no warning.
TEST(SendTest, SendAndTextWarnAlikeAboutTheTextTheySend) {
    const std::string k70(70, 'x');
    const struct {
        const char* name;
        std::string text;  // JSON-escaped where needed
        std::string features;
        Strings warnings;
    } cases[] = {
        {"fits", "Hello", "text", {}},
        {"replaced",
         "\\u03a9 ok",
         "text",
         {"velta: warning: sent as \"?\" (no Windows-1252 byte): U+03A9 \"\xCE\xA9\""}},
        {"cut",
         k70,
         "text",
         {"velta: warning: the text takes 70 bytes; only the first 62 are sent, cut: "
          "\"xxxxxxxx\""}},
        {"not sent", k70, "grid", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string design = R"({"format": "velta-design", "version": 1, "text": ")" +
                                   c.text + R"(", "features": [")" + c.features + R"("]})";
        Rig rig;
        const Outcome send =
            rig.Velta({"send", WriteFile(std::string(c.name) + ".velta", design), "--simulate"});
        EXPECT_EQ(send.code, kExitOk);
        EXPECT_THAT(send.err, ElementsAreArray(c.warnings));
        if (c.features == "text") {
            const DesignReadResult read = ReadDesign(design, "text.velta");
            ASSERT_TRUE(read.Ok()) << read.error;
            const Outcome text = rig.Velta({"text", read.design->content.text, "--simulate"});
            EXPECT_EQ(text.code, kExitOk);
            EXPECT_EQ(text.err, send.err);
        }
    }
}

TEST(SendTest, TheDisplayEndsUpShowingTheDesign) {
    Rig rig;
    ASSERT_EQ(rig.Velta({"send", WriteFile("shown.velta", kParty), "--simulate"}).code, kExitOk);
    ReportDecoder decoder;
    for (const DeviceReport& report : rig.simulated.WrittenReports())
        decoder.Feed(report);
    const DisplayState& state = decoder.State();
    EXPECT_TRUE(state.rfOn);
    EXPECT_TRUE(state.Lit(0, 0));
    EXPECT_TRUE(state.Lit(11, 31));
    EXPECT_FALSE(state.Lit(0, 1));
    const DesignReadResult design = ReadDesign(kParty, "party.velta");
    ASSERT_TRUE(design.Ok());
    EXPECT_EQ(state.pods, design.design->content.pods);
    EXPECT_NE(state.pods[0], state.pods[1]);
    EXPECT_EQ(state.rings[0], 1000);
    EXPECT_EQ(state.rings[1], 0);
    EXPECT_EQ(state.scrollSpeed, 4);
    EXPECT_EQ(state.gridBrightness, 9);
    EXPECT_EQ(state.NotUnderstoodCount(), 0u);
}

TEST(SendTest, WithoutSimulateTheDeviceGetsTheReportsAndEachIsPrinted) {
    Rig rig;
    const Outcome run = rig.Velta({"send", WriteFile("device.velta", kTextOnly)});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(rig.devicesMade, 1);
    EXPECT_THAT(HexColumn(run.out), ElementsAreArray(FormatAll(rig.device.WrittenReports())));
    EXPECT_EQ(run.out.size(), 2u);
    EXPECT_THAT(rig.simulated.WrittenReports(), IsEmpty());
}

TEST(SendTest, AFailedWriteExitsFiveAndPrintsOnlyWhatArrived) {
    struct Case {
        int failingWrite;
        Strings described;
    };
    const std::vector<Case> cases = {
        {1, {}},                                                       // RF on
        {2, {"RF on"}},                                                // the grid report
        {4, {"RF on", "grid, columns 0-30", "grid tail, column 31"}},  // the pods
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.simulated.FailWriteNumber(c.failingWrite);
        const Outcome run = rig.Velta({"send", WriteFile("fail.velta", kParty), "--simulate"});
        EXPECT_EQ(run.code, kExitWriteFailed) << c.failingWrite;
        EXPECT_THAT(Descriptions(run.out), ElementsAreArray(c.described)) << c.failingWrite;
        ASSERT_FALSE(run.err.empty());
        EXPECT_THAT(run.err[0], HasSubstr("Write Error"));
    }
}

// The Data Center after the window's own Save Sequence on the same design.
std::string SaveSequenceInTheWindow(const std::string& designText, const DesignFeatures* ticked) {
    DesignReadResult read = ReadDesign(designText, "reference.velta");
    EXPECT_TRUE(read.Ok()) << read.error;
    if (ticked != nullptr)
        read.design->features = *ticked;
    SimulatedTransmitter transmitter;
    std::ostringstream ignored;
    ConsoleView view(ignored);
    ControlCenterController controller(transmitter, view);
    controller.OnInitDialog();
    ApplyDesign(controller.Panel(), *read.design);
    controller.OnSaveSequence();
    return std::string(controller.DataCenterText());
}

TEST(DatacenterTest, PrintsExactlyWhatSaveSequenceAppends) {
    struct Case {
        std::string design;
        Strings extra;
        std::optional<DesignFeatures> ticked;  // what --features should amount to
        int lines;                             // CR LF lines expected
    };
    const std::vector<Case> cases = {
        {kParty, {}, std::nullopt, -1},
        {kParty, {"--features", "pods"}, DesignFeatures{false, true, false, false}, -1},
        {kParty, {"--features", "rings,grid"}, DesignFeatures{true, false, true, false}, -1},
        {kTextOnly, {}, std::nullopt, 0},  // the text has no Data Center block
        {kBlank, {}, std::nullopt, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        Rig rig;
        Strings args = {"datacenter", WriteFile("dc" + std::to_string(i) + ".velta", c.design)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const Outcome run = rig.Velta(args);
        EXPECT_EQ(run.code, kExitOk) << i;
        EXPECT_THAT(run.err, IsEmpty()) << i;
        const std::string reference =
            SaveSequenceInTheWindow(c.design, c.ticked ? &*c.ticked : nullptr);
        EXPECT_EQ(run.outText, reference) << i;
        if (c.lines == 0)
            EXPECT_EQ(run.outText, "") << i;
        else
            EXPECT_THAT(run.outText, HasSubstr("\r\n")) << i;
        EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty()) << i;
        EXPECT_EQ(rig.devicesMade, 0) << i;
    }
}

TEST(VeltaCommandsTest, BadArgumentsExitTwoWithOneLineAndTouchNothing) {
    const std::string design = WriteFile("args.velta", kParty);
    struct Case {
        Strings args;
        std::string having;
    };
    const std::vector<Case> cases = {
        {{"send"}, "design"},
        {{"send", design, "--features", "grid,text"}, "exclude each other"},
        {{"send", design, "--features", "text,grid", "--simulate"}, "exclude each other"},
        {{"send", design, "--features", "grid,lasers"}, "unknown feature \"lasers\""},
        {{"send", design, "--features", ""}, "empty feature name"},
        {{"send", design, "--features", "grid,"}, "empty feature name"},
        {{"send", design, "--features"}, "--features"},
        {{"send", design, design}, ""},
        {{"datacenter"}, "design"},
        {{"datacenter", design, "--simulate"}, "--simulate"},
        {{"datacenter", design, "--features", "grid,text"}, "exclude each other"},
        {{"decode", "file.txt"}, ""},
        {{"list", "extra"}, ""},
        {{"fixture"}, "--format"},
        {{"fixture", "--format", "dmx"}, "unknown fixture format \"dmx\" (expected: qlcplus)"},
        {{"fixture", "--format", "qlcplus", "--simulate"}, "--simulate"},
        {{"rf", "on", "--device", ""}, "--device needs a path or serial number"},
        {{"fixture", "--format", "qlcplus", "--device", "A1"}, "--device"},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Outcome run = rig.Velta(c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(run.code, kExitUsage) << what;
        EXPECT_THAT(run.out, IsEmpty()) << what;
        ASSERT_EQ(run.err.size(), 1u) << what;
        EXPECT_THAT(run.err[0], AllOf(StartsWith("velta: "), HasSubstr(c.having))) << what;
        EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty()) << what;
        EXPECT_EQ(rig.devicesMade, 0) << what;
    }
}

TEST(VeltaCommandsTest, FixturePrintsTheDefinitionGeneratedFromTheChannelMap) {
    Rig rig;
    const Outcome run = rig.Velta({"fixture", "--format", "qlcplus"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(run.outText, net::QlcPlusFixture());
    EXPECT_THAT(run.err, IsEmpty());
    EXPECT_EQ(rig.devicesMade, 0);
}

TEST(VeltaCommandsTest, ABadDesignFileIsRefusedNamingTheFileAndTheField) {
    struct Case {
        std::string name;
        std::string bytes;  // empty: the file is not written
        std::string having;
    };
    const std::vector<Case> cases = {
        {"speed.velta", R"({"format":"velta-design","version":1,"scrollSpeed":99})",
         "speed.velta: scrollSpeed: expected a whole number from 0 to 15, got 99"},
        {"row.velta", R"({"format":"velta-design","version":1,"grid":["#"]})", "grid"},
        {"feature.velta", R"({"format":"velta-design","version":1,"features":["lasers"]})",
         "features[0]"},
        {"format.velta", R"({"version":1})", "format"},
        {"notjson.velta", "grid: yes", "notjson.velta: "},
        {"missing.velta", "", "cannot read "},
    };
    for (const Case& c : cases) {
        const std::string path = c.bytes.empty() ? ::testing::TempDir() + "velta_cli_" + c.name
                                                 : WriteFile(c.name, c.bytes);
        if (c.bytes.empty())
            std::filesystem::remove(path);
        for (const char* command : {"send", "datacenter"}) {
            Rig rig;
            const Strings args = std::string(command) == "send"
                                     ? Strings{command, path, "--simulate"}
                                     : Strings{command, path};
            const Outcome run = rig.Velta(args);
            EXPECT_EQ(run.code, kExitUsage) << c.name << ' ' << command;
            EXPECT_THAT(run.out, IsEmpty()) << c.name;
            ASSERT_EQ(run.err.size(), 1u) << c.name << ' ' << command;
            EXPECT_THAT(run.err[0],
                        AllOf(StartsWith("velta: "), HasSubstr(c.having), HasSubstr(c.name)))
                << command;
            EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty()) << c.name;
        }
    }
    Rig rig;
    const Outcome run = rig.Velta({"datacenter", ::testing::TempDir()});
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_THAT(run.err, ElementsAre(HasSubstr("is a directory")));
}

// Anything but a regular file is refused at once, with what it is, by every command that reads a
// design; nothing touches the transmitter.
TEST(VeltaCommandsTest, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    const testing::FifoGuard fifo(::testing::TempDir() + "velta_cli_fifo.velta");
    ASSERT_TRUE(fifo.Made());
    const struct {
        std::string path;
        const char* what;
    } cases[] = {{fifo.Path(), "it is a FIFO, not a regular file"},
#ifdef _WIN32
                 {"NUL", "it is a character device, not a regular file"},
#else
                 {"/dev/zero", "it is a character device, not a regular file"},
#endif
                 {::testing::TempDir(), "it is a directory"}};
    for (const auto& c : cases) {
        for (const Strings& args : {Strings{"datacenter", c.path}, Strings{"send", c.path},
                                    Strings{"play", c.path, "--simulate"}}) {
            SCOPED_TRACE(args[0] + " " + c.path);
            Rig rig;
            const Outcome run = rig.Velta(args);
            EXPECT_EQ(run.code, kExitUsage);
            EXPECT_THAT(run.err, ElementsAre("velta: cannot read " + c.path + ": " + c.what));
            EXPECT_EQ(rig.devicesMade, 0);
            EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty());
        }
    }
}

// What the link says about a transmitter at `path` that failed to open with `error`.
std::string OpenFailure(const std::string& path, int error) {
    return DescribeOpenFailure(path, HidFailure{error, {}}, UdevRulePath());
}

// One line per transmitter: path, serial number ("-" for none) and whether it opens, tab
// separated; --device lists only the transmitter it names.
TEST(VeltaCommandsTest, ListSaysWhichTransmitterCanBeUsedAndWhy) {
    const std::string a = "sim:a";
    const std::string b = "sim:b";
    const HidInterfaceInfo keyboard{"sim:keyboard", 0x046D, 0xC31C};
    const HidInterfaceInfo txA = SimulatedTransmitter::TransmitterInterface(a, "A1");
    const HidInterfaceInfo txB = SimulatedTransmitter::TransmitterInterface(b, "B2");
    const std::string noTransmitter = "velta: no transmitter 04d8:003f found";
    struct Case {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        std::vector<std::pair<std::string, int>> failing;  // path, errno
        int code;
        Strings out;
        Strings err = {};
        std::string device = "";
    };
    const std::vector<Case> cases = {
        {"One", {txA}, {}, kExitOk, {a + "\tA1\tok"}},
        {"NoSerialNumber",
         {SimulatedTransmitter::TransmitterInterface(a, "")},
         {},
         kExitOk,
         {a + "\t-\tok"}},
        {"SerialNumberThatWouldSteerTheTerminal",
         {SimulatedTransmitter::TransmitterInterface(a, "A\x1b[2J\tB")},
         {},
         kExitOk,
         {a + "\tA?[2J?B\tok"}},
        {"NoneAtAll", {}, {}, kExitNoTransmitter, {}, {noTransmitter}},
        {"OnlyOtherDevices", {keyboard}, {}, kExitNoTransmitter, {}, {noTransmitter}},
        {"PermissionDenied",
         {keyboard, txA},
         {{a, EACCES}},
         kExitCannotOpen,
         {a + "\tA1\t" + OpenFailure(a, EACCES)}},
        {"IoError", {txA}, {{a, EIO}}, kExitCannotOpen, {a + "\tA1\t" + OpenFailure(a, EIO)}},
        {"OneOfTwoUsable",
         {txA, txB},
         {{a, EPERM}},
         kExitOk,
         {a + "\tA1\t" + OpenFailure(a, EPERM), b + "\tB2\tok"}},
        {"ChosenBySerial", {txA, txB}, {}, kExitOk, {b + "\tB2\tok"}, {}, "B2"},
        {"ChosenByPath", {txA, txB}, {}, kExitOk, {a + "\tA1\tok"}, {}, a},
        {"ChosenOneRefuses",
         {txA, txB},
         {{b, EACCES}},
         kExitCannotOpen,
         {b + "\tB2\t" + OpenFailure(b, EACCES)},
         {},
         "B2"},
        {"NoneChosen",
         {keyboard, txA, txB},
         {},
         kExitNoTransmitter,
         {},
         {"velta: no transmitter with serial or path sim:keyboard; found: sim:a (serial A1), "
          "sim:b (serial B2)"},
         "sim:keyboard"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.simulated.SetInterfaces(c.interfaces);
        for (const auto& [path, error] : c.failing)
            rig.simulated.FailOpen(path, true, error);
        Strings args{"list", "--simulate"};
        if (!c.device.empty())
            args.insert(args.end(), {"--device", c.device});
        const Outcome run = rig.Velta(args);
        EXPECT_EQ(run.code, c.code) << c.name;
        EXPECT_THAT(run.out, ElementsAreArray(c.out)) << c.name;
        EXPECT_THAT(run.err, ElementsAreArray(c.err)) << c.name;
        EXPECT_EQ(rig.simulated.OpenHandleCount(), 0) << c.name;
    }
    // A permission problem comes with the system's advice (tests/device/link_diagnostics_test.cpp).
    EXPECT_THAT(OpenFailure(a, EACCES),
                AllOf(StartsWith("found sim:a but cannot open it: Permission denied \u2014 "),
                      HasSubstr(UdevRulePath()), EndsWith("unplug and replug the transmitter")));
}

// Two transmitters on one computer: --device sends each command to the one it names, by serial
// number or path, and to nothing else; the USB path takes it as --simulate does.
TEST(VeltaCommandsTest, DevicePicksTheTransmitterACommandTalksTo) {
    const std::string design = WriteFile("picked.velta", kParty);
    const std::string a = "sim:a";
    const std::string b = "sim:b";
    struct Case {
        Strings args;
        std::string device;
        std::string written;  // the path that got every report; empty: none was written
        int code = kExitOk;
        bool simulate = true;
        Strings err = {};
    };
    const std::vector<Case> cases = {
        {{"send", design}, "", a},
        {{"send", design}, "B2", b},
        {{"send", design}, a, a},
        {{"text", "Hi"}, b, b},
        {{"rf", "on"}, "A1", a},
        {{"rf", "off"}, "B2", b, kExitOk, false},
        {{"rf", "on"},
         "C3",
         "",
         kExitNoTransmitter,
         true,
         {"velta: no transmitter with serial or path C3; found: sim:a (serial A1), sim:b (serial "
          "B2)"}},
    };
    for (const Case& c : cases) {
        Rig rig;
        SimulatedTransmitter& tx = c.simulate ? rig.simulated : rig.device;
        tx.SetInterfaces({SimulatedTransmitter::TransmitterInterface(a, "A1"),
                          SimulatedTransmitter::TransmitterInterface(b, "B2")});
        Strings args = c.args;
        if (c.simulate)
            args.push_back("--simulate");
        if (!c.device.empty())
            args.insert(args.end(), {"--device", c.device});
        const std::string what = ::testing::PrintToString(args);
        const Outcome run = rig.Velta(args);
        EXPECT_EQ(run.code, c.code) << what;
        EXPECT_THAT(run.err, ElementsAreArray(c.err)) << what;
        const std::vector<std::string> paths = tx.WrittenPaths();
        if (c.written.empty()) {
            EXPECT_THAT(paths, IsEmpty()) << what;
            EXPECT_THAT(tx.OpenedPaths(), IsEmpty()) << what;
        } else {
            EXPECT_THAT(paths, Not(IsEmpty())) << what;
            EXPECT_THAT(paths, Each(c.written)) << what;
            EXPECT_EQ(tx.WrittenReportsTo(c.written).size(), paths.size()) << what;
        }
    }
}

TEST(VeltaCommandsTest, ListStopsAtAUsbLayerThatDidNotStart) {
    Rig rig;
    rig.simulated.FailStart("no hidraw");
    const Outcome run = rig.Velta({"list", "--simulate"});
    EXPECT_EQ(run.code, kExitNoTransmitter);
    EXPECT_THAT(run.err, ElementsAre("velta: " + DescribeStartFailure("no hidraw")));
}

TEST(VeltaCommandsTest, SendExitsThreeOrFourAsTheLinkDiagnosed) {
    const std::string design = WriteFile("diagnosed.velta", kParty);
    const std::string path = SimulatedTransmitter::kDefaultPath;
    struct Case {
        const char* name;
        bool present;
        int openError;  // 0: opens
        int code;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"Absent", false, 0, kExitNoTransmitter, "velta: " + DescribeNoTransmitter()},
        {"PermissionDenied", true, EACCES, kExitCannotOpen, "velta: " + OpenFailure(path, EACCES)},
        {"Busy", true, EBUSY, kExitCannotOpen, "velta: " + OpenFailure(path, EBUSY)},
    };
    for (const Case& c : cases) {
        Rig rig;
        if (!c.present)
            rig.simulated.SetInterfaces({});
        if (c.openError != 0)
            rig.simulated.FailOpen(path, true, c.openError);
        const Outcome run = rig.Velta({"send", design, "--simulate"});
        EXPECT_EQ(run.code, c.code) << c.name;
        EXPECT_THAT(run.out, IsEmpty()) << c.name;
        EXPECT_THAT(run.err, ElementsAre(c.err)) << c.name;
        EXPECT_THAT(rig.simulated.WrittenReports(), IsEmpty()) << c.name;
    }
}

TEST(DecodeTest, ReadsBackWhatTheReportMonitorCopies) {
    // The reports a send of the party design writes, as the monitor copies them.
    Rig sender;
    ASSERT_EQ(sender
                  .Velta({"send", WriteFile("decode.velta", kParty), "--simulate", "--features",
                          "grid,pods"})
                  .code,
              kExitOk);
    const std::vector<DeviceReport> reports = sender.simulated.WrittenReports();
    ASSERT_EQ(reports.size(), 4u);
    DeviceReport text{};
    text[1] = 0x14;
    text[3] = 'H';
    text[4] = '"';

    const auto join = [](const std::vector<DeviceReport>& list, const std::string& end,
                         bool lower) {
        std::string out;
        for (const DeviceReport& report : list) {
            std::string line = FormatReportHex(report);
            if (lower) {
                for (char& ch : line)
                    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            }
            out += line + end;
        }
        return out;
    };
    std::vector<DeviceReport> withText = reports;
    withText.push_back(text);
    const Strings described = {"RF on", "grid, columns 0-30", "grid tail, column 31", "pods"};
    Strings describedWithText = described;
    describedWithText.push_back("text \"H\\\"\" (2 bytes)");

    struct Case {
        const char* name;
        std::string input;
        Strings out;
    };
    const std::vector<Case> cases = {
        {"Lf",
         join(reports, "\n", false),
         {described[0], described[1], described[2], described[3],
          "display: 2 of 384 cells lit, RF on, text \"\""}},
        {"CrLfLowerCaseBlankLines",
         "\r\n" + join(withText, "\r\n\r\n", true),
         {describedWithText[0], describedWithText[1], describedWithText[2], describedWithText[3],
          describedWithText[4], "display: 2 of 384 cells lit, RF on, text \"H\\\"\""}},
        // Without the grid report before it, the tail is not understood.
        {"TailAlone",
         FormatReportHex(reports[2]) + "\n",
         {DescribeReport(reports[2], nullptr),
          "display: 0 of 384 cells lit, RF off, text \"\", 1 report not understood"}},
        {"Empty", "", {"display: 0 of 384 cells lit, RF off, text \"\""}},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Outcome run = rig.Velta({"decode"}, c.input);
        EXPECT_EQ(run.code, kExitOk) << c.name;
        EXPECT_THAT(run.out, ElementsAreArray(c.out)) << c.name;
        EXPECT_THAT(run.err, IsEmpty()) << c.name;
        EXPECT_EQ(rig.devicesMade, 0);
        EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty());
    }
}

TEST(DecodeTest, ABadLineIsNamedAndNothingIsPrinted) {
    const std::string good = FormatReportHex(DeviceReport{0, 0xF0});
    struct Case {
        std::string input;
        std::string err;
    };
    const std::string tooLong = "velta: line 2: longer than 65536 bytes";
    const std::vector<Case> cases = {
        {good + "\n00 F0\n", "velta: line 2: expected 65 bytes, found 2"},
        {"\n\n" + good.substr(0, good.size() - 2) + "G1\n", "velta: line 3: byte 64: "},
        {"hello\n", "velta: line 1: "},
        {good + "\n" + std::string(65537, ' ') + good + "\n" + good + "\n", tooLong},
        // 64 KiB exactly is still a line, and blanks around the bytes are allowed.
        {good + "\n" + std::string(65536 - good.size(), ' ') + good + "\n00 F0", "velta: line 3: "},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Outcome run = rig.Velta({"decode"}, c.input);
        EXPECT_EQ(run.code, kExitUsage) << c.input;
        EXPECT_THAT(run.out, IsEmpty()) << c.input;
        EXPECT_THAT(run.err, ElementsAre(StartsWith(c.err))) << c.input;
    }
}

// An endless input without a line end, like /dev/zero: refused after the first 64 KiB, reading no
// more than a little past them.
TEST(DecodeTest, AnEndlessLineIsRefusedInBoundedMemory) {
    class Zeros : public std::streambuf {
      public:
        std::size_t handedOut = 0;

      protected:
        int_type underflow() override {
            handedOut += block_.size();
            setg(block_.data(), block_.data(), block_.data() + block_.size());
            return traits_type::to_int_type(block_[0]);
        }

      private:
        std::array<char, 4096> block_{};
    };
    Zeros zeros;
    std::istream in(&zeros);
    std::ostringstream out;
    std::ostringstream err;
    Rig rig;
    EXPECT_EQ(RunVelta({"decode"}, rig.transports, in, out, err), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_THAT(err.str(), StartsWith("velta: line 1: longer than 65536 bytes"));
    EXPECT_LE(zeros.handedOut, 2u * 65536u);
}

}  // namespace
}  // namespace velta::cli
