#include "net/channel_map.h"

#include <cstddef>

namespace velta::net {

namespace {

constexpr std::uint8_t kOnThreshold = 128;

std::size_t At(int offset) {
    return static_cast<std::size_t>(offset);
}

}  // namespace

std::string ChannelName(const ChannelSlot& slot) {
    const std::string item = std::to_string(slot.item);
    switch (slot.role) {
        case ChannelRole::GridCell:
            return "Grid row " + std::to_string(slot.item / kColumns) + " column " +
                   std::to_string(slot.item % kColumns);
        case ChannelRole::PodRed:
            return "Pod " + item + " red";
        case ChannelRole::PodGreen:
            return "Pod " + item + " green";
        case ChannelRole::PodBlue:
            return "Pod " + item + " blue";
        case ChannelRole::Ring:
            return "Ring " + item;
        case ChannelRole::RingLevelCoarse:
            return "Ring level coarse";
        case ChannelRole::RingLevelFine:
            return "Ring level fine";
        case ChannelRole::GridBrightness:
            return "Grid brightness";
        case ChannelRole::ScrollSpeed:
            return "Scroll speed";
    }
    return "Channel";
}

std::string CheckStartAddress(int start) {
    if (IsValidStartAddress(start))
        return {};
    return "the start address must be 1 to " + std::to_string(kMaxStartAddress) + " so that all " +
           std::to_string(kFixtureChannels) + " channels fit in the 512 of a universe, not " +
           std::to_string(start);
}

// Block by block, each a tight loop: a frame is decoded for every packet accepted.
void DecodeUniverse(std::span<const std::uint8_t, kUniverseSize> universe, int start,
                    SequenceFrame& frame) {
    const int base = IsValidStartAddress(start) ? start - 1 : 0;
    const std::uint8_t* fixture = universe.data() + base;
    int coarse = 0;
    int fine = 0;
    for (const ChannelBlock& block : kChannelBlocks) {
        const std::uint8_t* value = fixture + block.first;
        for (int i = 0; i < block.count; ++i, value += block.stride) {
            const std::size_t item = At(i);
            switch (block.role) {
                case ChannelRole::GridCell:
                    frame.cells[item] = *value >= kOnThreshold;
                    break;
                case ChannelRole::PodRed:
                    frame.pods[item] = (frame.pods[item] & 0xFFFF00u) | *value;
                    break;
                case ChannelRole::PodGreen:
                    frame.pods[item] = (frame.pods[item] & 0xFF00FFu) | (Color{*value} << 8);
                    break;
                case ChannelRole::PodBlue:
                    frame.pods[item] = (frame.pods[item] & 0x00FFFFu) | (Color{*value} << 16);
                    break;
                case ChannelRole::Ring:
                    frame.rings[item] = *value >= kOnThreshold;
                    break;
                case ChannelRole::RingLevelCoarse:
                    coarse = *value;
                    break;
                case ChannelRole::RingLevelFine:
                    fine = *value;
                    break;
                case ChannelRole::GridBrightness:
                    frame.gridBrightness = *value >> 4;
                    break;
                case ChannelRole::ScrollSpeed:
                    frame.scrollSpeed = *value >> 4;
                    break;
            }
        }
    }
    frame.ringLevel = ((coarse << 8) | fine) >> 4;
}

SequenceFrame DecodeUniverse(std::span<const std::uint8_t, kUniverseSize> universe, int start) {
    SequenceFrame frame;
    DecodeUniverse(universe, start, frame);
    return frame;
}

Universe EncodeUniverse(const SequenceFrame& frame, int start) {
    Universe universe{};
    const int base = IsValidStartAddress(start) ? start - 1 : 0;
    const int level = frame.ringLevel << 4;
    for (int offset = 0; offset < kFixtureChannels; ++offset) {
        const ChannelSlot& slot = kChannelSlots[At(offset)];
        const std::size_t item = At(slot.item);
        int value = 0;
        switch (slot.role) {
            case ChannelRole::GridCell:
                value = frame.cells[item] ? 255 : 0;
                break;
            case ChannelRole::PodRed:
                value = RedOf(frame.pods[item]);
                break;
            case ChannelRole::PodGreen:
                value = GreenOf(frame.pods[item]);
                break;
            case ChannelRole::PodBlue:
                value = BlueOf(frame.pods[item]);
                break;
            case ChannelRole::Ring:
                value = frame.rings[item] ? 255 : 0;
                break;
            case ChannelRole::RingLevelCoarse:
                value = level >> 8;
                break;
            case ChannelRole::RingLevelFine:
                value = level & 0xFF;
                break;
            case ChannelRole::GridBrightness:
                value = frame.gridBrightness << 4;
                break;
            case ChannelRole::ScrollSpeed:
                value = frame.scrollSpeed << 4;
                break;
        }
        universe[At(base + offset)] = static_cast<std::uint8_t>(value & 0xFF);
    }
    return universe;
}

std::string ChannelMapMarkdown() {
    std::string table =
        "| channels (S = start address) | count | carries | value |\n"
        "|---|---|---|---|\n";
    for (const ChannelBlock& block : kChannelBlocks) {
        const int last = block.first + block.stride * (block.count - 1);
        std::string range = "S + " + std::to_string(block.first);
        if (block.count > 1) {
            range += " … S + " + std::to_string(last);
            if (block.stride > 1)
                range += ", step " + std::to_string(block.stride);
        }
        table += "| " + range + " | " + std::to_string(block.count) + " | " +
                 std::string(block.what) + " | " + std::string(block.values) + " |\n";
    }
    return table;
}

}  // namespace velta::net
