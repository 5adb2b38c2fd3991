// Fixture definitions for lighting programs, generated from the channel map: the program lists
// the display among its fixtures with every channel named.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velta::net {

// The formats `velta fixture --format` writes.
inline constexpr std::string_view kFixtureFormats = "qlcplus";

// The fixture definition in `format`, or nullopt for a format not in kFixtureFormats.
std::optional<std::string> FixtureDefinition(std::string_view format);

// The QLC+ fixture definition (.qxf, XML): manufacturer "Velta", model "LED Display", one mode of
// 460 channels in channel-map order.
std::string QlcPlusFixture();

}  // namespace velta::net
