// What the Live Input window shows and what its settings mean, worked out without a window: the
// settings the user picks turned into a receiver configuration, the sources table's rows, the
// drops by reason, the totals and the one line that says what the live input is doing. The window
// only puts these texts into its widgets.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/live_input.h"
#include "net/channel_map.h"
#include "net/net_types.h"
#include "net/sacn.h"
#include "net/source_rules.h"

namespace velta {

inline constexpr int kLiveMinUniverse = 1;
inline constexpr int kLiveMaxUniverse = net::kSacnMaxUniverse;
inline constexpr int kLiveMinStartAddress = 1;
inline constexpr int kLiveMaxStartAddress = net::kMaxStartAddress;

// The window's choices. Where it listens is fixed for the user (every interface, the protocols'
// own ports, the universe's multicast group); a test listens on the loopback on free ports.
struct LiveInputSettings {
    int universe = 1;
    int startAddress = net::kDefaultStartAddress;
    net::ProtocolSet protocols = net::kAllProtocols;
    net::LossPolicy onLoss = net::LossPolicy::Hold;
    std::uint32_t bindAddress = 0;
    std::array<std::uint16_t, net::kProtocolCount> ports{net::kSacnPort, net::kArtNetPort,
                                                         net::kDdpPort};
    bool joinMulticast = true;
};

// The live input's configuration for the settings: frames go to the display (with RF mode on and
// the transmitter connected, the ticked features, as Auto Update sends them).
LiveInputConfig MakeLiveInputConfig(const LiveInputSettings& settings);

// The sources table: one row per source heard, in the receiver's order.
enum class LiveSourceColumn {
    Name,
    Address,
    Protocol,
    Universe,
    Priority,
    PacketsPerSecond,
    LastSeen,
    Display,
};
inline constexpr int kLiveSourceColumns = static_cast<int>(LiveSourceColumn::Display) + 1;

// "Source", "Address", ..., "Display".
std::string_view LiveSourceColumnTitle(LiveSourceColumn column);

struct LiveSourceRow {
    std::array<std::string, kLiveSourceColumns> cells;
    bool holdsDisplay = false;

    const std::string& Cell(LiveSourceColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

// A source as a row, its last packet `now - lastSeen` ago: `Console`, `192.168.1.5:5568`, `sACN`,
// `1`, `100`, `44`, `now`, `shown`. Art-Net shows the universe the user set (port-address + 1),
// DDP, which has neither universe nor priority, says so.
LiveSourceRow FormatSourceRow(const net::SourceStats& source, net::TimePoint now);
// The rows of the sources heard now: none while the live input is off (the last session's
// sources are gone with its sockets; its totals stay).
std::vector<LiveSourceRow> LiveSourceRows(const LiveInputStats& stats, net::TimePoint now);
// "44", "2.5", "0": whole numbers from 10 up, one decimal below.
std::string FormatPacketsPerSecond(double packetsPerSecond);
// "now" under a second, then "3 s ago", "2 min ago", "1 h ago".
std::string FormatLastSeen(net::Clock::duration ago);

// Every reason something was dropped, with its count, in the order of net::Reason; nothing that
// was not dropped.
struct LiveDropRow {
    std::string reason;
    std::uint64_t count = 0;
};
std::vector<LiveDropRow> LiveDropRows(const net::InputCounters& counters);

// "Packets: sACN 120, Art-Net 0, DDP 4. Frames: 118 received, 118 shown, 90 sent. Dropped: 6."
std::string LiveTotalsText(const LiveInputStats& stats);

// What the live input is doing, in one sentence: off, listening (on which ports) with no source
// or with the sources heard and which one the display shows.
std::string LiveStatusText(const LiveInputStats& stats,
                           const std::array<std::uint16_t, net::kProtocolCount>& ports);

}  // namespace velta
