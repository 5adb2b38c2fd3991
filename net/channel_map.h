// The display as a lighting fixture: which DMX channel carries which part of the panel.
//
// One table, kChannelBlocks, is the single source: the receiver decodes with it, docs/NETWORK.md
// shows the table ChannelMapMarkdown() renders from it (a test compares the two), and the fixture
// file for lighting programs is generated from it. Channels are counted from 1, as lighting
// programs count them, starting at the fixture's start address S.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/panel_content.h"

namespace velta::net {

inline constexpr int kUniverseSize = 512;
inline constexpr int kFixtureChannels = 460;
inline constexpr int kDefaultStartAddress = 1;
// The last start address that keeps all 460 channels inside the universe.
inline constexpr int kMaxStartAddress = kUniverseSize - kFixtureChannels + 1;  // 53

using Universe = std::array<std::uint8_t, kUniverseSize>;

enum class ChannelRole : std::uint8_t {
    GridCell,         // on at >= 128
    PodRed,           // 0..255
    PodGreen,         // 0..255
    PodBlue,          // 0..255
    Ring,             // on at >= 128
    RingLevelCoarse,  // high byte of a 16-bit level; the level is the 16 bits >> 4
    RingLevelFine,    // low byte
    GridBrightness,   // >> 4 gives 0..15
    ScrollSpeed,      // >> 4 gives 0..15
};

// A run of channels of one role: item i of the block sits at offset first + stride * i from the
// start address (offset 0 is channel S).
struct ChannelBlock {
    ChannelRole role;
    int first;
    int count;
    int stride;
    std::string_view what;    // for the documentation table
    std::string_view values;  // how the value is read
};

inline constexpr std::array<ChannelBlock, 9> kChannelBlocks{{
    {ChannelRole::GridCell, 0, kCellCount, 1, "grid cell (row R, column C) at S + 32·R + C",
     "on at 128 and above"},
    {ChannelRole::PodRed, 384, kPodCount, 3, "pod P red at S + 384 + 3·P", "0–255"},
    {ChannelRole::PodGreen, 385, kPodCount, 3, "pod P green at S + 385 + 3·P", "0–255"},
    {ChannelRole::PodBlue, 386, kPodCount, 3, "pod P blue at S + 386 + 3·P", "0–255"},
    {ChannelRole::Ring, 444, kRingCount, 1, "ring K at S + 444 + K", "on at 128 and above"},
    {ChannelRole::RingLevelCoarse, 456, 1, 1, "ring level, coarse",
     "high byte of 16 bits; level = 16 bits >> 4 (0–4095)"},
    {ChannelRole::RingLevelFine, 457, 1, 1, "ring level, fine", "low byte of the same 16 bits"},
    {ChannelRole::GridBrightness, 458, 1, 1, "grid brightness", "value >> 4 (0–15)"},
    {ChannelRole::ScrollSpeed, 459, 1, 1, "scroll speed", "value >> 4 (0–15)"},
}};

// What one channel of the fixture carries: its role and the cell, pod or ring it belongs to
// (0 for the single channels).
struct ChannelSlot {
    ChannelRole role = ChannelRole::GridCell;
    int item = -1;  // -1 only while the table is built: every slot is claimed exactly once
};

namespace detail {
constexpr std::array<ChannelSlot, kFixtureChannels> BuildSlots() {
    std::array<ChannelSlot, kFixtureChannels> levels{};
    for (const ChannelBlock& block : kChannelBlocks) {
        for (int i = 0; i < block.count; ++i)
            levels[static_cast<std::size_t>(block.first + block.stride * i)] = {block.role, i};
    }
    return levels;
}
constexpr bool EveryChannelClaimedOnce() {
    std::array<int, kFixtureChannels> claims{};
    for (const ChannelBlock& block : kChannelBlocks) {
        for (int i = 0; i < block.count; ++i) {
            const int offset = block.first + block.stride * i;
            if (offset < 0 || offset >= kFixtureChannels)
                return false;
            ++claims[static_cast<std::size_t>(offset)];
        }
    }
    for (int c : claims) {
        if (c != 1)
            return false;
    }
    return true;
}
}  // namespace detail

static_assert(detail::EveryChannelClaimedOnce(), "the blocks must cover 460 channels exactly");

// Slot k is the channel at offset k from the start address (channel S + k).
inline constexpr std::array<ChannelSlot, kFixtureChannels> kChannelSlots = detail::BuildSlots();

// The channel name lighting programs show, e.g. "Grid row 3 column 17", "Pod 4 red", "Ring 11",
// "Ring level coarse", "Grid brightness".
std::string ChannelName(const ChannelSlot& slot);

constexpr bool IsValidStartAddress(int start) {
    return start >= 1 && start <= kMaxStartAddress;
}
// Checks a start address where it is configured: empty when it is usable, else the reason.
std::string CheckStartAddress(int start);

// Reads the fixture's 460 channels from a universe (512 slots, slot 0 = channel 1) at start
// address `start` into a frame. `start` must pass IsValidStartAddress; an invalid one reads as 1.
// The frame's hold time is left at its default: a live frame is shown until the next one.
void DecodeUniverse(std::span<const std::uint8_t, kUniverseSize> universe, int start,
                    SequenceFrame& frame);
SequenceFrame DecodeUniverse(std::span<const std::uint8_t, kUniverseSize> universe, int start);

// The reverse, for senders and tests: the universe that DecodeUniverse reads back as `frame`
// (levels are written as level << 4, so they read back unchanged); channels outside the fixture
// are 0.
Universe EncodeUniverse(const SequenceFrame& frame, int start);

// The channel map as the Markdown table docs/NETWORK.md carries.
std::string ChannelMapMarkdown();

}  // namespace velta::net
