// The rules about sources on a clock the tests move: priority, sequence numbers, preview,
// termination and time-outs, DDP frames and the loss policy; then the engine's checks before
// the rules (universe, --allow, ArtPoll's rate limit).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/input_engine.h"
#include "net/source_rules.h"
#include "tests/support/net_packets.h"

namespace velta::net {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

const TimePoint kT0 = TimePoint{} + 1h;

Cid CidOf(std::uint8_t n) {
    Cid cid{};
    cid[0] = n;
    return cid;
}

// Packets of a few sources; a step offers one packet (or moves the clock) and expects a reason.
struct Sender {
    Cid cid;
    Endpoint from;
};
const Sender kA{CidOf(1), {0x0A000001, 5568}};
const Sender kB{CidOf(2), {0x0A000002, 5568}};

struct Step {
    std::string what;
    const Sender* sender;  // nullptr: only the clock moves, to `at`
    std::chrono::milliseconds at;
    int priority = 100;
    int sequence = -1;
    bool preview = false;
    bool terminated = false;
    Reason expected = Reason::Accepted;
};

std::vector<std::string> Drain(SourceRules& rules) {
    std::vector<std::string> kinds;
    static const char* const kNames[] = {"joined", "terminated", "timed out", "conflict",
                                         "all gone"};
    while (auto event = rules.Events().Pop())
        kinds.push_back(kNames[static_cast<int>(event->kind)] +
                        std::string(event->source.address == kA.from ? " A" : " B"));
    return kinds;
}

struct Scenario {
    std::string name;
    std::vector<Step> steps;
    std::vector<std::string> events;
};

TEST(SourceRules, PrioritySequenceAndEndOfSources) {
    const std::vector<Scenario> scenarios = {
        {"a higher priority takes over, a lower one is dropped",
         {{"A", &kA, 0ms, 100},
          {"B above", &kB, 10ms, 150},
          {"A now below", &kA, 20ms, 100, -1, false, false, Reason::LowerPriority},
          {"B", &kB, 30ms, 150}},
         {"joined A", "joined B"}},
        {"equal priority: the newer source wins and the conflict is reported",
         {{"A", &kA, 0ms, 100},
          {"B equal", &kB, 10ms, 100},
          {"A again", &kA, 20ms, 100, -1, false, false, Reason::EqualPriority}},
         {"joined A", "joined B", "conflict B"}},
        {"when the winner lowers its priority the other takes over",
         {{"A", &kA, 0ms, 120},
          {"B", &kB, 10ms, 100, -1, false, false, Reason::LowerPriority},
          {"A lowers", &kA, 20ms, 50, -1, false, false, Reason::LowerPriority},
          {"B holds now", &kB, 30ms, 100}},
         {"joined A", "joined B"}},
        {"sequence: up to 19 behind is stale, the same number too, 20 behind is a restart",
         {{"A 100", &kA, 0ms, 100, 100},
          {"A 100 again", &kA, 1ms, 100, 100, false, false, Reason::StaleSequence},
          {"A 81", &kA, 2ms, 100, 81, false, false, Reason::StaleSequence},
          {"A 101", &kA, 3ms, 100, 101},
          {"A 81: 20 behind", &kA, 4ms, 100, 81}},
         {"joined A"}},
        {"sequence wraps from 255 to 0",
         {{"A 250", &kA, 0ms, 100, 250},
          {"A 0", &kA, 1ms, 100, 0},
          {"A 245", &kA, 2ms, 100, 245, false, false, Reason::StaleSequence}},
         {"joined A"}},
        {"preview data is ignored and makes no source",
         {{"A preview", &kA, 0ms, 100, -1, true, false, Reason::PreviewData}},
         {}},
        {"stream terminated ends the source; the other takes over",
         {{"A", &kA, 0ms, 150},
          {"B", &kB, 10ms, 100, -1, false, false, Reason::LowerPriority},
          {"A terminates", &kA, 20ms, 150, -1, false, true, Reason::StreamTerminated},
          {"B", &kB, 30ms, 100}},
         {"joined A", "joined B", "terminated A"}},
        {"the last source terminating leaves none",
         {{"A", &kA, 0ms},
          {"A terminates", &kA, 5ms, 100, -1, false, true, Reason::StreamTerminated}},
         {"joined A", "terminated A", "all gone A"}},
        {"2.5 s of silence ends a source, 2.499 s does not",
         {{"A", &kA, 0ms, 150},
          {"B", &kB, 1ms, 100, -1, false, false, Reason::LowerPriority},
          {"B", &kB, 2499ms, 100, -1, false, false, Reason::LowerPriority},
          {"B after A's 2.5 s", &kB, 2500ms, 100}},
         {"joined A", "joined B", "timed out A"}},
        {"a source that comes back after timing out joins again",
         {{"A", &kA, 0ms}, {"clock", nullptr, 3000ms}, {"A", &kA, 3001ms}},
         {"joined A", "timed out A", "all gone A", "joined A"}},
    };
    for (const Scenario& scenario : scenarios) {
        SourceRules rules;
        for (const Step& step : scenario.steps) {
            if (step.sender == nullptr) {
                rules.Expire(kT0 + step.at);
                continue;
            }
            SourcePacket packet;
            packet.cid = &step.sender->cid;
            packet.from = step.sender->from;
            packet.priority = step.priority;
            packet.sequence = step.sequence;
            packet.preview = step.preview;
            packet.terminated = step.terminated;
            EXPECT_EQ(rules.Offer(packet, kT0 + step.at), step.expected)
                << scenario.name << ": " << step.what;
        }
        EXPECT_EQ(Drain(rules), scenario.events) << scenario.name;
    }
}

TEST(SourceRules, TheNextExpiryIsTheEarliestSourcesLastPacketPlusTheTimeout) {
    SourceRules rules;
    EXPECT_FALSE(rules.NextExpiry());
    SourcePacket packet;
    packet.cid = &kA.cid;
    rules.Offer(packet, kT0);
    packet.cid = &kB.cid;
    rules.Offer(packet, kT0 + 700ms);
    EXPECT_EQ(rules.NextExpiry(), kT0 + kSourceTimeout);
    rules.Expire(kT0 + kSourceTimeout);
    EXPECT_EQ(rules.NextExpiry(), kT0 + 700ms + kSourceTimeout);
}

TEST(SourceRules, AFullTableRefusesNewSourcesUntilOneLeaves) {
    SourceRules rules;
    std::vector<Cid> cids;
    for (int i = 0; i < kMaxSources + 1; ++i)
        cids.push_back(CidOf(static_cast<std::uint8_t>(i + 1)));
    SourcePacket packet;
    for (int i = 0; i < kMaxSources; ++i) {
        packet.cid = &cids[static_cast<std::size_t>(i)];
        rules.Offer(packet, kT0 + std::chrono::milliseconds(i));
    }
    packet.cid = &cids.back();
    EXPECT_EQ(rules.Offer(packet, kT0 + 100ms), Reason::TooManySources);
    packet.cid = &cids.front();
    packet.terminated = true;
    rules.Offer(packet, kT0 + 101ms);
    packet.cid = &cids.back();
    packet.terminated = false;
    EXPECT_EQ(rules.Offer(packet, kT0 + 102ms), Reason::Accepted);
}

TEST(SourceRules, StatsNameTheSourceWithoutControlCharacters) {
    SourceRules rules;
    SourcePacket packet;
    packet.cid = &kA.cid;
    packet.from = kA.from;
    packet.priority = 120;
    packet.universe = 7;
    packet.name = "Desk\x1B[2J \xC3\xA9\xC2\x9B\xFF";
    for (int i = 0; i < 45; ++i)
        rules.Offer(packet, kT0 + std::chrono::milliseconds(i * 25));
    std::array<SourceStats, kMaxSources> stats;
    ASSERT_EQ(rules.CopyStats(stats), 1);
    EXPECT_EQ(std::string(stats[0].label.name.data()), "Desk?[2J \xC3\xA9??");
    EXPECT_EQ(stats[0].label.priority, 120);
    EXPECT_EQ(stats[0].label.universe, 7);
    EXPECT_EQ(stats[0].packets, 45u);
    EXPECT_NEAR(stats[0].packetsPerSecond, 40.0, 0.5);
    EXPECT_TRUE(stats[0].holdsDisplay);
    EXPECT_EQ(stats[0].lastSeen, kT0 + 1100ms);
}

// DDP pieces fill one frame; push completes it. A sender that never pushes has each packet
// shown as it comes; once a sender has pushed, only its pushes complete a frame.
TEST(SourceRules, DdpPiecesMakeAFrameAtThePush) {
    SourceRules rules;
    const Bytes first(256, 0x11);
    const Bytes second(204, 0x22);
    SourcePacket packet;
    packet.protocol = Protocol::Ddp;
    packet.from = {0x0A000009, 4048};
    packet.priority = kDdpPriority;

    packet.levels = first;
    packet.push = false;
    EXPECT_EQ(rules.Offer(packet, kT0), Reason::Accepted);  // no push seen yet: shown as it is
    packet.levels = second;
    packet.offset = 256;
    packet.push = true;
    ASSERT_EQ(rules.Offer(packet, kT0 + 1ms), Reason::Accepted);
    EXPECT_EQ(rules.LatestUniverse()[255], 0x11);
    EXPECT_EQ(rules.LatestUniverse()[256], 0x22);
    EXPECT_EQ(rules.LatestUniverse()[459], 0x22);
    EXPECT_EQ(rules.LatestUniverse()[460], 0x00);

    packet.levels = second;
    packet.offset = 0;
    packet.push = false;
    EXPECT_EQ(rules.Offer(packet, kT0 + 2ms), Reason::DdpPending);
    EXPECT_EQ(rules.LatestUniverse()[0], 0x11);  // not shown before the push
    packet.levels = {};
    packet.push = true;
    ASSERT_EQ(rules.Offer(packet, kT0 + 3ms), Reason::Accepted);
    EXPECT_EQ(rules.LatestUniverse()[0], 0x22);
    EXPECT_EQ(rules.LatestUniverse()[256], 0x22);
}

InputConfig Config(LossPolicy policy = LossPolicy::Hold) {
    InputConfig config;
    config.universe = 3;
    config.startAddress = 5;
    config.onLoss = policy;
    return config;
}

TEST(InputEngine, ChecksTheUniverseAndTheAllowListBeforeTheRules) {
    InputConfig config = Config();
    std::string error;
    ASSERT_TRUE(config.allow.Add("10.1.0.0/16", error)) << error;
    InputEngine engine(config);
    const Endpoint inside{0x0A010203, 5568};
    const Endpoint outside{0x0A020203, 5568};

    test::SacnFields sacn;
    sacn.universe = 3;
    sacn.levels[4] = 255;  // channel 5 = S: grid row 0 column 0
    InputEngine::Outcome outcome =
        engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), inside, kT0);
    EXPECT_EQ(outcome.reason, Reason::Accepted);
    ASSERT_TRUE(outcome.frameReady);
    EXPECT_TRUE(engine.Frame().cells[0]);
    EXPECT_EQ(engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), outside, kT0).reason,
              Reason::NotAllowed);
    sacn.universe = 4;
    EXPECT_EQ(engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), inside, kT0).reason,
              Reason::WrongUniverse);

    test::ArtDmxFields dmx;
    dmx.portAddress = 3;  // Art-Net counts from 0: universe 3 is port-address 2
    EXPECT_EQ(engine.OnDatagram(Protocol::ArtNet, test::ArtDmxPacket(dmx), inside, kT0).reason,
              Reason::WrongUniverse);

    const InputCounters& counters = engine.Counters();
    EXPECT_EQ(counters.packets[Index(Protocol::Sacn)], 3u);
    EXPECT_EQ(counters.packets[Index(Protocol::ArtNet)], 1u);
    EXPECT_EQ(counters.framesAccepted, 1u);
    EXPECT_EQ(counters.reasons[Index(Reason::WrongUniverse)], 2u);
    EXPECT_EQ(counters.reasons[Index(Reason::NotAllowed)], 1u);
    EXPECT_EQ(counters.Drops(), 3u);
    EXPECT_EQ(DescribeCounters(counters),
              "sACN 3, Art-Net 1, DDP 0 packets; 1 frames; dropped: 2 wrong universe, 1 not "
              "allowed");
}

