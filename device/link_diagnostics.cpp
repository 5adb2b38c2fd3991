#include "device/link_diagnostics.h"

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "model/error_text.h"

namespace velta {

#ifdef _WIN32

std::string UdevRulePath() {
    return {};
}

namespace {

// On Windows nothing needs installing: a refused open means another program holds the device.
std::string PermissionAdvice(const std::string& /*rulePath*/) {
    return " \u2014 another program may hold the transmitter for itself: close it, or unplug and "
           "replug the transmitter";
}

}  // namespace

#else

namespace {

constexpr const char* kInstalledRule = "/usr/lib/udev/rules.d/60-velta-transmitter.rules";

std::string PermissionAdvice(const std::string& rulePath) {
    return " \u2014 install the udev rule: sudo cp " + rulePath +
           " /etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo udevadm "
           "trigger --action=add --subsystem-match=hidraw, or unplug and replug the "
           "transmitter";
}

}  // namespace

std::string UdevRulePath() {
    std::error_code ignored;
    if (std::filesystem::exists(kInstalledRule, ignored))
        return kInstalledRule;
    return std::string(VELTA_SOURCE_DIR) + "/packaging/60-velta-transmitter.rules";
}

#endif

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

std::string DescribeNoTransmitter() {
    return "no transmitter 04d8:003f found";
}

std::string DescribeTransmitter(const HidInterfaceInfo& transmitter) {
    return ShownName(transmitter.path) +
           (transmitter.serialNumber.empty()
                ? std::string(" (no serial number)")
                : " (serial " + ShownName(transmitter.serialNumber) + ")");
}

std::string DescribeNoChosenTransmitter(const DeviceChoice& choice,
                                        const std::vector<HidInterfaceInfo>& transmitters) {
    std::string reason =
        "no transmitter with serial or path " + ShownName(choice.pathOrSerial) + "; found: ";
    if (transmitters.empty())
        return reason + "none";
    for (std::size_t i = 0; i < transmitters.size(); ++i)
        reason += (i == 0 ? "" : ", ") + DescribeTransmitter(transmitters[i]);
    return reason;
}

std::string DescribeStartFailure(const std::string& message) {
    return "the USB HID library failed to start: " +
           (message.empty() ? std::string("no reason given") : message);
}

std::string DescribeOpenFailure(const std::string& path, const HidFailure& failure,
                                const std::string& rulePath) {
    std::string reason = "found " + path + " but cannot open it: ";
    if (failure.error != 0) {
        reason += ErrnoText(failure.error);
    } else if (!failure.message.empty()) {
        reason += failure.message;
    } else {
        reason += "no reason given";
    }
    if (IsPermissionError(failure.error))
        reason += PermissionAdvice(rulePath);
    return reason;
}

}  // namespace velta
