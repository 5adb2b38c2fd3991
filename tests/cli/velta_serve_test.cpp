// velta serve: its usage errors and the transmitter coming and going in-process, and the real
// program as a child process on 127.0.0.1 (ports chosen free by the system and read from its
// start lines, every wait bounded): packets in, the simulated transmitter's reports out, held to
// what Auto Update sends for the same content.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "display/report_decoder.h"
#include "display/report_hex.h"
#include "net/udp_socket.h"
#include "tests/cli/velta_rig.h"
#include "tests/control/auto_update_steps.h"
#include "tests/support/child_process.h"
#include "tests/support/net_packets.h"

namespace velta::cli {
namespace {

using net::Protocol;
using net::test::Bytes;
using testing::AutoUpdateSteps;
using ::testing::HasSubstr;
using testing::RandomCarriedFrames;
using Ms = std::chrono::milliseconds;

constexpr std::uint32_t kLoopback = 0x7F000001;

TEST(VeltaServe, UsageErrorsAreOneLineAndExit2) {
    const std::pair<Strings, const char*> cases[] = {
        {{"--universe", "0"}, "the universe must be 1 to 63999, not 0"},
        {{"--universe", "40000"}, "at most 32768 for Art-Net"},
        {{"--start-address", "54"}, "the start address must be 1 to 53"},
        {{"--allow", "10.0.0.1/8"}, "--allow: \"10.0.0.1/8\" has host bits set"},
        {{"--allow", "10.0.0.0/8,300.1.1.1"}, "\"300.1.1.1\" is not an IPv4 address"},
        {{"--protocols", "sacn,dmx"}, "--protocols: \"dmx\" is not a protocol"},
        {{"--bind", "10.0.1"}, "--bind: \"10.0.1\" is not an IPv4 address"},
        {{"--on-loss", "keep"}, "--on-loss"},
        {{"--ddp-port", "-1"}, "--ddp-port"},
        {{"--device", ""}, "--device needs a path or serial number"},
    };
    for (const auto& [options, message] : cases) {
        SCOPED_TRACE(message);
        Rig rig;
        Strings args{"serve", "--simulate"};
        args.insert(args.end(), options.begin(), options.end());
        const Outcome outcome = rig.Velta(args);
        EXPECT_EQ(outcome.code, kExitUsage);
        ASSERT_EQ(outcome.err.size(), 1u);
        EXPECT_EQ(outcome.err[0].rfind("velta: ", 0), 0u);
        EXPECT_THAT(outcome.err[0], HasSubstr(message));
        EXPECT_EQ(rig.simulated.WrittenTotal(), 0u);  // nothing half-done
    }
}

// Absent at the start, plugged in, pulled out and plugged in again: the service keeps looking
// (every 2 s), and each time the transmitter --device names comes it gets RF on and the whole
// panel again; the other transmitter beside it gets nothing.
TEST(VeltaServe, LooksForTheTransmitterUntilItComesAndAfterItGoes) {
    Rig rig;
    const std::vector<HidInterfaceInfo> two = {
        SimulatedTransmitter::TransmitterInterface("sim:a", "A1"),
        SimulatedTransmitter::TransmitterInterface("sim:b", "B2")};
    rig.device.SetInterfaces({two[0]});
    std::atomic<bool> stop{false};
    rig.transports.stopRequested = [&] { return stop.load(); };
    Outcome outcome;
    std::thread service([&] {
        outcome = rig.Velta({"serve", "--bind", "127.0.0.1", "--protocols", "ddp", "--ddp-port",
                             "0", "--device", "B2"});
    });
    const auto written = [&](std::uint64_t n) {
        return testing::WaitUntil([&] { return rig.device.WrittenTotal() >= n; }, Ms(8000));
    };
    std::this_thread::sleep_for(Ms(100));
    rig.device.SetInterfaces(two);
    const bool connected = written(5);  // RF on, the grid and its tail, the pods, the rings
    rig.device.Unplug();
    rig.device.SetInterfaces(two);
    const bool back = written(10);
    stop = true;
    service.join();
    ASSERT_TRUE(connected && back);
    EXPECT_EQ(outcome.code, kExitOk);
    const std::vector<DeviceReport> reports = rig.device.WrittenReports();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_TRUE(std::equal(reports.begin(), reports.begin() + 5, reports.begin() + 5));
    EXPECT_EQ(reports[0][1], 0xF0);
    EXPECT_THAT(rig.device.WrittenPaths(), ::testing::Each(std::string("sim:b")));
    const Strings expected = {"no transmitter (no transmitter with serial or path B2; found: sim:a",
                              "transmitter connected", "transmitter lost (Read Error - 0xA0)",
                              "transmitter back", "stopped: "};
    std::size_t next = 0;
    for (const std::string& line : outcome.err)
        next += next < expected.size() && line.find(expected[next]) != std::string::npos;
    EXPECT_EQ(next, expected.size()) << ::testing::PrintToString(outcome.err);
}

// The hex lines the service must print: the start, then each frame's reports.
Strings HexLines(const testing::ReportSteps& steps) {
    Strings lines;
    for (const DeviceReport& report : testing::Joined(steps))
        lines.push_back(FormatReportHex(report));
    return lines;
}

// What a display shows after these report lines (its content, not how it got there).
auto Shown(const Strings& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    ReportDecoder decoder;
    for (const DeviceReport& report : ParseReportHexLines(text).reports)
        decoder.Feed(report);
    const DisplayState& d = decoder.State();
    return std::make_tuple(d.columns, d.pods, d.rings, d.scrollSpeed, d.gridBrightness);
}

// One packet carrying `frame` over `protocol`, numbered `sequence`.
Bytes Packet(Protocol protocol, const SequenceFrame& frame, std::uint8_t sequence, int universe = 1,
             int start = 1) {
    const net::Universe channels =
        net::EncodeUniverse(frame, protocol == Protocol::Ddp ? 1 : start);
    if (protocol == Protocol::Sacn) {
        net::test::SacnFields fields;
        fields.universe = universe;
        fields.sequence = sequence;
        fields.levels.assign(channels.begin(), channels.end());
        return net::test::SacnPacket(fields);
    }
    if (protocol == Protocol::ArtNet) {
        net::test::ArtDmxFields fields;
        fields.portAddress = universe - 1;
        fields.sequence = sequence;
        fields.levels.assign(channels.begin(), channels.end());
        return net::test::ArtDmxPacket(fields);
    }
    net::test::DdpFields fields;
    fields.data.assign(channels.begin(), channels.begin() + net::kFixtureChannels);
    return net::test::DdpPacket(fields);
}

// velta serve --simulate as a child process on 127.0.0.1, on free ports, with a sender.
class Serve : public testing::ChildProcess {
  public:
    explicit Serve(const Strings& args) : ChildProcess(VELTA_BINARY, WithDefaults(args)) {
        std::string error;
        EXPECT_TRUE(sender_.Open(kLoopback, 0, error)) << error;
    }
    // Waits for the transmitter and the start's reports, and reads the ports it listens on.
    ::testing::AssertionResult Ready() {
        const std::size_t start = HexLines(AutoUpdateSteps({})).size();
        if (!PumpUntil([&] { return ErrHas("transmitter connected") && Out().size() >= start; }))
            return ::testing::AssertionFailure() << Out().size() << " of " << start << " lines; "
                                                 << ::testing::PrintToString(Err());
        const std::regex listening(R"(^velta serve: (sACN|Art-Net|DDP) on 127\.0\.0\.1:(\d+))");
        std::smatch match;
        for (const std::string& line : Err()) {
            if (std::regex_search(line, match, listening))
                ports_[match[1]] = static_cast<std::uint16_t>(std::stoi(match[2]));
        }
        return ::testing::AssertionSuccess();
    }
    void Send(const Bytes& packet, Protocol protocol) {
        sender_.SendTo(packet, {kLoopback, ports_.at(std::string(net::ProtocolName(protocol)))});
    }
    bool ErrHas(const std::string& text) const {
        return std::any_of(Err().begin(), Err().end(),
                           [&](const std::string& line) { return line.find(text) != line.npos; });
    }
    // The count of a reason in the summary at the end; -1 when it is not there.
    long Dropped(const std::string& reason) const {
        const std::regex count("stopped: .*[ ;,](\\d+) " + reason + "(,|;|$)");
        std::smatch match;
        for (const std::string& line : Err()) {
            if (std::regex_search(line, match, count))
                return std::stol(match[1]);
        }
        return -1;
    }

