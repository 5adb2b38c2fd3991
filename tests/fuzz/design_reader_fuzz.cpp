// Any bytes: the reader either refuses them with one printable line naming the file, or gives a
// design that writes, reads back to the same design and lands on a panel unchanged. What it
// takes, the JSON library takes too: the reader's own quick pass accepts no text the library
// would refuse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/design_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const velta::DesignReadResult read = velta::ReadDesign(bytes, "fuzz.velta");
    if (!read.Ok()) {
        if (read.error.rfind("fuzz.velta: ", 0) != 0)
            std::abort();
        for (const char c : read.error) {
            if (c < 0x20 || c >= 0x7F)
                std::abort();
        }
        return 0;
    }
    if (!read.error.empty() || !nlohmann::json::accept(bytes))
        std::abort();
    const std::string written = velta::WriteDesign(*read.design);
    const velta::DesignReadResult again = velta::ReadDesign(written, "fuzz.velta");
    if (!again.Ok() || !(*again.design == *read.design))
        std::abort();
    if (velta::WriteDesign(*again.design) != written)
        std::abort();
    velta::PanelState panel;
    velta::ApplyDesign(panel, *read.design);
    velta::Design onPanel = velta::CaptureDesign(panel);
    onPanel.frames = read.design->frames;  // the panel holds no frames
    if (!(onPanel == *read.design))
        std::abort();
    // Every frame lands on a panel unchanged.
    for (const velta::SequenceFrame& frame : read.design->frames) {
        velta::ApplyFrame(panel, frame);
        if (!(velta::CaptureFrame(panel, frame.holdMs) == frame))
            std::abort();
    }
    return 0;
}
