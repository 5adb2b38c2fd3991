// The frames the service's benchmark and its sender send: two contents that differ in every one
// of the 460 channels, so each frame after the first changes the grid, the pods and the rings
// (four reports). Built into one packet of each protocol, numbered as a sender numbers them.
#pragma once

#include <cstdint>

#include "net/channel_map.h"
#include "net/net_types.h"
#include "tests/support/net_packets.h"

namespace velta::bench {

// Frame 0 or 1 of the alternation, as the 460 channels from start address 1.
inline net::test::Bytes AlternatingChannels(int which) {
    net::test::Bytes channels(512, 0);
    for (int i = 0; i < net::kFixtureChannels; ++i)
        channels[static_cast<std::size_t>(i)] = which == 0 ? 0xFF : 0x00;
    for (int pod = 0; pod < 20; ++pod) {  // pods: magenta, then green
        channels[static_cast<std::size_t>(384 + 3 * pod + 1)] = which == 0 ? 0x00 : 0xFF;
    }
    return channels;
}

// The packet for `protocol` carrying frame `which`, the `count`th the sender sends.
inline net::test::Bytes AlternatingPacket(net::Protocol protocol, int which, unsigned long count) {
    const net::test::Bytes channels = AlternatingChannels(which);
    switch (protocol) {
        case net::Protocol::Sacn: {
            net::test::SacnFields fields;
            fields.sequence = static_cast<std::uint8_t>(count);
            fields.levels = channels;
            return net::test::SacnPacket(fields);
        }
        case net::Protocol::ArtNet: {
            net::test::ArtDmxFields fields;
            fields.sequence = static_cast<std::uint8_t>(count % 255 + 1);  // 0: unnumbered
            fields.levels = channels;
            return net::test::ArtDmxPacket(fields);
        }
        case net::Protocol::Ddp: {
            net::test::DdpFields fields;
            fields.sequence = static_cast<std::uint8_t>(count % 15 + 1);  // 1..15; 0: unnumbered
            fields.data.assign(channels.begin(), channels.begin() + net::kFixtureChannels);
            return net::test::DdpPacket(fields);
        }
    }
    return {};
}

}  // namespace velta::bench