  private:
    static Strings WithDefaults(Strings args) {
        const Strings defaults{"serve", "--simulate", "--bind", "127.0.0.1",     "--sacn-port",
                               "0",     "--ddp-port", "0",      "--artnet-port", "0"};
        args.insert(args.begin(), defaults.begin(), defaults.end());
        return args;
    }
    std::map<std::string, std::uint16_t> ports_;
    net::os::SocketLibrary library_;
    net::os::UdpSocket sender_;
};

// Three services at once, one per protocol, each on its own ports with its own simulated
// transmitter: frames over each protocol reach its transmitter as exactly the reports Auto Update
// sends for that content, each only what changed. SIGTERM or SIGINT ends each with its summary.
TEST(VeltaServe, EachProtocolSendsWhatAutoUpdateSends) {
    const struct {
        Protocol protocol;
        Strings args;
        int universe, start, signal;
    } cases[] = {
        {Protocol::Sacn,
         {"--protocols", "sacn", "--universe", "7", "--start-address", "5"},
         7,
         5,
         SIGTERM},
        {Protocol::ArtNet, {"--protocols", "artnet", "--universe", "3"}, 3, 1, SIGINT},
        {Protocol::Ddp, {"--protocols", "ddp"}, 1, 1, SIGTERM},
    };
    std::vector<std::unique_ptr<Serve>> services;
    for (const auto& c : cases) {
        services.push_back(std::make_unique<Serve>(c.args));
        ASSERT_TRUE(services.back()->Ready());
    }
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        const auto& c = cases[n];
        Serve& serve = *services[n];
        SCOPED_TRACE(net::ProtocolName(c.protocol));
        const std::vector<SequenceFrame> frames = RandomCarriedFrames(3, 21 + n);
        const testing::ReportSteps steps = AutoUpdateSteps(frames);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            serve.Send(Packet(c.protocol, frames[i], static_cast<std::uint8_t>(i + 1), c.universe,
                              c.start),
                       c.protocol);
            const std::size_t lines = HexLines({steps.begin(), steps.begin() + i + 2}).size();
            ASSERT_TRUE(serve.PumpUntil([&] { return serve.Out().size() >= lines; }));
        }
        EXPECT_EQ(serve.Stop(c.signal), 0);
        EXPECT_EQ(serve.Out(), HexLines(steps));
        EXPECT_TRUE(serve.ErrHas(" joined (")) << ::testing::PrintToString(serve.Err());
        EXPECT_TRUE(serve.ErrHas("stopped: ") && serve.ErrHas("nothing dropped; 3 frames sent"));
    }
}

