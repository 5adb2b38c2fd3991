#include "device/hid_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "device/simulated_transmitter.h"
#include "fake_notices.h"

namespace velta {
namespace {

using testing::FakeNotices;
using testing::WaitUntil;

HidInterfaceInfo Other(std::string path, std::uint16_t vendor, std::uint16_t product) {
    return HidInterfaceInfo{std::move(path), vendor, product};
}
HidInterfaceInfo Tx(std::string path) {
    return SimulatedTransmitter::TransmitterInterface(path);
}

const DeviceReport kReport{0, 0x11};
const std::vector<std::string> kReadErrorShown{std::string(kTextReadError)};

// Fails only the n-th open (1-based) and passes everything else to the simulator.
class FailNthOpen : public HidTransport {
  public:
    FailNthOpen(HidTransport& inner, int n) : inner_(inner), n_(n) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> OpenPath(const std::string& path) override {
        return ++opens_ == n_ ? nullptr : inner_.OpenPath(path);
    }

  private:
    HidTransport& inner_;
    int n_;
    int opens_ = 0;
};

using Seen = std::tuple<LinkState, bool, int, int, int>;
const Seen kClosed{LinkState::Closed, false, 0, 0, 0};  // and nothing ever went wrong

// Everything observable about a link at once: state, connected flag, handles open on the device,
// read-error notices posted and write errors shown.
Seen Look(const HidLink& link, const SimulatedTransmitter& device, const FakeNotices& notices) {
    return {link.State(), link.IsConnected(), device.OpenHandleCount(), notices.PostedCount(),
            notices.writeErrors};
}

class HidLinkTest : public ::testing::Test {
  protected:
    void OpenAndWatch() {
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        ASSERT_EQ(link.State(), LinkState::Watching);
    }
    void UnplugAndWaitForNotice(int posted) {
        device.Unplug();
        ASSERT_TRUE(notices.WaitForPosted(posted));
    }
    Seen Look() const { return velta::Look(link, device, notices); }

    SimulatedTransmitter device;
    FakeNotices notices;
    HidLink link{device, notices};
};

// Transmitters whose path starts with "dead" fail to open.
TEST(HidLinkDiscovery, OpensTheFirstTransmitterThatOpensTwice) {
    const struct {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        std::string opened;  // empty: no transmitter found
    } cases[] = {
        {"no interfaces", {}, ""},
        {"only other devices",
         {Other("kbd", 0x046D, 0xC31C), Other("vendor", 0x04D8, 0x0040),
          Other("product", 0x1234, 0x003F)},
         ""},
        {"transmitter fourth, another after it",
         {Other("a", 0x046D, 0xC31C), Other("b", 0x04D8, 0x0001), Other("c", 0x0001, 0x003F),
          Tx("tx1"), Tx("tx2")},
         "tx1"},
        {"open failure of the first match is passed over",
         {Tx("dead1"), Other("x", 1, 2), Tx("tx2")},
         "tx2"},
        {"every match fails to open", {Tx("dead1"), Tx("dead2")}, ""},
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
        const Seen watching{LinkState::Watching, true, 2, 0, 0};
        EXPECT_EQ(Look(link, device, notices), found ? watching : kClosed);
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
    EXPECT_EQ(Look(), (Seen{LinkState::Watching, true, 2, 0, 0}));
    EXPECT_EQ(device.OpenedPaths().size(), 4u);

    device.SetInterfaces({});  // a failed search leaves nothing open either
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(Look(), kClosed);
}

TEST_F(HidLinkTest, InputReportEndsTheReaderSilently) {
    OpenAndWatch();
    device.SendInputReport();
    ASSERT_TRUE(WaitUntil([&] { return link.State() == LinkState::Unwatched; }));
    EXPECT_EQ(Look(), (Seen{LinkState::Unwatched, true, 2, 0, 0}));

    // From now on a removal shows up only as a failed write; the ended reader's handle waits
    // for Close.
    device.Unplug();
    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(Look(), (Seen{LinkState::WriteFailed, false, 1, 0, 1}));
}

TEST_F(HidLinkTest, UnplugShowsReadErrorOnce) {
    OpenAndWatch();
    UnplugAndWaitForNotice(1);
    // The write handle stays until the next write; only the UI thread shows the text.
    EXPECT_EQ(Look(), (Seen{LinkState::ReadFailed, false, 1, 1, 0}));
    EXPECT_TRUE(notices.statusTexts.empty());
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);

    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(Look(), (Seen{LinkState::WriteFailed, false, 0, 1, 1}));
}

TEST_F(HidLinkTest, SecondOpenFailingIsAReadError) {
    FailNthOpen transport(device, 2);
    HidLink secondFails(transport, notices);
    ASSERT_TRUE(secondFails.Open());
    ASSERT_TRUE(notices.WaitForPosted(1));
    EXPECT_EQ(velta::Look(secondFails, device, notices),
              (Seen{LinkState::ReadFailed, false, 1, 1, 0}));
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);
    EXPECT_TRUE(secondFails.WriteReport(kReport));  // the write handle is still good
}

TEST_F(HidLinkTest, StaleReadErrorAfterNewOpenIsDropped) {
    OpenAndWatch();
    UnplugAndWaitForNotice(1);
    device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});  // plugged back in
    ASSERT_TRUE(link.Open());
    notices.RunPosted();
    EXPECT_TRUE(notices.statusTexts.empty());
    // The old write handle was closed first.
    EXPECT_EQ(Look(), (Seen{LinkState::Watching, true, 2, 1, 0}));

    // The new link's own failure is shown.
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    UnplugAndWaitForNotice(2);
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, kReadErrorShown);
}

