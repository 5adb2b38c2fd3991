#include "device/hid_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
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

DeviceReport Report(std::uint8_t command) {
    DeviceReport r{};
    r[1] = command;
    return r;
}

// Fails only the n-th open (1-based) and passes everything else to the simulator.
class FailNthOpen : public HidTransport {
  public:
    FailNthOpen(HidTransport& inner, int n) : inner_(inner), n_(n) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> OpenPath(const std::string& path) override {
        if (++opens_ == n_)
            return nullptr;
        return inner_.OpenPath(path);
    }

  private:
    HidTransport& inner_;
    int n_;
    int opens_ = 0;
};

class HidLinkTest : public ::testing::Test {
  protected:
    void OpenAndWatch() {
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        ASSERT_EQ(link.State(), LinkState::Watching);
    }

    SimulatedTransmitter device;
    FakeNotices notices;
    HidLink link{device, notices};
};

// ------------------------------------------------------------------------------ discovery

TEST_F(HidLinkTest, Discovery) {
    struct Case {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        std::vector<std::string> failingOpens;
        bool found;
        std::vector<std::string> opened;
    };
    const std::vector<Case> cases = {
        {"no interfaces", {}, {}, false, {}},
        {"only other devices",
         {Other("kbd", 0x046D, 0xC31C), Other("same vendor", 0x04D8, 0x0040),
          Other("same product", 0x1234, 0x003F)},
         {},
         false,
         {}},
        {"transmitter fourth, another after it",
         {Other("a", 0x046D, 0xC31C), Other("b", 0x04D8, 0x0001), Other("c", 0x0001, 0x003F),
          Tx("tx1"), Tx("tx2")},
         {},
         true,
         {"tx1", "tx1"}},
        {"open failure of the first match is passed over",
         {Tx("tx1"), Other("x", 1, 2), Tx("tx2")},
         {"tx1"},
         true,
         {"tx2", "tx2"}},
        {"every match fails to open", {Tx("tx1"), Tx("tx2")}, {"tx1", "tx2"}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter sim;
        FakeNotices fake;
        sim.SetInterfaces(c.interfaces);
        for (const auto& path : c.failingOpens)
            sim.FailOpen(path);
        HidLink caseLink(sim, fake);

        EXPECT_EQ(caseLink.Open(), c.found);
        EXPECT_EQ(caseLink.IsConnected(), c.found);
        EXPECT_EQ(sim.OpenedPaths(), c.opened);
        EXPECT_EQ(sim.OpenHandleCount(), c.found ? 2 : 0);
        EXPECT_EQ(caseLink.State(), c.found ? LinkState::Watching : LinkState::Closed);
        if (c.found) {
            ASSERT_TRUE(caseLink.WriteReport(Report(0xF0)));
            EXPECT_EQ(sim.WrittenPaths(), std::vector<std::string>{c.opened.front()});
        }
        caseLink.Close();
        EXPECT_EQ(sim.OpenHandleCount(), 0);
        EXPECT_EQ(fake.writeErrors, 0);
        EXPECT_TRUE(fake.statusTexts.empty());
    }
}

TEST_F(HidLinkTest, OpenFromAnyStateClosesTheOldLinkFirst) {
    OpenAndWatch();
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(device.OpenHandleCount(), 2);
    EXPECT_EQ(device.OpenedPaths().size(), 4u);
    EXPECT_EQ(link.State(), LinkState::Watching);

    // A failed search leaves nothing open either.
    device.SetInterfaces({});
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(device.OpenHandleCount(), 0);
    EXPECT_EQ(link.State(), LinkState::Closed);
    EXPECT_EQ(notices.PostedCount(), 0);
}

// ------------------------------------------------------------------------------ reader

TEST_F(HidLinkTest, InputReportEndsTheReaderSilently) {
    OpenAndWatch();
    device.SendInputReport();
    ASSERT_TRUE(WaitUntil([&] { return link.State() == LinkState::Unwatched; }));
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(device.OpenHandleCount(), 2);
    EXPECT_EQ(notices.PostedCount(), 0);

    // From now on a removal shows up only as a failed write.
    device.Unplug();
    EXPECT_FALSE(link.WriteReport(Report(0x11)));
    EXPECT_EQ(notices.writeErrors, 1);
    EXPECT_EQ(link.State(), LinkState::WriteFailed);
    EXPECT_EQ(notices.PostedCount(), 0);
}

TEST_F(HidLinkTest, UnplugShowsReadErrorOnce) {
    OpenAndWatch();
    device.Unplug();
    ASSERT_TRUE(notices.WaitForPosted(1));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.State(), LinkState::ReadFailed);
    EXPECT_EQ(device.OpenHandleCount(), 1);    // the write handle stays until the next write
    EXPECT_TRUE(notices.statusTexts.empty());  // only the UI thread shows it

    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});

    EXPECT_FALSE(link.WriteReport(Report(0x12)));
    EXPECT_EQ(link.State(), LinkState::WriteFailed);
    EXPECT_EQ(device.OpenHandleCount(), 0);
    EXPECT_EQ(notices.PostedCount(), 1);
}

