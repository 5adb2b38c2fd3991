#include "device/hid_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
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
using testing::SendAndWait;
using testing::WaitUntil;

HidInterfaceInfo Other(std::string path, std::uint16_t vendor, std::uint16_t product) {
    return HidInterfaceInfo{std::move(path), vendor, product};
}
HidInterfaceInfo Tx(std::string path, std::string serial = SimulatedTransmitter::kDefaultSerial) {
    return SimulatedTransmitter::TransmitterInterface(std::move(path), std::move(serial));
}

const DeviceReport kReport{0, 0x11};
const DeviceReport kOtherReport{0, 0x12};
const std::vector<std::string> kReadErrorShown{std::string(kTextReadError)};
using Written = std::vector<std::pair<DeviceReport, bool>>;

// Fails only the n-th open (1-based) with `error` and passes everything else to the simulator.
class FailNthOpen : public HidTransport {
  public:
    FailNthOpen(HidTransport& inner, int n, int error) : inner_(inner), n_(n), error_(error) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override {
        if (++opens_ != n_)
            return inner_.OpenPath(path, failure);
        failure = HidFailure{error_, {}};
        return nullptr;
    }

  private:
    HidTransport& inner_;
    int n_;
    int error_;
    int opens_ = 0;
};

// connected, handles open on the device, notices posted.
using Seen = std::tuple<bool, int, int>;
const Seen kClosed{false, 0, 0};      // and nothing was ever posted
const Seen kWatching{true, 2, 0};     // both handles open, nothing posted
const Seen kReadFailed{false, 1, 1};  // the write handle left, the read error posted

