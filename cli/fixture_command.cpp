// velta fixture --format FORMAT: the display as a fixture for a lighting program, generated from
// the channel map the network input reads.
#include <ostream>
#include <string>

#include "cli/command.h"
#include "net/fixture_file.h"

namespace velta::cli {

CommandRun SetupFixture(CLI::App& command) {
    auto format = std::make_shared<std::string>();
    command
        .add_option("--format", *format,
                    "The lighting program's fixture format: " + std::string(net::kFixtureFormats))
        ->required();
    return [format](Context& context) {
        const std::optional<std::string> definition = net::FixtureDefinition(*format);
        if (!definition) {
            context.err << "velta: --format: unknown fixture format \"" << *format
                        << "\" (expected: " << net::kFixtureFormats << ")\n";
            return static_cast<int>(kExitUsage);
        }
        context.out << *definition;
        return static_cast<int>(kExitOk);
    };
}

}  // namespace velta::cli
