// What the Live Input window shows: the sources table's rows, the drops and totals, and the line
// that says what the live input is doing.
#include "control/live_input_view.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace velta {
namespace {

using namespace std::chrono_literals;

net::SourceStats Source(net::Protocol protocol, const char* name, int universe, int priority,
                        double rate, net::Clock::duration ago, bool holds) {
    net::SourceStats source;
    source.label.protocol = protocol;
    source.label.address = {0xC0A80105, 5568};  // 192.168.1.5
    std::strncpy(source.label.name.data(), name, source.label.name.size() - 1);
    source.label.universe = universe;
    source.label.priority = priority;
    source.packetsPerSecond = rate;
    source.lastSeen = net::TimePoint{} + 1h - ago;
    source.holdsDisplay = holds;
    return source;
}

TEST(LiveInputView, SourceRows) {
    const net::TimePoint now = net::TimePoint{} + 1h;
    using P = net::Protocol;
    const struct {
        net::SourceStats source;
        std::array<const char*, kLiveSourceColumns> cells;
    } cases[] = {
        // clang-format off
        {Source(P::Sacn, "Console A", 1, 120, 44.2, 300ms, true),
         {"Console A", "192.168.1.5:5568", "sACN", "1", "120", "44", "now", "shown"}},
        {Source(P::Sacn, "Backup", 63999, 100, 9.94, 2400ms, false),
         {"Backup", "192.168.1.5:5568", "sACN", "63999", "100", "9.9", "2 s ago", "not shown"}},
        {Source(P::ArtNet, "", 0, 100, 0.5, 61s, false),
         {"(unnamed)", "192.168.1.5:5568", "Art-Net", "1 (port-address 0)", "100 (not sent)",
          "0.5", "1 min ago", "not shown"}},
        {Source(P::Ddp, "", 0, 100, 0, 2h, true),
         {"(unnamed)", "192.168.1.5:5568", "DDP", "none", "100 (not sent)", "0", "2 h ago",
          "shown"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const LiveSourceRow row = FormatSourceRow(c.source, now);
        for (int column = 0; column < kLiveSourceColumns; ++column) {
            EXPECT_EQ(row.cells[static_cast<std::size_t>(column)],
                      c.cells[static_cast<std::size_t>(column)])
                << c.cells[0] << ", column "
                << LiveSourceColumnTitle(static_cast<LiveSourceColumn>(column));
        }
        EXPECT_EQ(row.holdsDisplay, c.source.holdsDisplay);
    }
}

TEST(LiveInputView, SourcesAreListedOnlyWhileOn) {
    LiveInputStats stats;
    stats.receiver.sources[0] = Source(net::Protocol::Sacn, "Console", 1, 100, 44, 0s, true);
    stats.receiver.sourceCount = 1;
    EXPECT_TRUE(LiveSourceRows(stats, net::TimePoint{}).empty());
    stats.on = true;
    ASSERT_EQ(LiveSourceRows(stats, net::TimePoint{} + 1h).size(), 1u);
    EXPECT_EQ(LiveSourceRows(stats, net::TimePoint{} + 1h)[0].Cell(LiveSourceColumn::Name),
              "Console");
}

TEST(LiveInputView, DropsAndTotalsCountOnlyWhatWasDropped) {
    LiveInputStats stats;
    net::InputCounters& counters = stats.receiver.counters;
    counters.packets = {120, 0, 4};
    counters.framesAccepted = 118;
    counters.reasons[net::Index(net::Reason::Accepted)] = 118;
    counters.reasons[net::Index(net::Reason::PollAnswered)] = 2;  // answered, not dropped
    counters.reasons[net::Index(net::Reason::TooShort)] = 1;
    counters.reasons[net::Index(net::Reason::StaleSequence)] = 5;
    stats.framesShown = 117;
    stats.framesSent = 90;

    const std::vector<LiveDropRow> drops = LiveDropRows(counters);
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[0].reason, "too short");
    EXPECT_EQ(drops[0].count, 1u);
    EXPECT_EQ(drops[1].reason, "stale sequence");
    EXPECT_EQ(drops[1].count, 5u);
    EXPECT_EQ(LiveTotalsText(stats),
              "Packets: sACN 120, Art-Net 0, DDP 4. Frames: 118 received, 117 shown, 90 sent. "
              "Dropped: 6.");
}

TEST(LiveInputView, StatusLine) {
    const std::array<std::uint16_t, net::kProtocolCount> all{5568, 6454, 4048};
    const std::array<std::uint16_t, net::kProtocolCount> ddpOnly{0, 0, 4048};
    auto with = [](bool on, bool failed, std::initializer_list<net::SourceStats> sources) {
        LiveInputStats stats;
        stats.on = on;
        stats.failed = failed;
        for (const net::SourceStats& source : sources)
            stats.receiver.sources[static_cast<std::size_t>(stats.receiver.sourceCount++)] = source;
        return stats;
    };
    const net::SourceStats console = Source(net::Protocol::Sacn, "Console", 1, 100, 44, 0s, true);
    const net::SourceStats ddp = Source(net::Protocol::Ddp, "", 0, 100, 44, 0s, false);
    const struct {
        const char* name;
        LiveInputStats stats;
        std::array<std::uint16_t, net::kProtocolCount> ports;
        const char* expected;
    } cases[] = {
        {"off",
         with(false, false, {}),
         {0, 0, 0},
         "Off: the program listens to nothing, and the panel is yours to edit."},
        {"failed",
         with(false, true, {}),
         {0, 0, 0},
         "The receiver stopped: waiting for packets failed. Switch \"Show live input\" on again "
         "to restart it."},
        {"waiting", with(true, false, {}), all,
         "Listening on sACN port 5568, Art-Net port 6454, DDP port 4048: no source is sending."},
        {"one source shown", with(true, false, {console}), all,
         "Listening on sACN port 5568, Art-Net port 6454, DDP port 4048: 1 source, the panel "
         "shows sACN \"Console\" 192.168.1.5:5568."},
        {"none shown (DDP waiting for its push)", with(true, false, {ddp}), ddpOnly,
         "Listening on DDP port 4048: 1 source."},
        {"two sources", with(true, false, {ddp, console}), all,
         "Listening on sACN port 5568, Art-Net port 6454, DDP port 4048: 2 sources, the panel "
         "shows sACN \"Console\" 192.168.1.5:5568."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LiveStatusText(c.stats, c.ports), c.expected) << c.name;
}

}  // namespace
}  // namespace velta