Seen Look(const HidLink& link, const SimulatedTransmitter& device, const FakeNotices& notices) {
    return {link.IsConnected(), device.OpenHandleCount(), notices.PostedCount()};
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

// Transmitters whose path starts with "dead" fail to open; `choice` is what --device gives.
TEST(HidLinkDiscovery, OpensTheFirstTransmitterThatOpensTwice) {
    const struct {
        const char* name;
        std::vector<HidInterfaceInfo> interfaces;
        std::string opened;     // empty: no transmitter opened
        std::string diagnosis;  // when none was opened
        std::string choice = "";
        OpenFailure failure = OpenFailure::None;
    } cases[] = {
        {"no interfaces", {}, "", "no transmitter 04d8:003f found", "", OpenFailure::NotFound},
        {"only other devices",
         {Other("kbd", 0x046D, 0xC31C), Other("vendor", 0x04D8, 0x0040),
          Other("product", 0x1234, 0x003F)},
         "",
         "no transmitter 04d8:003f found",
         "",
         OpenFailure::NotFound},
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
         "found dead1 but cannot open it: Input/output error",
         "",
         OpenFailure::CannotOpen},
        {"chosen by serial, second in order", {Tx("tx1", "A1"), Tx("tx2", "B2")}, "tx2", "", "B2"},
        {"chosen by path", {Tx("tx1", "A1"), Tx("tx2", "B2")}, "tx1", "", "tx1"},
        {"a path wins over a serial number that reads the same",
         {Tx("tx1", "tx2"), Tx("tx2", "B2")},
         "tx2",
         "",
         "tx2"},
        {"interfaces sharing the serial: the first that opens",
         {Tx("dead1", "A1"), Tx("tx2", "B2"), Tx("tx3", "A1")},
         "tx3",
         "",
         "A1"},
        {"the chosen one refuses: no other transmitter is tried",
         {Tx("dead1", "A1"), Tx("tx2", "B2")},
         "",
         "found dead1 but cannot open it: Input/output error",
         "A1",
         OpenFailure::CannotOpen},
        {"nothing matches: the choice and every transmitter are named",
         {Other("kbd", 0x046D, 0xC31C), Tx("tx1", "A1"), Tx("tx2", ""), Tx("tx3", "C\x1b[2J")},
         "",
         "no transmitter with serial or path kbd; found: tx1 (serial A1), tx2 (no serial "
         "number), tx3 (serial C?[2J)",
         "kbd",
         OpenFailure::NotFound},
        {"chosen with no transmitter at all",
         {},
         "",
         "no transmitter with serial or path A1; found: none",
         "A1",
         OpenFailure::NotFound},
        {"a serial number matches only exactly",
         {Tx("tx1", "A1")},
         "",
         "no transmitter with serial or path a1; found: tx1 (serial A1)",
         "a1",
         OpenFailure::NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter device;
        FakeNotices notices;
        device.SetInterfaces(c.interfaces);
        for (const auto& interface : c.interfaces)
            device.FailOpen(interface.path, interface.path.starts_with("dead"));
        HidLink link(device, notices);
        link.SetDeviceChoice(DeviceChoice{c.choice});
        const bool found = !c.opened.empty();

        EXPECT_EQ(link.Open(), found);
        EXPECT_EQ(link.Transmitter().path, c.opened);
        EXPECT_EQ(link.LastOpenFailure(), c.failure);
        const std::vector<std::string> twice{c.opened, c.opened}, none;
        EXPECT_EQ(device.OpenedPaths(), found ? twice : none);
        EXPECT_EQ(Look(link, device, notices), found ? kWatching : kClosed);
        using Diagnoses = std::vector<std::pair<std::string, bool>>;
        EXPECT_EQ(notices.diagnostics, (found ? Diagnoses{} : Diagnoses{{c.diagnosis, false}}));
        EXPECT_EQ(notices.diagnosticClears, found ? 1 : 0);
        if (found) {
            ASSERT_TRUE(SendAndWait(link, notices, {kReport}).written);
            EXPECT_EQ(device.WrittenPaths(), std::vector{c.opened});
        }
        link.Close();
        EXPECT_EQ(velta::Look(link, device, notices), (Seen{false, 0, found ? 1 : 0}));
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
    EXPECT_EQ(Look(), (Seen{true, 2, 4}));
    notices.RunPosted();
    ASSERT_EQ(tap.read.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        DeviceReport expected{};
        std::copy_n(reports[i].bytes.begin(), reports[i].length, expected.begin());
        EXPECT_EQ(tap.read[i], std::make_pair(expected, reports[i].length)) << i;
    }

    // A removal after input reports is still noticed.
    UnplugAndWaitForNotice(5);
    EXPECT_EQ(Look(), (Seen{false, 1, 5}));
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

    const BatchResult result = SendAndWait(link, notices, {kReport});
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(result.droppedLink);  // the write handle's own failure
    EXPECT_EQ(Look(), (Seen{false, 0, 2}));
}

// The read handle refused after the write handle opened: the same diagnosis as a refused write
// handle, not a bare read error, and nothing left open.
TEST_F(HidLinkTest, ReadHandleRefusedIsDiagnosedLikeTheWriteHandle) {
    for (const int error : {EACCES, EBUSY}) {
        SCOPED_TRACE(error);
        FailNthOpen transport(device, 2, error);
        FakeNotices seen;
        HidLink secondFails(transport, seen, wait);
        EXPECT_FALSE(secondFails.Open());
        EXPECT_EQ(velta::Look(secondFails, device, seen), kClosed);
        ASSERT_EQ(seen.diagnostics.size(), 1u);
        EXPECT_TRUE(seen.diagnostics[0].first.starts_with("found sim:transmitter but cannot open"))
            << seen.diagnostics[0].first;
        EXPECT_EQ(seen.diagnostics[0].second, error == EACCES);
    }
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
    EXPECT_EQ(Look(), (Seen{true, 2, 2}));

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
        bool answered = false;
        if (unplugged) {
            device.SendInputReport();
            ASSERT_TRUE(notices.WaitForPosted(1));
            device.Unplug();
            ASSERT_TRUE(notices.WaitForPosted(2));
            doomed->Send({kReport}, [&](const BatchResult&) { answered = true; });
            ASSERT_TRUE(notices.WaitForPosted(3));
        }
        doomed.reset();
        EXPECT_FALSE(device.ReadPending());
        EXPECT_EQ(device.OpenHandleCount(), 0);
        EXPECT_EQ(notices.PostedCount(), unplugged ? 3 : 0);
        notices.RunPosted();  // notices run after the link is gone are harmless and show nothing
        EXPECT_TRUE(notices.statusTexts.empty());
        EXPECT_TRUE(tap.read.empty());
        EXPECT_TRUE(tap.written.empty());
        EXPECT_FALSE(answered);
    }
}

TEST_F(HidLinkTest, SendBeforeOpenAndCloseNeverOpenedOrTwice) {
    RecordingTap tap;
    link.SetTap(&tap);
    const BatchResult result = SendAndWait(link, notices, {kReport});
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.droppedLink);  // there was no link to drop
    EXPECT_EQ(Look(), (Seen{false, 0, 1}));
    EXPECT_EQ(tap.written, (Written{{kReport, false}}));
    link.Close();
    link.Close();
    EXPECT_FALSE(link.IsConnected());
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
    link.Close();
    link.Close();
    EXPECT_EQ(Look(), (Seen{false, 0, 1}));
    EXPECT_FALSE(device.ReadPending());
}

