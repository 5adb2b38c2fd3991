// velta serve: the display as a lighting fixture, headless. The network input drives the panel
// through the window's controller in live mode, and the controller sends each frame as Auto
// Update would, with RF mode on and "LED Grid", "RGB Pods" and "LED Rings" ticked. The
// transmitter is looked for again every 2 s while it is absent; the command runs until SIGINT or
// SIGTERM and then stops cleanly.
//
// One thread, the command's, runs the controller, the live input's posted tasks and the link's
// answers. It sleeps until work is posted, waking at least once a second to look at the stop
// request (and every 2 s to look for a missing transmitter): an idle service wakes once a second.
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "control/live_input.h"
#include "display/report_hex.h"
#include "net/allow_list.h"
#include "net/artnet.h"
#include "net/sacn.h"

namespace velta::cli {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::chrono::seconds kWakeInterval{1};       // the longest wait for a stop request
constexpr std::chrono::seconds kReconnectInterval{2};  // Connect Tx again while disconnected
constexpr std::chrono::minutes kSummaryInterval{1};
constexpr std::chrono::milliseconds kLossNewsWait{100};  // see Run
constexpr std::string_view kPrefix = "velta serve: ";

constexpr std::array<std::pair<std::string_view, net::Protocol>, net::kProtocolCount>
    kProtocolNames{{
        {"sacn", net::Protocol::Sacn},
        {"artnet", net::Protocol::ArtNet},
        {"ddp", net::Protocol::Ddp},
    }};

constexpr std::array<std::pair<std::string_view, net::LossPolicy>, 2> kLossPolicies{{
    {"hold", net::LossPolicy::Hold},
    {"blank", net::LossPolicy::Blank},
}};

// The feature boxes the service ticks: everything a frame carries.
constexpr std::array<FeatureBox, 3> kServedFeatures{FeatureBox::LedGrid, FeatureBox::RgbPods,
                                                    FeatureBox::LedRings};

struct ServeOptions {
    int universe = 1;
    int startAddress = net::kDefaultStartAddress;
    std::string protocols = "sacn,artnet,ddp";
    std::string bind;
    std::vector<std::string> allow;
    std::string onLoss = "hold";
    std::array<int, net::kProtocolCount> ports{net::kSacnPort, net::kArtNetPort, net::kDdpPort};
};

// "sacn,ddp" → the protocol bits; empty `error` on success.
net::ProtocolSet ParseProtocols(std::string_view text, std::string& error) {
    net::ProtocolSet set = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        bool known = false;
        for (const auto& [key, protocol] : kProtocolNames) {
            if (name == key) {
                set = static_cast<net::ProtocolSet>(set | net::Bit(protocol));
                known = true;
            }
        }
        if (!known) {
            error = "--protocols: \"" + std::string(name) +
                    "\" is not a protocol; give a comma-separated list of sacn, artnet and ddp";
            return 0;
        }
        if (comma == std::string_view::npos)
            return set;
        text.remove_prefix(comma + 1);
    }
}

// The receiver's configuration from the options; empty `error` on success, else one sentence.
net::ReceiverConfig BuildConfig(const ServeOptions& options, std::string& error) {
    net::ReceiverConfig config;
    config.input.universe = options.universe;
    config.input.startAddress = options.startAddress;
    for (const auto& [name, policy] : kLossPolicies) {
        if (options.onLoss == name)
            config.input.onLoss = policy;
    }
    for (const std::string& entry : options.allow) {
        std::string reason;
        if (!config.input.allow.Add(entry, reason)) {
            error = "--allow: " + reason;
            return config;
        }
    }
    if (!options.bind.empty()) {
        const std::optional<std::uint32_t> address = net::ParseIpv4(options.bind);
        if (!address) {
            error = "--bind: \"" + options.bind +
                    "\" is not an IPv4 address (four numbers 0 to 255 separated by dots)";
            return config;
        }
        config.bindAddress = *address;
    }
    config.protocols = ParseProtocols(options.protocols, error);
    if (!error.empty())
        return config;
    for (std::size_t p = 0; p < options.ports.size(); ++p)
        config.ports[p] = static_cast<std::uint16_t>(options.ports[p]);
    error = net::CheckReceiverConfig(config);
    return config;
}

std::string DescribePortAddress(int portAddress) {
    return std::to_string(portAddress >> 8) + ":" + std::to_string((portAddress >> 4) & 0xF) + ":" +
           std::to_string(portAddress & 0xF);
}

