#include "net/input_engine.h"

#include <utility>

#include "net/ddp.h"
#include "net/sacn.h"

namespace velta::net {

std::string CheckInputConfig(const InputConfig& config) {
    if (config.universe < kSacnMinUniverse || config.universe > kSacnMaxUniverse) {
        return "the universe must be " + std::to_string(kSacnMinUniverse) + " to " +
               std::to_string(kSacnMaxUniverse) + ", not " + std::to_string(config.universe);
    }
    return CheckStartAddress(config.startAddress);
}

std::uint64_t InputCounters::Drops() const {
    std::uint64_t drops = 0;
    for (int r = 0; r < kReasonCount; ++r) {
        if (IsDrop(static_cast<Reason>(r)))
            drops += reasons[static_cast<std::size_t>(r)];
    }
    return drops;
}

std::string DescribeCounters(const InputCounters& counters) {
    std::string text;
    for (int p = 0; p < kProtocolCount; ++p) {
        text += (p == 0 ? "" : ", ") + std::string(ProtocolName(static_cast<Protocol>(p))) + " " +
                std::to_string(counters.packets[static_cast<std::size_t>(p)]);
    }
    text += " packets; " + std::to_string(counters.framesAccepted) + " frames";
    std::string drops;
    for (int r = 0; r < kReasonCount; ++r) {
        const std::uint64_t n = counters.reasons[static_cast<std::size_t>(r)];
        if (n > 0 && IsDrop(static_cast<Reason>(r))) {
            drops += (drops.empty() ? "" : ", ") + std::to_string(n) + " " +
                     std::string(ReasonName(static_cast<Reason>(r)));
        }
    }
    text += drops.empty() ? "; nothing dropped" : "; dropped: " + drops;
    if (counters.eventsLost > 0)
        text += "; " + std::to_string(counters.eventsLost) + " events lost";
    return text;
}

InputEngine::InputEngine(InputConfig config) : config_(std::move(config)) {}

InputEngine::Outcome InputEngine::OnDatagram(Protocol protocol,
                                             std::span<const std::uint8_t> datagram, Endpoint from,
                                             TimePoint now) {
    ++counters_.packets[static_cast<std::size_t>(Index(protocol))];
    Outcome outcome;
    if (!config_.allow.Allows(from.address)) {
        outcome.reason = Reason::NotAllowed;
    } else {
        switch (protocol) {
            case Protocol::Sacn:
                outcome = Sacn(datagram, from, now);
                break;
            case Protocol::ArtNet:
                outcome = ArtNet(datagram, from, now);
                break;
            case Protocol::Ddp:
                outcome = Ddp(datagram, from, now);
                break;
        }
    }
    if (!outcome.frameReady)
        outcome.frameReady = BlankIfAllGone();
    ++counters_.reasons[static_cast<std::size_t>(Index(outcome.reason))];
    counters_.eventsLost = rules_.Events().Lost();
    return outcome;
}

bool InputEngine::Expire(TimePoint now) {
    rules_.Expire(now);
    counters_.eventsLost = rules_.Events().Lost();
    return BlankIfAllGone();
}

bool InputEngine::BlankIfAllGone() {
    if (!rules_.TakeAllGone() || config_.onLoss != LossPolicy::Blank)
        return false;
    // Everything off; the levels stay at the panel's defaults.
    frame_ = SequenceFrame{};
    return true;
}

InputEngine::Outcome InputEngine::Offer(const SourcePacket& packet, int startAddress,
                                        TimePoint now) {
    Outcome outcome;
    outcome.reason = rules_.Offer(packet, now);
    if (outcome.reason == Reason::Accepted) {
        DecodeUniverse(rules_.LatestUniverse(), startAddress, frame_);
        outcome.frameReady = true;
        ++counters_.framesAccepted;
    }
    return outcome;
}

InputEngine::Outcome InputEngine::Sacn(std::span<const std::uint8_t> datagram, Endpoint from,
                                       TimePoint now) {
    const SacnReading reading = ReadSacn(datagram);
    if (reading.reason != Reason::Accepted)
        return {reading.reason};
    const SacnData& data = reading.data;
    if (data.universe != config_.universe)
        return {Reason::WrongUniverse};
    SourcePacket packet;
    packet.protocol = Protocol::Sacn;
    packet.from = from;
    packet.cid = &data.cid;
    packet.name = data.sourceName;
    packet.priority = data.priority;
    packet.sequence = data.sequence;
    packet.preview = data.preview;
    packet.terminated = data.terminated;
    packet.universe = data.universe;
    packet.levels = data.levels;
    return Offer(packet, config_.startAddress, now);
}

InputEngine::Outcome InputEngine::ArtNet(std::span<const std::uint8_t> datagram, Endpoint from,
                                         TimePoint now) {
    const ArtNetReading reading = ReadArtNet(datagram);
    if (reading.reason != Reason::Accepted)
        return {reading.reason};
    if (reading.kind == ArtNetKind::Poll) {
        // A poll costs a reply 17 times its size: limit the replies, so the node can't be used
        // to flood a forged sender address.
        if (now - pollWindowStart_ >= std::chrono::seconds(1)) {
            pollWindowStart_ = now;
            pollsInWindow_ = 0;
        }
        if (pollsInWindow_ >= kMaxPollRepliesPerSecond)
            return {Reason::PollNotAnswered};
        ++pollsInWindow_;
        return {Reason::PollAnswered, false, true};
    }
    const ArtDmxData& dmx = reading.dmx;
    if (dmx.portAddress != ArtNetPortAddress(config_.universe))
        return {Reason::WrongUniverse};
    SourcePacket packet;
    packet.protocol = Protocol::ArtNet;
    packet.from = from;
    packet.priority = kArtNetPriority;
    packet.sequence = dmx.sequence == 0 ? -1 : dmx.sequence;
    packet.universe = dmx.portAddress;
    packet.levels = dmx.levels;
    return Offer(packet, config_.startAddress, now);
}

InputEngine::Outcome InputEngine::Ddp(std::span<const std::uint8_t> datagram, Endpoint from,
                                      TimePoint now) {
    const DdpReading reading = ReadDdp(datagram);
    if (reading.reason != Reason::Accepted)
        return {reading.reason};
    SourcePacket packet;
    packet.protocol = Protocol::Ddp;
    packet.from = from;
    packet.priority = kDdpPriority;
    packet.levels = reading.data.bytes;
    packet.offset = reading.data.offset;
    packet.push = reading.data.push;
    // A DDP display has its own address: its bytes start at offset 0, whatever the start
    // address of the DMX protocols.
    return Offer(packet, kDefaultStartAddress, now);
}

ArtNetNode InputEngine::Node(std::uint32_t address) const {
    ArtNetNode node;
    node.address = address;
    node.portAddress = ArtNetPortAddress(config_.universe);
    node.universe = config_.universe;
    node.receiving = rules_.ActiveSources() > 0;
    node.pollReplies = counters_.reasons[static_cast<std::size_t>(Index(Reason::PollAnswered))];
    return node;
}

}  // namespace velta::net
