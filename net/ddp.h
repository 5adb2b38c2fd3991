// DDP (Distributed Display Protocol) data packets: the 10-byte header (14 with a timecode, which
// is skipped), the version, the flags, the data type, the output id, and an offset and length
// that must fit both the datagram and the display's 512-byte frame.
#pragma once

#include <cstdint>
#include <span>

#include "net/net_types.h"

namespace velta::net {

inline constexpr std::size_t kDdpHeader = 10;
inline constexpr std::size_t kDdpTimecodeHeader = 14;
inline constexpr std::size_t kDdpMaxData = 1440;  // the protocol's largest payload
inline constexpr std::size_t kDdpMaxPacket = kDdpTimecodeHeader + kDdpMaxData;
inline constexpr std::size_t kDdpFrameSize = 512;

struct DdpData {
    bool push = false;          // the frame is complete with this packet
    std::uint8_t sequence = 0;  // 1..15, 0 when the sender does not number its packets
    std::uint8_t outputId = 1;
    std::uint32_t offset = 0;             // where `bytes` go in the frame
    std::span<const std::uint8_t> bytes;  // channel offset + i + 1 for byte i
};

struct DdpReading {
    Reason reason = Reason::TooShort;  // Accepted when `data` holds a packet
    DdpData data;
};

DdpReading ReadDdp(std::span<const std::uint8_t> datagram);

}  // namespace velta::net
