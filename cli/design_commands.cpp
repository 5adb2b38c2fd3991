// velta send and velta datacenter: a design file put on the panel, then Update Data, Save
// Sequence or Export Sequence, exactly as the window runs them.
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/command.h"
#include "device/simulated_transmitter.h"
#include "model/design_file.h"
#include "model/error_text.h"

namespace velta::cli {

namespace {

constexpr std::string_view kFeatureNames = "grid, pods, rings, text";

struct FeatureList {
    std::optional<DesignFeatures> features;
    std::string error;  // set when `features` is not
};

// "grid,pods": the boxes named, and only those, ticked. Names may repeat; grid and text can't be
// ticked together on the panel, so a list holding both is refused rather than quietly sent
// without one of them.
FeatureList ParseFeatureList(std::string_view list) {
    DesignFeatures features;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string_view name =
            list.substr(start, comma == std::string_view::npos ? list.npos : comma - start);
        if (name == "grid") {
            features.grid = true;
        } else if (name == "pods") {
            features.pods = true;
        } else if (name == "rings") {
            features.rings = true;
        } else if (name == "text") {
            features.text = true;
        } else if (name.empty()) {
            return {std::nullopt, "an empty feature name; expected a comma-separated list of " +
                                      std::string(kFeatureNames)};
        } else {
            return {std::nullopt, "unknown feature \"" + std::string(name) + "\"; expected " +
                                      std::string(kFeatureNames)};
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (features.grid && features.text) {
        return {std::nullopt,
                "grid and text exclude each other on the panel (ticking one unticks the other); "
                "send them one after the other"};
    }
    return {features, {}};
}

}  // namespace

std::optional<std::string> DesignOptions::ReadBytes(std::ostream& err) const {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        err << "velta: cannot read " << file << ": it is a directory\n";
        return std::nullopt;
    }
    errno = 0;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        const int error = errno;
        err << "velta: cannot read " << file << ": " << ErrnoText(error != 0 ? error : EIO) << '\n';
        return std::nullopt;
    }
    // One byte past the limit is enough for the reader to refuse a file that is too large.
    std::string bytes(kMaxDesignFileBytes + 1, '\0');
    stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (stream.bad()) {
        err << "velta: cannot read " << file << ": it is not a readable file\n";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(stream.gcount()));
    return bytes;
}

std::optional<Design> DesignOptions::Load(std::ostream& err) const {
    const std::optional<std::string> bytes = ReadBytes(err);
    if (!bytes)
        return std::nullopt;
    DesignReadResult result = ReadDesign(*bytes, file);
    if (!result.Ok()) {
        err << "velta: " << result.error << '\n';
        return std::nullopt;
    }
    return std::move(result.design);
}

bool DesignOptions::Open(ControlCenterController& controller, std::ostream& err) const {
    const std::optional<std::string> bytes = ReadBytes(err);
    if (!bytes)
        return false;
    std::string error;
    if (!controller.OpenDesign(*bytes, file, error)) {
        err << "velta: " << error << '\n';
        return false;
    }
    TickFeatures(controller);
    return true;
}

void DesignOptions::Apply(ControlCenterController& controller, const Design& design) const {
    ApplyDesign(controller.Panel(), design);
    TickFeatures(controller);
}

void DesignOptions::TickFeatures(ControlCenterController& controller) const {
    if (featuresOption->count() == 0)
        return;
    PanelState& panel = controller.Panel();
    const DesignFeatures wanted = *ParseFeatureList(features).features;
    const std::array<std::pair<FeatureBox, bool>, 4> boxes{{
        {FeatureBox::LedGrid, wanted.grid},
        {FeatureBox::RgbPods, wanted.pods},
        {FeatureBox::LedRings, wanted.rings},
        {FeatureBox::ScrollingText, wanted.text},
    }};
    // Unticks first: ticking grid or text unticks the other, which must not undo a tick.
    for (const auto& [box, on] : boxes) {
        if (!on && panel.Feature(box))
            controller.OnFeatureBoxClicked(box, false);
    }
    for (const auto& [box, on] : boxes) {
        if (on && !panel.Feature(box))
            controller.OnFeatureBoxClicked(box, true);
    }
}

std::shared_ptr<DesignOptions> AddDesignOptions(CLI::App& command) {
    auto options = std::make_shared<DesignOptions>();
    command
        .add_option("design", options->file, "The design file (.velta, see docs/FILE-FORMAT.md)")
        ->required();
    options->featuresOption =
        command
            .add_option("--features", options->features,
                        "Tick these feature boxes instead of the design's: a comma-separated "
                        "list of grid, pods, rings, text (grid and text exclude each other)")
            ->check(CLI::Validator(
                [](const std::string& value) { return ParseFeatureList(value).error; }, "LIST",
                "FeatureList"));
    return options;
}

// velta send DESIGN: RF on, the design on the panel, Update Data; every report written is
// printed with what the display makes of it.
CommandRun SetupSend(CLI::App& command) {
    auto options = AddDesignOptions(command);
    return [options](Context& context) {
        // The file is read before anything touches the transmitter: a bad one sends nothing.
        const std::optional<Design> design = options->Load(context.err);
        if (!design)
            return static_cast<int>(kExitUsage);
        TransmitterSession session(context);
        if (const int code = session.Connect(); code != kExitOk)
            return code;
        ControlCenterController& controller = session.Controller();
        controller.OnRfMode();
        options->Apply(controller, *design);
        controller.OnUpdateData();
        return session.Finish(ReportPrinting::Described);
    };
}

// velta datacenter DESIGN: the Data Center after Save Sequence on a fresh window showing the
// design, or for a design with frames what Export Sequence gives: Save Sequence's text frame by
// frame. The controller runs over a simulated transmitter that is never connected.
CommandRun SetupDatacenter(CLI::App& command) {
    auto options = AddDesignOptions(command);
    return [options](Context& context) {
        SimulatedTransmitter unused;
        ConsoleView view(context.err);
        ControlCenterController controller(unused, view);
        controller.OnInitDialog();
        if (!options->Open(controller, context.err))
            return static_cast<int>(kExitUsage);
        std::string sequence;
        std::string_view text;
        if (controller.Frames().Empty()) {
            controller.OnSaveSequence();
            text = controller.DataCenterText();
        } else {
            sequence = controller.SequenceText();
            text = sequence;
        }
        context.out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return static_cast<int>(kExitOk);
    };
}

}  // namespace velta::cli
