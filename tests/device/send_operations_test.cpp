#include "device/send_operations.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "device/simulated_transmitter.h"
#include "expected_report.h"
#include "fake_notices.h"

namespace velta {
namespace {

using testing::Expected;

TEST(SendOperationsTest, EachSendWritesThePanelAsItStandsNow) {
    struct Case {
        const char* name;
        std::function<void(PanelState&)> setup;
        std::function<void(PanelState&, HidLink&)> send;
        std::vector<DeviceReport> written;
        bool connected = true;  // before the send
        int failingWrite = 0;
        int errors = 0;
    };
    const auto text = [](bool rfMode, const char* text) {
        return [=](PanelState& p) {
            p.SetRfMode(rfMode);
            p.SetScrollText(text);
        };
    };
    const auto none = [](PanelState&) {};
    const Case cases[] = {
        {"grid, then tail from the current cells",
         [](PanelState& p) {
             p.SetCell(0, 31, true);   // tail: byte 1 bit 0
             p.SetCell(11, 31, true);  // tail: byte 2 bit 3
             p.SetCell(9, 20, true);   // grid: byte 44 bit 1, repeated in the tail
             p.SetCell(2, 3, true);    // grid: byte 9 bit 2, cleared in the tail
         },
         SendGrid,
         {Expected({{1, 0x11}, {9, 0x04}, {44, 0x02}}),
          Expected({{1, 0x01}, {2, 0x08}, {44, 0x02}})}},
        {"pods",
         [](PanelState& p) {
             p.SetPodColor(0, MakeColor(1, 2, 3));
         },
         SendPods,
         {Expected({{1, 0x12}, {3, 1}, {4, 2}, {5, 3}})}},
        {"rings",
         [](PanelState& p) {
             p.SetRingOn(1, true);
             p.SetRingLevel(0x234);
             p.SetScrollSpeed(4);
             p.SetGridBrightness(9);
         },
         SendRings,
         {Expected({{1, 0x13}, {5, 0x34}, {6, 0x02}, {27, 4}, {28, 9}})}},
        {"rf on", none, [](PanelState&, HidLink& l) { SendRfOn(l); }, {Expected({{1, 0xF0}})}},
        {"rf off", none, [](PanelState&, HidLink& l) { SendRfOff(l); }, {Expected({{1, 0xF1}})}},
        {"text", text(true, "Hi"), SendText, {Expected({{1, 0x14}, {3, 'H'}, {4, 'i'}})}},
        // A skipped text send shows nothing.
        {"text with rf mode off", text(false, "Hi"), SendText, {}},
        {"empty text", text(true, ""), SendText, {}},
        {"text while not connected", text(true, "Hi"), SendText, {}, false},
        {"rf on while not connected is one reported failure",
         none,
         [](PanelState&, HidLink& l) { SendRfOn(l); },
         {},
         false,
         0,
         1},
        // Every report of a send is attempted; once a write fails the link has no write handle,
        // so the tail fails as well.
        {"grid report fails", none, SendGrid, {}, true, 1, 2},
        {"tail report fails", none, SendGrid, {Expected({{1, 0x11}})}, true, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedTransmitter device;
        testing::FakeNotices notices;
        PanelState panel;
        HidLink link{device, notices};
        if (c.connected) {
            ASSERT_TRUE(link.Open());
        }
        device.FailWriteNumber(c.failingWrite);
        c.setup(panel);
        c.send(panel, link);
        EXPECT_EQ(device.WrittenReports(), c.written);
        EXPECT_EQ(notices.writeErrors, c.errors);
        EXPECT_EQ(link.IsConnected(), c.connected && c.errors == 0);
    }
}

}  // namespace
}  // namespace velta
