// HidapiTransport and the link over it, on the fake hidapi library; and the whole controller over
// it for the sequence in which a given-up write lands late.
#include "device/hidapi_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "control/control_center_controller.h"
#include "device/hid_link.h"
#include "display/report_decoder.h"
#include "fake_hidapi.h"
#include "fake_notices.h"
#include "tests/control/fake_view.h"

namespace velta {
namespace {

using testing::ControlledWait;
using testing::FakeHidapi;
using testing::FakeHidDevice;
using testing::FakeNotices;
using testing::FakeRead;
using testing::RecordingTap;
using testing::SendAndWait;
using testing::WaitUntil;

// Short, so that a test need not wait a whole idle slice for a cancelled read to end.
constexpr std::chrono::milliseconds kSlice{20};

const FakeHidDevice kTransmitter{"/dev/hidraw2", 0x04D8, 0x003F, L"0001A2"};
const FakeHidDevice kKeyboard{"/dev/hidraw0", 0x046D, 0xC31C};
const DeviceReport kReport{0, 0x14, 'A'};

class HidapiTest : public ::testing::Test {
  protected:
    HidapiTest() {
        hid.Reset();
        hid.SetDevices({kKeyboard, kTransmitter});
    }
    ~HidapiTest() override { hid.Reset(); }

