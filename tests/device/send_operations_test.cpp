#include "device/send_operations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/simulated_transmitter.h"
#include "fake_notices.h"

namespace velta {
namespace {

class SendOperationsTest : public ::testing::Test {
  protected:
    void Connect() {
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(link.IsConnected());
    }
    std::vector<DeviceReport> Written() const { return device.WrittenReports(); }

    SimulatedTransmitter device;
    testing::FakeNotices notices;
    PanelState panel;
    HidLink link{device, notices};
};

TEST_F(SendOperationsTest, GridSendsGridThenTailFromTheCurrentCells) {
    Connect();
    panel.PackLedData();          // an earlier pack of an empty grid must not be what is sent
    panel.SetCell(0, 31, true);   // tail: byte 1 bit 0
    panel.SetCell(11, 31, true);  // tail: byte 2 bit 3
    panel.SetCell(9, 20, true);   // grid: byte 44 bit 1, repeated in the tail
    panel.SetCell(2, 3, true);    // grid: byte 9 bit 2, cleared in the tail
    SendGrid(panel, link);

    const auto reports = Written();
    ASSERT_EQ(reports.size(), 2u);
    DeviceReport grid{};
    grid[1] = 0x11;
    grid[9] = 0x04;
    grid[44] = 0x02;
    EXPECT_EQ(reports[0], grid);
    DeviceReport tail{};
    tail[1] = 0x01;
    tail[2] = 0x08;
    tail[44] = 0x02;
    EXPECT_EQ(reports[1], tail);
    EXPECT_EQ(notices.writeErrors, 0);
}

TEST_F(SendOperationsTest, PodsAndRingsPackAfresh) {
    Connect();
    panel.PackRgbData();
    panel.PackRingData();
    panel.SetPodColor(0, MakeColor(1, 2, 3));
    panel.SetRingOn(1, true);
    panel.SetRingLevel(0x234);
    panel.SetScrollSpeed(4);
    panel.SetGridBrightness(9);
    SendPods(panel, link);
    SendRings(panel, link);

    const auto reports = Written();
    ASSERT_EQ(reports.size(), 2u);
    DeviceReport pods{};
    pods[1] = 0x12;
    pods[3] = 1;
    pods[4] = 2;
    pods[5] = 3;
    EXPECT_EQ(reports[0], pods);
    DeviceReport rings{};
    rings[1] = 0x13;
    rings[5] = 0x34;
    rings[6] = 0x02;
    rings[27] = 4;
    rings[28] = 9;
    EXPECT_EQ(reports[1], rings);
}

TEST_F(SendOperationsTest, TextOnlyWithRfModeConnectionAndText) {
    struct Case {
        const char* name;
        int rfMode;
        bool connected;
        std::string text;
        bool sent;
    };
    const std::vector<Case> cases = {
        {"all conditions met", 1, true, "Hi", true},
        {"rf mode off", 0, true, "Hi", false},
        {"not connected", 1, false, "Hi", false},
        {"empty text", 1, true, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.connected) {
            ASSERT_TRUE(link.Open());
        } else {
            link.Close();
        }
        device.ClearRecord();
        panel.SetRfMode(c.rfMode);
        panel.SetScrollText(c.text);
        SendText(panel, link);
        const auto reports = Written();
        if (c.sent) {
            ASSERT_EQ(reports.size(), 1u);
            DeviceReport expected{};
            expected[1] = 0x14;
            expected[3] = 'H';
            expected[4] = 'i';
            EXPECT_EQ(reports[0], expected);
        } else {
            EXPECT_TRUE(reports.empty());
        }
    }
    EXPECT_EQ(notices.writeErrors, 0);  // a skipped text send shows nothing
}

TEST_F(SendOperationsTest, RfCommands) {
    Connect();
    SendRfOn(link);
    SendRfOff(link);
    const auto reports = Written();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0][1], 0xF0);
    EXPECT_EQ(reports[1][1], 0xF1);
}

TEST_F(SendOperationsTest, RfOnWithoutLinkIsOneReportedFailure) {
    SendRfOn(link);
    EXPECT_EQ(notices.writeErrors, 1);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(Written().empty());
}

TEST_F(SendOperationsTest, EveryReportOfAGridSendIsAttempted) {
    struct Case {
        const char* name;
        int failingWrite;
        std::size_t accepted;
        int errors;
    };
    // Once a write fails the link has no write handle, so the tail fails as well.
    const std::vector<Case> cases = {
        {"grid report fails", 1, 0, 2},
        {"tail report fails", 2, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connect();
        device.ClearRecord();
        notices.writeErrors = 0;
        device.FailWriteNumber(c.failingWrite);
        SendGrid(panel, link);
        EXPECT_EQ(Written().size(), c.accepted);
        EXPECT_EQ(notices.writeErrors, c.errors);
        EXPECT_FALSE(link.IsConnected());
    }
}

}  // namespace
}  // namespace velta
