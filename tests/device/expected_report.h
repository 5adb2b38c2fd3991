// Report expectations written as the few bytes that differ from zero.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "device/device_reports.h"

namespace velta::testing {

// A 65-byte report that is zero except at the given (byte, value) places.
inline DeviceReport Expected(std::initializer_list<std::pair<int, int>> bytes) {
    DeviceReport r{};
    for (const auto& [at, value] : bytes)
        r.at(static_cast<std::size_t>(at)) = static_cast<std::uint8_t>(value);
    return r;
}

}  // namespace velta::testing
