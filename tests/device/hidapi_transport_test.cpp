// HidapiTransport and the link over it, on the fake hidapi library.
#include "device/hidapi_transport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "device/hid_link.h"
#include "fake_hidapi.h"
#include "fake_notices.h"

namespace velta {
namespace {

using testing::ControlledWait;
using testing::FakeHidapi;
using testing::FakeHidDevice;
using testing::FakeNotices;
using testing::FakeRead;
using testing::RecordingTap;
using testing::WaitUntil;

const FakeHidDevice kTransmitter{"/dev/hidraw2", 0x04D8, 0x003F};
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
        HidapiTransport transport;
        EXPECT_TRUE(transport.Initialised());
        EXPECT_EQ(transport.StartFailure(), "");
        const auto interfaces = transport.Enumerate();
        ASSERT_EQ(interfaces.size(), 2u);
        EXPECT_EQ(interfaces[1].path, "/dev/hidraw2");
        EXPECT_EQ(interfaces[1].vendorId, 0x04D8);
        EXPECT_EQ(interfaces[1].productId, 0x003F);
        EXPECT_EQ(hid.OpenEnumerations(), 0);
        hid.SetDevices({});
        EXPECT_TRUE(transport.Enumerate().empty());
    }
    EXPECT_EQ(hid.Inits(), 1);
    EXPECT_EQ(hid.Exits(), 1);
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
            HidapiTransport transport;
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

// hid_write's count differs between back ends (with or without the report id byte); anything
// under the 64 report bytes is a short write, -1 a failure.
TEST_F(HidapiTest, WriteCountsDecideSuccess) {
    const struct {
        int result;
        bool written;
    } cases[] = {{0 /* the whole 65 */, true}, {64, true}, {63, false}, {1, false}, {-1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        HidapiTransport transport;
        HidFailure failure;
        auto device = transport.OpenPath(kTransmitter.path, failure);
        ASSERT_NE(device, nullptr);
        hid.SetWriteResult(c.result);
        EXPECT_EQ(device->Write(kReport), c.written);
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
        HidapiTransport transport;
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

// Removal is seen by the reader whatever the link went through before: idle, after input
// reports, after a write failed, with a write stuck in the device.
TEST_F(HidapiTest, RemovalIsNoticedInEveryState) {
    enum class Before { Idle, InputReports, WriteFailed, WriteStuck };
    for (Before before :
         {Before::Idle, Before::InputReports, Before::WriteFailed, Before::WriteStuck}) {
        SCOPED_TRACE(static_cast<int>(before));
        hid.Reset();
        hid.SetDevices({kTransmitter});
        HidapiTransport transport;
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
                EXPECT_FALSE(link.WriteReport(kReport));
                break;
            case Before::WriteStuck:
                hid.StallWrites(true);
                EXPECT_FALSE(link.WriteReport(kReport));
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
    HidapiTransport transport;
    FakeNotices notices;
    RecordingTap tap;
    ControlledWait wait;
    wait.expired = [&] { return hid.StalledWrites() > 0; };
    auto link = std::make_unique<HidLink>(transport, notices, wait);
    link->SetTap(&tap);
    ASSERT_TRUE(link->Open());
    ASSERT_TRUE(link->WriteReport(kReport));
    hid.StallWrites(true);
    EXPECT_FALSE(link->WriteReport(kReport));
    EXPECT_FALSE(link->WriteReport(kReport));
    EXPECT_EQ(notices.writeErrors, 2);
    EXPECT_EQ(wait.expiries, 1);
    EXPECT_EQ(tap.written.size(), 3u);
    EXPECT_FALSE(link->IsConnected());
    link.reset();
    EXPECT_EQ(hid.OpenHandles(), 1);  // the stuck write's handle is never closed under it
    hid.ReleaseWrites();
    ASSERT_TRUE(WaitUntil([&] { return hid.OpenHandles() == 0; }));
    EXPECT_EQ(hid.Written().size(), 2u);
}

}  // namespace
}  // namespace velta
