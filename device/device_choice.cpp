#include "device/device_choice.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "device/hid_link.h"

namespace velta {

namespace {

bool IsTransmitter(const HidInterfaceInfo& info) {
    return info.vendorId == kTransmitterVendorId && info.productId == kTransmitterProductId;
}

std::vector<HidInterfaceInfo> Matching(const std::vector<HidInterfaceInfo>& transmitters,
                                       std::string HidInterfaceInfo::*field,
                                       const std::string& value) {
    std::vector<HidInterfaceInfo> matching;
    std::copy_if(transmitters.begin(), transmitters.end(), std::back_inserter(matching),
                 [&](const HidInterfaceInfo& info) { return info.*field == value; });
    return matching;
}

// The length of the well-formed UTF-8 sequence at the start of `text` and its code point, or 0
// when it is not one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeOne(std::string_view text, char32_t& point) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (byte(i) & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::vector<HidInterfaceInfo> ListTransmitters(const std::vector<HidInterfaceInfo>& interfaces) {
    std::vector<HidInterfaceInfo> transmitters;
    std::copy_if(interfaces.begin(), interfaces.end(), std::back_inserter(transmitters),
                 IsTransmitter);
    return transmitters;
}

std::vector<HidInterfaceInfo> ChooseTransmitters(const std::vector<HidInterfaceInfo>& interfaces,
                                                 const DeviceChoice& choice) {
    std::vector<HidInterfaceInfo> transmitters = ListTransmitters(interfaces);
    if (choice.Any())
        return transmitters;
    // A path names one interface; it is looked at first so that a serial number that happens to
    // read like another transmitter's path can't take its place.
    if (auto byPath = Matching(transmitters, &HidInterfaceInfo::path, choice.pathOrSerial);
        !byPath.empty())
        return byPath;
    return Matching(transmitters, &HidInterfaceInfo::serialNumber, choice.pathOrSerial);
}

std::string ShownName(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = DecodeOne(text, point);
        const bool control = point < 0x20 || (point >= 0x7F && point <= 0x9F);
        if (length == 0 || control) {
            shown.push_back('?');
            text.remove_prefix(length == 0 ? 1 : length);
            continue;
        }
        shown.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return shown;
}

}  // namespace velta
