// velta serve: its usage errors in-process, and the real program as a child process on the
// loopback address (127.0.0.1 only, ports chosen free by the system and read from its start
// lines, every wait bounded): packets of each protocol in, the simulated transmitter's reports
// out, held to what Auto Update sends for the same content.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "control/control_center_controller.h"
#include "device/simulated_transmitter.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"
#include "net/channel_map.h"
#include "net/udp_socket.h"
#include "tests/cli/velta_rig.h"
#include "tests/control/fake_view.h"
#include "tests/model/random_frame.h"
#include "tests/support/child_process.h"
#include "tests/support/net_packets.h"

namespace velta::cli {
namespace {

using net::Protocol;
using net::test::Bytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Ms = std::chrono::milliseconds;

constexpr std::uint32_t kLoopback = 0x7F000001;

// ------------------------------------------------------------------ usage errors

TEST(VeltaServe, UsageErrorsAreOneLineAndExit2) {
    const struct {
        Strings args;
        const char* message;
    } cases[] = {
        {{"--universe", "0"}, "the universe must be 1 to 63999, not 0"},
        {{"--universe", "64000", "--protocols", "sacn"}, "the universe must be 1 to 63999"},
        {{"--universe", "40000"}, "at most 32768 for Art-Net"},
        {{"--universe", "one"}, "--universe"},
        {{"--start-address", "0"}, "the start address must be 1 to 53"},
        {{"--start-address", "54"}, "not 54"},
        {{"--allow", "10.0.0.1/8"}, "--allow: \"10.0.0.1/8\" has host bits set"},
        {{"--allow", "10.0.0.0/8,300.1.1.1"}, "\"300.1.1.1\" is not an IPv4 address"},
        {{"--protocols", "sacn,dmx"}, "--protocols: \"dmx\" is not a protocol"},
        {{"--protocols", ""}, "--protocols: \"\" is not a protocol"},
        {{"--bind", "10.0.1"}, "--bind: \"10.0.1\" is not an IPv4 address"},
        {{"--on-loss", "keep"}, "--on-loss"},
        {{"--sacn-port", "70000"}, "--sacn-port"},
        {{"--ddp-port", "-1"}, "--ddp-port"},
        {{"--device", "/dev/hidraw3"}, "--device /dev/hidraw3: choosing a transmitter is not"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        Rig rig;
        Strings args{"serve", "--simulate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome outcome = rig.Velta(args);
        EXPECT_EQ(outcome.code, kExitUsage);
        ASSERT_EQ(outcome.err.size(), 1u);
        EXPECT_THAT(outcome.err[0], StartsWith("velta: "));
        EXPECT_THAT(outcome.err[0], HasSubstr(c.message));
        EXPECT_EQ(rig.simulated.WrittenTotal(), 0u);  // nothing half-done
    }
}

// Absent at the start, plugged in, pulled out and plugged in again: the service keeps looking
// (every 2 s), and each time the transmitter comes it gets RF on and the whole panel again.
TEST(VeltaServe, LooksForTheTransmitterUntilItComesAndAfterItGoes) {
    Rig rig;
    rig.device.SetInterfaces({});
    std::atomic<bool> stop{false};
    rig.transports.stopRequested = [&] { return stop.load(); };
    Outcome outcome;
    std::thread service([&] {
        outcome =
            rig.Velta({"serve", "--bind", "127.0.0.1", "--protocols", "ddp", "--ddp-port", "0"});
    });
    const auto written = [&](std::uint64_t n) {
        return testing::WaitUntil([&] { return rig.device.WrittenTotal() >= n; }, Ms(8000));
    };
    std::this_thread::sleep_for(Ms(100));
    rig.device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});
    const bool connected = written(5);  // RF on, the grid and its tail, the pods, the rings
    rig.device.Unplug();
    rig.device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});
    const bool back = written(10);
    stop = true;
    service.join();
    ASSERT_TRUE(connected);
    ASSERT_TRUE(back);
    EXPECT_EQ(outcome.code, kExitOk);
    const std::vector<DeviceReport> reports = rig.device.WrittenReports();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_TRUE(std::equal(reports.begin(), reports.begin() + 5, reports.begin() + 5));
    EXPECT_EQ(reports[0][1], 0xF0);
    const std::vector<std::string> expected = {"no transmitter (", "transmitter connected",
                                               "transmitter lost (Read Error - 0xA0)",
                                               "transmitter back", "stopped: "};
    std::size_t next = 0;
    for (const std::string& line : outcome.err) {
        if (next < expected.size() && line.find(expected[next]) != std::string::npos)
            ++next;
    }
    EXPECT_EQ(next, expected.size()) << ::testing::PrintToString(outcome.err);
}

