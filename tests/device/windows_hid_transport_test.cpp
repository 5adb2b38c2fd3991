// WindowsHidTransport's logic over the fake Win32 calls (tests/device/fake_win32_hid.*): what it
// lists, how it opens, and how its writes and reads wait, cancel and finish.
#include "device/windows_hid_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <stop_token>

#include "device/hid_link.h"
#include "device/link_diagnostics.h"
#include "device/utf16.h"
#include "tests/device/fake_win32_hid.h"

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeWin32Hid;
using testing::FakeWin32Interface;
using testing::FakeWin32Io;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kBrokenPipe = 109;  // an error with no errno of its own
const std::u16string kTxPath = u"\\\\?\\hid#vid_04d8&pid_003f#1";

FakeWin32Interface Transmitter() {
    return {kTxPath, kTransmitterVendorId, kTransmitterProductId};
}

TEST(WindowsHidTransport, ListsWhatItCanQueryInTheSystemsOrder) {
    auto api = std::make_shared<FakeWin32Hid>();
    api->interfaces = {
        {u"\\\\?\\hid#keyboard", 0x046D, 0xC31C},
        {u"\\\\?\\hid#refuses", 1, 2, win32_error::kAccessDenied},
        {u"\\\\?\\hid#no-attributes", 3, 4, 0, false},
        {u"\\\\?\\hid#gr\u00fc\u00dfe", 0x04D8, 0x0001},
        Transmitter(),
    };
    WindowsHidTransport transport(api);
    const std::vector<HidInterfaceInfo> listed = transport.Enumerate();
    Strings described;
    for (const HidInterfaceInfo& info : listed)
        described.push_back(info.path + " " + std::to_string(info.vendorId) + ":" +
                            std::to_string(info.productId));
    EXPECT_THAT(described, ElementsAre("\\\\?\\hid#keyboard 1133:49948",
                                       "\\\\?\\hid#gr\xC3\xBC\xC3\x9F"
                                       "e 1240:1",
                                       "\\\\?\\hid#vid_04d8&pid_003f#1 1240:63"));
    // Only ever opened for no access, and every handle closed again.
    for (const std::string& call : api->calls)
        EXPECT_FALSE(call.starts_with("open ")) << call;
    EXPECT_EQ(api->openHandles, 0);
}

