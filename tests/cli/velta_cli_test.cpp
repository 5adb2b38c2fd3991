// The velta commands end to end, in-process: arguments in, exit code and the two streams out,
// with the simulated transmitter at the far end of the real link.
#include "cli/velta_cli.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "device/simulated_transmitter.h"
#include "tests/cli/velta_rig.h"

namespace velta::cli {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kRfOn = Hex(0xF0);
const std::string kRfOff = Hex(0xF1);

struct CommandCase {
    const char* name;
    Strings args;
    Strings reports;         // stdout: one hex line per report the transmitter received
    Strings warningsHaving;  // one stderr line per entry, containing it
};

class CommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, SendsTheReportsAndWarns) {
    const CommandCase& c = GetParam();
    Rig rig;
    const Outcome run = rig.Velta(c.args);
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_THAT(run.out, ElementsAreArray(c.reports));
    ASSERT_EQ(run.err.size(), c.warningsHaving.size()) << ::testing::PrintToString(run.err);
    for (std::size_t i = 0; i < run.err.size(); ++i)
        EXPECT_THAT(run.err[i],
                    AllOf(StartsWith("velta: warning: "), HasSubstr(c.warningsHaving[i])));
    EXPECT_EQ(rig.devicesMade, 0) << "--simulate must not touch the USB stack";
    EXPECT_EQ(rig.simulated.OpenHandleCount(), 0) << "the link is closed at the end";
}

const std::string k70 = "0123456789012345678901234567890123456789012345678901234567890123456789";