TEST_F(HidLinkTest, FailedWriteLeavesTheReaderAlone) {
    OpenAndWatch();
    device.FailAllWrites(true);
    bool connectedWhenAnswered = true;
    std::optional<BatchResult> answer;
    link.Send({kReport}, [&](const BatchResult& result) {
        connectedWhenAnswered = link.IsConnected();
        answer = result;
    });
    // Down from the moment the writer gave up, before the answer reaches the UI thread.
    ASSERT_TRUE(WaitUntil([&] { return !link.IsConnected(); }));
    ASSERT_TRUE(notices.WaitForPosted(1));
    notices.RunPosted();
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->written);
    EXPECT_TRUE(answer->droppedLink);
    EXPECT_FALSE(connectedWhenAnswered);
    EXPECT_EQ(Look(), (Seen{false, 1, 1}));
    EXPECT_TRUE(device.ReadPending());

    // Each later batch fails on its own, without the device.
    device.FailAllWrites(false);
    const BatchResult later = SendAndWait(link, notices, {kReport});
    EXPECT_FALSE(later.written);
    EXPECT_FALSE(later.droppedLink);
    EXPECT_TRUE(device.WrittenReports().empty());

    // Removal after the write failure: the read error still arrives, nothing is left open.
    UnplugAndWaitForNotice(3);
    ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    EXPECT_FALSE(link.IsConnected());
}

// Every way a write can go wrong ends the same: the batch is answered once as failed and as the
// one that took the link down, the tap sees the written report, the failed one and the one after
// it, the reader keeps watching, and the write handle is released once its write returns.
TEST_F(HidLinkTest, WriteFailuresOfEveryKind) {
    enum class Fault { Refused, Short, Stalled, InterruptedPastTheDeadline };
    for (Fault fault :
         {Fault::Refused, Fault::Short, Fault::Stalled, Fault::InterruptedPastTheDeadline}) {
        SCOPED_TRACE(static_cast<int>(fault));
        SimulatedTransmitter device;
        FakeNotices notices;
        ControlledWait wait;
        wait.expired = [&] { return device.StalledWrites() > 0; };
        HidLink link(device, notices, wait);
        RecordingTap tap;
        link.SetTap(&tap);
        ASSERT_TRUE(link.Open());
        device.FailWriteNumber(fault == Fault::Refused ? 2 : 0);
        device.ShortWrites(fault == Fault::Short);
        device.StallWrites(fault == Fault::Stalled);
        if (fault == Fault::InterruptedPastTheDeadline) {
            device.FailWriteNumber(0);
            device.InterruptWrites(1, EINTR);  // retried and written
        }

        const BatchResult first = SendAndWait(link, notices, {kOtherReport, kReport});
        if (fault == Fault::InterruptedPastTheDeadline) {
            // The first report went through its interruption; now the device would block
            // for good: retried until the report's deadline, then given up.
            EXPECT_TRUE(first.written);
            device.InterruptWrites(1'000'000, EAGAIN);
            const BatchResult blocked = SendAndWait(link, notices, {kReport});
            EXPECT_FALSE(blocked.written);
            EXPECT_TRUE(blocked.droppedLink);
            EXPECT_EQ(tap.written,
                      (Written{{kOtherReport, true}, {kReport, true}, {kReport, false}}));
        } else {
            EXPECT_FALSE(first.written);
            EXPECT_TRUE(first.droppedLink);
            const bool firstWent = fault == Fault::Refused;
            EXPECT_EQ(tap.written, (Written{{kOtherReport, firstWent}, {kReport, false}}));
        }
        EXPECT_EQ(wait.expiries, fault == Fault::Stalled ? 1 : 0);
        EXPECT_FALSE(link.IsConnected());
        const BatchResult after = SendAndWait(link, notices, {kOtherReport});
        EXPECT_FALSE(after.written);
        EXPECT_FALSE(after.droppedLink);
        ASSERT_TRUE(WaitUntil([&] { return device.ReadPending(); }));
        // The stuck write still holds its handle; it is closed only when the write returns.
        EXPECT_EQ(device.OpenHandleCount(), fault == Fault::Stalled ? 2 : 1);
        device.StallWrites(false);
        ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 1; }));
        // The stuck write landed after all, but never the report queued behind it.
        const std::size_t landed = fault == Fault::Refused || fault == Fault::Stalled ? 1 : 0;
        EXPECT_EQ(device.WrittenReports().size(),
                  fault == Fault::InterruptedPastTheDeadline ? 2u : landed);
    }
}

