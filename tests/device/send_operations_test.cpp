#include "device/send_operations.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "expected_report.h"

namespace velta {
namespace {

using testing::Expected;

TEST(SendOperationsTest, EachSendAddsThePanelAsItStandsNow) {
    struct Case {
        const char* name;
        std::function<void(PanelState&)> setup;
        std::function<void(PanelState&, ReportBatch&)> send;
        std::vector<DeviceReport> added;
    };
    const auto text = [](bool rfMode, const char* text) {
        return [=](PanelState& p) {
            p.SetRfMode(rfMode);
            p.SetScrollText(text);
        };
    };
    const auto connectedText = [](PanelState& p, ReportBatch& b) { SendText(p, true, b); };
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
         [](PanelState& p) { p.SetPodColor(0, MakeColor(1, 2, 3)); },
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
        {"rf on", none, [](PanelState&, ReportBatch& b) { SendRfOn(b); }, {Expected({{1, 0xF0}})}},
        {"rf off",
         none,
         [](PanelState&, ReportBatch& b) { SendRfOff(b); },
         {Expected({{1, 0xF1}})}},
        {"text", text(true, "Hi"), connectedText, {Expected({{1, 0x14}, {3, 'H'}, {4, 'i'}})}},
        {"text with rf mode off", text(false, "Hi"), connectedText, {}},
        {"empty text", text(true, ""), connectedText, {}},
        {"text while not connected",
         text(true, "Hi"),
         [](PanelState& p, ReportBatch& b) { SendText(p, false, b); },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState panel;
        c.setup(panel);
        ReportBatch batch{DeviceReport{0, 0x99}};  // added behind what the batch already holds
        c.send(panel, batch);
        std::vector<DeviceReport> expected{DeviceReport{0, 0x99}};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(batch, expected);
    }
}

}  // namespace
}  // namespace velta