// ------------------------------------------------------------------ the program on the loopback

// The content a frame keeps once it has been through the channel map.
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

// What the service must print: the window's controller driven directly as a user would — the
// three boxes ticked, Connect Tx, Activate RF Mode, Update Data, then Auto Update's tick over
// each content in turn. One list of hex lines per step (start, then each frame).
std::vector<Strings> ExpectedLines(const std::vector<SequenceFrame>& frames) {
    SimulatedTransmitter tx;
    testing::FakeView view;
    ControlCenterController controller(tx, view);
    const auto settle = [&] {
        EXPECT_TRUE(testing::WaitUntil([&] {
            view.RunPosted();
            return controller.SendsInFlight() == 0;
        }));
    };
    std::uint64_t printed = 0;
    std::vector<Strings> steps;
    const auto step = [&] {
        settle();
        steps.emplace_back();
        for (const DeviceReport& report : tx.WrittenSince(printed))
            steps.back().push_back(FormatReportHex(report));
    };
    controller.OnInitDialog();
    for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings})
        controller.OnFeatureBoxClicked(box, true);
    controller.OnConnectTx();
    controller.OnRfMode();
    controller.OnUpdateData();
    step();
    controller.OnAutoUpdateClicked(true);
    for (const SequenceFrame& frame : frames) {
        ApplyFrame(controller.Panel(), frame);
        controller.OnTimer(kAutoUpdateTimerId);
        step();
    }
    return steps;
}

// What a display shows after these report lines, for comparing content without the history.
struct Shown {
    std::array<std::uint16_t, kColumns> columns;
    std::array<Color, kPodCount> pods;
    std::array<std::uint16_t, kRingCount> rings;
    int scrollSpeed, gridBrightness;
    bool operator==(const Shown&) const = default;
};
Shown Decode(const Strings& lines) {
    ReportDecoder decoder;
    for (const std::string& line : lines) {
        std::istringstream hex(line);
        DeviceReport report{};
        for (std::uint8_t& byte : report) {
            unsigned value = 0;
            hex >> std::hex >> value;
            byte = static_cast<std::uint8_t>(value);
        }
        decoder.Feed(report);
    }
    const DisplayState& s = decoder.State();
    return {s.columns, s.pods, s.rings, s.scrollSpeed, s.gridBrightness};
}

// One packet carrying `frame` for the protocol, numbered `sequence`.
struct Packets {
    int universe = 1;
    int startAddress = 1;

    Bytes Frame(Protocol protocol, const SequenceFrame& frame, std::uint8_t sequence) const {
        const net::Universe channels = net::EncodeUniverse(frame, startAddress);
        switch (protocol) {
            case Protocol::Sacn: {
                net::test::SacnSpec spec;
                spec.universe = universe;
                spec.sequence = sequence;
                spec.slots.assign(channels.begin(), channels.end());
                return net::test::SacnPacket(spec);
            }
            case Protocol::ArtNet: {
                net::test::ArtDmxSpec spec;
                spec.portAddress = universe - 1;
                spec.sequence = sequence;
                spec.slots.assign(channels.begin(), channels.end());
                return net::test::ArtDmxPacket(spec);
            }
            case Protocol::Ddp: {
                const net::Universe bytes = net::EncodeUniverse(frame, 1);
                net::test::DdpSpec spec;
                spec.sequence = static_cast<std::uint8_t>(sequence & 0x0F);
                spec.data.assign(bytes.begin(), bytes.begin() + net::kFixtureChannels);
                return net::test::DdpPacket(spec);
            }
        }
        return {};
    }
};

