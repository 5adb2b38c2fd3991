#include "net/artnet.h"

#include <algorithm>
#include <cstdio>

#include "net/wire.h"

namespace velta::net {

namespace {

constexpr std::array<std::uint8_t, 8> kArtNetId{'A', 'r', 't', '-', 'N', 'e', 't', 0};
constexpr std::uint16_t kOpPoll = 0x2000;
constexpr std::uint16_t kOpPollReply = 0x2100;
constexpr std::uint16_t kOpDmx = 0x5000;
constexpr std::size_t kPollMinSize = 14;

// ArtPollReply fields (offsets in the reply).
constexpr std::size_t kReplyAddress = 10;
constexpr std::size_t kReplyPort = 14;
constexpr std::size_t kReplyVersion = 16;
constexpr std::size_t kReplyNetSwitch = 18;
constexpr std::size_t kReplySubSwitch = 19;
constexpr std::size_t kReplyOem = 20;
constexpr std::size_t kReplyStatus1 = 23;
constexpr std::size_t kReplyShortName = 26;
constexpr std::size_t kShortNameSize = 18;
constexpr std::size_t kReplyLongName = 44;
constexpr std::size_t kLongNameSize = 64;
constexpr std::size_t kReplyNodeReport = 108;
constexpr std::size_t kNodeReportSize = 64;
constexpr std::size_t kReplyNumPorts = 172;
constexpr std::size_t kReplyPortTypes = 174;
constexpr std::size_t kReplyGoodOutputA = 182;
constexpr std::size_t kReplySwOut = 190;
constexpr std::size_t kReplyStyle = 200;
constexpr std::size_t kReplyBindIp = 207;
constexpr std::size_t kReplyBindIndex = 211;
constexpr std::size_t kReplyStatus2 = 212;

constexpr std::uint8_t kPortTypeOutputDmx = 0x80;  // takes DMX512 from the network
constexpr std::uint8_t kGoodOutputTransmitting = 0x80;
constexpr std::uint8_t kStatus1IndicatorsNormal = 0xC0;
constexpr std::uint8_t kStatus2PortAddress15Bit = 0x08;
constexpr std::uint8_t kStyleNode = 0x00;
constexpr std::uint16_t kOemUnknown = 0x00FF;

void PutText(std::span<std::uint8_t> reply, std::size_t at, std::size_t size,
             std::string_view text) {
    // Always NUL-terminated within the field.
    const std::size_t n = std::min(text.size(), size - 1);
    std::copy_n(text.begin(), n, reply.begin() + static_cast<std::ptrdiff_t>(at));
}

ArtNetReading ReadDmx(std::span<const std::uint8_t> datagram) {
    ArtNetReading reading;
    reading.kind = ArtNetKind::Dmx;
    if (datagram.size() < kArtDmxHeader + 2) {
        reading.reason = Reason::TooShort;
        return reading;
    }
    if (datagram[10] != 0 || datagram[11] < kArtNetMinProtocolVersion) {
        reading.reason = Reason::BadField;
        return reading;
    }
    ArtDmxData& dmx = reading.dmx;
    dmx.sequence = datagram[12];
    dmx.physical = datagram[13];
    // Net's top bit is not part of the 15-bit port-address.
    if ((datagram[15] & 0x80) != 0) {
        reading.reason = Reason::BadField;
        return reading;
    }
    dmx.portAddress = (datagram[15] << 8) | datagram[14];
    const std::size_t length = wire::Be16(datagram, 16);
    if (length < 2 || length > 512 || length % 2 != 0) {
        reading.reason = Reason::BadLength;
        return reading;
    }
    if (kArtDmxHeader + length > datagram.size()) {
        reading.reason = Reason::BadLength;
        return reading;
    }
    dmx.levels = datagram.subspan(kArtDmxHeader, length);
    reading.reason = Reason::Accepted;
    return reading;
}

}  // namespace

ArtNetReading ReadArtNet(std::span<const std::uint8_t> datagram) {
    ArtNetReading reading;
    if (datagram.size() > kArtNetMaxPacket) {
        reading.reason = Reason::Oversized;
        return reading;
    }
    if (datagram.size() < 10) {
        reading.reason = Reason::TooShort;
        return reading;
    }
    if (!std::equal(kArtNetId.begin(), kArtNetId.end(), datagram.begin())) {
        reading.reason = Reason::BadIdentifier;
        return reading;
    }
    switch (wire::Le16(datagram, 8)) {
        case kOpDmx:
            return ReadDmx(datagram);
        case kOpPoll:
            reading.kind = ArtNetKind::Poll;
            if (datagram.size() < kPollMinSize)
                reading.reason = Reason::TooShort;
            else if (datagram[10] != 0 || datagram[11] < kArtNetMinProtocolVersion)
                reading.reason = Reason::BadField;
            else
                reading.reason = Reason::Accepted;
            return reading;
        default:
            reading.reason = Reason::OtherOpcode;
            return reading;
    }
}

ArtPollReply BuildArtPollReply(const ArtNetNode& node) {
    ArtPollReply reply{};
    std::span<std::uint8_t> out(reply);
    std::copy(kArtNetId.begin(), kArtNetId.end(), reply.begin());
    wire::PutLe16(out, 8, kOpPollReply);
    wire::PutBe32(out, kReplyAddress, node.address);
    wire::PutLe16(out, kReplyPort, kArtNetPort);
    // Firmware version: the program's major and minor version.
    wire::PutBe16(out, kReplyVersion, 0x0100);
    const int portAddress = node.portAddress & kMaxPortAddress;
    reply[kReplyNetSwitch] = static_cast<std::uint8_t>(portAddress >> 8);
    reply[kReplySubSwitch] = static_cast<std::uint8_t>((portAddress >> 4) & 0x0F);
    wire::PutBe16(out, kReplyOem, kOemUnknown);
    reply[kReplyStatus1] = kStatus1IndicatorsNormal;
    PutText(out, kReplyShortName, kShortNameSize, "Velta display");

    char text[kNodeReportSize] = {};
    std::snprintf(text, sizeof text, "Velta LED display, universe %d (Art-Net %d:%d:%d)",
                  node.universe, portAddress >> 8, (portAddress >> 4) & 0x0F, portAddress & 0x0F);
    PutText(out, kReplyLongName, kLongNameSize, text);
    std::snprintf(text, sizeof text, "#0001 [%04u] %s", node.pollReplies % 10000,
                  node.receiving ? "receiving DMX" : "waiting for DMX");
    PutText(out, kReplyNodeReport, kNodeReportSize, text);

    wire::PutBe16(out, kReplyNumPorts, 1);
    reply[kReplyPortTypes] = kPortTypeOutputDmx;
    reply[kReplyGoodOutputA] = node.receiving ? kGoodOutputTransmitting : 0;
    reply[kReplySwOut] = static_cast<std::uint8_t>(portAddress & 0x0F);
    reply[kReplyStyle] = kStyleNode;
    wire::PutBe32(out, kReplyBindIp, node.address);
    reply[kReplyBindIndex] = 1;
    reply[kReplyStatus2] = kStatus2PortAddress15Bit;
    return reply;
}

}  // namespace velta::net
