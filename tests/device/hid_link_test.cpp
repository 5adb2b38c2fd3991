#include "device/hid_link.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "device/simulated_transmitter.h"
#include "fake_notices.h"

namespace velta {
namespace {

using testing::ControlledWait;
using testing::FakeNotices;
using testing::RecordingTap;
using testing::WaitUntil;

HidInterfaceInfo Other(std::string path, std::uint16_t vendor, std::uint16_t product) {
    return HidInterfaceInfo{std::move(path), vendor, product};
}
HidInterfaceInfo Tx(std::string path) {
    return SimulatedTransmitter::TransmitterInterface(path);
}

const DeviceReport kReport{0, 0x11};
const DeviceReport kOtherReport{0, 0x12};
const std::vector<std::string> kReadErrorShown{std::string(kTextReadError)};

// Fails only the n-th open (1-based) and passes everything else to the simulator.
class FailNthOpen : public HidTransport {
  public:
    FailNthOpen(HidTransport& inner, int n) : inner_(inner), n_(n) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override {
        return ++opens_ == n_ ? nullptr : inner_.OpenPath(path, failure);
    }

  private:
    HidTransport& inner_;
    int n_;
    int opens_ = 0;
};

// connected, handles open on the device, notices posted, write-error boxes shown.
using Seen = std::tuple<bool, int, int, int>;
const Seen kClosed{false, 0, 0, 0};      // and nothing ever went wrong
const Seen kWatching{true, 2, 0, 0};     // both handles open, nothing went wrong
const Seen kReadFailed{false, 1, 1, 0};  // the write handle left, the read error posted

Seen Look(const HidLink& link, const SimulatedTransmitter& device, const FakeNotices& notices) {
    return {link.IsConnected(), device.OpenHandleCount(), notices.PostedCount(),
            notices.writeErrors};
}

class HidLinkTest : public ::testing::Test {
  protected:
    void OpenAndWatch() {
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        ASSERT_EQ(Look(), kWatching);
    }
    void UnplugAndWaitForNotice(int posted) {
        device.Unplug();
        ASSERT_TRUE(notices.WaitForPosted(posted));
    }
    Seen Look() const { return velta::Look(link, device, notices); }

