// What the panel tells a newcomer beside its own fixed texts: what each Status text means, and
// what to do when a click could not do its work (the status bar shows these; the Status box and
// the "Write Error" box keep their own words).
#pragma once

#include <span>
#include <string_view>

namespace velta {

struct StatusMeaning {
    std::string_view status;   // the Status box's text ("" before Connect Tx)
    std::string_view meaning;  // what it means and what to do
};

// Every text the Status box can show, with its meaning; the Getting Started page lists them.
std::span<const StatusMeaning> StatusMeanings();
// The meaning of a Status text; empty for a text not in the list.
std::string_view StatusMeaningOf(std::string_view status);

// What the "Write Error" box means.
inline constexpr std::string_view kWriteErrorMeaning =
    "A report could not be written to the transmitter (it is not connected, or was unplugged): "
    "the link is closed. Plug the transmitter in and click Connect Tx.";

// Activate RF Mode (or Disable RF Mode) while no transmitter is connected: the command can't
// reach it, and the "Write Error" box follows.
inline constexpr std::string_view kHintRfWithoutTransmitter =
    "No transmitter is connected: plug it in and click Connect Tx, then switch RF mode again.";

// An edit while the panel follows the live input: it is read-only until the live input is off.
inline constexpr std::string_view kHintLiveReadOnly =
    "The panel follows the live input and can't be edited: switch \"Show live input\" off first.";
// Why a design can't be opened or started meanwhile.
inline constexpr std::string_view kLiveRefusal =
    "the panel follows the live input; switch \"Show live input\" off to open a design";

// What Update Data tells the user when it can send nothing; empty when it can send.
std::string_view UpdateDataHint(bool rfMode, bool connected);

// The status bar's first message: the next step for a newcomer.
std::string_view FirstStepHint(bool simulated);

}  // namespace velta
