// The link's hand-off to a Qt event loop, as the window does it: the reader thread posts read
// errors and input reports, the writer thread each batch's answer, through a queued invocation,
// and the loop's thread runs them. Built under ThreadSanitizer by scripts/test-sanitizers.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/hid_link.h"
#include "device/simulated_transmitter.h"

namespace velta {
namespace {

// The window's side of the link, reduced to what crosses threads.
class QueuedNotices : public QObject, public LinkNotices, public ReportTap {
  public:
    std::vector<std::string> statusTexts;
    std::vector<std::pair<DeviceReport, std::size_t>> read;
    std::vector<std::pair<DeviceReport, bool>> written;
    int writeErrors = 0;

    void ShowWriteError() override { ++writeErrors; }
    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void PostToUiThread(std::function<void()> task) override {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    }
    void OnReportWritten(const DeviceReport& report, bool ok) override {
        written.emplace_back(report, ok);
    }
    void OnReportRead(const DeviceReport& report, std::size_t length) override {
        read.emplace_back(report, length);
    }
};

// Runs the event loop until `done` holds; a generous bound instead of hanging the run.
template <typename Predicate>
bool SpinUntil(Predicate done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class LinkOnQtLoop : public ::testing::Test {
  protected:
    int argc = 1;
    char name[16] = "link_qt_test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    SimulatedTransmitter device;
};

TEST_F(LinkOnQtLoop, InputReportsThenRemovalArriveInOrderOnTheLoopThread) {
    QueuedNotices notices;
    HidLink link(device, notices);
    link.SetTap(&notices);
    ASSERT_TRUE(link.Open());
    constexpr int kReports = 200;
    for (int i = 0; i < kReports; ++i)
        device.SendInputReport({static_cast<std::uint8_t>(i), 1, 2});
    ASSERT_TRUE(SpinUntil([&] { return notices.read.size() == kReports; }));
    for (int i = 0; i < kReports; ++i) {
        EXPECT_EQ(notices.read[i].first[0], static_cast<std::uint8_t>(i));
        EXPECT_EQ(notices.read[i].second, 3u);
    }
    // Batches sent from the loop's thread are answered on it, in order.
    std::vector<int> answers;
    for (int i = 0; i < kReports; ++i) {
        link.Send({DeviceReport{0, static_cast<std::uint8_t>(i)}, DeviceReport{0, 0x12}},
                  [&answers, i](const BatchResult& result) {
                      EXPECT_TRUE(result.written);
                      answers.push_back(i);
                  });
    }
    ASSERT_TRUE(SpinUntil([&] { return answers.size() == kReports; }));
    for (int i = 0; i < kReports; ++i) {
        EXPECT_EQ(answers[i], i);
        EXPECT_EQ(notices.written[2 * i].first[1], static_cast<std::uint8_t>(i));
    }

    device.Unplug();
    ASSERT_TRUE(SpinUntil([&] { return !notices.statusTexts.empty(); }));
    EXPECT_EQ(notices.statusTexts, std::vector<std::string>{std::string(kTextReadError)});
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(LinkOnQtLoop, WorkQueuedForALinkThatIsGoneIsDropped) {
    QueuedNotices notices;
    {
        HidLink link(device, notices);
        link.SetTap(&notices);
        ASSERT_TRUE(link.Open());
        for (int i = 0; i < 50; ++i)
            device.SendInputReport({1});
        device.Unplug();
        // Let the reader post everything without running the loop, then destroy the link with
        // the work still queued.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (device.OpenHandleCount() != 1 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(device.OpenHandleCount(), 1);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(notices.statusTexts.empty());
    EXPECT_TRUE(notices.read.empty());
}

TEST_F(LinkOnQtLoop, ReopenedLinkIgnoresTheOldReadersNotices) {
    QueuedNotices notices;
    HidLink link(device, notices);
    for (int round = 0; round < 20; ++round) {
        device.SetInterfaces({SimulatedTransmitter::TransmitterInterface()});
        ASSERT_TRUE(link.Open());
        device.Unplug();
        ASSERT_TRUE(SpinUntil([&] { return !link.IsConnected(); }));
    }
    // Each round's read error ran before the next open or was dropped by it.
    ASSERT_TRUE(SpinUntil([&] { return !notices.statusTexts.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_LE(notices.statusTexts.size(), 20u);
}

}  // namespace
}  // namespace velta