// 20,000 datagrams in about a second: the sACN source that holds the display (a new frame every
// 10th datagram) among packets from other sources, each dropped for the reason beside it. The
// service keeps up and stays flat, the newest frame wins, and every drop is counted.
TEST(VeltaServe, FloodOfValidAndMalformedPackets) {
    Serve serve({});
    ASSERT_TRUE(serve.Ready());
    const auto sacn = [](std::uint8_t cid, int priority, int universe, std::uint8_t startCode) {
        net::test::SacnFields fields;
        fields.cid[15] = cid;
        fields.priority = priority;
        fields.universe = universe;
        fields.startCode = startCode;
        return net::test::SacnPacket(fields);
    };
    net::test::DdpFields outOfRange;
    outOfRange.offset = 400;
    struct Kind {
        Bytes packet;
        Protocol protocol;
        const char* reason;
        long sent = 0;
    } kinds[] = {
        {sacn(1, 50, 1, 0), Protocol::Sacn, "lower priority"},
        {sacn(2, 100, 2, 0), Protocol::Sacn, "wrong universe"},
        {sacn(3, 100, 1, 0xDD), Protocol::Sacn, "unsupported start code"},
        {Bytes(10, 0), Protocol::Sacn, "too short"},
        {Bytes(300, 0x5A), Protocol::ArtNet, "bad identifier"},
        {net::test::DdpPacket(outOfRange), Protocol::Ddp, "out of range"},
    };
    std::mt19937 rng(99);
    SequenceFrame last;
    std::uint8_t sequence = 0;
    const auto sendMain = [&] {
        last = RandomCarriedFrames(1, static_cast<unsigned>(rng()))[0];
        serve.Send(Packet(Protocol::Sacn, last, ++sequence), Protocol::Sacn);
    };
    const auto showsLast = [&] {
        return Shown(serve.Out()) == Shown(HexLines(AutoUpdateSteps({last})));
    };
    for (int warmUp = 0; warmUp < 20; ++warmUp) {
        sendMain();
        serve.Pump(Ms(5));
    }
    ASSERT_TRUE(serve.PumpUntil(showsLast));
    const long residentBefore = serve.ResidentKb();
    for (int sent = 0; sent < 20000; ++sent) {
        Kind& kind = kinds[static_cast<std::size_t>(sent) % std::size(kinds)];
        if (sent % 10 == 0) {
            sendMain();
        } else {
            if (kind.packet.size() > 111)
                ++kind.packet[111];  // sACN's sequence number goes on
            serve.Send(kind.packet, kind.protocol);
            ++kind.sent;
        }
        if (sent % 100 == 99)
            serve.Pump(Ms(1));  // its output keeps flowing, as a terminal reads it
    }
    serve.Pump(Ms(200));
    const auto sentAt = std::chrono::steady_clock::now();
    sendMain();  // a final frame after the flood is shown at once
    ASSERT_TRUE(serve.PumpUntil(showsLast, Ms(5000)));
    EXPECT_LT(std::chrono::steady_clock::now() - sentAt, Ms(2000));
    EXPECT_GT(residentBefore, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (A sanitizer's quarantine and shadow memory grow with every allocation, freed or not.)
    EXPECT_LT(serve.ResidentKb() - residentBefore, 1024) << residentBefore << " kB before";
#endif
    EXPECT_EQ(serve.Stop(), 0);
    // Loopback may drop datagrams when the socket's buffer is full: counted at most as sent.
    for (const Kind& kind : kinds) {
        EXPECT_GT(serve.Dropped(kind.reason), 0)
            << kind.reason << ::testing::PrintToString(serve.Err());
        EXPECT_LE(serve.Dropped(kind.reason), kind.sent) << kind.reason;
    }
}

}  // namespace
}  // namespace velta::cli