    SimulatedTransmitter device;
    FakeNotices notices;
    ControlledWait wait;
    HidLink link{device, notices, wait};
};

// Transmitters whose path starts with "dead" fail to open.
TEST(HidLinkDiscovery, OpensTheFirstTransmitterThatOpensTwice) {
    const struct {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        std::string opened;     // empty: no transmitter opened
        std::string diagnosis;  // when none was opened
    } cases[] = {
        {"no interfaces", {}, "", "no transmitter 04d8:003f found"},
        {"only other devices",
         {Other("kbd", 0x046D, 0xC31C), Other("vendor", 0x04D8, 0x0040),
          Other("product", 0x1234, 0x003F)},
         "",
         "no transmitter 04d8:003f found"},
        {"transmitter fourth, another after it",
         {Other("a", 0x046D, 0xC31C), Other("b", 0x04D8, 0x0001), Other("c", 0x0001, 0x003F),
          Tx("tx1"), Tx("tx2")},
         "tx1",
         ""},
        {"open failure of the first match is passed over",
         {Tx("dead1"), Other("x", 1, 2), Tx("tx2")},
         "tx2",
         ""},
        {"every match fails to open: the first failure is the reason",
         {Tx("dead1"), Tx("dead2")},
         "",
         "found dead1 but cannot open it: Input/output error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter device;
        FakeNotices notices;
        device.SetInterfaces(c.interfaces);
        for (const auto& interface : c.interfaces)
            device.FailOpen(interface.path, interface.path.starts_with("dead"));
        HidLink link(device, notices);
        const bool found = !c.opened.empty();

        EXPECT_EQ(link.Open(), found);
        const std::vector<std::string> twice{c.opened, c.opened}, none;
        EXPECT_EQ(device.OpenedPaths(), found ? twice : none);
        EXPECT_EQ(Look(link, device, notices), found ? kWatching : kClosed);
        using Diagnoses = std::vector<std::pair<std::string, bool>>;
        EXPECT_EQ(notices.diagnostics, (found ? Diagnoses{} : Diagnoses{{c.diagnosis, false}}));
        EXPECT_EQ(notices.diagnosticClears, found ? 1 : 0);
        if (found) {
            ASSERT_TRUE(link.WriteReport(kReport));
            EXPECT_EQ(device.WrittenPaths(), std::vector{c.opened});
        }
        link.Close();
        EXPECT_EQ(Look(link, device, notices), kClosed);
        EXPECT_TRUE(notices.statusTexts.empty());
    }
}

TEST_F(HidLinkTest, OpenFromAnyStateClosesTheOldLinkFirst) {
    OpenAndWatch();
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(Look(), kWatching);
    EXPECT_EQ(device.OpenedPaths().size(), 4u);

    device.SetInterfaces({});  // a failed search leaves nothing open either
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(Look(), kClosed);
}

TEST_F(HidLinkTest, InputReportsReachTheTapAndTheReaderKeepsWatching) {
    // Nobody looking: input reports are read and dropped, no work for the UI thread.
    OpenAndWatch();
    device.SendInputReport({1, 2, 3});
    // Back in its next read, the reader is done with the report (and found no tap then).
    ASSERT_TRUE(
        WaitUntil([&] { return device.InputReportsDelivered() == 1 && device.ReadPending(); }));
    RecordingTap tap;
    link.SetTap(&tap);

    const struct {
        std::vector<std::uint8_t> bytes;
        std::size_t length;  // what the tap is told
    } reports[] = {{{0x00}, 1},
                   {{0, 0xA5, 0x5A}, 3},
                   {std::vector<std::uint8_t>(65, 0xEE), 65},
                   {std::vector<std::uint8_t>(80, 0x77), 65}};
    for (const auto& r : reports)
        device.SendInputReport(r.bytes);
    ASSERT_TRUE(notices.WaitForPosted(4));
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));  // still watching
    EXPECT_EQ(Look(), (Seen{true, 2, 4, 0}));
    notices.RunPosted();
    ASSERT_EQ(tap.read.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        DeviceReport expected{};
        std::copy_n(reports[i].bytes.begin(), reports[i].length, expected.begin());
        EXPECT_EQ(tap.read[i], std::make_pair(expected, reports[i].length)) << i;
    }

    // A removal after input reports is still noticed.
    UnplugAndWaitForNotice(5);
    EXPECT_EQ(Look(), (Seen{false, 1, 5, 0}));
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);
    EXPECT_EQ(tap.read.size(), 4u);
}

TEST_F(HidLinkTest, InterruptedReadsAreRetriedNotErrors) {
    device.InterruptReads(3);
    OpenAndWatch();
    EXPECT_EQ(device.InterruptedReads(), 3);
    EXPECT_EQ(notices.PostedCount(), 0);
    UnplugAndWaitForNotice(1);  // and the reader is still there to see a real failure
}

TEST_F(HidLinkTest, UnplugShowsReadErrorOnce) {
    OpenAndWatch();
    UnplugAndWaitForNotice(1);
    // The write handle stays until the next write; only the UI thread shows the text.
    EXPECT_EQ(Look(), kReadFailed);
    EXPECT_TRUE(notices.statusTexts.empty());
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);

    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(Look(), (Seen{false, 0, 1, 1}));
}

TEST_F(HidLinkTest, SecondOpenFailingIsAReadError) {
    FailNthOpen transport(device, 2);
    HidLink secondFails(transport, notices, wait);
    ASSERT_TRUE(secondFails.Open());
    ASSERT_TRUE(notices.WaitForPosted(1));
    EXPECT_EQ(velta::Look(secondFails, device, notices), kReadFailed);
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);
    EXPECT_TRUE(secondFails.WriteReport(kReport));  // the write handle is still good
}