// velta serve --simulate as a child process, listening on 127.0.0.1 on free ports.
class Serve : public testing::ChildProcess {
  public:
    explicit Serve(const Strings& args) : ChildProcess(VELTA_BINARY, WithDefaults(args)) {}

    // Waits for the start: the ports it listens on, the transmitter connected, and the reports
    // that brought the display in line with the panel.
    ::testing::AssertionResult Ready(std::size_t startLines) {
        const std::regex listening(R"(^velta serve: (sACN|Art-Net|DDP) on 127\.0\.0\.1:(\d+))");
        if (!PumpUntil(
                [&] { return ErrHas("transmitter connected") && Out().size() >= startLines; }))
            return ::testing::AssertionFailure() << "no start: " << ::testing::PrintToString(Err());
        for (const std::string& line : Err()) {
            std::smatch match;
            if (std::regex_search(line, match, listening)) {
                const Protocol protocol = match[1] == "sACN"      ? Protocol::Sacn
                                          : match[1] == "Art-Net" ? Protocol::ArtNet
                                                                  : Protocol::Ddp;
                ports_[protocol] = static_cast<std::uint16_t>(std::stoi(match[2]));
            }
        }
        return ::testing::AssertionSuccess();
    }
    net::Endpoint To(Protocol protocol) const { return {kLoopback, ports_.at(protocol)}; }
    bool ErrHas(const std::string& text) const {
        for (const std::string& line : Err()) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // The count before `reason` in the summary line at the end; -1 when it is not there.
    long Dropped(const std::string& reason) const {
        const std::regex count("(\\d+) " + reason + "(,|;|$)");
        for (const std::string& line : Err()) {
            std::smatch match;
            if (line.find("stopped:") != std::string::npos && std::regex_search(line, match, count))
                return std::stol(match[1]);
        }
        return -1;
    }

  private:
    static Strings WithDefaults(const Strings& args) {
        Strings all{"serve", "--simulate",    "--bind", "127.0.0.1",  "--sacn-port",
                    "0",     "--artnet-port", "0",      "--ddp-port", "0"};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::map<Protocol, std::uint16_t> ports_;
};

struct Sender {
    Sender() { EXPECT_TRUE(socket.Open(kLoopback, 0, error)) << error; }
    void Send(const Bytes& packet, const net::Endpoint& to) {
        EXPECT_TRUE(socket.SendTo(packet, to));
    }
    net::os::SocketLibrary library;
    net::os::UdpSocket socket;
    std::string error;
};

Strings Flatten(const std::vector<Strings>& steps) {
    Strings all;
    for (const Strings& step : steps)
        all.insert(all.end(), step.begin(), step.end());
    return all;
}

// A frame over each protocol reaches the simulated transmitter as exactly the reports Auto Update
// sends for that content, and only what changed from one frame to the next. SIGTERM ends the
// service cleanly with its summary.
TEST(VeltaServe, EachProtocolSendsWhatAutoUpdateSends) {
    const struct {
        const char* name;
        Protocol protocol;
        Strings args;
        Packets packets;
        const char* joined;
    } cases[] = {
        {"sACN",
         Protocol::Sacn,
         {"--protocols", "sacn", "--universe", "7", "--start-address", "5"},
         {7, 5},
         "sACN \"Console\" 127.0.0.1:"},
        {"Art-Net",
         Protocol::ArtNet,
         {"--protocols", "artnet", "--universe", "3"},
         {3, 1},
         "Art-Net"},
        {"DDP", Protocol::Ddp, {"--protocols", "ddp"}, {}, "DDP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SequenceFrame> frames = RandomFrames(3, 21);
        const std::vector<Strings> expected = ExpectedLines(frames);
        Serve serve(c.args);
        ASSERT_TRUE(serve.Ready(expected[0].size()));
        Sender sender;
        std::size_t lines = expected[0].size();
        for (std::size_t i = 0; i < frames.size(); ++i) {
            sender.Send(c.packets.Frame(c.protocol, frames[i], static_cast<std::uint8_t>(i + 1)),
                        serve.To(c.protocol));
            lines += expected[i + 1].size();
            ASSERT_TRUE(serve.PumpUntil([&] { return serve.Out().size() >= lines; }));
        }
        EXPECT_EQ(serve.Stop(), 0);
        EXPECT_EQ(serve.Out(), Flatten(expected));
        EXPECT_TRUE(serve.ErrHas(std::string(c.joined))) << ::testing::PrintToString(serve.Err());
        EXPECT_TRUE(serve.ErrHas("stopped: ")) << ::testing::PrintToString(serve.Err());
        EXPECT_TRUE(serve.ErrHas("; 3 frames sent")) << ::testing::PrintToString(serve.Err());
    }
}

// Two services at once on different ports, each with its own simulated transmitter: each shows
// only the frames sent to it.
TEST(VeltaServe, TwoInstancesDriveTwoDisplays) {
    const std::vector<SequenceFrame> frames = RandomFrames(2, 33);
    Serve first({});
    Serve second({"--start-address", "9"});
    const std::vector<Strings> expectedFirst = ExpectedLines({frames[0]});
    const std::vector<Strings> expectedSecond = ExpectedLines({frames[1]});
    ASSERT_TRUE(first.Ready(expectedFirst[0].size()));
    ASSERT_TRUE(second.Ready(expectedSecond[0].size()));
    Sender sender;
    sender.Send(Packets{}.Frame(Protocol::Sacn, frames[0], 1), first.To(Protocol::Sacn));
    sender.Send(Packets{1, 9}.Frame(Protocol::ArtNet, frames[1], 1), second.To(Protocol::ArtNet));
    const std::size_t firstLines = Flatten(expectedFirst).size();
    const std::size_t secondLines = Flatten(expectedSecond).size();
    ASSERT_TRUE(first.PumpUntil([&] { return first.Out().size() >= firstLines; }));
    ASSERT_TRUE(second.PumpUntil([&] { return second.Out().size() >= secondLines; }));
    EXPECT_EQ(first.Stop(), 0);
    EXPECT_EQ(second.Stop(), 0);
    EXPECT_EQ(first.Out(), Flatten(expectedFirst));
    EXPECT_EQ(second.Out(), Flatten(expectedSecond));
}

// 20,000 datagrams from several sources in a few seconds, valid and malformed mixed: the service
// keeps up and stays flat, the newest frame of the source holding the display wins, and every
// kind of drop is counted under its reason.
TEST(VeltaServe, FloodOfValidAndMalformedPackets) {
    constexpr int kPackets = 20000;
    constexpr int kBurst = 100;
    Serve serve({});
    const std::vector<Strings> start = ExpectedLines({});
    ASSERT_TRUE(serve.Ready(start[0].size()));
    Sender sender;
    std::mt19937 rng(99);

    // The source that holds the display: sACN at priority 150.
    std::uint8_t sequence = 0;
    const auto main = [&](const SequenceFrame& frame) {
        net::test::SacnSpec spec;
        spec.priority = 150;
        spec.name = "Main";
        spec.cid[15] = 0xAA;
        spec.sequence = ++sequence;
        const net::Universe channels = net::EncodeUniverse(frame, 1);
        spec.slots.assign(channels.begin(), channels.end());
        return net::test::SacnPacket(spec);
    };
    const auto sacn = [](const std::function<void(net::test::SacnSpec&)>& change) {
        net::test::SacnSpec spec;
        change(spec);
        return net::test::SacnPacket(spec);
    };
    Bytes badLength = sacn([](net::test::SacnSpec&) {});
    badLength[124] ^= 0x01;  // the property count disagrees with the datagram
    Bytes truncated = sacn([](net::test::SacnSpec&) {});
    truncated.resize(10);
    Bytes garbage(300, 0x5A);
    net::test::DdpSpec outOfRange;
    outOfRange.offset = 400;
    // Each kind of packet, how many were sent, and the reason its drops are counted under.
    struct Kind {
        Bytes packet;
        Protocol protocol;
        const char* reason;
        std::size_t sequenceAt = 0;  // where a numbered valid source's sequence goes (0: none)
        long sent = 0;
    };
    std::vector<Kind> kinds = {
        {sacn([](auto& s) { s.cid[15] = 1; }), Protocol::Sacn, "lower priority", 111},
        {sacn([](auto& s) {
             s.cid[15] = 2;
             s.universe = 2;
         }),
         Protocol::Sacn, "wrong universe"},
        {sacn([](auto& s) {
             s.cid[15] = 3;
             s.startCode = 0xDD;
         }),
         Protocol::Sacn, "unsupported start code"},
        {sacn([](auto& s) {
             s.cid[15] = 4;
             s.options = 0x80;
         }),
         Protocol::Sacn, "preview data"},
        {badLength, Protocol::Sacn, "bad length"},
        {truncated, Protocol::Sacn, "too short"},
        {garbage, Protocol::ArtNet, "bad identifier"},
        {net::test::ArtDmxPacket({}), Protocol::ArtNet, "lower priority"},
        {net::test::DdpPacket(outOfRange), Protocol::Ddp, "out of range"},
    };

    SequenceFrame last;
    for (int warmUp = 0; warmUp < 20; ++warmUp) {
        last = Carried(testing::RandomFrame(rng));
        sender.Send(main(last), serve.To(Protocol::Sacn));
        serve.Pump(Ms(5));
    }
    ASSERT_TRUE(serve.PumpUntil(
        [&] { return Decode(serve.Out()) == Decode(Flatten(ExpectedLines({last}))); }));
    const long residentBefore = serve.ResidentKb();

    int mainSent = 0;
    for (int sent = 0; sent < kPackets; ++sent) {
        if (sent % 10 == 0) {
            last = Carried(testing::RandomFrame(rng));
            sender.Send(main(last), serve.To(Protocol::Sacn));
            ++mainSent;
        } else {
            Kind& kind = kinds[static_cast<std::size_t>(sent) % kinds.size()];
            if (kind.sequenceAt != 0)
                ++kind.packet[kind.sequenceAt];
            sender.Send(kind.packet, serve.To(kind.protocol));
            ++kind.sent;
        }
        if (sent % kBurst == kBurst - 1)
            serve.Pump(Ms(1));  // the service's output keeps flowing, as a terminal reads it
    }
    // A final frame after the flood is shown at once.
    serve.Pump(Ms(200));
    last = Carried(testing::RandomFrame(rng));
    const auto sentAt = std::chrono::steady_clock::now();
    sender.Send(main(last), serve.To(Protocol::Sacn));
    const Shown expected = Decode(Flatten(ExpectedLines({last})));
    ASSERT_TRUE(serve.PumpUntil([&] { return Decode(serve.Out()) == expected; }, Ms(5000)));
    const auto answered = std::chrono::steady_clock::now() - sentAt;
    EXPECT_LT(answered, Ms(2000));
    const long residentAfter = serve.ResidentKb();
    EXPECT_GT(residentBefore, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (A sanitizer's quarantine and shadow memory grow with every allocation, freed or not.)
    EXPECT_LT(residentAfter - residentBefore, 1024) << residentBefore << " kB before";
#endif

    EXPECT_EQ(serve.Stop(), 0);
    // Loopback may drop datagrams when the socket's buffer is full: counted at most as sent.
    std::map<std::string, long> sentByReason;
    for (const Kind& kind : kinds)
        sentByReason[kind.reason] += kind.sent;
    for (const auto& [reason, sent] : sentByReason) {
        SCOPED_TRACE(reason);
        const long dropped = serve.Dropped(reason);
        EXPECT_GT(dropped, 0) << ::testing::PrintToString(serve.Err());
        EXPECT_LE(dropped, sent);
    }
}

}  // namespace
}  // namespace velta::cli