TEST(InputEngine, ArtNetAndDdpFramesComeThroughTheChannelMap) {
    InputEngine engine(Config());
    test::ArtDmxFields dmx;
    dmx.portAddress = 2;
    dmx.levels[4 + 444] = 255;  // ring 0 at S = 5
    auto outcome = engine.OnDatagram(Protocol::ArtNet, test::ArtDmxPacket(dmx), {1, 6454}, kT0);
    ASSERT_TRUE(outcome.frameReady);
    EXPECT_TRUE(engine.Frame().rings[0]);

    // DDP starts at byte 0 whatever the start address: byte 444 is ring 0.
    InputEngine ddpEngine(Config());
    test::DdpFields ddp;
    ddp.data[444] = 255;
    outcome = ddpEngine.OnDatagram(Protocol::Ddp, test::DdpPacket(ddp), {1, 4048}, kT0);
    ASSERT_TRUE(outcome.frameReady);
    EXPECT_TRUE(ddpEngine.Frame().rings[0]);
}

TEST(InputEngine, WhenEverySourceHasGoneTheDisplayHoldsOrBlanks) {
    for (const LossPolicy policy : {LossPolicy::Hold, LossPolicy::Blank}) {
        InputEngine engine(Config(policy));
        test::SacnFields sacn;
        sacn.universe = 3;
        std::fill(sacn.levels.begin(), sacn.levels.end(), 255);
        ASSERT_TRUE(
            engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), {1, 1}, kT0).frameReady);
        EXPECT_FALSE(engine.Expire(kT0 + 2499ms));
        const bool blanked = engine.Expire(kT0 + 2500ms);
        EXPECT_EQ(blanked, policy == LossPolicy::Blank);
        if (blanked) {
            EXPECT_TRUE(engine.Frame().cells.none());
            EXPECT_TRUE(engine.Frame().rings.none());
            EXPECT_EQ(engine.Frame().pods, (std::array<Color, kPodCount>{}));
        }
        EXPECT_FALSE(engine.NextDeadline());
        // A terminated stream blanks the same way.
        engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), {1, 1}, kT0 + 3s);
        sacn.options = 0x40;
        sacn.sequence = 1;
        const auto outcome =
            engine.OnDatagram(Protocol::Sacn, test::SacnPacket(sacn), {1, 1}, kT0 + 4s);
        EXPECT_EQ(outcome.reason, Reason::StreamTerminated);
        EXPECT_EQ(outcome.frameReady, policy == LossPolicy::Blank);
    }
}

