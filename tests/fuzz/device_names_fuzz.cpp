// A serial number is the device's own text. Whatever the device puts there, the UTF-8 made of
// it is well formed, and what is shown of it (or of a --device choice) is well-formed UTF-8
// without control characters, no longer than what it shows, and shown again unchanged; a choice
// only ever picks transmitters it names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_choice.h"
#include "device/hid_link.h"
#include "device/hidapi_transport.h"

namespace {

bool IsControl(std::uint32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

void CheckShown(std::string_view text) {
    const std::string shown = velta::ShownName(text);
    if (shown.size() > text.size() || velta::ShownName(shown) != shown)
        std::abort();
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckShown(text);

    // The same bytes as the wide string hidapi hands over, up to its first NUL.
    std::vector<wchar_t> wide(size / sizeof(wchar_t) + 1, L'\0');
    std::memcpy(wide.data(), data, size / sizeof(wchar_t) * sizeof(wchar_t));
    const std::string utf8 = velta::WideToUtf8(wide.data());
    CheckShown(utf8);
    // Well formed: showing it replaces exactly the control characters the wide string held
    // (an invalid byte would add a '?' of its own).
    std::size_t controls = 0;
    for (const wchar_t* w = wide.data(); *w != L'\0'; ++w)
        controls += IsControl(static_cast<std::uint32_t>(*w)) ? 1 : 0;
    const std::string shown = velta::ShownName(utf8);
    if (std::count(shown.begin(), shown.end(), '?') !=
        static_cast<std::ptrdiff_t>(std::count(utf8.begin(), utf8.end(), '?') + controls))
        std::abort();

    // Two transmitters and another device named by slices of the input; the choice is the rest.
    const std::size_t cut = size / 4;
    const std::vector<velta::HidInterfaceInfo> interfaces = {
        {std::string(text.substr(0, cut)), velta::kTransmitterVendorId,
         velta::kTransmitterProductId, std::string(text.substr(cut, cut))},
        {std::string(text.substr(0, cut / 2)), 0x046D, 0xC31C, std::string(text.substr(cut, cut))},
        {std::string(text.substr(cut / 2, cut)), velta::kTransmitterVendorId,
         velta::kTransmitterProductId, utf8},
    };
    const velta::DeviceChoice choice{std::string(text.substr(2 * cut))};
    for (const velta::HidInterfaceInfo& chosen : velta::ChooseTransmitters(interfaces, choice)) {
        if (chosen.vendorId != velta::kTransmitterVendorId ||
            (!choice.Any() && chosen.path != choice.pathOrSerial &&
             chosen.serialNumber != choice.pathOrSerial))
            std::abort();
    }
    return 0;
}