TEST(WindowsHidTransport, AnOpenFailureCarriesItsErrnoAndTheSystemsWords) {
    const struct {
        std::uint32_t code;
        std::string reason;  // what the link tells the user
        bool permission;
    } cases[] = {
        {win32_error::kAccessDenied, "Permission denied \u2014 ", true},
        {win32_error::kSharingViolation, "Device or resource busy", false},
        {win32_error::kDeviceNotConnected, "No such device", false},
        {kBrokenPipe, "words for 109 (Windows error 109)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        auto api = std::make_shared<FakeWin32Hid>();
        FakeWin32Interface tx = Transmitter();
        tx.openError = c.code;
        api->interfaces = {tx};
        WindowsHidTransport transport(api);
        HidFailure failure;
        EXPECT_EQ(transport.OpenPath(Utf16ToUtf8(kTxPath), failure), nullptr);
        EXPECT_EQ(failure.message, "words for " + std::to_string(c.code) + " (Windows error " +
                                       std::to_string(c.code) + ")");
        EXPECT_TRUE(DescribeOpenFailure("tx", failure, UdevRulePath())
                        .starts_with("found tx but cannot open it: " + c.reason));
        EXPECT_EQ(IsPermissionError(failure.error), c.permission);
        EXPECT_EQ(api->openHandles, 0);
    }
    // A handle with no event for its transfers is closed again.
    auto api = std::make_shared<FakeWin32Hid>();
    api->interfaces = {Transmitter()};
    api->transfersAvailable = false;
    HidFailure failure;
    EXPECT_EQ(WindowsHidTransport(api).OpenPath(Utf16ToUtf8(kTxPath), failure), nullptr);
    EXPECT_EQ(failure.error, ENOMEM);
    EXPECT_EQ(api->openHandles, 0);
}

// Opens the transmitter for reading and writing over `api`.
std::unique_ptr<HidDevice> OpenTransmitter(const std::shared_ptr<FakeWin32Hid>& api) {
    api->interfaces = {Transmitter()};
    HidFailure failure;
    std::unique_ptr<HidDevice> device =
        WindowsHidTransport(api).OpenPath(Utf16ToUtf8(kTxPath), failure);
    api->calls.clear();
    return device;
}

TEST(WindowsHidTransport, AWriteIsWholeInTimeOrCancelledAndFailed) {
    const struct {
        const char* name;
        FakeWin32Io io;
        bool ok;
        Strings calls;
    } cases[] = {
        {"taken at once", {}, true, {"write 65", "wait 250", "finish"}},
        {"refused at once", {.startError = kBrokenPipe}, false, {"write 65"}},
        {"ends in an error",
         {.error = win32_error::kDeviceNotConnected},
         false,
         {"write 65", "wait 250", "finish"}},
        {"short", {.written = 64}, false, {"write 65", "wait 250", "finish"}},
        {"stuck in the device",
         {.waitsBeforeDone = -1},
         false,
         {"write 65", "wait 250", "cancel", "finish"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto api = std::make_shared<FakeWin32Hid>();
        std::unique_ptr<HidDevice> device = OpenTransmitter(api);
        ASSERT_NE(device, nullptr);
        api->writes = {c.io};
        EXPECT_EQ(device->Write(RfOnReport()), c.ok);
        EXPECT_THAT(api->calls, ElementsAreArray(c.calls));
        // Never back with the transfer in flight, so the handle may be closed at once.
        EXPECT_EQ(api->transfersInFlight, 0);
        device.reset();
        EXPECT_EQ(api->openHandles, 0);
    }
}

TEST(WindowsHidTransport, AReadEndsWithAReportAFailureOrAStop) {
    const std::vector<std::uint8_t> report(kReportSize, 0x5A);
    const struct {
        const char* name;
        std::vector<FakeWin32Io> reads;
        int stopAfterTimedOutWaits;  // 0: no stop
        ReadOutcome outcome;
        std::size_t length;
        Strings calls;
    } cases[] = {
        {"a whole report",
         {{.waitsBeforeDone = 2, .bytes = report}},
         0,
         ReadOutcome::Report,
         kReportSize,
         {"read", "wait 100", "wait 100", "wait 100", "finish"}},
        {"a short report",
         {{.bytes = {0, 7, 8}}},
         0,
         ReadOutcome::Report,
         3,
         {"read", "wait 100", "finish"}},
        {"nothing arrived: read again",
         {{}, {.bytes = report}},
         0,
         ReadOutcome::Report,
         kReportSize,
         {"read", "wait 100", "finish", "read", "wait 100", "finish"}},
        {"the device was removed",
         {{.waitsBeforeDone = 1, .error = win32_error::kDeviceNotConnected}},
         0,
         ReadOutcome::Failed,
         0,
         {"read", "wait 100", "wait 100", "finish"}},
        {"refused at once", {{.startError = kBrokenPipe}}, 0, ReadOutcome::Failed, 0, {"read"}},
        {"stopped while waiting",
         {{.waitsBeforeDone = -1}},
         2,
         ReadOutcome::Cancelled,
         0,
         {"read", "wait 100", "wait 100", "cancel", "finish"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto api = std::make_shared<FakeWin32Hid>();
        std::unique_ptr<HidDevice> device = OpenTransmitter(api);
        ASSERT_NE(device, nullptr);
        api->reads.assign(c.reads.begin(), c.reads.end());
        std::stop_source stop;
        api->onTimedOutWait = [&](int waits) {
            if (waits == c.stopAfterTimedOutWaits)
                stop.request_stop();
        };
        InputReport buffer;
        buffer.fill(0xEE);
        std::size_t length = 0;
        EXPECT_EQ(device->Read(buffer, length, stop.get_token()), c.outcome);
        EXPECT_THAT(api->calls, ElementsAreArray(c.calls));
        EXPECT_EQ(api->transfersInFlight, 0);
        if (c.outcome == ReadOutcome::Report) {
            EXPECT_EQ(length, c.length);
            InputReport expected{};
            std::copy_n(c.reads.back().bytes.begin(), c.length, expected.begin());
            EXPECT_EQ(buffer, expected);  // the device's bytes, then zeros
        }
    }
    // A read asked to stop before it starts starts nothing.
    auto api = std::make_shared<FakeWin32Hid>();
    std::unique_ptr<HidDevice> device = OpenTransmitter(api);
    std::stop_source stopped;
    stopped.request_stop();
    InputReport buffer{};
    std::size_t length = 0;
    EXPECT_EQ(device->Read(buffer, length, stopped.get_token()), ReadOutcome::Cancelled);
    EXPECT_THAT(api->calls, ::testing::IsEmpty());
}

}  // namespace
}  // namespace velta
