// What every part of the network input shares: the three protocols, where a datagram came from,
// and the reasons a datagram is not turned into a frame. Plain values, no sockets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velta::net {

enum class Protocol : std::uint8_t { Sacn, ArtNet, Ddp };
inline constexpr int kProtocolCount = 3;

// "sACN", "Art-Net", "DDP".
std::string_view ProtocolName(Protocol protocol);
constexpr int Index(Protocol protocol) {
    return static_cast<int>(protocol);
}

// The protocols a receiver listens to, as bits 1 << Index(protocol).
using ProtocolSet = std::uint8_t;
constexpr ProtocolSet Bit(Protocol protocol) {
    return static_cast<ProtocolSet>(1u << Index(protocol));
}
inline constexpr ProtocolSet kAllProtocols = 0x07;

// The well-known UDP ports.
inline constexpr std::uint16_t kSacnPort = 5568;
inline constexpr std::uint16_t kArtNetPort = 6454;
inline constexpr std::uint16_t kDdpPort = 4048;

// An IPv4 address and port, both in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

// "192.168.1.20" (no port).
std::string FormatAddress(std::uint32_t address);
// "192.168.1.20:6454".
std::string FormatEndpoint(const Endpoint& endpoint);

// Why a datagram did not become a frame. Reasons from Discovery on are not faults of the
// sender: the packet was recognised and deliberately set aside.
enum class Reason : std::uint8_t {
    Accepted,              // not a drop: the packet's data was taken
    TooShort,              // shorter than its protocol's smallest packet
    Oversized,             // longer than its protocol's largest packet
    BadIdentifier,         // not the protocol's packet identifier / version
    BadVector,             // an sACN layer names something other than DMX data
    BadLength,             // a length field disagrees with the datagram
    BadField,              // a field outside what the protocol allows
    UnsupportedStartCode,  // DMX start code other than 0 (e.g. RDM, text)
    UnsupportedDataType,   // DDP data that is not 8 bits per channel
    WrongUniverse,         // a valid packet for another universe / port-address
    NotForUs,              // a DDP packet for another output id
    OutOfRange,            // DDP offset and length past the 512-byte frame
    PreviewData,           // sACN data flagged for visualisers only
    StaleSequence,         // sequence number within 20 behind the last
    LowerPriority,         // a source of higher priority holds the display
    EqualPriority,         // a newer source of the same priority holds the display
    StreamTerminated,      // the source said it stops; its data is not used
    TooManySources,        // the source table is full
    NotAllowed,            // the sender is outside the --allow list
    Discovery,             // sACN universe discovery: ignored
    Synchronization,       // sACN synchronization: ignored
    OtherOpcode,           // an Art-Net packet other than ArtDmx and ArtPoll
    PollAnswered,          // ArtPoll: answered with an ArtPollReply
    PollNotAnswered,       // ArtPoll past the reply rate limit
    DdpQuery,              // a DDP query or reply: ignored
    DdpPending,            // DDP data stored, the frame waits for its push
};
inline constexpr int kReasonCount = static_cast<int>(Reason::DdpPending) + 1;

// Accepted, an answered ArtPoll and DDP data waiting for its push are outcomes, not drops.
constexpr bool IsDrop(Reason reason) {
    return reason != Reason::Accepted && reason != Reason::PollAnswered &&
           reason != Reason::DdpPending;
}

// "too short", "bad vector", ... one short phrase each, for stats and log lines.
std::string_view ReasonName(Reason reason);
constexpr int Index(Reason reason) {
    return static_cast<int>(reason);
}

}  // namespace velta::net
