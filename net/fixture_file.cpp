#include "net/fixture_file.h"

#include "net/channel_map.h"

namespace velta::net {

namespace {

constexpr std::string_view kModeName = "460 channels";

// How a channel is described to the lighting program.
struct ChannelKind {
    std::string_view preset;  // a built-in meaning, or empty for a group with capabilities
    std::string_view group;
    int byte;  // 0 coarse, 1 fine
    enum class Values { OnOff, Steps16, Range } values;
    std::string_view what;  // for Steps16 ("Brightness 3") and Range
};

ChannelKind KindOf(ChannelRole role) {
    using V = ChannelKind::Values;
    switch (role) {
        case ChannelRole::GridCell:
        case ChannelRole::Ring:
            return {"", "Intensity", 0, V::OnOff, ""};
        case ChannelRole::PodRed:
            return {"IntensityRed", "", 0, V::Range, ""};
        case ChannelRole::PodGreen:
            return {"IntensityGreen", "", 0, V::Range, ""};
        case ChannelRole::PodBlue:
            return {"IntensityBlue", "", 0, V::Range, ""};
        case ChannelRole::RingLevelCoarse:
            return {
                "", "Intensity", 0, V::Range,
                "Ring level, high byte of 16 bits (the level is the 16 bits shifted right by 4)"};
        case ChannelRole::RingLevelFine:
            return {"", "Intensity", 1, V::Range, "Ring level fine"};
        case ChannelRole::GridBrightness:
            return {"", "Intensity", 0, V::Steps16, "Brightness"};
        case ChannelRole::ScrollSpeed:
            return {"", "Speed", 0, V::Steps16, "Speed"};
    }
    return {"", "Nothing", 0, V::Range, ""};
}

void Capability(std::string& out, int min, int max, std::string_view text) {
    out += "  <Capability Min=\"" + std::to_string(min) + "\" Max=\"" + std::to_string(max) +
           "\">" + std::string(text) + "</Capability>\n";
}

void ChannelElement(std::string& out, const ChannelSlot& slot) {
    const ChannelKind kind = KindOf(slot.role);
    const std::string name = ChannelName(slot);
    if (!kind.preset.empty()) {
        out += " <Channel Name=\"" + name + "\" Preset=\"" + std::string(kind.preset) + "\"/>\n";
        return;
    }
    out += " <Channel Name=\"" + name + "\">\n";
    out += "  <Group Byte=\"" + std::to_string(kind.byte) + "\">" + std::string(kind.group) +
           "</Group>\n";
    switch (kind.values) {
        case ChannelKind::Values::OnOff:
            Capability(out, 0, 127, "Off");
            Capability(out, 128, 255, "On");
            break;
        case ChannelKind::Values::Steps16:
            for (int step = 0; step < 16; ++step)
                Capability(out, 16 * step, 16 * step + 15,
                           std::string(kind.what) + " " + std::to_string(step));
            break;
        case ChannelKind::Values::Range:
            Capability(out, 0, 255, kind.what);
            break;
    }
    out += " </Channel>\n";
}

}  // namespace

std::optional<std::string> FixtureDefinition(std::string_view format) {
    if (format == "qlcplus")
        return QlcPlusFixture();
    return std::nullopt;
}

std::string QlcPlusFixture() {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE FixtureDefinition>\n"
        "<FixtureDefinition xmlns=\"http://www.qlcplus.org/FixtureDefinition\">\n"
        " <Creator>\n"
        "  <Name>Velta Control Center</Name>\n"
        "  <Version>" VELTA_VERSION
        "</Version>\n"
        "  <Author>velta fixture</Author>\n"
        " </Creator>\n"
        " <Manufacturer>Velta</Manufacturer>\n"
        " <Model>LED Display</Model>\n"
        " <Type>Other</Type>\n";
    out.reserve(160 * 1024);
    for (const ChannelSlot& slot : kChannelSlots)
        ChannelElement(out, slot);
    out += " <Mode Name=\"" + std::string(kModeName) + "\">\n";
    for (int offset = 0; offset < kFixtureChannels; ++offset) {
        out += "  <Channel Number=\"" + std::to_string(offset) + "\">" +
               ChannelName(kChannelSlots[static_cast<std::size_t>(offset)]) + "</Channel>\n";
    }
    out +=
        " </Mode>\n"
        " <Physical>\n"
        "  <Bulb Type=\"LED\" Lumens=\"0\" ColourTemperature=\"0\"/>\n"
        "  <Dimensions Weight=\"0\" Width=\"0\" Height=\"0\" Depth=\"0\"/>\n"
        "  <Lens Name=\"Other\" DegreesMin=\"0\" DegreesMax=\"0\"/>\n"
        "  <Focus Type=\"Fixed\" PanMax=\"0\" TiltMax=\"0\"/>\n"
        "  <Technical PowerConsumption=\"0\" DmxConnector=\"Other\"/>\n"
        " </Physical>\n"
        "</FixtureDefinition>\n";
    return out;
}

}  // namespace velta::net
