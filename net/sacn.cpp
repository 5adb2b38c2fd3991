#include "net/sacn.h"

#include <algorithm>
#include <cstring>

#include "net/wire.h"

namespace velta::net {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::array<std::uint8_t, 12> kAcnIdentifier{'A', 'S', 'C', '-', 'E', '1',
                                                      '.', '1', '7', 0,   0,   0};
constexpr std::uint32_t kVectorRootData = 0x00000004;
constexpr std::uint32_t kVectorRootExtended = 0x00000008;
constexpr std::uint32_t kVectorFramingData = 0x00000002;
constexpr std::uint32_t kVectorExtendedSync = 0x00000001;
constexpr std::uint32_t kVectorExtendedDiscovery = 0x00000002;
constexpr std::uint8_t kVectorDmpSetProperty = 0x02;
constexpr std::uint8_t kDmpAddressType = 0xA1;

constexpr std::uint8_t kOptionPreview = 0x80;
constexpr std::uint8_t kOptionTerminated = 0x40;
constexpr std::uint8_t kOptionForceSync = 0x20;

// Where each layer starts and the size of the fields before the next.
constexpr std::size_t kRootFlagsLength = 16;
constexpr std::size_t kFramingFlagsLength = 38;
constexpr std::size_t kDmpFlagsLength = 115;
constexpr std::size_t kStartCode = 125;
constexpr std::size_t kSourceNameSize = 64;
// Universe discovery lists up to 512 universes: its packets are the largest of the protocol.
constexpr std::size_t kSacnMaxExtendedPacket = 120 + 2 * 512;

// A PDU's flags and length: the flags nibble must be 0x7 and the length must reach exactly from
// the field to the end of the datagram (each layer is the last PDU of its parent here).
Reason CheckFlagsLength(Bytes datagram, std::size_t at) {
    const std::uint16_t field = wire::Be16(datagram, at);
    if ((field >> 12) != 0x7)
        return Reason::BadField;
    if ((field & 0x0FFF) != datagram.size() - at)
        return Reason::BadLength;
    return Reason::Accepted;
}

Reason ReadRootLayer(Bytes datagram, SacnData& data, std::uint32_t& vector) {
    if (datagram.size() < kFramingFlagsLength)
        return Reason::TooShort;
    if (wire::Be16(datagram, 0) != 0x0010 || wire::Be16(datagram, 2) != 0x0000)
        return Reason::BadIdentifier;
    if (!std::equal(kAcnIdentifier.begin(), kAcnIdentifier.end(), datagram.begin() + 4))
        return Reason::BadIdentifier;
    if (const Reason r = CheckFlagsLength(datagram, kRootFlagsLength); r != Reason::Accepted)
        return r;
    vector = wire::Be32(datagram, 18);
    std::copy_n(datagram.begin() + 22, data.cid.size(), data.cid.begin());
    return Reason::Accepted;
}

// Synchronization and universe discovery share the root layer; they are recognised by their
// framing vector and set aside.
Reason ReadExtended(Bytes datagram) {
    if (datagram.size() < kFramingFlagsLength + 6)
        return Reason::TooShort;
    if (const Reason r = CheckFlagsLength(datagram, kFramingFlagsLength); r != Reason::Accepted)
        return r;
    switch (wire::Be32(datagram, 40)) {
        case kVectorExtendedSync:
            return Reason::Synchronization;
        case kVectorExtendedDiscovery:
            return Reason::Discovery;
        default:
            return Reason::BadVector;
    }
}

Reason ReadFramingLayer(Bytes datagram, SacnData& data) {
    if (const Reason r = CheckFlagsLength(datagram, kFramingFlagsLength); r != Reason::Accepted)
        return r;
    if (wire::Be32(datagram, 40) != kVectorFramingData)
        return Reason::BadVector;
    const char* name = reinterpret_cast<const char*>(datagram.data() + 44);
    const void* nul = std::memchr(name, 0, kSourceNameSize);
    if (nul == nullptr)
        return Reason::BadField;
    data.sourceName =
        std::string_view(name, static_cast<std::size_t>(static_cast<const char*>(nul) - name));
    data.priority = datagram[108];
    if (data.priority > kSacnMaxPriority)
        return Reason::BadField;
    data.syncAddress = wire::Be16(datagram, 109);
    data.sequence = datagram[111];
    const std::uint8_t options = datagram[112];
    data.preview = (options & kOptionPreview) != 0;
    data.terminated = (options & kOptionTerminated) != 0;
    data.forceSync = (options & kOptionForceSync) != 0;
    data.universe = wire::Be16(datagram, 113);
    if (data.universe < kSacnMinUniverse || data.universe > kSacnMaxUniverse)
        return Reason::BadField;
    return Reason::Accepted;
}

Reason ReadDmpLayer(Bytes datagram, SacnData& data) {
    if (const Reason r = CheckFlagsLength(datagram, kDmpFlagsLength); r != Reason::Accepted)
        return r;
    if (datagram[117] != kVectorDmpSetProperty)
        return Reason::BadVector;
    if (datagram[118] != kDmpAddressType || wire::Be16(datagram, 119) != 0 ||
        wire::Be16(datagram, 121) != 1)
        return Reason::BadField;
    const std::size_t count = wire::Be16(datagram, 123);
    if (count < 1 || count > 513)
        return Reason::BadField;
    if (count != datagram.size() - kStartCode)
        return Reason::BadLength;
    if (datagram[kStartCode] != 0)
        return Reason::UnsupportedStartCode;
    data.levels = datagram.subspan(kStartCode + 1);
    return Reason::Accepted;
}

}  // namespace

SacnReading ReadSacn(std::span<const std::uint8_t> datagram) {
    SacnReading reading;
    if (datagram.size() > kSacnMaxExtendedPacket) {
        reading.reason = Reason::Oversized;
        return reading;
    }
    std::uint32_t vector = 0;
    reading.reason = ReadRootLayer(datagram, reading.data, vector);
    if (reading.reason != Reason::Accepted)
        return reading;
    if (vector == kVectorRootExtended) {
        reading.reason = ReadExtended(datagram);
        return reading;
    }
    if (vector != kVectorRootData) {
        reading.reason = Reason::BadVector;
        return reading;
    }
    if (datagram.size() < kSacnMinPacket || datagram.size() > kSacnMaxPacket) {
        reading.reason = datagram.size() < kSacnMinPacket ? Reason::TooShort : Reason::Oversized;
        return reading;
    }
    reading.reason = ReadFramingLayer(datagram, reading.data);
    if (reading.reason == Reason::Accepted)
        reading.reason = ReadDmpLayer(datagram, reading.data);
    return reading;
}

}  // namespace velta::net
