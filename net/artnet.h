// Art-Net: ArtDmx read into a reading, ArtPoll recognised so the node can answer it, and the
// ArtPollReply built as a pure function. Every other opcode is set aside with its own reason.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "net/net_types.h"

namespace velta::net {

inline constexpr int kArtNetMinProtocolVersion = 14;
inline constexpr std::size_t kArtDmxHeader = 18;
inline constexpr std::size_t kArtNetMaxPacket = kArtDmxHeader + 512;
inline constexpr int kMaxPortAddress = 0x7FFF;

enum class ArtNetKind : std::uint8_t { Dmx, Poll };

struct ArtDmxData {
    std::uint8_t sequence = 0;  // 0: the sender does not number its packets
    std::uint8_t physical = 0;
    int portAddress = 0;                   // 15 bits: net (7), sub-net (4), universe (4)
    std::span<const std::uint8_t> levels;  // 2..512 channels, even
};

struct ArtNetReading {
    Reason reason = Reason::TooShort;  // Accepted when `kind` says what arrived
    ArtNetKind kind = ArtNetKind::Dmx;
    ArtDmxData dmx;  // for ArtNetKind::Dmx
};

ArtNetReading ReadArtNet(std::span<const std::uint8_t> datagram);

// What an ArtPollReply says about this node.
struct ArtNetNode {
    std::uint32_t address = 0;      // the node's IPv4 address as the poller reaches it, host order
    int portAddress = 0;            // the one universe this node takes, 0..32767
    int universe = 1;               // the universe as the user configured it, for the long name
    bool receiving = false;         // a source is driving the display
    std::uint32_t pollReplies = 0;  // replies sent so far, for the node report's counter
};

inline constexpr std::size_t kArtPollReplySize = 239;
using ArtPollReply = std::array<std::uint8_t, kArtPollReplySize>;

// The reply to an ArtPoll: one output port with the node's port-address, the short name
// "Velta display", a long name naming the universe and port-address, the node's address and
// port 6454.
ArtPollReply BuildArtPollReply(const ArtNetNode& node);

}  // namespace velta::net
