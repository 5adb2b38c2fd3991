// The rules about senders, apart from sockets and parsers: which source holds the display
// (priority, then the newest source), sequence numbers, preview data, the end of a source
// (terminated, or 2.5 s without data), DDP frames put together from their pieces, and the events
// and statistics a service or a window shows. A fixed table of sources: nothing is allocated per
// packet. Time is passed in, so tests drive it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "net/channel_map.h"
#include "net/net_types.h"
#include "net/sacn.h"

namespace velta::net {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

inline constexpr int kMaxSources = 16;
inline constexpr std::chrono::milliseconds kSourceTimeout{2500};
// Art-Net and DDP carry no priority: their sources rank as an sACN source at the default
// priority, so an sACN source above 100 overrides them and one below yields to them.
inline constexpr int kArtNetPriority = kSacnDefaultPriority;
inline constexpr int kDdpPriority = kSacnDefaultPriority;
// A packet numbered 1..20 behind the last accepted one is late and dropped; further behind, the
// sender is taken to have restarted.
inline constexpr int kSequenceWindow = 20;
inline constexpr std::size_t kNameSize = 64;

// What the display does once every source has gone.
enum class LossPolicy : std::uint8_t { Hold, Blank };

// Who a source is, as the log and a window show it.
struct SourceLabel {
    Protocol protocol = Protocol::Sacn;
    Endpoint address;
    std::array<char, kNameSize> name{};  // NUL-terminated; control characters replaced by '?'
    int universe = 0;                    // sACN universe or Art-Net port-address; 0 for DDP
    int priority = 0;
};

// One line about a source for people: `sACN "Console A" 192.168.1.5:5568`.
std::string DescribeSource(const SourceLabel& source);

struct SourceStats {
    SourceLabel label;
    bool holdsDisplay = false;  // this source's data is what the display shows
    std::uint64_t packets = 0;
    double packetsPerSecond = 0;  // over the last whole second
    TimePoint joined{};
    TimePoint lastSeen{};
};

enum class SourceEventKind : std::uint8_t {
    Joined,            // a new source sent its first packet
    Terminated,        // it said it stops (sACN stream terminated)
    TimedOut,          // 2.5 s without data
    PriorityConflict,  // two sources of the same priority: the newer (`source`) wins
    AllGone,           // no source is left; the display holds or blanks as configured
};

struct SourceEvent {
    SourceEventKind kind = SourceEventKind::Joined;
    TimePoint when{};
    SourceLabel source;
    SourceLabel other;  // PriorityConflict: the source that lost
};

// "sACN \"Console\" 192.168.1.5:5568 joined (universe 1, priority 100)", and so on.
std::string DescribeEvent(const SourceEvent& event, LossPolicy policy);

// Events waiting for the service or the window: a fixed ring; when it is full, the newest
// events are dropped and counted.
class EventQueue {
  public:
    static constexpr std::size_t kCapacity = 64;

    // False when the queue was full and the event is lost.
    bool Push(const SourceEvent& event);
    std::optional<SourceEvent> Pop();
    bool Empty() const { return count_ == 0; }
    std::uint64_t Lost() const { return lost_; }

  private:
    std::array<SourceEvent, kCapacity> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::uint64_t lost_ = 0;
};

// A packet that parsed, in the terms the rules need.
struct SourcePacket {
    Protocol protocol = Protocol::Sacn;
    Endpoint from;
    const Cid* cid = nullptr;              // sACN: the sender's id; else the sender is its address
    std::string_view name;                 // sACN source name
    int priority = 0;                      // 0..200
    int sequence = -1;                     // -1: not numbered
    bool preview = false;                  // sACN
    bool terminated = false;               // sACN
    int universe = 0;                      // for the label
    std::span<const std::uint8_t> levels;  // channel 1 first; for DDP, from `offset`
    std::uint32_t offset = 0;              // DDP: where `levels` go in the frame
    bool push = true;                      // DDP: the frame is complete
};

class SourceRules {
  public:
    // Offers one packet (sources silent for kSourceTimeout are ended first). Accepted: the source's
    // frame is complete and holds the display; it is in Universe() until the next call. Otherwise
    // the reason the data is not used (DdpPending: stored, waiting for a push).
    Reason Offer(const SourcePacket& packet, TimePoint now);
    // The 512 channels of the last accepted frame (channel 1 first).
    const Universe& LatestUniverse() const { return universe_; }

    // Ends the sources silent for kSourceTimeout.
    void Expire(TimePoint now);
    // True once after the last source has gone (terminated or timed out), in Offer or Expire.
    bool TakeAllGone();
    // When the next source would time out; nullopt while there is none.
    std::optional<TimePoint> NextExpiry() const;

    int ActiveSources() const;
    // The statistics of the active sources, in table order; returns how many were written.
    int CopyStats(std::span<SourceStats, kMaxSources> out) const;

    EventQueue& Events() { return events_; }
    const EventQueue& Events() const { return events_; }

  private:
    struct Source {
        bool active = false;
        std::array<std::uint8_t, 16> key{};
        SourceStats stats;
        int lastSequence = -1;
        TimePoint windowStart{};
        std::uint32_t windowPackets = 0;
        bool pushes = false;  // DDP: the sender marks the end of its frames with push
        Universe ddpFrame{};
    };

    Source* Find(Protocol protocol, const std::array<std::uint8_t, 16>& key);
    Source* Join(const SourcePacket& packet, const std::array<std::uint8_t, 16>& key,
                 TimePoint now);
    // Removes the source; notes when no source is left.
    void End(Source& source, SourceEventKind why, TimePoint now);
    // The index of the source that is to hold the display, or kNone.
    int Winner() const;
    void Emit(SourceEventKind kind, TimePoint now, const SourceLabel& source,
              const SourceLabel* other = nullptr);

    std::array<Source, kMaxSources> sources_{};
    static constexpr int kNone = -1;
    int holder_ = kNone;  // the index of the source whose frame the display shows
    Universe universe_{};
    EventQueue events_;
    bool allGone_ = false;
};

}  // namespace velta::net
