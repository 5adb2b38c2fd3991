#include "cli/velta_cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string_view>
#include <utility>

#include "cli/console_view.h"
#include "device/text_check.h"
#include "control/control_center_controller.h"

namespace velta::cli {

namespace {

// What every command runs with.
struct Context {
    Transports& transports;
    std::ostream& out;
    std::ostream& err;
    bool simulate = false;  // --simulate, on the commands that talk to the transmitter
};

// Runs a command once its arguments are parsed; returns the exit code.
using CommandRun = std::function<int(Context&)>;
// Declares a command's arguments on its subcommand and returns what runs it. The arguments live
// in the runner's captures, so a new command is this one function and one table entry.
using CommandSetup = CommandRun (*)(CLI::App& command);

struct CommandEntry {
    std::string_view name;
    std::string_view summary;
    bool usesTransmitter;  // gets --simulate
    CommandSetup setup;
};

// The decision between "nothing there" (3) and "there but it would not open" (4) for a Connect Tx
// that ended in "Device Not Detected". The link does not tell the two apart yet, so every such
// failure is 3 for now; this is the one place to ask the link for the reason once it has one.
int ExitCodeForNotDetected(const HidLink& /*link*/) {
    return kExitNoTransmitter;
}

std::string HexLine(const DeviceReport& report) {
    std::string line;
    line.reserve(report.size() * 3);
    char digits[4];
    for (std::size_t i = 0; i < report.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(report[i]));
        if (i != 0)
            line.push_back(' ');
        line.append(digits);
    }
    return line;
}

// One command's conversation with the transmitter: the window's controller over the console
// view, on the USB transport or the simulated one. Destroyed in reverse order of construction,
// so the controller (and with it the link and its reader thread) goes before the transport.
class TransmitterSession {
  public:
    explicit TransmitterSession(Context& context)
        : context_(context),
          owned_(context.simulate ? nullptr : context.transports.makeDevice()),
          transport_(context.simulate ? static_cast<HidTransport*>(context.transports.simulated)
                                      : owned_.get()),
          simulatedBefore_(context.simulate ? context.transports.simulated->WrittenReports().size()
                                            : 0),
          view_(context.err),
          controller_(*transport_, view_) {
        controller_.OnInitDialog();
    }

    ControlCenterController& Controller() { return controller_; }
    PanelState& Panel() { return controller_.Panel(); }

    // Connect Tx. kExitOk with the link open, else the exit code, the reason already printed.
    int Connect() {
        controller_.OnConnectTx();
        view_.RunPosted();
        if (controller_.Link().IsConnected())
            return kExitOk;
        context_.err << "velta: no transmitter found (" << view_.StatusText() << ")\n";
        return ExitCodeForNotDetected(controller_.Link());
    }

    // Lets the link's notices in, closes the link, prints what the simulated transmitter
    // received, and turns what happened into the exit code.
    int Finish() {
        view_.RunPosted();
        controller_.OnClose();
        view_.RunPosted();
        if (context_.simulate) {
            const std::vector<DeviceReport> reports =
                context_.transports.simulated->WrittenReports();
            for (std::size_t i = simulatedBefore_; i < reports.size(); ++i)
                context_.out << HexLine(reports[i]) << '\n';
        }
        if (view_.WriteFailures() > 0)
            return kExitWriteFailed;
        // The reports went out, but the device left before the command ended.
        if (view_.StatusText() == kTextReadError)
            context_.err << "velta: warning: " << kTextReadError << "\n";
        return kExitOk;
    }

