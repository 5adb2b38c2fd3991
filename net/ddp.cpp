#include "net/ddp.h"

#include "net/wire.h"

namespace velta::net {

namespace {

constexpr std::uint8_t kVersionMask = 0xC0;
constexpr std::uint8_t kVersion1 = 0x40;
constexpr std::uint8_t kFlagTimecode = 0x10;
constexpr std::uint8_t kFlagReply = 0x04;
constexpr std::uint8_t kFlagQuery = 0x02;
constexpr std::uint8_t kFlagPush = 0x01;

// Output ids that mean "the display": the default output and "all devices".
constexpr std::uint8_t kOutputDefault = 1;
constexpr std::uint8_t kOutputAll = 255;

// Data type: bits 2..0 give the size of an element; 0 is undefined, 3 is 8 bits. Either way each
// byte is one channel. The customer bit (7) means a layout of the sender's own.
bool EightBitData(std::uint8_t type) {
    const int size = type & 0x07;
    return (type & 0x80) == 0 && (size == 0 || size == 3);
}

}  // namespace

DdpReading ReadDdp(std::span<const std::uint8_t> datagram) {
    DdpReading reading;
    if (datagram.size() > kDdpMaxPacket) {
        reading.reason = Reason::Oversized;
        return reading;
    }
    if (datagram.size() < kDdpHeader) {
        reading.reason = Reason::TooShort;
        return reading;
    }
    const std::uint8_t flags = datagram[0];
    if ((flags & kVersionMask) != kVersion1) {
        reading.reason = Reason::BadIdentifier;
        return reading;
    }
    if ((flags & (kFlagQuery | kFlagReply)) != 0) {
        reading.reason = Reason::DdpQuery;
        return reading;
    }
    const std::size_t header = (flags & kFlagTimecode) != 0 ? kDdpTimecodeHeader : kDdpHeader;
    if (datagram.size() < header) {
        reading.reason = Reason::TooShort;
        return reading;
    }
    DdpData& data = reading.data;
    data.push = (flags & kFlagPush) != 0;
    data.sequence = datagram[1] & 0x0F;
    data.outputId = datagram[3];
    data.offset = wire::Be32(datagram, 4);
    const std::size_t length = wire::Be16(datagram, 8);
    if (length > kDdpMaxData || header + length != datagram.size()) {
        reading.reason = Reason::BadLength;
        return reading;
    }
    if (data.outputId != kOutputDefault && data.outputId != kOutputAll) {
        reading.reason = Reason::NotForUs;
        return reading;
    }
    if (!EightBitData(datagram[2])) {
        reading.reason = Reason::UnsupportedDataType;
        return reading;
    }
    if (data.offset > kDdpFrameSize || length > kDdpFrameSize - data.offset) {
        reading.reason = Reason::OutOfRange;
        return reading;
    }
    data.bytes = datagram.subspan(header, length);
    reading.reason = Reason::Accepted;
    return reading;
}

}  // namespace velta::net
