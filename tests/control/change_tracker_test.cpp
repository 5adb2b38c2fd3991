#include "control/change_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace velta {
namespace {

using Edit = std::function<void(PanelState&)>;
using B = FeatureBox;

const std::vector<FeatureBox> kAllBoxes = {B::LedGrid,        B::RgbPods,        B::LedRings,
                                           B::GridBrightness, B::RingBrightness, B::ScrollingText};

// Checks exactly the given boxes; all of them puts the brightness and text bits in the mask too.
void Check(PanelState& panel, const std::vector<FeatureBox>& boxes = kAllBoxes) {
    for (FeatureBox box : kAllBoxes)
        panel.SetFeature(box, std::find(boxes.begin(), boxes.end(), box) != boxes.end());
}

// Each edit is looked at twice: as the first look of a tracker on a panel whose sliders are at 0
// (so it compares against the zero snapshots), and after a look that settled the default panel.
TEST(ChangeTracker, ReportsWhatChangedSinceTheLastLook) {
    struct Case {
        const char* name;
        Edit edit;
        FeatureMask fromZero, fromSettled;
    };
    const Case cases[] = {
        {"nothing", [](PanelState&) {}, 0x00, 0x00},
        {"sliders at their defaults",
         [](PanelState& p) { p.SetGridBrightness(15), p.SetScrollSpeed(15); }, 0x04, 0x00},
        {"grid brightness 1", [](PanelState& p) { p.SetGridBrightness(1); }, 0x04, 0x04},
        {"grid brightness 0", [](PanelState& p) { p.SetGridBrightness(0); }, 0x00, 0x04},
        {"scroll speed 3", [](PanelState& p) { p.SetScrollSpeed(3); }, 0x04, 0x04},
        {"first grid word", [](PanelState& p) { p.SetCell(0, 0, true); }, 0x01, 0x01},
        {"last grid word", [](PanelState& p) { p.SetCell(11, 31, true); }, 0x01, 0x01},
        {"cell on and off again",
         [](PanelState& p) { p.SetCell(5, 5, true), p.SetCell(5, 5, false); }, 0x00, 0x00},
        {"first pod byte", [](PanelState& p) { p.SetPodColor(0, 0x000001); }, 0x02, 0x02},
        {"last pod byte", [](PanelState& p) { p.SetPodColor(19, 0x800000); }, 0x02, 0x02},
        {"black pod", [](PanelState& p) { p.SetPodColor(3, 0); }, 0x00, 0x00},
        {"pod marks are not data", [](PanelState& p) { p.SetPodMark(2, true); }, 0x00, 0x00},
        {"last ring", [](PanelState& p) { p.SetRingOn(11, true); }, 0x04, 0x04},
        {"ring on at level 0", [](PanelState& p) { p.SetRingLevel(0), p.SetRingOn(4, true); }, 0x00,
         0x00},
        {"level while all rings off", [](PanelState& p) { p.SetRingLevel(100); }, 0x00, 0x00},
        {"scrolling text", [](PanelState& p) { p.SetScrollText("abc"); }, 0x00, 0x00},
        {"grid and pods", [](PanelState& p) { p.SetCell(1, 1, true), p.SetPodColor(1, 0x00FF00); },
         0x03, 0x03},
        {"all three",
         [](PanelState& p) {
             p.SetCell(1, 1, true), p.SetPodColor(1, 0x00FF00), p.SetRingOn(0, true);
         },
         0x07, 0x07},
    };
    for (const auto& test : cases) {
        for (const bool settled : {false, true}) {
            SCOPED_TRACE(::testing::Message() << test.name << (settled ? " (settled)" : ""));
            PanelState panel;
            Check(panel);
            if (!settled) {
                panel.SetGridBrightness(0);
                panel.SetScrollSpeed(0);
            }
            ChangeTracker tracker(panel);
            if (settled)
                tracker.DetectChanges();
            test.edit(panel);
            EXPECT_EQ(tracker.DetectChanges(), settled ? test.fromSettled : test.fromZero);
            EXPECT_EQ(tracker.DetectChanges(), 0u) << "second look";
        }
    }
}

// A difference early in the data must not cut the snapshot copy short.
TEST(ChangeTracker, ChangesAtBothEndsAreAllTakenIntoTheSnapshot) {
    struct Case {
        const char* name;
        Edit edit;
        Edit undoFirst;  // reverts only the early change
        FeatureMask want;
    };
    const Case cases[] = {
        {"grid words 0 and 31",
         [](PanelState& p) { p.SetCell(0, 0, true), p.SetCell(0, 31, true); },
         [](PanelState& p) { p.SetCell(0, 0, false); }, 0x01},
        {"pod bytes 0 and 59",
         [](PanelState& p) { p.SetPodColor(0, 0x000001), p.SetPodColor(19, 0x010000); },
         [](PanelState& p) { p.SetPodColor(0, 0); }, 0x02},
        {"ring bytes 0 and 23", [](PanelState& p) { p.SetRingOn(0, true), p.SetRingOn(11, true); },
         [](PanelState& p) { p.SetRingOn(0, false); }, 0x04},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        PanelState panel;
        Check(panel);
        ChangeTracker tracker(panel);
        tracker.DetectChanges();
        test.edit(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want);
        test.undoFirst(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want) << "undo";
        EXPECT_EQ(tracker.DetectChanges(), 0u) << "settled";
    }
}

TEST(ChangeTracker, UncheckedFeaturesKeepTheirSnapshots) {
    PanelState panel;
    ChangeTracker tracker(panel);
    // Nothing checked: nothing is examined, whatever changes.
    panel.SetCell(3, 3, true);
    panel.SetPodColor(3, 0x123456);
    panel.SetRingOn(3, true);
    EXPECT_EQ(tracker.DetectChanges(), 0u);
    // Each feature, checked on its own later, still compares against the zero snapshot.
    for (auto [box, want] :
         {std::pair{B::LedGrid, 0x01u}, {B::RgbPods, 0x02u}, {B::LedRings, 0x04u}}) {
        Check(panel, {box});
        EXPECT_EQ(tracker.DetectChanges(), want);
    }
    Check(panel, {B::ScrollingText, B::GridBrightness, B::RingBrightness});
    panel.SetScrollText("changed");
    EXPECT_EQ(tracker.DetectChanges(), 0u);
}

TEST(ChangeTracker, SlidersMovedWhileRingsAreUncheckedCompareWithTheLastRingLook) {
    struct Case {
        const char* name;
        int speedWhileUnchecked, speedAtRecheck;
        FeatureMask want;
    };
    for (const Case& test :
         {Case{"moved and left", 4, 4, 0x04}, Case{"moved and moved back", 4, 15, 0x00}}) {
        SCOPED_TRACE(test.name);
        PanelState panel;
        Check(panel, {B::LedRings});
        ChangeTracker tracker(panel);
        tracker.DetectChanges();  // sees speed 15
        Check(panel, {B::LedGrid});
        panel.SetScrollSpeed(test.speedWhileUnchecked);
        EXPECT_EQ(tracker.DetectChanges(), 0u);
        panel.SetScrollSpeed(test.speedAtRecheck);
        Check(panel, {B::LedRings});
        EXPECT_EQ(tracker.DetectChanges(), test.want);
    }
}

}  // namespace
}  // namespace velta
