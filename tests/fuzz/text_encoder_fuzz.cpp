// Any byte string, valid UTF-8 or not, encodes to at most the asked number of bytes, and the
// text report built from it carries exactly those bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/device_reports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t limit : {std::size_t{0}, std::size_t{1}, velta::kTextPayloadBytes}) {
        const std::string bytes = velta::EncodeWindows1252(text, limit);
        if (bytes.size() > limit || bytes.size() > size)
            std::abort();
    }
    const velta::DeviceReport report = velta::TextReport(text);
    const std::string bytes = velta::EncodeWindows1252(text, velta::kTextPayloadBytes);
    for (std::size_t i = 0; i < velta::kTextPayloadBytes; ++i) {
        const std::uint8_t expected = i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
        if (report[3 + i] != expected)
            std::abort();
    }
    return 0;
}