TEST_F(HidLinkTest, SecondOpenFailingIsAReadError) {
    FailNthOpen transport(device, 2);
    HidLink secondFails(transport, notices);
    ASSERT_TRUE(secondFails.Open());
    ASSERT_TRUE(notices.WaitForPosted(1));
    EXPECT_FALSE(secondFails.IsConnected());
    EXPECT_EQ(secondFails.State(), LinkState::ReadFailed);
    EXPECT_EQ(device.OpenHandleCount(), 1);
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});
    // The write handle is still good.
    EXPECT_TRUE(secondFails.WriteReport(Report(0x13)));
}

TEST_F(HidLinkTest, StaleReadErrorAfterNewOpenIsDropped) {
    OpenAndWatch();
    device.Unplug();
    ASSERT_TRUE(notices.WaitForPosted(1));

    device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});  // plugged back in
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(device.OpenHandleCount(), 2);  // the old write handle was closed first
    notices.RunPosted();
    EXPECT_TRUE(notices.statusTexts.empty());
    EXPECT_TRUE(link.IsConnected());

    // The new link's own failure is shown.
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    device.Unplug();
    ASSERT_TRUE(notices.WaitForPosted(2));
    notices.RunPosted();
    EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});
}

TEST_F(HidLinkTest, NoticeRunAfterTheLinkIsGoneIsHarmless) {
    auto doomed = std::make_unique<HidLink>(device, notices);
    ASSERT_TRUE(doomed->Open());
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    device.Unplug();
    ASSERT_TRUE(notices.WaitForPosted(1));
    doomed.reset();
    notices.RunPosted();
    EXPECT_TRUE(notices.statusTexts.empty());
}

// ------------------------------------------------------------------------------ writes

TEST_F(HidLinkTest, WriteBeforeOpen) {
    EXPECT_FALSE(link.WriteReport(Report(0xF0)));
    EXPECT_EQ(notices.writeErrors, 1);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.State(), LinkState::Closed);
}

TEST_F(HidLinkTest, FailedWriteLeavesTheReaderAlone) {
    OpenAndWatch();
    device.FailAllWrites(true);
    bool connectedDuringBox = true;
    notices.onWriteError = [&] { connectedDuringBox = link.IsConnected(); };

    EXPECT_FALSE(link.WriteReport(Report(0x11)));
    EXPECT_FALSE(connectedDuringBox);  // ticks inside the box already see a dead link
    EXPECT_EQ(link.State(), LinkState::WriteFailed);
    EXPECT_EQ(device.OpenHandleCount(), 1);
    EXPECT_TRUE(device.ReadPending());

    // Each failed write is reported on its own, also with no handle left.
    device.FailAllWrites(false);
    EXPECT_FALSE(link.WriteReport(Report(0x11)));
    EXPECT_EQ(notices.writeErrors, 2);
    EXPECT_TRUE(device.WrittenReports().empty());

    // Removal after the write failure: the read error still arrives, nothing is left open.
    device.Unplug();
    ASSERT_TRUE(notices.WaitForPosted(1));
    ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    EXPECT_EQ(link.State(), LinkState::WriteFailed);
}

// ------------------------------------------------------------------------------ close

TEST_F(HidLinkTest, CloseWithAReadPendingForeverIsPrompt) {
    OpenAndWatch();
    const auto start = std::chrono::steady_clock::now();
    link.Close();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(200));
    EXPECT_FALSE(device.ReadPending());
    EXPECT_EQ(device.OpenHandleCount(), 0);
    EXPECT_EQ(link.State(), LinkState::Closed);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(notices.PostedCount(), 0);  // a cancelled read is no read error
}

TEST_F(HidLinkTest, CloseNeverOpenedAndTwice) {
    link.Close();
    link.Close();
    EXPECT_EQ(link.State(), LinkState::Closed);
    OpenAndWatch();
    link.Close();
    link.Close();
    EXPECT_EQ(link.State(), LinkState::Closed);
    EXPECT_EQ(device.OpenHandleCount(), 0);
}

TEST_F(HidLinkTest, DestructionWhileWatchingJoinsTheReader) {
    {
        HidLink watching(device, notices);
        ASSERT_TRUE(watching.Open());
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    }
    EXPECT_FALSE(device.ReadPending());
    EXPECT_EQ(device.OpenHandleCount(), 0);
    EXPECT_EQ(notices.PostedCount(), 0);
}

}  // namespace
}  // namespace velta
