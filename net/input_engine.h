// From datagrams to frames, without sockets: each datagram is parsed by its protocol's reader,
// checked against the configuration (universe, --allow), offered to the source rules, and an
// accepted frame is decoded through the channel map. Counts every datagram by protocol and by
// reason. The receiver runs one on its thread; tests, fuzzers and benchmarks run it directly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/panel_content.h"
#include "net/allow_list.h"
#include "net/artnet.h"
#include "net/channel_map.h"
#include "net/net_types.h"
#include "net/source_rules.h"

namespace velta::net {

struct InputConfig {
    // The sACN universe (1..63999). Art-Net counts its port-addresses from 0, as lighting
    // programs do when they send "universe 1" over both: port-address universe - 1.
    int universe = 1;
    int startAddress = kDefaultStartAddress;  // sACN and Art-Net; DDP always starts at byte 0
    LossPolicy onLoss = LossPolicy::Hold;
    AllowList allow;  // empty: every sender
};

constexpr int ArtNetPortAddress(int universe) {
    return universe - 1;
}

// Empty when the configuration is usable, else one sentence naming the field.
std::string CheckInputConfig(const InputConfig& config);

inline constexpr int kMaxPollRepliesPerSecond = 10;

struct InputCounters {
    std::array<std::uint64_t, kProtocolCount> packets{};  // every datagram, by protocol
    std::uint64_t framesAccepted = 0;
    std::array<std::uint64_t, kReasonCount> reasons{};  // every datagram, by outcome
    std::uint64_t eventsLost = 0;                       // events the full queue could not take

    std::uint64_t Drops() const;
};

// A one-line summary: "sACN 1200, Art-Net 0, DDP 0 packets; 1180 frames; dropped: 20 stale
// sequence".
std::string DescribeCounters(const InputCounters& counters);

class InputEngine {
  public:
    // `config` must pass CheckInputConfig.
    explicit InputEngine(InputConfig config);

    struct Outcome {
        Reason reason = Reason::TooShort;
        bool frameReady = false;  // Frame() holds a new frame for the display
        bool answerPoll = false;  // an ArtPoll to answer with BuildArtPollReply(Node(...))
    };
    Outcome OnDatagram(Protocol protocol, std::span<const std::uint8_t> datagram, Endpoint from,
                       TimePoint now);

    // Ends the sources silent for 2.5 s. True when the display is to take Frame(): every
    // source has gone and the policy is to blank.
    bool Expire(TimePoint now);
    // The next moment Expire has something to do; nullopt while no source is active.
    std::optional<TimePoint> NextDeadline() const { return rules_.NextExpiry(); }

    // The last frame made (valid after an Outcome or Expire said so).
    const SequenceFrame& Frame() const { return frame_; }

    // What the ArtPollReply says, seen from `address` (the node's address towards the poller).
    ArtNetNode Node(std::uint32_t address) const;

    const InputCounters& Counters() const { return counters_; }
    const InputConfig& Config() const { return config_; }
    SourceRules& Sources() { return rules_; }
    const SourceRules& Sources() const { return rules_; }

  private:
    Outcome Offer(const SourcePacket& packet, int startAddress, TimePoint now);
    Outcome Sacn(std::span<const std::uint8_t> datagram, Endpoint from, TimePoint now);
    Outcome ArtNet(std::span<const std::uint8_t> datagram, Endpoint from, TimePoint now);
    Outcome Ddp(std::span<const std::uint8_t> datagram, Endpoint from, TimePoint now);
    bool BlankIfAllGone();

    InputConfig config_;
    SourceRules rules_;
    SequenceFrame frame_;
    InputCounters counters_;
    TimePoint pollWindowStart_{};
    int pollsInWindow_ = 0;
};

}  // namespace velta::net
