// What the velta commands share: the context each runs with, the shape of a command (one setup
// function that declares its arguments and returns what runs it) and the session that talks to
// the transmitter through the window's controller. Private to cli/.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/console_view.h"
#include "cli/velta_cli.h"
#include "control/control_center_controller.h"
#include "device/device_choice.h"
#include "device/device_reports.h"
#include "model/design_file.h"

namespace velta::cli {

// What every command runs with.
struct Context {
    Transports& transports;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool simulate = false;  // --simulate, on the commands that talk to the transmitter
    DeviceChoice device{};  // --device, on the same commands: which transmitter to talk to
};

// Declares --device PATH|SERIAL on a command that talks to the transmitter, landing in
// `choice`: the transmitter with that path, or else that serial number (as `velta list` prints
// them); without it, the first transmitter found. RunVelta declares it, beside --simulate, on
// every command whose table entry talks to the transmitter, into Context::device; a command
// hands that to its controller (TransmitterSession does) or to ChooseTransmitters.
CLI::Option* AddDeviceOption(CLI::App& command, DeviceChoice& choice);

// Runs a command once its arguments are parsed; returns the exit code.
using CommandRun = std::function<int(Context&)>;
// Declares a command's arguments on its subcommand and returns what runs it. The arguments live
// in the runner's captures, so a new command is this one function and one table entry.
using CommandSetup = CommandRun (*)(CLI::App& command);

CommandRun SetupSend(CLI::App& command);
CommandRun SetupDatacenter(CLI::App& command);
CommandRun SetupDecode(CLI::App& command);
CommandRun SetupList(CLI::App& command);
CommandRun SetupPlay(CLI::App& command);
CommandRun SetupFixture(CLI::App& command);
CommandRun SetupServe(CLI::App& command);

// What the design commands take: the design file and the feature boxes to tick instead of the
// design's own.
struct DesignOptions {
    std::string file;
    std::string features;
    CLI::Option* featuresOption = nullptr;

    // The file's bytes (at most one past the design size limit, enough for the reader to refuse
    // it), or nullopt with the reason printed.
    std::optional<std::string> ReadBytes(std::ostream& err) const;
    // The design, or nullopt with the reason printed.
    std::optional<Design> Load(std::ostream& err) const;
    // The design, frames and all, opened in the controller as Open Design does, then the boxes
    // asked for ticked; false with the reason printed.
    bool Open(ControlCenterController& controller, std::ostream& err) const;
    // Puts the design on the panel (not its frames), then ticks the boxes asked for.
    void Apply(ControlCenterController& controller, const Design& design) const;
    // Ticks the boxes named by --features, if given, each through the controller as a click on
    // it would.
    void TickFeatures(ControlCenterController& controller) const;
};

// Declares the design file argument and --features on `command`.
std::shared_ptr<DesignOptions> AddDesignOptions(CLI::App& command);

// The transport a command talks to: the simulated transmitter with --simulate, else a new USB
// transport (owned by `owned`).
HidTransport& ChooseTransport(Context& context, std::unique_ptr<HidTransport>& owned);

// How Finish prints the reports the transmitter took.
enum class ReportPrinting {
    SimulatedHex,  // with --simulate only: each report the simulated transmitter received, as hex
    Described,     // always: each report written, as hex and what the display makes of it
};

// One command's conversation with the transmitter: the window's controller over the console
// view, on the USB transport or the simulated one. Destroyed in reverse order of construction,
// so the controller (and with it the link and its reader thread) goes before the transport.
class TransmitterSession {
  public:
    explicit TransmitterSession(Context& context);

    ControlCenterController& Controller() { return controller_; }
    PanelState& Panel() { return controller_.Panel(); }

    // Connect Tx. kExitOk with the link open, else the exit code (3 or 4), the link's reason
    // already printed.
    int Connect();

    // Update Data. A text it sends that the display can't show as given (characters it gets as
    // "?", bytes past the 62 a report carries) is named on stderr first, the same for every
    // command.
    void UpdateData();

    // Runs what the link's threads posted, as the window's event loop would between frames.
    void RunPosted() { view_.RunPosted(); }
    // Runs what the link posts until every send handed to it has been answered: the reports
    // have gone out or failed (each report's deadline bounds the wait).
    void WaitForSends();
    // Write Error has come up since the session began.
    bool WriteFailed() const { return view_.WriteFailures() > 0; }
    // With --simulate: prints, as hex, each report the simulated transmitter received since the
    // last time (Finish prints the rest).
    void PrintNewSimulatedReports();

    // Lets the link's notices in, closes the link, prints the reports as asked, and turns what
    // happened into the exit code.
    int Finish(ReportPrinting printing);

  private:
    // 4 when the link saw a transmitter it could not use, 3 when there was none (or none the
    // choice names) to see.
    int ExitCodeForNotDetected() const;
    void PrintWrittenReports();

    Context& context_;
    std::unique_ptr<HidTransport> owned_;
    HidTransport& transport_;
    std::uint64_t simulatedPrinted_;  // the simulated transmitter's WrittenTotal() printed up to
    ConsoleView view_;
    ControlCenterController controller_;
};

}  // namespace velta::cli