// Commands queue behind each other and never wait for the device: Send returns while the device
// holds a write, every batch is answered exactly once and in order, and the device gets the
// reports in the order they were sent.
TEST_F(HidLinkTest, BatchesGoOutInOrderAndEachIsAnsweredOnce) {
    RecordingTap tap;
    link.SetTap(&tap);
    OpenAndWatch();
    device.StallWrites(true);
    std::vector<int> answers;
    const std::vector<ReportBatch> batches = {
        {kReport, kOtherReport}, {kOtherReport}, {}, {kReport, kReport, kOtherReport}};
    for (std::size_t i = 0; i < batches.size(); ++i) {
        link.Send(batches[i], [&answers, i](const BatchResult& result) {
            EXPECT_TRUE(result.written);
            answers.push_back(static_cast<int>(i));
        });
    }
    ASSERT_TRUE(WaitUntil([&] { return device.StalledWrites() == 1; }));  // all sent, none out
    EXPECT_TRUE(answers.empty());
    device.StallWrites(false);
    ASSERT_TRUE(notices.WaitForPosted(4));
    notices.RunPosted();
    EXPECT_EQ(answers, (std::vector<int>{0, 1, 2, 3}));
    std::vector<DeviceReport> all;
    for (const ReportBatch& batch : batches)
        all.insert(all.end(), batch.begin(), batch.end());
    EXPECT_EQ(device.WrittenReports(), all);
    ASSERT_EQ(tap.written.size(), all.size());

    // Close with batches still queued answers each, in order, as failed; nothing more goes out.
    answers.clear();
    device.StallWrites(true);
    for (int i = 0; i < 3; ++i) {
        link.Send({kReport}, [&answers, i](const BatchResult& result) {
            EXPECT_FALSE(result.written);
            EXPECT_FALSE(result.droppedLink);  // closed, not failed
            EXPECT_TRUE(result.closed);
            answers.push_back(i);
        });
    }
    ASSERT_TRUE(WaitUntil([&] { return device.StalledWrites() == 1; }));
    link.Close();
    notices.RunPosted();
    EXPECT_EQ(answers, (std::vector<int>{0, 1, 2}));
    device.StallWrites(false);
    ASSERT_TRUE(WaitUntil([&] { return device.OpenHandleCount() == 0; }));
    EXPECT_EQ(device.WrittenReports().size(), all.size() + 1);  // the one in the device landed
}

// A report given up at its deadline still lands when the device lets it go. A link opened on the
// same path meanwhile holds its own reports back until then, so the display never ends with the
// given-up report on top of newer ones.
TEST_F(HidLinkTest, AGivenUpWriteLandsBeforeTheNewLinksReports) {
    std::atomic<bool> expire{false};
    wait.expired = [&] { return expire.load(); };
    OpenAndWatch();
    device.StallNextWrite();
    std::optional<BatchResult> old;
    link.Send({kReport}, [&](const BatchResult& result) { old = result; });
    ASSERT_TRUE(WaitUntil([&] { return device.StalledWrites() == 1; }));
    expire = true;
    ASSERT_TRUE(WaitUntil([&] { return !link.IsConnected(); }));
    expire = false;
    ASSERT_TRUE(link.Open());  // a new write handle on the same path
    std::optional<BatchResult> fresh;
    link.Send({kOtherReport}, [&](const BatchResult& result) { fresh = result; });
    // Time for the new report to overtake the old one, were it let through.
    WaitUntil([&] { return !device.WrittenReports().empty(); }, std::chrono::milliseconds(100));
    device.StallWrites(false);
    EXPECT_TRUE(WaitUntil([&] {
        notices.RunPosted();
        return fresh.has_value();
    }));
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->written);
    EXPECT_TRUE(old->droppedLink);
    EXPECT_TRUE(fresh->written);
    EXPECT_EQ(device.WrittenReports(), (std::vector{kReport, kOtherReport}));
    EXPECT_TRUE(link.IsConnected());
}

// The simulated transmitter keeps the latest reports and counts them all, so a long run (velta
// play --loop, the window with --simulate) holds a bounded record; printing what is new goes by
// the count, not by a place in the record.
TEST_F(HidLinkTest, TheSimulatedRecordIsBounded) {
    ASSERT_TRUE(link.Open());
    const std::size_t limit = SimulatedTransmitter::kRecordLimit;
    ReportBatch batch;
    for (std::size_t i = 0; i < limit + 5; ++i)
        batch.push_back(
            DeviceReport{0, 0x11, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)});
    ASSERT_TRUE(SendAndWait(link, notices, batch).written);
    EXPECT_EQ(device.WrittenTotal(), limit + 5);
    const std::vector<DeviceReport> kept = device.WrittenReports();
    ASSERT_EQ(kept.size(), limit);
    EXPECT_EQ(kept.front(), batch[5]);
    EXPECT_EQ(kept.back(), batch.back());
    std::uint64_t printed = limit;
    EXPECT_EQ(device.WrittenSince(printed), (std::vector(batch.end() - 5, batch.end())));
    EXPECT_EQ(printed, limit + 5);
    std::uint64_t fromStart = 0;  // what left the record is not there
    EXPECT_EQ(device.WrittenSince(fromStart).size(), limit);
    device.ClearRecord();
    EXPECT_TRUE(device.WrittenReports().empty());
    EXPECT_TRUE(device.WrittenSince(printed).empty());
    EXPECT_EQ(device.WrittenTotal(), limit + 5);
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
        EXPECT_FALSE(SendAndWait(*link, notices, {kReport}).written);
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
