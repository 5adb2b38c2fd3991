// Names the reports a test saw written, in order: "grid", "tail", "pods", "rings", "text",
// "rf-on", "rf-off", "?" for anything else. A grid report is always followed by its tail, whose
// byte 1 is column data rather than a command.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "device/device_reports.h"

namespace velta::testing {

inline std::vector<std::string> ReportKinds(const std::vector<DeviceReport>& reports) {
    static const std::map<int, std::string> names = {{0x11, "grid"},  {0x12, "pods"},
                                                     {0x13, "rings"}, {0x14, "text"},
                                                     {0xF0, "rf-on"}, {0xF1, "rf-off"}};
    std::vector<std::string> kinds;
    for (const DeviceReport& r : reports) {
        const auto it = names.find(r[1]);
        kinds.push_back(!kinds.empty() && kinds.back() == "grid" ? "tail"
                        : it == names.end()                      ? "?"
                                                                 : it->second);
    }
    return kinds;
}

}  // namespace velta::testing