TEST_F(HidLinkTest, StaleNoticesAfterNewOpenAreDropped) {
    RecordingTap tap;
    link.SetTap(&tap);
    OpenAndWatch();
    device.SendInputReport();
    ASSERT_TRUE(notices.WaitForPosted(1));
    UnplugAndWaitForNotice(2);
    device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});  // plugged back in
    ASSERT_TRUE(link.Open());
    notices.RunPosted();
    EXPECT_TRUE(notices.statusTexts.empty());
    EXPECT_TRUE(tap.read.empty());
    // The old write handle was closed first.
    EXPECT_EQ(Look(), (Seen{true, 2, 2, 0}));

    // The new link's own failure is shown.
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    UnplugAndWaitForNotice(3);
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);
}

TEST(HidLinkDestruction, JoinsTheReaderAndOrphansItsNotices) {
    for (bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "notices queued before destruction" : "destroyed while watching");
        SimulatedTransmitter device;
        FakeNotices notices;
        RecordingTap tap;
        auto doomed = std::make_unique<HidLink>(device, notices);
        doomed->SetTap(&tap);
        ASSERT_TRUE(doomed->Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        if (unplugged) {
            device.SendInputReport();
            ASSERT_TRUE(notices.WaitForPosted(1));
            device.Unplug();
            ASSERT_TRUE(notices.WaitForPosted(2));
        }
        doomed.reset();
        EXPECT_FALSE(device.ReadPending());
        EXPECT_EQ(device.OpenHandleCount(), 0);
        EXPECT_EQ(notices.PostedCount(), unplugged ? 2 : 0);
        notices.RunPosted();  // notices run after the link is gone are harmless and show nothing
        EXPECT_TRUE(notices.statusTexts.empty());
        EXPECT_TRUE(tap.read.empty());
    }
}

TEST_F(HidLinkTest, WriteBeforeOpenAndCloseNeverOpenedOrTwice) {
    RecordingTap tap;
    link.SetTap(&tap);
    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(Look(), (Seen{false, 0, 0, 1}));
    EXPECT_EQ(tap.written, (std::vector{std::pair{kReport, false}}));
    link.Close();
    link.Close();
    EXPECT_FALSE(link.IsConnected());
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    link.Close();
    link.Close();
    EXPECT_EQ(Look(), (Seen{false, 0, 0, 1}));
    EXPECT_FALSE(device.ReadPending());
}

TEST_F(HidLinkTest, FailedWriteLeavesTheReaderAlone) {
    OpenAndWatch();
    device.FailAllWrites(true);
    bool connectedDuringBox = true;
    notices.onWriteError = [&] { connectedDuringBox = link.IsConnected(); };

    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_FALSE(connectedDuringBox);  // ticks inside the box already see a dead link
    EXPECT_EQ(Look(), (Seen{false, 1, 0, 1}));
    EXPECT_TRUE(device.ReadPending());

    // Each failed write is reported on its own, also with no handle left.
    device.FailAllWrites(false);
    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(notices.writeErrors, 2);
    EXPECT_TRUE(device.WrittenReports().empty());

    // Removal after the write failure: the read error still arrives, nothing is left open.
    UnplugAndWaitForNotice(1);
    ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    EXPECT_FALSE(link.IsConnected());
}

// Every way a write can go wrong ends the same: false, the box, the tap told, the link down,
// the reader left watching; the write handle is released by the writer once its write returns.
TEST_F(HidLinkTest, WriteFailuresOfEveryKind) {
    enum class Fault { Refused, Short, Stalled };
    for (Fault fault : {Fault::Refused, Fault::Short, Fault::Stalled}) {
        SCOPED_TRACE(static_cast<int>(fault));
        SimulatedTransmitter device;
        FakeNotices notices;
        ControlledWait wait;
        wait.expired = [&] { return device.StalledWrites() > 0; };
        HidLink link(device, notices, wait);
        RecordingTap tap;
        link.SetTap(&tap);
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(link.WriteReport(kOtherReport));
        device.FailAllWrites(fault == Fault::Refused);
        device.ShortWrites(fault == Fault::Short);
        device.StallWrites(fault == Fault::Stalled);

        EXPECT_FALSE(link.WriteReport(kReport));
        EXPECT_FALSE(link.WriteReport(kOtherReport));  // no handle any more: fails at once
        EXPECT_EQ(wait.expiries, fault == Fault::Stalled ? 1 : 0);
        EXPECT_EQ(notices.writeErrors, 2);
        EXPECT_FALSE(link.IsConnected());
        const std::vector<std::pair<DeviceReport, bool>> seen{
            {kOtherReport, true}, {kReport, false}, {kOtherReport, false}};
        EXPECT_EQ(tap.written, seen);
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        // The stuck write still holds its handle; it is closed only when the write returns.
        EXPECT_EQ(device.OpenHandleCount(), fault == Fault::Stalled ? 2 : 1);
        device.StallWrites(false);
        ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 1; }));
        EXPECT_EQ(device.WrittenReports().size(), fault == Fault::Stalled ? 2u : 1u);
    }
}

