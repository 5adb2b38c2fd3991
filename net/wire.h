// Reading and writing the integers of network packets. Callers check lengths first; these only
// assemble bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velta::net::wire {

inline std::uint16_t Be16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}
inline std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
inline std::uint32_t Be32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}
inline void PutBe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}
inline void PutLe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}
inline void PutBe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    PutBe16(bytes, at, value >> 16);
    PutBe16(bytes, at + 2, value & 0xFFFF);
}

}  // namespace velta::net::wire
