// sACN (ANSI E1.31) data packets, read one layer at a time: the root layer, the framing layer
// and the DMP layer, each a small step that returns a reason when its fields are wrong. Bytes in,
// a reading or a reason out; nothing is allocated and the reading points into the datagram.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "net/net_types.h"

namespace velta::net {

inline constexpr std::size_t kSacnMinPacket = 126;  // one slot: the start code
inline constexpr std::size_t kSacnMaxPacket = 638;  // start code + 512 slots
inline constexpr int kSacnMaxPriority = 200;
inline constexpr int kSacnDefaultPriority = 100;
inline constexpr int kSacnMinUniverse = 1;
inline constexpr int kSacnMaxUniverse = 63999;

using Cid = std::array<std::uint8_t, 16>;

struct SacnData {
    Cid cid{};                    // the sender's component id, its identity across packets
    std::string_view sourceName;  // up to its NUL, raw bytes (UTF-8 by the standard)
    int priority = 0;             // 0..200
    int syncAddress = 0;
    std::uint8_t sequence = 0;
    bool preview = false;     // for visualisers only
    bool terminated = false;  // the source stops; the data is not to be used
    bool forceSync = false;
    int universe = 0;                      // 1..63999
    std::span<const std::uint8_t> levels;  // the DMX slots' levels after the start code, 0..512
};

struct SacnReading {
    Reason reason = Reason::TooShort;  // Accepted when `data` holds a packet
    SacnData data;
};

SacnReading ReadSacn(std::span<const std::uint8_t> datagram);

// The multicast group a universe is sent to: 239.255.hi.lo, host order.
constexpr std::uint32_t SacnMulticastGroup(int universe) {
    return (239u << 24) | (255u << 16) | static_cast<std::uint32_t>(universe & 0xFFFF);
}

}  // namespace velta::net