// The service: the controller over a console view, the live input, and the loop that runs them.
// Members are destroyed in reverse order: the live input (its receiver thread) first, then the
// controller (and the link's threads), then the transport.
class Service {
  public:
    Service(Context& context, const net::ReceiverConfig& config)
        : context_(context),
          transport_(ServiceTransport(context, owned_)),
          view_(context.err),
          controller_(transport_, view_),
          live_(controller_, view_),
          config_(config) {
        if (context.simulate)
            printed_ = context.transports.simulated->WrittenTotal();
        // --device, declared for every command that talks to the transmitter.
        controller_.SetDeviceChoice(context.device);
        controller_.OnInitDialog();
        for (const FeatureBox box : kServedFeatures)
            controller_.OnFeatureBoxClicked(box, true);
        live_.SetEventSink([this](const net::SourceEvent& event, net::LossPolicy policy) {
            Line(net::DescribeEvent(event, policy));
        });
        live_.SetFailureHandler([this] { networkFailed_ = true; });
    }

    int Run() {
        const Transports& transports = context_.transports;
        if (transports.catchStopSignals)
            transports.catchStopSignals();
        LiveInputConfig live;
        live.receiver = config_;
        std::string error;
        if (!live_.Start(live, error)) {
            context_.err << "velta: serve: cannot listen: " << error << '\n';
            return kExitNetwork;
        }
        PrintListening();
        TryConnect();
        SteadyClock::time_point nextSummary = SteadyClock::now() + kSummaryInterval;
        while (!StopRequested()) {
            SteadyClock::time_point wake = SteadyClock::now() + kWakeInterval;
            if (!connected_ && nextConnect_ < wake)
                wake = nextConnect_;
            if (view_.WaitForPostedUntil(wake))
                view_.RunPosted();
            PrintSimulated();
            if (connected_ && !controller_.Link().IsConnected()) {
                // The link marks itself down first and posts why just after: the line waits
                // (bounded) for that news so it names the loss, not the last connect.
                if (view_.WaitForPostedUntil(SteadyClock::now() + kLossNewsWait))
                    view_.RunPosted();
                connected_ = false;
                nextConnect_ = SteadyClock::now() + kReconnectInterval;
                Line("transmitter lost (" + view_.StatusText() + "); trying again every 2 s");
            }
            if (!connected_ && SteadyClock::now() >= nextConnect_)
                TryConnect();
            if (SteadyClock::now() >= nextSummary) {
                nextSummary += kSummaryInterval;
                Summary(false);
            }
            if (networkFailed_) {
                context_.err << "velta: serve: the network input stopped: waiting on its sockets "
                                "failed\n";
                Finish();
                return kExitNetwork;
            }
        }
        Finish();
        return kExitOk;
    }

  private:
    static HidTransport& ServiceTransport(Context& context, std::unique_ptr<HidTransport>& owned) {
        if (!context.simulate && context.transports.makeServiceDevice) {
            owned = context.transports.makeServiceDevice();
            return *owned;
        }
        return ChooseTransport(context, owned);
    }

    bool StopRequested() const {
        const Transports& transports = context_.transports;
        return transports.stopRequested && transports.stopRequested();
    }

    void Line(const std::string& text) { context_.err << kPrefix << text << '\n' << std::flush; }

    void PrintListening() {
        const std::string address = net::FormatAddress(config_.bindAddress);
        const int universe = config_.input.universe;
        for (const auto& [name, protocol] : kProtocolNames) {
            const std::uint16_t port = live_.Port(protocol);
            if (port == 0)
                continue;
            std::string text = std::string(net::ProtocolName(protocol)) + " on " + address + ":" +
                               std::to_string(port);
            if (protocol == net::Protocol::Sacn) {
                text += ", universe " + std::to_string(universe) + " (multicast " +
                        net::FormatAddress(net::SacnMulticastGroup(universe)) + ")";
            } else if (protocol == net::Protocol::ArtNet) {
                text += ", port-address " + DescribePortAddress(net::ArtNetPortAddress(universe));
            }
            if (protocol != net::Protocol::Ddp)
                text += ", start address " + std::to_string(config_.input.startAddress);
            Line(text);
        }
        if (!config_.input.allow.Empty())
            Line("accepting only the senders given with --allow");
    }

