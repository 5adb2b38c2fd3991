#include "net/net_types.h"

namespace velta::net {

namespace {

constexpr std::array<std::string_view, kProtocolCount> kProtocolNames{"sACN", "Art-Net", "DDP"};

constexpr std::array<std::string_view, kReasonCount> kReasonNames{
    "accepted",
    "too short",
    "oversized",
    "bad identifier",
    "bad vector",
    "bad length",
    "bad field",
    "unsupported start code",
    "unsupported data type",
    "wrong universe",
    "not for us",
    "out of range",
    "preview data",
    "stale sequence",
    "lower priority",
    "equal priority, newer source wins",
    "stream terminated",
    "too many sources",
    "not allowed",
    "universe discovery",
    "synchronization",
    "other Art-Net opcode",
    "ArtPoll answered",
    "ArtPoll not answered (rate limit)",
    "DDP query or reply",
    "DDP data waiting for push",
};

}  // namespace

std::string_view ProtocolName(Protocol protocol) {
    return kProtocolNames[static_cast<std::size_t>(Index(protocol))];
}

std::string_view ReasonName(Reason reason) {
    return kReasonNames[static_cast<std::size_t>(Index(reason))];
}

std::string FormatAddress(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

std::string FormatEndpoint(const Endpoint& endpoint) {
    return FormatAddress(endpoint.address) + ':' + std::to_string(endpoint.port);
}

}  // namespace velta::net