    FakeHidapi& hid = FakeHidapi::Instance();
};

TEST_F(HidapiTest, StartsListsAndShutsDown) {
    {
        HidapiTransport transport(kSlice);
        EXPECT_TRUE(transport.Initialised());
        EXPECT_EQ(transport.StartFailure(), "");
        const auto interfaces = transport.Enumerate();
        ASSERT_EQ(interfaces.size(), 2u);
        EXPECT_EQ(interfaces[1].path, "/dev/hidraw2");
        EXPECT_EQ(interfaces[1].vendorId, 0x04D8);
        EXPECT_EQ(interfaces[1].productId, 0x003F);
        EXPECT_EQ(interfaces[1].serialNumber, "0001A2");
        EXPECT_EQ(interfaces[0].serialNumber, "");  // the keyboard gives none
        EXPECT_EQ(hid.OpenEnumerations(), 0);
        hid.SetDevices({});
        EXPECT_TRUE(transport.Enumerate().empty());
    }
    EXPECT_EQ(hid.Inits(), 1);
    EXPECT_EQ(hid.Exits(), 1);
}

// A serial number is the device's string descriptor: whatever the device put there comes out as
// UTF-8, a code point that can't be one as U+FFFD.
TEST(HidapiSerialNumber, WideStringsBecomeUtf8) {
    const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    const std::wstring lone{L'A', static_cast<wchar_t>(0xDC00), L'B'};
    const std::wstring high{static_cast<wchar_t>(0xD800), L'B'};
    const std::wstring huge{static_cast<wchar_t>(0x110000)};
    const struct {
        const wchar_t* wide;
        std::string utf8;
    } cases[] = {
        {nullptr, ""},
        {L"", ""},
        {L"0001A2F3", "0001A2F3"},
        {L"Gr\u00fc\u00dfe \u20ac",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac"},
        {L"\U0001F600", "\xf0\x9f\x98\x80"},
        {pair.c_str(), "\xf0\x9f\x98\x80"},  // UTF-16's pair, as a 16-bit wchar_t carries it
        {lone.c_str(),
         "A\xef\xbf\xbd"
         "B"},
        {high.c_str(),
         "\xef\xbf\xbd"
         "B"},
        {huge.c_str(), "\xef\xbf\xbd"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.utf8;
}

TEST_F(HidapiTest, OpenFailuresAreDiagnosed) {
    const struct {
        const char* name;
        std::string initFailure;
        int openError;
        std::string reasonStart;
        bool permission;
    } cases[] = {
        {"no start", "udev unavailable", 0, "the USB HID library failed to start: udev unavailable",
         false},
        {"no permission", "", EACCES,
         "found /dev/hidraw2 but cannot open it: Permission denied \u2014 install the udev rule",
         true},
        {"gone meanwhile", "", ENODEV, "found /dev/hidraw2 but cannot open it: No such device",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hid.Reset();
        hid.SetDevices({kKeyboard, kTransmitter});
        hid.FailInit(c.initFailure);
        if (c.openError != 0)
            hid.FailOpen(kTransmitter.path, c.openError);
        {
            HidapiTransport transport(kSlice);
            FakeNotices notices;
            HidLink link(transport, notices);
            EXPECT_FALSE(link.Open());
            ASSERT_EQ(notices.diagnostics.size(), 1u);
            EXPECT_TRUE(notices.diagnostics[0].first.starts_with(c.reasonStart))
                << notices.diagnostics[0].first;
            EXPECT_EQ(notices.diagnostics[0].second, c.permission);
        }
        EXPECT_EQ(hid.OpenHandles(), 0);
        EXPECT_EQ(hid.Exits(), c.initFailure.empty() ? 1 : 0);
    }
}

// Every back end counts the report id byte, so only all 65 bytes are a whole report; a signal or
// a device that would block is an interruption, anything else a failure.
TEST_F(HidapiTest, WriteOutcomes) {
    const struct {
        int result;
        int error;
        WriteStatus status;
    } cases[] = {{0 /* the whole 65 */, 0, WriteStatus::Written},
                 {64, 0, WriteStatus::Short},
                 {63, 0, WriteStatus::Short},
                 {1, 0, WriteStatus::Short},
                 {-1, EIO, WriteStatus::Failed},
                 {-1, ENODEV, WriteStatus::Failed},
                 {-1, EINTR, WriteStatus::Interrupted},
                 {-1, EAGAIN, WriteStatus::Interrupted}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.result) + " " + std::to_string(c.error));
        HidapiTransport transport(kSlice);
        HidFailure failure;
        auto device = transport.OpenPath(kTransmitter.path, failure);
        ASSERT_NE(device, nullptr);
        hid.SetWriteResult(c.result, c.error);
        const WriteResult result = device->Write(kReport, LinkClock::now());
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.error, c.error);
    }
    ASSERT_FALSE(hid.Written().empty());
    EXPECT_EQ(hid.Written().front(), std::vector<std::uint8_t>(kReport.begin(), kReport.end()));
    EXPECT_EQ(hid.OpenHandles(), 0);
}

// The reader over hidapi: interruptions and timeouts are retried, input reports reach the tap
// and the reader keeps reading; only a real failure ends the link.
TEST_F(HidapiTest, ReaderRetriesInterruptionsAndEndsOnlyOnRealFailures) {
    const std::vector<FakeRead> noise{
        FakeRead::Fail(EINTR),  FakeRead::Timeout(),
        FakeRead::Fail(EAGAIN), FakeRead::Data({0x5A}),
        FakeRead::Fail(EINTR),  FakeRead::Data(std::vector<std::uint8_t>(70, 0xC3))};
    const struct {
        const char* name;
        FakeRead ending;  // Timeout: no ending, the device is unplugged instead
    } cases[] = {
        {"I/O error", FakeRead::Fail(EIO)},
        {"hang-up without errno", FakeRead::Fail(0)},
        {"unplugged", FakeRead::Timeout()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hid.Reset();
        hid.SetDevices({kTransmitter});
        HidapiTransport transport(kSlice);
        FakeNotices notices;
        RecordingTap tap;
        HidLink link(transport, notices);
        link.SetTap(&tap);
        hid.QueueReads(noise);
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(notices.WaitForPosted(2));
        ASSERT_TRUE(WaitUntil([&] { return hid.ReadWaiting(); }));
        EXPECT_TRUE(link.IsConnected());
        notices.RunPosted();
        ASSERT_EQ(tap.read.size(), 2u);
        EXPECT_EQ(tap.read[0].second, 1u);
        EXPECT_EQ(tap.read[0].first[0], 0x5A);
        EXPECT_EQ(tap.read[0].first[1], 0);
        EXPECT_EQ(tap.read[1].second, 65u);
        EXPECT_EQ(tap.read[1].first[64], 0xC3);

        if (c.ending.kind == FakeRead::Kind::Timeout) {
            hid.UnplugAfterReads(0);
            hid.Unplug();
        } else {
            hid.QueueReads({c.ending});
        }
        ASSERT_TRUE(notices.WaitForPosted(3));
        EXPECT_FALSE(link.IsConnected());
        notices.RunPosted();
        EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});
        EXPECT_EQ(hid.OpenHandles(), 1);  // the write handle, until the next write or Close
        link.Close();
        EXPECT_EQ(hid.OpenHandles(), 0);
    }
}

// hidapi can't end a read from outside: Close leaves the reader to see the cancellation at the
// end of its slice, and returns without waiting for it; the reader then lets its handle go.
TEST_F(HidapiTest, CloseLeavesTheReaderToEndAtItsSlice) {
    HidapiTransport transport(std::chrono::milliseconds(200));
    FakeNotices notices;
    HidLink link(transport, notices);
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(WaitUntil([&] { return hid.ReadWaiting(); }));
    link.Close();
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(hid.OpenHandles(), 1);  // the read handle, until the slice ends
    ASSERT_TRUE(WaitUntil([&] { return hid.OpenHandles() == 0; }));
    EXPECT_EQ(notices.PostedCount(), 0);  // a cancelled read is no read error
}

// Removal is seen by the reader whatever the link went through before: idle, after input
// reports, after a write failed, with a write stuck in the device.
TEST_F(HidapiTest, RemovalIsNoticedInEveryState) {
    enum class Before { Idle, InputReports, WriteFailed, WriteStuck };
    for (Before before :
         {Before::Idle, Before::InputReports, Before::WriteFailed, Before::WriteStuck}) {
        SCOPED_TRACE(static_cast<int>(before));
        hid.Reset();
        hid.SetDevices({kTransmitter});
        HidapiTransport transport(kSlice);
        FakeNotices notices;
        ControlledWait wait;
        wait.expired = [&] { return hid.StalledWrites() > 0; };
        HidLink link(transport, notices, wait);
        ASSERT_TRUE(link.Open());
        int posted = 0;
        switch (before) {
            case Before::Idle:
                break;
            case Before::InputReports:
                hid.QueueReads({FakeRead::Data({1}), FakeRead::Data({2})});
                ASSERT_TRUE(WaitUntil([&] { return hid.ReadCalls() >= 3; }));
                break;
            case Before::WriteFailed:
                hid.SetWriteResult(-1);
                EXPECT_FALSE(SendAndWait(link, notices, {kReport}).written);
                posted = 1;
                break;
            case Before::WriteStuck:
                hid.StallWrites(true);
                EXPECT_FALSE(SendAndWait(link, notices, {kReport}).written);
                posted = 1;
                break;
        }
        const int callsBefore = hid.ReadCalls();
        hid.UnplugAfterReads(0);
        ASSERT_TRUE(notices.WaitForPosted(posted + 1));
        EXPECT_GT(hid.ReadCalls(), callsBefore);
        EXPECT_FALSE(link.IsConnected());
        notices.RunPosted();
        EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});
        link.Close();
        hid.ReleaseWrites();
        ASSERT_TRUE(WaitUntil([&] { return hid.OpenHandles() == 0; }));
    }
}

