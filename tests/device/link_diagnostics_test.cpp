#include "device/link_diagnostics.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace velta {
namespace {

// The words for an errno are the same on every system; the advice for a permission problem is the
// system's own.
TEST(LinkDiagnostics, OpenFailureWordsAndAdvice) {
    const std::string rule = "/rules/60-velta-transmitter.rules";
#ifdef _WIN32
    const std::string advice =
        " \u2014 another program may hold the transmitter for itself: close it, or unplug and "
        "replug the transmitter";
#else
    const std::string advice =
        " \u2014 install the udev rule: sudo cp /rules/60-velta-transmitter.rules "
        "/etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo udevadm trigger "
        "--action=add --subsystem-match=hidraw, or unplug and replug the transmitter";
#endif
    const struct {
        HidFailure failure;
        std::string reason;
        bool permission;
    } cases[] = {
        {{EACCES, "ignored"},
         "found /dev/hidraw3 but cannot open it: Permission denied" + advice,
         true},
        {{EPERM, ""},
         "found /dev/hidraw3 but cannot open it: Operation not permitted" + advice,
         true},
        {{ENOENT, ""}, "found /dev/hidraw3 but cannot open it: No such file or directory", false},
        {{EBUSY, "in use"},
         "found /dev/hidraw3 but cannot open it: Device or resource busy",
         false},
        {{0, "hidapi says no"}, "found /dev/hidraw3 but cannot open it: hidapi says no", false},
        {{0, ""}, "found /dev/hidraw3 but cannot open it: no reason given", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeOpenFailure("/dev/hidraw3", c.failure, rule), c.reason);
        EXPECT_EQ(IsPermissionError(c.failure.error), c.permission) << c.reason;
    }
    EXPECT_EQ(DescribeNoTransmitter(), "no transmitter 04d8:003f found");
    EXPECT_EQ(DescribeStartFailure("x"), "the USB HID library failed to start: x");
}

// Serial numbers are the device's text and reach terminals and the window: what could steer a
// terminal, and what is not UTF-8, is shown as '?', byte for byte of what was dropped.
TEST(LinkDiagnostics, NamesAreShownWithoutControlCharacters) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"0001A2F3", "0001A2F3"},
        {"Grüße \u20ac \U0001F600", "Grüße \u20ac \U0001F600"},
        {"A\x1b[2J\tB\nC\r", "A?[2J?B?C?"},
        {"del\x7f c1\xc2\x9b", "del? c1?"},   // DEL, and CSI in its C1 form
        {"\xff\xfe", "??"},                   // not UTF-8 at all
        {"\xe2\x82", "??"},                   // cut short
        {"\xc0\xaf \xed\xa0\x80", "?? ???"},  // overlong '/', a surrogate
        {"\xf4\x90\x80\x80", "????"},         // past U+10FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownName(c.text), c.shown) << c.text;
    EXPECT_EQ(DescribeTransmitter({"/dev/hidraw3", 0x04D8, 0x003F, "\x1b]0;x\x07"}),
              "/dev/hidraw3 (serial ?]0;x?)");
}

TEST(LinkDiagnostics, RulePathIsTheInstalledOneOrTheCheckoutsAndExists) {
    const std::string path = UdevRulePath();
#ifdef _WIN32
    EXPECT_EQ(path, "");  // no udev, nothing to install
#else
    EXPECT_TRUE(path == "/usr/lib/udev/rules.d/60-velta-transmitter.rules" ||
                path.ends_with("/packaging/60-velta-transmitter.rules"))
        << path;
    EXPECT_TRUE(std::filesystem::path(path).is_absolute());
    EXPECT_TRUE(std::filesystem::exists(path));
#endif
}

}  // namespace
}  // namespace velta
