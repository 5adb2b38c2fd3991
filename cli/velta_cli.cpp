#include "cli/velta_cli.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <istream>
#include <ostream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "device/device_choice.h"
#include "device/link_diagnostics.h"

namespace velta::cli {

namespace {

struct CommandEntry {
    std::string_view name;
    std::string_view summary;
    bool usesTransmitter;  // gets --simulate and --device
    CommandSetup setup;
};

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

        ControlCenterController& controller = session.Controller();
        PanelState& panel = session.Panel();
        controller.OnRfMode();
        session.WaitForSends();  // as a user sees how RF Mode went before the next click
        panel.SetScrollText(options->text);
        controller.OnFeatureBoxClicked(FeatureBox::ScrollingText, true);
        if (speed->count() > 0) {
            panel.SetScrollSpeed(options->speed);
            controller.OnFeatureBoxClicked(FeatureBox::LedRings, true);
        }
        session.UpdateData();
        return session.Finish(ReportPrinting::SimulatedHex);
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
        return session.Finish(ReportPrinting::SimulatedHex);
    };
}

}  // namespace

// velta list: every transmitter the USB layer lists (or, with --device, those the choice names),
// each opened once and closed again: one line each, path, serial number ("-" for none) and "ok"
// or the words the link would use for one that does not open, separated by tabs.
CommandRun SetupList(CLI::App& /*command*/) {
    return [](Context& context) {
        std::unique_ptr<HidTransport> owned;
        HidTransport& transport = ChooseTransport(context, owned);
        if (const std::string failure = transport.StartFailure(); !failure.empty()) {
            context.err << "velta: " << DescribeStartFailure(failure) << '\n';
            return static_cast<int>(kExitNoTransmitter);
        }
        const std::vector<HidInterfaceInfo> interfaces = transport.Enumerate();
        const std::vector<HidInterfaceInfo> chosen = ChooseTransmitters(interfaces, context.device);
        if (chosen.empty()) {
            context.err << "velta: "
                        << (context.device.Any()
                                ? DescribeNoTransmitter()
                                : DescribeNoChosenTransmitter(context.device,
                                                              ListTransmitters(interfaces)))
                        << '\n';
            return static_cast<int>(kExitNoTransmitter);
        }
        int usable = 0;
        for (const HidInterfaceInfo& info : chosen) {
            context.out << ShownName(info.path) << '\t'
                        << (info.serialNumber.empty() ? std::string("-")
                                                      : ShownName(info.serialNumber))
                        << '\t';
            HidFailure failure;
            if (transport.OpenPath(info.path, failure) != nullptr) {
                ++usable;
                context.out << "ok\n";
            } else {
                context.out << DescribeOpenFailure(info.path, failure, UdevRulePath()) << '\n';
            }
        }
        return static_cast<int>(usable > 0 ? kExitOk : kExitCannotOpen);
    };
}

namespace {

constexpr std::array kCommands{
    CommandEntry{"list",
                 "List the transmitters present (path, serial number) and whether each can be "
                 "opened",
                 true, SetupList},
    CommandEntry{"send", "Switch RF on and send a design file as Update Data would", true,
                 SetupSend},
    CommandEntry{"text", "Switch RF on and send a scrolling text", true, SetupText},
    CommandEntry{"rf", "Switch the transmitter's RF mode on or off", true, SetupRf},
    CommandEntry{"play",
                 "Switch RF on and play a design's frames on the display, to the end or Ctrl+C",
                 true, SetupPlay},
    CommandEntry{"serve",
                 "Drive the display live from lighting software over sACN, Art-Net or DDP "
                 "until stopped",
                 true, SetupServe},
    CommandEntry{"datacenter",
                 "Print what Save Sequence (or, for a design with frames, Export Sequence) adds "
                 "to the Data Center",
                 false, SetupDatacenter},
    CommandEntry{"decode", "Read reports as hex lines on stdin and say what the display shows",
                 false, SetupDecode},
    CommandEntry{"fixture",
                 "Print the display's fixture definition for a lighting program (--format "
                 "qlcplus)",
                 false, SetupFixture},
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
    std::istringstream nothing;
    return RunVelta(args, transports, nothing, out, err);
}

int RunVelta(const std::vector<std::string>& args, Transports& transports, std::istream& in,
             std::ostream& out, std::ostream& err) {
    Context context{transports, in, out, err};

    CLI::App app("Send content to the Velta LED display through its USB transmitter.", "velta");
    app.set_version_flag("--version", std::string("velta ") + VELTA_VERSION,
                         "Print the version and exit");
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done, 2 bad arguments or a bad input file, 3 no transmitter found, 4 a "
        "transmitter found but none could be opened, 5 a write to the transmitter failed, 6 serve "
        "could not listen on the network. play and serve stopped by Ctrl+C or SIGTERM exit 0.");

    std::vector<std::pair<CLI::App*, CommandRun>> commands;
    for (const CommandEntry& entry : kCommands) {
        CLI::App* command = app.add_subcommand(std::string(entry.name), std::string(entry.summary));
        if (entry.usesTransmitter) {
            command->add_flag("--simulate", context.simulate,
                              "Use a simulated transmitter and print each report it receives "
                              "as one line of hex");
            AddDeviceOption(*command, context.device);
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
