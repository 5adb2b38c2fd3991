// The three protocol readers: a good packet of each, then one row per malformed field, each
// expecting its reason. Offsets come from the protocols' layouts.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "net/artnet.h"
#include "net/ddp.h"
#include "net/sacn.h"
#include "tests/support/net_packets.h"

namespace velta::net {
namespace {

using test::Bytes;

struct Case {
    std::string name;
    std::function<void(Bytes&)> change;
    Reason expected;
};

Bytes Slots(std::size_t n) {
    Bytes levels(n);
    for (std::size_t i = 0; i < n; ++i)
        levels[i] = static_cast<std::uint8_t>(i * 7);
    return levels;
}

TEST(SacnReader, ReadsEveryFieldOfAGoodPacket) {
    test::SacnFields fields;
    fields.name = "Desk \xC3\xA9";
    fields.priority = 150;
    fields.syncAddress = 7;
    fields.sequence = 42;
    fields.options = 0x80 | 0x20;
    fields.universe = 63999;
    fields.levels = Slots(512);
    const Bytes packet = test::SacnPacket(fields);
    const SacnReading reading = ReadSacn(packet);
    ASSERT_EQ(reading.reason, Reason::Accepted);
    EXPECT_EQ(reading.data.cid, fields.cid);
    EXPECT_EQ(reading.data.sourceName, fields.name);
    EXPECT_EQ(reading.data.priority, 150);
    EXPECT_EQ(reading.data.syncAddress, 7);
    EXPECT_EQ(reading.data.sequence, 42);
    EXPECT_TRUE(reading.data.preview);
    EXPECT_FALSE(reading.data.terminated);
    EXPECT_TRUE(reading.data.forceSync);
    EXPECT_EQ(reading.data.universe, 63999);
    EXPECT_EQ(Bytes(reading.data.levels.begin(), reading.data.levels.end()), fields.levels);
}

TEST(SacnReader, RefusesEachMalformedField) {
    // Rows change the good 638-byte packet; lengths are fixed up only where a row says so.
    const auto shrinkTo = [](std::size_t n) {
        return [n](Bytes& b) {
            b.resize(n);
            test::PutBe16(b, 16, 0x7000 | (n - 16));
            test::PutBe16(b, 38, 0x7000 | (n - 38));
            test::PutBe16(b, 115, 0x7000 | (n - 115));
            test::PutBe16(b, 123, static_cast<unsigned>(n - 125));
        };
    };
    const std::vector<Case> cases = {
        {"good", [](Bytes&) {}, Reason::Accepted},
        {"start code only", shrinkTo(126), Reason::Accepted},
        {"empty", [](Bytes& b) { b.clear(); }, Reason::TooShort},
        {"cut inside the root layer", [](Bytes& b) { b.resize(30); }, Reason::TooShort},
        {"cut before the start code", shrinkTo(125), Reason::TooShort},
        {"one slot past 512",
         [](Bytes& b) {
             b.push_back(0);
             test::PutBe16(b, 16, 0x7000 | (b.size() - 16));
         },
         Reason::Oversized},
        {"one byte more than the lengths say", [](Bytes& b) { b.push_back(0); }, Reason::BadLength},
        {"huge", [](Bytes& b) { b.resize(5000); }, Reason::Oversized},
        {"preamble size", [](Bytes& b) { b[1] = 0x11; }, Reason::BadIdentifier},
        {"postamble size", [](Bytes& b) { b[3] = 0x01; }, Reason::BadIdentifier},
        {"ACN identifier", [](Bytes& b) { b[8] = 'X'; }, Reason::BadIdentifier},
        {"root flags", [](Bytes& b) { b[16] = static_cast<std::uint8_t>(b[16] & 0x0F); },
         Reason::BadField},
        {"root length", [](Bytes& b) { test::PutBe16(b, 16, 0x7000 | 600); }, Reason::BadLength},
        {"root vector", [](Bytes& b) { b[21] = 0x05; }, Reason::BadVector},
        {"framing flags",
         [](Bytes& b) { b[38] = static_cast<std::uint8_t>(0x50 | (b[38] & 0x0F)); },
         Reason::BadField},
        {"framing length", [](Bytes& b) { test::PutBe16(b, 38, 0x7000 | 10); }, Reason::BadLength},
        {"framing vector", [](Bytes& b) { b[43] = 0x01; }, Reason::BadVector},
        {"source name without NUL",
         [](Bytes& b) { std::fill(b.begin() + 44, b.begin() + 108, 'A'); }, Reason::BadField},
        {"source name of 63 bytes",
         [](Bytes& b) { std::fill(b.begin() + 44, b.begin() + 107, 'A'); }, Reason::Accepted},
        {"priority 200", [](Bytes& b) { b[108] = 200; }, Reason::Accepted},
        {"priority 201", [](Bytes& b) { b[108] = 201; }, Reason::BadField},
        {"universe 0", [](Bytes& b) { test::PutBe16(b, 113, 0); }, Reason::BadField},
        {"universe 64000", [](Bytes& b) { test::PutBe16(b, 113, 64000); }, Reason::BadField},
        {"DMP flags", [](Bytes& b) { b[115] = static_cast<std::uint8_t>(b[115] & 0x0F); },
         Reason::BadField},
        {"DMP length", [](Bytes& b) { test::PutBe16(b, 115, 0x7000 | 522); }, Reason::BadLength},
        {"DMP vector", [](Bytes& b) { b[117] = 0x01; }, Reason::BadVector},
        {"address type", [](Bytes& b) { b[118] = 0xA2; }, Reason::BadField},
        {"first address", [](Bytes& b) { test::PutBe16(b, 119, 1); }, Reason::BadField},
        {"address increment", [](Bytes& b) { test::PutBe16(b, 121, 2); }, Reason::BadField},
        {"value count 0", [](Bytes& b) { test::PutBe16(b, 123, 0); }, Reason::BadField},
        {"value count 514", [](Bytes& b) { test::PutBe16(b, 123, 514); }, Reason::BadField},
        {"value count past the datagram", [](Bytes& b) { test::PutBe16(b, 123, 500); },
         Reason::BadLength},
        {"start code 0xCC (RDM)", [](Bytes& b) { b[125] = 0xCC; }, Reason::UnsupportedStartCode},
        {"synchronization", [](Bytes& b) { b = test::SacnExtendedPacket(1); },
         Reason::Synchronization},
        {"universe discovery", [](Bytes& b) { b = test::SacnExtendedPacket(2); },
         Reason::Discovery},
        {"extended with another vector",
         [](Bytes& b) {
             b = test::SacnExtendedPacket(1);
             b[43] = 9;
         },
         Reason::BadVector},
    };
    test::SacnFields fields;
    fields.levels = Slots(512);
    for (const Case& c : cases) {
        Bytes packet = test::SacnPacket(fields);
        c.change(packet);
        EXPECT_EQ(ReadSacn(packet).reason, c.expected) << c.name;
    }
}

TEST(ArtNetReader, ReadsAnArtDmxAndAnArtPoll) {
    test::ArtDmxFields fields;
    fields.sequence = 9;
    fields.physical = 2;
    fields.portAddress = 0x7FFF;
    fields.levels = Slots(24);
    const Bytes packet = test::ArtDmxPacket(fields);
    const ArtNetReading dmx = ReadArtNet(packet);
    ASSERT_EQ(dmx.reason, Reason::Accepted);
    EXPECT_EQ(dmx.kind, ArtNetKind::Dmx);
    EXPECT_EQ(dmx.dmx.sequence, 9);
    EXPECT_EQ(dmx.dmx.physical, 2);
    EXPECT_EQ(dmx.dmx.portAddress, 0x7FFF);
    EXPECT_EQ(Bytes(dmx.dmx.levels.begin(), dmx.dmx.levels.end()), fields.levels);

    const ArtNetReading poll = ReadArtNet(test::ArtPollPacket());
    EXPECT_EQ(poll.reason, Reason::Accepted);
    EXPECT_EQ(poll.kind, ArtNetKind::Poll);
}

TEST(ArtNetReader, RefusesEachMalformedField) {
    const std::vector<Case> cases = {
        {"good", [](Bytes&) {}, Reason::Accepted},
        {"empty", [](Bytes& b) { b.clear(); }, Reason::TooShort},
        {"id and opcode only", [](Bytes& b) { b.resize(10); }, Reason::TooShort},
        {"header without data", [](Bytes& b) { b.resize(18); }, Reason::TooShort},
        {"longer than 512 channels", [](Bytes& b) { b.resize(531); }, Reason::Oversized},
        {"id", [](Bytes& b) { b[7] = '!'; }, Reason::BadIdentifier},
        {"protocol version 13", [](Bytes& b) { b[11] = 13; }, Reason::BadField},
        {"protocol version 256 + 14", [](Bytes& b) { b[10] = 1; }, Reason::BadField},
        {"net with its top bit", [](Bytes& b) { b[15] = 0x80; }, Reason::BadField},
        {"length 0", [](Bytes& b) { test::PutBe16(b, 16, 0); }, Reason::BadLength},
        {"length odd", [](Bytes& b) { test::PutBe16(b, 16, 511); }, Reason::BadLength},
        {"length 514", [](Bytes& b) { test::PutBe16(b, 16, 514); }, Reason::BadLength},
        {"length past the datagram", [](Bytes& b) { b.resize(400); }, Reason::BadLength},
        {"length 2", [](Bytes& b) { test::PutBe16(b, 16, 2); }, Reason::Accepted},
        {"ArtPollReply", [](Bytes& b) { b[9] = 0x21; }, Reason::OtherOpcode},
        {"ArtSync", [](Bytes& b) { b[9] = 0x52; }, Reason::OtherOpcode},
        {"ArtPoll cut short",
         [](Bytes& b) {
             b = test::ArtPollPacket();
             b.resize(12);
         },
         Reason::TooShort},
        {"ArtPoll of version 13",
         [](Bytes& b) {
             b = test::ArtPollPacket();
             b[11] = 13;
         },
         Reason::BadField},
    };
    for (const Case& c : cases) {
        Bytes packet = test::ArtDmxPacket({});
        c.change(packet);
        EXPECT_EQ(ReadArtNet(packet).reason, c.expected) << c.name;
    }
}

TEST(ArtPollReply, NamesTheNodeItsAddressAndItsPortAddress) {
    ArtNetNode node;
    node.address = 0xC0A80114;           // 192.168.1.20
    node.portAddress = (3 << 8) | 0x25;  // net 3, sub-net 2, universe 5
    node.universe = 806;
    node.receiving = true;
    const ArtPollReply reply = BuildArtPollReply(node);
    const std::string id(reply.begin(), reply.begin() + 8);
    EXPECT_EQ(id, std::string("Art-Net\0", 8));
    EXPECT_EQ(reply[8], 0x00);  // OpPollReply 0x2100, little-endian
    EXPECT_EQ(reply[9], 0x21);
    EXPECT_EQ(Bytes(reply.begin() + 10, reply.begin() + 14), (Bytes{192, 168, 1, 20}));
    EXPECT_EQ(reply[14], 0x36);  // 6454 = 0x1936, low byte first
    EXPECT_EQ(reply[15], 0x19);
    EXPECT_EQ(reply[18], 3);  // NetSwitch
    EXPECT_EQ(reply[19], 2);  // SubSwitch
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[26])), "Velta display");
    EXPECT_EQ(reply[26 + 17], 0);  // short name NUL-terminated in its 18 bytes
    const std::string longName(reinterpret_cast<const char*>(&reply[44]));
    EXPECT_NE(longName.find("universe 806"), std::string::npos) << longName;
    EXPECT_NE(longName.find("3:2:5"), std::string::npos) << longName;
    EXPECT_EQ(reply[173], 1);     // one port
    EXPECT_EQ(reply[174], 0x80);  // it outputs DMX from the network
    EXPECT_EQ(reply[182], 0x80);  // and data is arriving
    EXPECT_EQ(reply[190], 5);     // SwOut: the port-address's low nibble
    EXPECT_EQ(Bytes(reply.begin() + 207, reply.begin() + 211), (Bytes{192, 168, 1, 20}));
    EXPECT_EQ(reply[212] & 0x08, 0x08);  // 15-bit port-addresses
}