INSTANTIATE_TEST_SUITE_P(
    Simulated, CommandTest,
    ::testing::Values(
        CommandCase{
            "Text", {"text", "Hello", "--simulate"}, {kRfOn, Hex(0x14, Ascii("Hello"))}, {}},
        CommandCase{"SimulateBeforeText",
                    {"text", "--simulate", "Hi"},
                    {kRfOn, Hex(0x14, Ascii("Hi"))},
                    {}},
        // The speed rides in the rings report (byte 27) with every ring off and the grid
        // brightness at its start-up 15 (byte 28); it goes before the text.
        CommandCase{"TextWithSpeed",
                    {"text", "Hi", "--speed", "7", "--simulate"},
                    {kRfOn, Hex(0x13, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 15}),
                     Hex(0x14, Ascii("Hi"))},
                    {}},
        CommandCase{"SpeedZero",
                    {"text", "Hi", "--speed=0", "--simulate"},
                    {kRfOn, Hex(0x13, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15}),
                     Hex(0x14, Ascii("Hi"))},
                    {}},
        CommandCase{"Windows1252",
                    {"text",
                     "Caf\xC3\xA9 \xE2\x82\xAC"
                     "5",
                     "--simulate"},
                    {kRfOn, Hex(0x14, {'C', 'a', 'f', 0xE9, ' ', 0x80, '5'})},
                    {}},
        CommandCase{"Replaced",
                    {"text", "\xCE\xA9 \xE2\x82\x41 \xCE\xA9?", "--simulate"},
                    {kRfOn, Hex(0x14, Ascii("? ??A ??"))},
                    {"U+03A9 \"\xCE\xA9\", byte 0xE2, byte 0x82"}},
        CommandCase{"Cut",
                    {"text", k70 + "\xCE\xA9", "--simulate"},
                    {kRfOn, Hex(0x14, Ascii(k70.substr(0, 62)))},
                    {"takes 71 bytes; only the first 62 are sent, cut: \"23456789\xCE\xA9\""}},
        CommandCase{"ExactlyFull",
                    {"text", k70.substr(0, 62), "--simulate"},
                    {kRfOn, Hex(0x14, Ascii(k70.substr(0, 62)))},
                    {}},
        CommandCase{"RfOn", {"rf", "on", "--simulate"}, {kRfOn}, {}},
        CommandCase{"RfOff", {"rf", "off", "--simulate"}, {kRfOff}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VeltaTest, WithoutSimulateTheDeviceGetsTheReportsAndNothingIsPrinted) {
    Rig rig;
    const Outcome run = rig.Velta({"text", "Hello"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_THAT(run.out, IsEmpty());
    EXPECT_THAT(run.err, IsEmpty());
    EXPECT_EQ(rig.devicesMade, 1);
    ASSERT_EQ(rig.device.WrittenReports().size(), 2u);
    EXPECT_EQ(rig.device.WrittenReports()[0][1], 0xF0);
    EXPECT_EQ(rig.device.WrittenReports()[1][1], 0x14);
    EXPECT_THAT(rig.simulated.WrittenReports(), IsEmpty());
}

TEST(VeltaTest, BadArgumentsAreOneLineAndExitTwo) {
    const std::vector<Strings> cases = {
        {},
        {"text"},
        {"text", ""},
        {"text", "a", "--speed", "16"},
        {"text", "a", "--speed", "-1"},
        {"text", "a", "--speed", "fast"},
        {"text", "a", "b", "--simulate"},
        {"text", "a", "--frobnicate"},
        {"rf"},
        {"rf", "maybe"},
        {"bogus"},
        {"--simulate", "rf", "on"},  // --simulate belongs to the command
    };
    for (const Strings& args : cases) {
        Rig rig;
        const Outcome run = rig.Velta(args);
        const std::string what = ::testing::PrintToString(args);
        EXPECT_EQ(run.code, kExitUsage) << what;
        EXPECT_THAT(run.out, IsEmpty()) << what;
        ASSERT_EQ(run.err.size(), 1u) << what;
        EXPECT_THAT(run.err[0], StartsWith("velta: ")) << what;
        EXPECT_THAT(rig.simulated.OpenedPaths(), IsEmpty()) << what;
        EXPECT_EQ(rig.devicesMade, 0) << what;
    }
}

TEST(VeltaTest, HelpAndVersionGoToStdoutWithoutADevice) {
    struct Case {
        Strings args;
        std::string having;
    };
    const std::vector<Case> cases = {
        {{"--help"}, "rf"},
        {{"--help"}, "Exit status"},
        {{"-h"}, "text"},
        {{"text", "--help"}, "--speed"},
        {{"rf", "--help"}, "--simulate"},
        {{"--version"}, "velta " VELTA_VERSION},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Outcome run = rig.Velta(c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(run.code, kExitOk) << what;
        EXPECT_THAT(::testing::PrintToString(run.out), HasSubstr(c.having)) << what;
        EXPECT_THAT(run.err, IsEmpty()) << what;
        EXPECT_EQ(rig.devicesMade, 0) << what;
    }
    Rig rig;
    EXPECT_THAT(rig.Velta({"--version"}).out, ElementsAre("velta " VELTA_VERSION));
}

TEST(VeltaTest, NoTransmitterExitsThreeAndSendsNothing) {
    const std::vector<std::vector<HidInterfaceInfo>> setups = {
        {},
        {HidInterfaceInfo{"sim:keyboard", 0x046D, 0xC31C}},
    };
    for (const auto& interfaces : setups) {
        for (const Strings& args :
             {Strings{"text", "Hi", "--simulate"}, Strings{"rf", "off", "--simulate"}}) {
            Rig rig;
            rig.simulated.SetInterfaces(interfaces);
            const Outcome run = rig.Velta(args);
            EXPECT_EQ(run.code, kExitNoTransmitter);
            EXPECT_THAT(run.out, IsEmpty());
            EXPECT_THAT(run.err, ElementsAre("velta: no transmitter 04d8:003f found"));
        }
    }
}

TEST(VeltaTest, ATransmitterThatWillNotOpenExitsFour) {
    Rig rig;
    rig.simulated.FailOpen(SimulatedTransmitter::kDefaultPath);
    const Outcome run = rig.Velta({"rf", "on", "--simulate"});
    EXPECT_EQ(run.code, kExitCannotOpen);
    EXPECT_THAT(run.err, ElementsAre("velta: found sim:transmitter but cannot open it: "
                                     "Input/output error"));
}

TEST(VeltaTest, AFailedWriteExitsFiveAndPrintsWhatArrived) {
    struct Case {
        Strings args;
        int failingWrite;
        Strings arrived;
    };
    const std::vector<Case> cases = {
        // RF on fails: the link is dead, so Update Data sends nothing more.
        {{"text", "Hi", "--simulate"}, 1, {}},
        {{"text", "Hi", "--simulate"}, 2, {kRfOn}},
        // The rings report fails: the text is not tried on a dead link.
        {{"text", "Hi", "--speed", "3", "--simulate"}, 2, {kRfOn}},
        {{"rf", "on", "--simulate"}, 1, {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.simulated.FailWriteNumber(c.failingWrite);
        const Outcome run = rig.Velta(c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(run.code, kExitWriteFailed) << what;
        EXPECT_THAT(run.out, ElementsAreArray(c.arrived)) << what;
        EXPECT_THAT(run.err, ElementsAre(HasSubstr("Write Error"))) << what;
    }
}

}  // namespace
}  // namespace velta::cli