    // Connect Tx; once connected, RF mode on and every served feature as Update Data sends it,
    // so the display shows exactly what the panel holds from here on (after a removal the
    // transmitter has forgotten both).
    void TryConnect() {
        nextConnect_ = SteadyClock::now() + kReconnectInterval;
        // The answers to sends of the link that went down come first.
        if (controller_.SendsInFlight() > 0)
            return;
        controller_.OnConnectTx();
        view_.RunPosted();
        if (!controller_.Link().IsConnected()) {
            const std::string& reason =
                view_.LinkDiagnostic().empty() ? view_.StatusText() : view_.LinkDiagnostic();
            if (reason != lastAbsence_)
                Line("no transmitter (" + reason + "); trying again every 2 s");
            lastAbsence_ = reason;
            return;
        }
        lastAbsence_.clear();
        controller_.Panel().SetRfMode(false);  // the transmitter is new: tell it again
        controller_.OnRfMode();
        controller_.OnUpdateData();
        connected_ = true;
        Line(everConnected_ ? "transmitter back; RF mode on" : "transmitter connected; RF mode on");
        everConnected_ = true;
    }

    // With --simulate: each report the simulated transmitter took since the last look, one line
    // of hex each, flushed. So that a long run keeps no history, the record is emptied when no
    // send is out: every batch handed to the link has been answered, so none is being written.
    void PrintSimulated() {
        if (!context_.simulate)
            return;
        SimulatedTransmitter& simulated = *context_.transports.simulated;
        const std::vector<DeviceReport> reports = simulated.WrittenSince(printed_);
        if (reports.empty())
            return;
        for (const DeviceReport& report : reports)
            context_.out << FormatReportHex(report) << '\n';
        context_.out.flush();
        if (controller_.SendsInFlight() == 0)
            simulated.ClearRecord();
    }

    // The counters so far; the minute's summary only when something happened since the last.
    void Summary(bool final) {
        const LiveInputStats stats = live_.Stats();
        std::string text = net::DescribeCounters(stats.receiver.counters) + "; " +
                           std::to_string(stats.framesSent) + " frames sent";
        if (!final && text == lastSummary_)
            return;
        lastSummary_ = text;
        Line(final ? "stopped: " + text : text);
    }

    // Stops listening, lets the last sends finish (each report's deadline bounds the wait),
    // closes the link and prints what is left.
    void Finish() {
        live_.Stop();
        view_.RunPosted();
        while (controller_.SendsInFlight() > 0) {
            view_.WaitForPosted();
            view_.RunPosted();
        }
        controller_.OnClose();
        view_.RunPosted();
        PrintSimulated();
        Summary(true);
    }

    Context& context_;
    std::unique_ptr<HidTransport> owned_;
    HidTransport& transport_;
    ConsoleView view_;
    ControlCenterController controller_;
    LiveInput live_;
    const net::ReceiverConfig config_;
    std::uint64_t printed_ = 0;  // the simulated transmitter's WrittenTotal() printed up to
    bool connected_ = false;
    bool everConnected_ = false;
    bool networkFailed_ = false;
    SteadyClock::time_point nextConnect_{};
    std::string lastAbsence_;  // the reason last printed for a missing transmitter
    std::string lastSummary_;
};

}  // namespace

CommandRun SetupServe(CLI::App& command) {
    auto options = std::make_shared<ServeOptions>();
    command.add_option("--universe", options->universe,
                       "The sACN universe (1..63999); Art-Net port-address universe - 1 "
                       "(default 1)");
    command.add_option("--start-address", options->startAddress,
                       "The display's first channel in the universe, 1..53 (default 1; DDP "
                       "always starts at byte 0)");
    command.add_option("--protocols", options->protocols,
                       "What to listen to, comma-separated (default sacn,artnet,ddp)");
    command.add_option("--bind", options->bind,
                       "The IPv4 address to listen on (default: every interface, as lighting "
                       "nodes do)");
    command
        .add_option("--allow", options->allow,
                    "Accept packets only from these IPv4 networks (CIDR, e.g. "
                    "192.168.1.0/24, or one address)")
        ->delimiter(',');
    command
        .add_option("--on-loss", options->onLoss,
                    "When every source has gone: hold the last frame (default) or blank the "
                    "display")
        ->check(CLI::IsMember({"hold", "blank"}));
    const std::array<const char*, net::kProtocolCount> portFlags{"--sacn-port", "--artnet-port",
                                                                 "--ddp-port"};
    for (std::size_t p = 0; p < portFlags.size(); ++p) {
        command
            .add_option(portFlags[p], options->ports[p],
                        "The UDP port to listen on instead of the protocol's own (0: any free "
                        "port, printed at the start)")
            ->check(CLI::Range(0, 65535));
    }
    return [options](Context& context) {
        std::string error;
        const net::ReceiverConfig config = BuildConfig(*options, error);
        if (!error.empty()) {
            context.err << "velta: serve: " << error << " (see velta serve --help)\n";
            return static_cast<int>(kExitUsage);
        }
        Service service(context, config);
        return service.Run();
    };
}

}  // namespace velta::cli