TEST(HidLinkStuckWrite, CloseAndDestructionDoNotWaitForTheDevice) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        SimulatedTransmitter device;
        FakeNotices notices;
        ControlledWait wait;
        wait.expired = [&] { return device.StalledWrites() > 0; };
        auto link = std::make_unique<HidLink>(device, notices, wait);
        ASSERT_TRUE(link->Open());
        device.StallWrites(true);
        EXPECT_FALSE(link->WriteReport(kReport));
        if (destroy) {
            link.reset();
        } else {
            link->Close();
        }
        // Returned with the write still stuck: its handle is still open, the reader's is not.
        EXPECT_EQ(device.StalledWrites(), 1);
        EXPECT_EQ(device.OpenHandleCount(), 1);
        device.StallWrites(false);
        ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    }
}

TEST_F(HidLinkTest, CloseWithAReadPendingForeverEndsTheRead) {
    OpenAndWatch();
    link.Close();
    EXPECT_FALSE(device.ReadPending());
    // A cancelled read is no read error.
    EXPECT_EQ(Look(), kClosed);
}

TEST_F(HidLinkTest, DevicePresentOnlyWhileListedAndConnected) {
    EXPECT_FALSE(link.DevicePresent());
    OpenAndWatch();
    EXPECT_TRUE(link.DevicePresent());
    device.SetInterfaces({Tx("elsewhere")});  // gone from its path, reader not told yet
    EXPECT_FALSE(link.DevicePresent());
    device.SetInterfaces({Tx(SimulatedTransmitter::kDefaultPath)});
    EXPECT_TRUE(link.DevicePresent());
    UnplugAndWaitForNotice(1);
    EXPECT_FALSE(link.DevicePresent());
}

TEST(HidLinkDiagnostics, OpenTellsWhyNothingWasOpened) {
    const struct {
        const char* name;
        std::string startFailure;
        int openError;  // 0: opens
        std::string reasonStart;
        bool permission;
    } cases[] = {
        {"library failed to start", "no udev", 0, "the USB HID library failed to start: no udev",
         false},
        {"permission denied", "", EACCES,
         "found sim:transmitter but cannot open it: Permission denied \u2014 ", true},
        {"operation not permitted", "", EPERM,
         "found sim:transmitter but cannot open it: Operation not permitted \u2014 ", true},
        {"busy", "", EBUSY, "found sim:transmitter but cannot open it: Device or resource busy",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter device;
        FakeNotices notices;
        device.FailStart(c.startFailure);
        device.FailOpen(SimulatedTransmitter::kDefaultPath, c.openError != 0, c.openError);
        HidLink link(device, notices);
        EXPECT_FALSE(link.Open());
        ASSERT_EQ(notices.diagnostics.size(), 1u);
        EXPECT_TRUE(notices.diagnostics[0].first.starts_with(c.reasonStart))
            << notices.diagnostics[0].first;
        EXPECT_EQ(notices.diagnostics[0].second, c.permission);
        EXPECT_EQ(device.OpenHandleCount(), 0);
        EXPECT_TRUE(notices.statusTexts.empty());
    }
}

}  // namespace
}  // namespace velta
