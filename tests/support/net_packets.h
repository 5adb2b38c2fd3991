// Packets of the three lighting protocols as a sender writes them, built field by field from the
// protocols' layouts (not from the readers), for the tests, the benchmarks and the fuzz seeds.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velta::net::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutBe16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

struct SacnFields {
    std::array<std::uint8_t, 16> cid{0xC1, 0xD0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    std::string name = "Console";
    int priority = 100;
    int syncAddress = 0;
    std::uint8_t sequence = 0;
    std::uint8_t options = 0;  // 0x80 preview, 0x40 terminated, 0x20 force sync
    int universe = 1;
    std::uint8_t startCode = 0;
    Bytes levels = Bytes(512, 0);
};

// An E1.31 data packet: root layer at 0, framing layer at 38, DMP layer at 115.
inline Bytes SacnPacket(const SacnFields& fields) {
    const std::size_t size = 126 + fields.levels.size();
    Bytes b(size, 0);
    PutBe16(b, 0, 0x0010);
    PutBe16(b, 2, 0x0000);
    const char id[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
    std::copy(id, id + 12, b.begin() + 4);
    PutBe16(b, 16, 0x7000 | (size - 16));
    b[21] = 0x04;  // VECTOR_ROOT_E131_DATA
    std::copy(fields.cid.begin(), fields.cid.end(), b.begin() + 22);
    PutBe16(b, 38, 0x7000 | (size - 38));
    b[43] = 0x02;  // VECTOR_E131_DATA_PACKET
    std::copy_n(fields.name.begin(), std::min<std::size_t>(fields.name.size(), 64), b.begin() + 44);
    b[108] = static_cast<std::uint8_t>(fields.priority);
    PutBe16(b, 109, static_cast<unsigned>(fields.syncAddress));
    b[111] = fields.sequence;
    b[112] = fields.options;
    PutBe16(b, 113, static_cast<unsigned>(fields.universe));
    PutBe16(b, 115, 0x7000 | (size - 115));
    b[117] = 0x02;  // VECTOR_DMP_SET_PROPERTY
    b[118] = 0xA1;
    PutBe16(b, 119, 0);
    PutBe16(b, 121, 1);
    PutBe16(b, 123, static_cast<unsigned>(fields.levels.size() + 1));
    b[125] = fields.startCode;
    std::copy(fields.levels.begin(), fields.levels.end(), b.begin() + 126);
    return b;
}

// An E1.31 synchronization (framing vector 1) or universe discovery (2) packet.
inline Bytes SacnExtendedPacket(std::uint8_t framingVector) {
    SacnFields fields;
    Bytes b = SacnPacket(fields);
    b.resize(framingVector == 1 ? 49 : 120);
    PutBe16(b, 16, 0x7000 | (b.size() - 16));
    b[21] = 0x08;  // VECTOR_ROOT_E131_EXTENDED
    PutBe16(b, 38, 0x7000 | (b.size() - 38));
    b[43] = framingVector;
    return b;
}

struct ArtDmxFields {
    int version = 14;
    std::uint8_t sequence = 0;
    std::uint8_t physical = 0;
    int portAddress = 0;
    Bytes levels = Bytes(512, 0);
};

inline Bytes ArtNetHeader(unsigned opcode, std::size_t size) {
    Bytes b(size, 0);
    const char id[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
    std::copy(id, id + 8, b.begin());
    b[8] = static_cast<std::uint8_t>(opcode);  // little-endian
    b[9] = static_cast<std::uint8_t>(opcode >> 8);
    return b;
}

inline Bytes ArtDmxPacket(const ArtDmxFields& fields) {
    Bytes b = ArtNetHeader(0x5000, 18 + fields.levels.size());
    PutBe16(b, 10, static_cast<unsigned>(fields.version));
    b[12] = fields.sequence;
    b[13] = fields.physical;
    b[14] = static_cast<std::uint8_t>(fields.portAddress & 0xFF);  // SubUni
    b[15] = static_cast<std::uint8_t>(fields.portAddress >> 8);    // Net
    PutBe16(b, 16, static_cast<unsigned>(fields.levels.size()));
    std::copy(fields.levels.begin(), fields.levels.end(), b.begin() + 18);
    return b;
}

inline Bytes ArtPollPacket() {
    Bytes b = ArtNetHeader(0x2000, 14);
    PutBe16(b, 10, 14);
    return b;
}

struct DdpFields {
    std::uint8_t flags = 0x41;  // version 1, push
    std::uint8_t sequence = 0;
    std::uint8_t dataType = 0x0B;  // RGB, 8 bits per channel
    std::uint8_t outputId = 1;
    std::uint32_t offset = 0;
    Bytes data = Bytes(460, 0);
};

// The timecode flag (0x10) adds four bytes after the ten of the header.
inline Bytes DdpPacket(const DdpFields& fields) {
    const std::size_t header = (fields.flags & 0x10) != 0 ? 14 : 10;
    Bytes b(header + fields.data.size(), 0);
    b[0] = fields.flags;
    b[1] = fields.sequence;
    b[2] = fields.dataType;
    b[3] = fields.outputId;
    PutBe16(b, 4, fields.offset >> 16);
    PutBe16(b, 6, fields.offset & 0xFFFF);
    PutBe16(b, 8, static_cast<unsigned>(fields.data.size()));
    std::copy(fields.data.begin(), fields.data.end(),
              b.begin() + static_cast<std::ptrdiff_t>(header));
    return b;
}

}  // namespace velta::net::test