  private:
    Context& context_;
    std::unique_ptr<HidTransport> owned_;
    HidTransport* transport_;
    std::size_t simulatedBefore_;
    ConsoleView view_;
    ControlCenterController controller_;
};

void WarnAboutText(const std::string& text, std::ostream& err) {
    const TextCheck check = CheckText(text);
    if (!check.replaced.empty()) {
        err << "velta: warning: sent as \"?\" (no Windows-1252 byte):";
        for (std::size_t i = 0; i < check.replaced.size(); ++i)
            err << (i == 0 ? " " : ", ") << check.replaced[i];
        err << '\n';
    }
    if (!check.cut.empty()) {
        err << "velta: warning: the text takes " << check.encodedBytes << " bytes; only the first "
            << kTextPayloadBytes << " are sent, cut: \"" << check.cut << "\"\n";
    }
}

// velta text TEXT [--speed N]: RF on, then the scrolling text alone, as Update Data sends it
// with only "Scrolling Text" checked. The speed travels only in the rings report, so --speed
// checks "LED Rings" too and that report goes out as well.
CommandRun SetupText(CLI::App& command) {
    struct Options {
        std::string text;
        int speed = kScrollSpeedMax;
    };
    auto options = std::make_shared<Options>();
    command
        .add_option("text", options->text,
                    "The scrolling text (UTF-8). Sent in Windows-1252: characters without a byte "
                    "there become \"?\", and only the first 62 bytes are sent")
        ->required()
        ->check(CLI::Validator(
            [](const std::string& value) {
                return value.empty() ? std::string("the text is empty: nothing would be sent")
                                     : std::string();
            },
            "", "NonEmpty"));
    CLI::Option* speed =
        command
            .add_option("--speed", options->speed,
                        "Scroll speed 0..15; also sends the rings report, the one that carries "
                        "it (all rings off, grid brightness 15)")
            ->check(CLI::Range(0, kScrollSpeedMax));
    return [options, speed](Context& context) {
        TransmitterSession session(context);
        if (const int code = session.Connect(); code != kExitOk)
            return code;
        WarnAboutText(options->text, context.err);

        ControlCenterController& controller = session.Controller();
        PanelState& panel = session.Panel();
        controller.OnRfMode();
        panel.SetScrollText(options->text);
        controller.OnFeatureBoxClicked(FeatureBox::ScrollingText, true);
        if (speed->count() > 0) {
            panel.SetScrollSpeed(options->speed);
            controller.OnFeatureBoxClicked(FeatureBox::LedRings, true);
        }
        controller.OnUpdateData();
        return session.Finish();
    };
}

// velta rf on|off: the RF Mode button. A fresh panel believes RF is off, so "off" first tells it
// RF is on; the button then sends the other state.
CommandRun SetupRf(CLI::App& command) {
    auto state = std::make_shared<std::string>();
    command.add_option("state", *state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    return [state](Context& context) {
        TransmitterSession session(context);
        if (const int code = session.Connect(); code != kExitOk)
            return code;
        session.Panel().SetRfMode(*state == "on" ? 0 : 1);
        session.Controller().OnRfMode();
        return session.Finish();
    };
}

constexpr std::array kCommands{
    CommandEntry{"text", "Switch RF on and send a scrolling text", true, SetupText},
    CommandEntry{"rf", "Switch the transmitter's RF mode on or off", true, SetupRf},
};

// CLI11's messages are one line already; this keeps it so for any that is not.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

}  // namespace

int RunVelta(const std::vector<std::string>& args, Transports& transports, std::ostream& out,
             std::ostream& err) {
    Context context{transports, out, err};

    CLI::App app("Send content to the Velta LED display through its USB transmitter.", "velta");
    app.set_version_flag("--version", std::string("velta ") + VELTA_VERSION,
                         "Print the version and exit");
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done, 2 bad arguments, 3 no transmitter found, 4 a transmitter found but "
        "none could be opened, 5 a write to the transmitter failed.");

    std::vector<std::pair<CLI::App*, CommandRun>> commands;
    for (const CommandEntry& entry : kCommands) {
        CLI::App* command = app.add_subcommand(std::string(entry.name), std::string(entry.summary));
        if (entry.usesTransmitter) {
            command->add_flag("--simulate", context.simulate,
                              "Use a simulated transmitter and print each report it receives "
                              "as one line of hex");
        }
        commands.emplace_back(command, entry.setup(*command));
    }

    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        err << "velta: " << OneLine(e.what()) << " (see velta --help)\n";
        return kExitUsage;
    }

    for (auto& [command, run] : commands) {
        if (command->parsed())
            return run(context);
    }
    return kExitUsage;  // require_subcommand(1) makes this unreachable
}

}  // namespace velta::cli