TEST(DdpReader, ReadsAGoodPacketWithAndWithoutTimecode) {
    test::DdpFields fields;
    fields.sequence = 0x3;
    fields.offset = 12;
    fields.data = Slots(100);
    for (const std::uint8_t flags : {std::uint8_t{0x41}, std::uint8_t{0x51}}) {
        fields.flags = flags;
        const Bytes packet = test::DdpPacket(fields);
        const DdpReading reading = ReadDdp(packet);
        ASSERT_EQ(reading.reason, Reason::Accepted) << int(flags);
        EXPECT_TRUE(reading.data.push);
        EXPECT_EQ(reading.data.sequence, 3);
        EXPECT_EQ(reading.data.offset, 12u);
        EXPECT_EQ(Bytes(reading.data.bytes.begin(), reading.data.bytes.end()), fields.data);
    }
}

TEST(DdpReader, RefusesEachMalformedField) {
    const std::vector<Case> cases = {
        {"good", [](Bytes&) {}, Reason::Accepted},
        {"no push", [](Bytes& b) { b[0] = 0x40; }, Reason::Accepted},
        {"undefined data type", [](Bytes& b) { b[2] = 0x00; }, Reason::Accepted},
        {"all devices", [](Bytes& b) { b[3] = 255; }, Reason::Accepted},
        {"header cut", [](Bytes& b) { b.resize(9); }, Reason::TooShort},
        {"timecode flag without the timecode",
         [](Bytes& b) {
             b.resize(12);
             b[0] = 0x51;
         },
         Reason::TooShort},
        {"past the largest payload", [](Bytes& b) { b.resize(1455); }, Reason::Oversized},
        {"version 0", [](Bytes& b) { b[0] = 0x01; }, Reason::BadIdentifier},
        {"version 2", [](Bytes& b) { b[0] = 0x81; }, Reason::BadIdentifier},
        {"query", [](Bytes& b) { b[0] = 0x43; }, Reason::DdpQuery},
        {"reply", [](Bytes& b) { b[0] = 0x44; }, Reason::DdpQuery},
        {"length past the datagram", [](Bytes& b) { test::PutBe16(b, 8, 461); }, Reason::BadLength},
        {"length short of the datagram", [](Bytes& b) { test::PutBe16(b, 8, 459); },
         Reason::BadLength},
        {"output id 2", [](Bytes& b) { b[3] = 2; }, Reason::NotForUs},
        {"16-bit data", [](Bytes& b) { b[2] = 0x0C; }, Reason::UnsupportedDataType},
        {"customer data type", [](Bytes& b) { b[2] = 0x8B; }, Reason::UnsupportedDataType},
        {"offset 52: 460 bytes end at 512", [](Bytes& b) { b[7] = 52; }, Reason::Accepted},
        {"offset 53: one byte past the frame", [](Bytes& b) { b[7] = 53; }, Reason::OutOfRange},
        {"offset near 2^32",
         [](Bytes& b) {
             b[4] = 0xFF;
             b[5] = 0xFF;
             b[6] = 0xFF;
             b[7] = 0xF0;
         },
         Reason::OutOfRange},
    };
    for (const Case& c : cases) {
        Bytes packet = test::DdpPacket({});
        c.change(packet);
        EXPECT_EQ(ReadDdp(packet).reason, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace velta::net
