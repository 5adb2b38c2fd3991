// velta_e2e_expect: the knowledge scripts/test-e2e needs about the panel, without Qt.
//   where [--scale S] R C | pod N | ring N | NAME
//                                  panel pixel to aim at for an LED or a control, the panel
//                                  shown at scale S (default 1)
//   locate-panel WINDOW.ppm        where the panel sits inside a main-window screenshot, and its
//                                  scale: "X Y SCALE"
//   tabs FROM TO                   Tab presses from one stop to another (negative: Shift+Tab)
//   datacenter STEP...             the Data Center text the steps leave
//   check-preview PREVIEW.ppm STEP...
//                                  compares the preview's grid with the grid the steps leave
// Steps are spelled as in e2e_expect.h. Exit status 0 on success, 1 on a failed check, 2 on
// wrong arguments.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_expect.h"

namespace {

using namespace velta;
using namespace velta::e2e;

int Usage(const std::string& why) {
    std::cerr << "velta_e2e_expect: " << why << "\n";
    return 2;
}

std::optional<Image> ReadPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParsePpm(bytes);
}

std::optional<std::vector<Step>> StepsFrom(const std::vector<std::string>& args,
                                           std::size_t first) {
    std::string error;
    auto steps = ParseSteps(
        std::vector<std::string>(args.begin() + static_cast<long>(first), args.end()), error);
    if (!steps)
        Usage(error);
    return steps;
}

int Where(std::vector<std::string> args) {
    double scale = 1.0;
    if (args.size() >= 3 && args[1] == "--scale") {
        scale = std::stod(args[2]);
        if (!(scale > 0 && scale < 10))
            return Usage("no such scale");
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    if (args.size() == 3 && (args[1] == "pod" || args[1] == "ring")) {
        const bool pod = args[1] == "pod";
        const int index = std::stoi(args[2]);
        if (index < 0 || index >= (pod ? kPodCount : kRingCount))
            return Usage("no such " + args[1]);
        const Point p = pod ? PodLedTarget(index, scale) : RingLedTarget(index, scale);
        std::cout << p.x << " " << p.y << "\n";
        return 0;
    }
    if (args.size() == 3) {
        const int row = std::stoi(args[1]);
        const int column = std::stoi(args[2]);
        if (row < 0 || row >= kRows || column < 0 || column >= kColumns)
            return Usage("no grid LED there");
        const Point p = GridLedTarget(row, column, scale);
        std::cout << p.x << " " << p.y << "\n";
        return 0;
    }
    if (args.size() == 2) {
        const auto id = ControlIdForName(args[1]);
        const auto p = id ? ControlTarget(*id, scale) : std::nullopt;
        if (!p)
            return Usage("no control named " + args[1]);
        std::cout << p->x << " " << p->y << "\n";
        return 0;
    }
    return Usage("where [--scale S] R C | pod N | ring N | NAME");
}

int CheckPreview(const std::vector<std::string>& args) {
    if (args.size() < 2)
        return Usage("check-preview PREVIEW.ppm STEP...");
    const auto image = ReadPpm(args[1]);
    if (!image)
        return Usage("cannot read " + args[1] + " as a binary PPM");
    const auto steps = StepsFrom(args, 2);
    if (!steps)
        return 2;
    const Outcome expected = Play(*steps);
    const std::vector<int> shown = PreviewGrid(*image);
    int expectedLit = 0;
    int shownLit = 0;
    int wrong = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const std::size_t i = static_cast<std::size_t>(cell);
        expectedLit += expected.cells[i] ? 1 : 0;
        shownLit += shown[i] == 1 ? 1 : 0;
        if (shown[i] != (expected.cells[i] ? 1 : 0)) {
            ++wrong;
            std::cout << "  LED row " << cell / kColumns << " column " << cell % kColumns
                      << ": expected " << (expected.cells[i] ? "lit" : "off") << ", shows "
                      << (shown[i] == 1   ? "lit"
                          : shown[i] == 0 ? "off"
                                          : "neither")
                      << "\n";
        }
    }
    std::cout << "preview shows " << shownLit << " lit grid LEDs, the grid has " << expectedLit
              << " cells on; " << wrong << " LEDs differ\n";
    return wrong == 0 && expectedLit > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage("where | locate-panel | tabs | datacenter | check-preview");
    const std::string& command = args[0];
    if (command == "where")
        return Where(args);
    if (command == "locate-panel") {
        if (args.size() != 2)
            return Usage("locate-panel WINDOW.ppm");
        const auto image = ReadPpm(args[1]);
        if (!image)
            return Usage("cannot read " + args[1] + " as a binary PPM");
        const auto origin = LocatePanel(*image);
        if (!origin) {
            std::cerr << "velta_e2e_expect: no panel grid in " << args[1] << "\n";
            return 1;
        }
        std::cout << origin->origin.x << " " << origin->origin.y << " " << origin->scale << "\n";
        return 0;
    }
    if (command == "tabs") {
        const auto tabs = args.size() == 3 ? TabsBetween(args[1], args[2]) : std::nullopt;
        if (!tabs)
            return Usage("tabs FROM TO, both stops of the panel");
        std::cout << *tabs << "\n";
        return 0;
    }
    if (command == "datacenter") {
        const auto steps = StepsFrom(args, 1);
        if (!steps)
            return 2;
        std::cout << Play(*steps).dataCenter << std::flush;
        return 0;
    }
    if (command == "check-preview")
        return CheckPreview(args);
    return Usage("unknown command " + command);
}