TEST_F(HidapiTest, StuckWriteFailsTheCommandAndCloseLeavesItsHandleToIt) {
    HidapiTransport transport(kSlice);
    FakeNotices notices;
    RecordingTap tap;
    ControlledWait wait;
    wait.expired = [&] { return hid.StalledWrites() > 0; };
    auto link = std::make_unique<HidLink>(transport, notices, wait);
    link->SetTap(&tap);
    ASSERT_TRUE(link->Open());
    ASSERT_TRUE(SendAndWait(*link, notices, {kReport}).written);
    hid.StallWrites(true);
    EXPECT_FALSE(SendAndWait(*link, notices, {kReport, kReport}).written);
    EXPECT_FALSE(SendAndWait(*link, notices, {kReport}).written);
    EXPECT_EQ(wait.expiries, 1);
    EXPECT_EQ(tap.written.size(), 4u);
    EXPECT_FALSE(link->IsConnected());
    link.reset();
    // The stuck write's handle is never closed under it; the reader's goes at its slice.
    ASSERT_TRUE(WaitUntil([&] { return hid.OpenHandles() == 1; }));
    hid.ReleaseWrites();
    ASSERT_TRUE(WaitUntil([&] { return hid.OpenHandles() == 0; }));
    EXPECT_EQ(hid.Written().size(), 2u);
}

// The whole window's sequence over the real transport: a grid report sticks in the device past
// its deadline and is given up; Connect Tx opens new handles, Deselect All and Update Data send
// the empty grid; then the device lets the old report go. The display (the last report of each
// kind the device took) ends as the preview believes: the old report landed first.
TEST_F(HidapiTest, AGivenUpGridReportDoesNotLandOverNewerOnes) {
    hid.SetDevices({kTransmitter});
    HidapiTransport transport(kSlice);
    testing::FakeView view;
    std::atomic<bool> expire{false};
    ControlledWait wait;
    wait.expired = [&] { return expire.load(); };
    ControlCenterController controller(transport, view, wait);
    controller.OnInitDialog();
    controller.OnFeatureBoxClicked(FeatureBox::LedGrid, true);
    controller.OnConnectTx();
    controller.OnRfMode();
    controller.OnGridCommand(GridCommand::SelectAll);
    const auto settle = [&] {
        return WaitUntil([&] {
            view.RunPosted();
            return controller.SendsInFlight() == 0;
        });
    };
    ASSERT_TRUE(settle());

    hid.StallNextWrite();
    controller.OnUpdateData();  // the lit grid: its first report sticks in the device
    ASSERT_TRUE(WaitUntil([&] { return hid.StalledWrites() == 1; }));
    expire = true;  // past its deadline
    ASSERT_TRUE(settle());
    expire = false;
    EXPECT_EQ(view.writeErrors, 1);
    EXPECT_EQ(view.statusTexts.back(), kTextDeviceNotDetected);

    controller.OnConnectTx();
    ASSERT_TRUE(controller.Link().IsConnected());
    controller.OnGridCommand(GridCommand::DeselectAll);
    const std::size_t before = hid.Written().size();
    controller.OnUpdateData();
    // Time for the new reports to overtake the old one, were they let through.
    WaitUntil([&] { return hid.Written().size() > before; }, std::chrono::milliseconds(100));
    hid.ReleaseWrites();  // the old report lands now
    ASSERT_TRUE(settle());
    ASSERT_TRUE(WaitUntil([&] { return hid.Written().size() == before + 3; }));
    EXPECT_EQ(view.writeErrors, 1);

    ReportDecoder display;
    for (const auto& bytes : hid.Written()) {
        DeviceReport report{};
        std::copy_n(bytes.begin(), std::min(bytes.size(), report.size()), report.begin());
        display.Feed(report);
    }
    EXPECT_EQ(display.State().columns, controller.Tap().State().columns);
    for (int column = 0; column < kColumns; ++column)
        EXPECT_EQ(display.State().columns[static_cast<std::size_t>(column)], 0u) << column;
}

}  // namespace
}  // namespace velta