TEST(HidLinkDestruction, JoinsTheReaderAndOrphansItsNotice) {
    for (bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "notice queued before destruction" : "destroyed while watching");
        SimulatedTransmitter device;
        FakeNotices notices;
        auto doomed = std::make_unique<HidLink>(device, notices);
        ASSERT_TRUE(doomed->Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        if (unplugged) {
            device.Unplug();
            ASSERT_TRUE(notices.WaitForPosted(1));
        }
        doomed.reset();
        EXPECT_FALSE(device.ReadPending());
        EXPECT_EQ(device.OpenHandleCount(), 0);
        EXPECT_EQ(notices.PostedCount(), unplugged ? 1 : 0);
        notices.RunPosted();  // a notice run after the link is gone is harmless and shows nothing
        EXPECT_TRUE(notices.statusTexts.empty());
    }
}

TEST_F(HidLinkTest, WriteBeforeOpenAndCloseNeverOpenedOrTwice) {
    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(Look(), (Seen{LinkState::Closed, false, 0, 0, 1}));
    link.Close();
    link.Close();
    EXPECT_EQ(link.State(), LinkState::Closed);
    OpenAndWatch();
    link.Close();
    link.Close();
    EXPECT_EQ(Look(), (Seen{LinkState::Closed, false, 0, 0, 1}));
}

TEST_F(HidLinkTest, FailedWriteLeavesTheReaderAlone) {
    OpenAndWatch();
    device.FailAllWrites(true);
    bool connectedDuringBox = true;
    notices.onWriteError = [&] { connectedDuringBox = link.IsConnected(); };

    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_FALSE(connectedDuringBox);  // ticks inside the box already see a dead link
    EXPECT_EQ(Look(), (Seen{LinkState::WriteFailed, false, 1, 0, 1}));
    EXPECT_TRUE(device.ReadPending());

    // Each failed write is reported on its own, also with no handle left.
    device.FailAllWrites(false);
    EXPECT_FALSE(link.WriteReport(kReport));
    EXPECT_EQ(notices.writeErrors, 2);
    EXPECT_TRUE(device.WrittenReports().empty());

    // Removal after the write failure: the read error still arrives, nothing is left open.
    UnplugAndWaitForNotice(1);
    ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    EXPECT_EQ(link.State(), LinkState::WriteFailed);
}

TEST_F(HidLinkTest, CloseWithAReadPendingForeverIsPrompt) {
    OpenAndWatch();
    const auto start = std::chrono::steady_clock::now();
    link.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_FALSE(device.ReadPending());
    // A cancelled read is no read error.
    EXPECT_EQ(Look(), kClosed);
}

}  // namespace
}  // namespace velta
