// What the three network fuzz targets share: the bytes go through the protocol's reader, and then,
// as the same datagram arriving several times from two senders over a few seconds, through the
// whole engine (universe check, source rules, DDP assembly, channel map). The readers must take
// any bytes without fault, keep their views inside the datagram, and every frame made must lie
// within the panel's ranges.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "net/input_engine.h"

namespace velta::net::fuzz {

inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

inline void CheckInside(std::span<const std::uint8_t> view,
                        std::span<const std::uint8_t> datagram) {
    Check(view.empty() || (view.data() >= datagram.data() &&
                           view.data() + view.size() <= datagram.data() + datagram.size()));
}

inline void CheckFrame(const SequenceFrame& frame) {
    Check(frame.ringLevel >= 0 && frame.ringLevel <= kRingLevelMax);
    Check(frame.gridBrightness >= 0 && frame.gridBrightness <= kGridBrightnessMax);
    Check(frame.scrollSpeed >= 0 && frame.scrollSpeed <= kScrollSpeedMax);
    for (const Color pod : frame.pods)
        Check((pod & 0xFF000000u) == 0);
}

inline void RunEngine(Protocol protocol, std::span<const std::uint8_t> datagram) {
    using namespace std::chrono_literals;
    InputConfig config;
    // The universe and start address come from the bytes too, so wrong-universe and the
    // channel map's ends are both reached.
    config.universe = datagram.size() > 114 ? 1 + (datagram[114] % 4) : 1;
    config.startAddress = 1 + static_cast<int>(datagram.size() % kMaxStartAddress);
    config.onLoss = datagram.size() % 2 == 0 ? LossPolicy::Hold : LossPolicy::Blank;
    InputEngine engine(config);
    const TimePoint t0{};
    const struct {
        Endpoint from;
        std::chrono::milliseconds at;
    } arrivals[] = {{{0x0A000001, 1}, 0ms},
                    {{0x0A000001, 1}, 5ms},
                    {{0x0A000002, 2}, 10ms},
                    {{0x0A000001, 1}, 2600ms},
                    {{0x0A000002, 2}, 6000ms}};
    for (const auto& arrival : arrivals) {
        const InputEngine::Outcome outcome =
            engine.OnDatagram(protocol, datagram, arrival.from, t0 + arrival.at);
        Check(static_cast<int>(outcome.reason) < kReasonCount);
        if (outcome.frameReady)
            CheckFrame(engine.Frame());
        if (outcome.answerPoll)
            Check(BuildArtPollReply(engine.Node(0x7F000001))[9] == 0x21);
    }
    if (engine.Expire(t0 + 10s))
        CheckFrame(engine.Frame());
    Check(!engine.NextDeadline());
    std::array<SourceStats, kMaxSources> stats;
    Check(engine.Sources().CopyStats(stats) == 0);
    while (auto event = engine.Sources().Events().Pop())
        Check(!DescribeEvent(*event, config.onLoss).empty());
}

}  // namespace velta::net::fuzz