TEST(InputEngine, ArtPollIsAnsweredAtMostTenTimesASecond) {
    InputEngine engine(Config());
    int answered = 0;
    for (int i = 0; i < 25; ++i) {
        const auto outcome = engine.OnDatagram(Protocol::ArtNet, test::ArtPollPacket(), {1, 6454},
                                               kT0 + std::chrono::milliseconds(i * 10));
        answered += outcome.answerPoll ? 1 : 0;
    }
    EXPECT_EQ(answered, kMaxPollRepliesPerSecond);
    EXPECT_TRUE(
        engine.OnDatagram(Protocol::ArtNet, test::ArtPollPacket(), {1, 6454}, kT0 + 1s).answerPoll);
    EXPECT_EQ(engine.Node(0x7F000001).portAddress, 2);
}

TEST(InputConfig, RefusesUniversesAndStartAddressesOutOfRange) {
    const struct {
        int universe;
        int start;
        const char* expected;  // empty: accepted
    } cases[] = {
        {1, 1, ""},
        {63999, 53, ""},
        {0, 1, "the universe must be 1 to 63999, not 0"},
        {64000, 1, "the universe must be 1 to 63999, not 64000"},
        {1, 54, "1 to 53"},
    };
    for (const auto& c : cases) {
        InputConfig config;
        config.universe = c.universe;
        config.startAddress = c.start;
        const std::string error = CheckInputConfig(config);
        if (std::string(c.expected).empty())
            EXPECT_EQ(error, "") << c.universe << " " << c.start;
        else
            EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(AllowList, ParsesAddressesAndNetworksAndRefusesMalformedOnes) {
    const struct {
        const char* text;
        bool ok;
        std::uint32_t inside;
        std::uint32_t outside;
    } cases[] = {
        {"192.168.1.0/24", true, 0xC0A801FE, 0xC0A802FE},
        {"10.0.0.7", true, 0x0A000007, 0x0A000008},
        {"0.0.0.0/0", true, 0xFFFFFFFF, 0},
        {"10.0.0.1/8", false, 0, 0},
        {"10.0.0/8", false, 0, 0},
        {"256.0.0.0/8", false, 0, 0},
        {"10.0.0.0/33", false, 0, 0},
        {"10.0.0.0/", false, 0, 0},
        {"10.0.0.0/8x", false, 0, 0},
        {" 10.0.0.0/8", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        AllowList allow;
        std::string error;
        EXPECT_EQ(allow.Add(c.text, error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos) << error;
            EXPECT_TRUE(allow.Empty());
            continue;
        }
        EXPECT_TRUE(allow.Allows(c.inside)) << c.text;
        if (std::string(c.text) != "0.0.0.0/0") {
            EXPECT_FALSE(allow.Allows(c.outside)) << c.text;
        }
    }
}

}  // namespace
}  // namespace velta::net
