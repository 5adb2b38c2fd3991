#include "model/panel_content.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/model/random_panel.h"

namespace velta {
namespace {

// Every notification the window would get, in order, as text.
struct Log : PanelObserver {
    std::vector<std::string> calls;
    void OnCellWritten(int i, bool on) override { Add("cell " + std::to_string(i), on); }
    void OnPodMarkWritten(int p, bool on) override { Add("mark " + std::to_string(p), on); }
    void OnRingWritten(int r, bool on) override { Add("ring " + std::to_string(r), on); }
    void OnPodLedColorsChanged(int p, Color on, Color off) override {
        calls.push_back("pod led " + std::to_string(p) + " " + std::to_string(on) + "/" +
                        std::to_string(off));
    }
    void OnFieldChanged(PanelField f) override {
        calls.push_back("field " + std::to_string(static_cast<int>(f)));
    }
    void Add(const std::string& what, bool on) { calls.push_back(what + (on ? " on" : " off")); }
};

std::string Field(PanelField f) {
    return "field " + std::to_string(static_cast<int>(f));
}

// Applying writes each difference once and nothing else, so the window repaints only what
// changed and Auto Update sees the change.
TEST(ApplyContent, WritesExactlyWhatDiffers) {
    struct Case {
        const char* name;
        std::function<void(PanelContent&)> change;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"nothing", [](PanelContent&) {}, {}},
        {"three cells",
         [](PanelContent& c) {
             c.cells[0] = true;
             c.cells[200] = true;
             c.cells[383] = true;
         },
         {"cell 0 on", "cell 200 on", "cell 383 on"}},
        {"a pod colour shows on its LED",
         [](PanelContent& c) { c.pods[19] = MakeColor(0x12, 0x34, 0x56); },
         {"pod led 19 16777215/" + std::to_string(MakeColor(0x12, 0x34, 0x56))}},
        {"a ring", [](PanelContent& c) { c.rings[11] = true; }, {"ring 11 on"}},
        {"sliders",
         [](PanelContent& c) {
             c.ringLevel = 7;
             c.gridBrightness = 3;
             c.scrollSpeed = 0;
         },
         {Field(PanelField::RingLevel), Field(PanelField::GridBrightness),
          Field(PanelField::ScrollSpeed)}},
        {"text", [](PanelContent& c) { c.text = "Hi"; }, {Field(PanelField::ScrollText)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState panel;
        Log log;
        panel.SetObserver(&log);
        PanelContent content = CaptureContent(panel);
        c.change(content);
        ApplyContent(panel, content);
        EXPECT_EQ(log.calls, c.expected);
        EXPECT_EQ(CaptureContent(panel), content);
    }
}

// A colouring whose tick has not run yet leaves the LED behind its pod; applying the same
// colour still brings the LED in line, and that is the only write.
TEST(ApplyContent, BringsALaggingPodLedInLine) {
    PanelState panel;
    panel.SetPodColor(4, 0x00FF00);
    Log log;
    panel.SetObserver(&log);
    ApplyContent(panel, CaptureContent(panel));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"pod led 4 16777215/65280"}));
    EXPECT_EQ(panel.PodLedColors(4).off, 0x00FF00u);
}

TEST(ApplyContent, CaptureThenApplyCopiesAnyPanel) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        PanelState source;
        PanelState target;
        testing::RandomPanel(source, rng);
        testing::RandomPanel(target, rng);
        ApplyContent(target, CaptureContent(source));
        EXPECT_EQ(CaptureContent(target), CaptureContent(source));
    }
}

}  // namespace
}  // namespace velta
