#include "control/guidance.h"

#include <array>

#include "device/link_notices.h"

namespace velta {

namespace {

constexpr std::array<StatusMeaning, 4> kStatusMeanings = {{
    {"", "Connect Tx has not been clicked yet: it finds and opens the USB transmitter."},
    {kTextDeviceDetected,
     "The transmitter is connected (code 0x00: no error). Activate RF Mode, tick the features to "
     "send and click Update Data."},
    {kTextDeviceNotDetected,
     "No transmitter was found, or it could not be opened (code 0xF1). Plug it in and click "
     "Connect Tx again; as an ordinary user, install the udev rule first. Update Data shows it "
     "too when the transmitter has gone."},
    {kTextReadError,
     "The transmitter stopped answering (code 0xA0), usually because it was unplugged. Plug it "
     "in again and click Connect Tx."},
}};

}  // namespace

std::span<const StatusMeaning> StatusMeanings() {
    return kStatusMeanings;
}

std::string_view StatusMeaningOf(std::string_view status) {
    for (const StatusMeaning& entry : kStatusMeanings) {
        if (entry.status == status)
            return entry.meaning;
    }
    return {};
}

std::string_view UpdateDataHint(bool rfMode, bool connected) {
    if (!rfMode)
        return "Nothing was sent: RF mode is off. Click Connect Tx, then Activate RF Mode.";
    if (!connected)
        return "Nothing was sent: no transmitter is connected. Plug it in and click Connect Tx.";
    return {};
}

std::string_view FirstStepHint(bool simulated) {
    if (simulated)
        return "Simulated transmitter. Next: click Connect Tx, Activate RF Mode, tick LED Grid, "
               "click Update Data (F1: Getting Started).";
    return "Next: plug in the transmitter and click Connect Tx (F1: Getting Started).";
}

}  // namespace velta
