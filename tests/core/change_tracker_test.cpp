#include "core/change_tracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace velta {
namespace {

using Edit = std::function<void(PanelState&)>;

void Check(PanelState& panel, std::initializer_list<FeatureBox> boxes) {
    for (FeatureBox box :
         {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings,
          FeatureBox::GridBrightness, FeatureBox::RingBrightness, FeatureBox::ScrollingText}) {
        panel.SetFeature(box, false);
    }
    for (FeatureBox box : boxes)
        panel.SetFeature(box, true);
}

// Checks every box, so the brightness and text bits are in the mask too.
void CheckAll(PanelState& panel) {
    Check(panel,
          {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings,
           FeatureBox::GridBrightness, FeatureBox::RingBrightness, FeatureBox::ScrollingText});
}

TEST(ChangeTracker, FirstLookComparesAgainstZeroes) {
    struct Case {
        const char* name;
        int gridBrightness, scrollSpeed;
        Edit edit;
        FeatureMask want;  // all boxes checked
    };
    const Edit none = [](PanelState&) {};
    const Case cases[] = {
        {"defaults: sliders at 15 count as rings", 15, 15, none, 0x04},
        {"sliders at 0, untouched panel", 0, 0, none, 0x00},
        {"only grid brightness nonzero", 1, 0, none, 0x04},
        {"only scroll speed nonzero", 0, 3, none, 0x04},
        {"one grid cell", 0, 0, [](PanelState& p) { p.SetCell(383, true); }, 0x01},
        {"black pods are no change", 0, 0, [](PanelState& p) { p.SetPodColor(7, 0); }, 0x00},
        {"a coloured pod", 0, 0, [](PanelState& p) { p.SetPodColor(19, 0x010000); }, 0x02},
        {"ring on at a level", 0, 0, [](PanelState& p) { p.SetRingOn(11, true); }, 0x04},
        {"ring on at level 0", 0, 0,
         [](PanelState& p) {
             p.SetRingLevel(0);
             p.SetRingOn(4, true);
         },
         0x00},
        {"scrolling text", 0, 0, [](PanelState& p) { p.SetScrollText("hello"); }, 0x00},
    };
    for (const auto& test : cases) {
        PanelState panel;
        CheckAll(panel);
        panel.SetGridBrightness(test.gridBrightness);
        panel.SetScrollSpeed(test.scrollSpeed);
        test.edit(panel);
        ChangeTracker tracker(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want) << test.name;
        EXPECT_EQ(tracker.DetectChanges(), 0u) << test.name << " (second look)";
    }
}

TEST(ChangeTracker, ReportsWhatChangedSinceTheLastLook) {
    struct Case {
        const char* name;
        Edit edit;
        FeatureMask want;
    };
    const Case cases[] = {
        {"nothing", [](PanelState&) {}, 0x00},
        {"first grid word", [](PanelState& p) { p.SetCell(0, 0, true); }, 0x01},
        {"last grid word", [](PanelState& p) { p.SetCell(11, 31, true); }, 0x01},
        {"cell on and off again",
         [](PanelState& p) {
             p.SetCell(5, 5, true);
             p.SetCell(5, 5, false);
         },
         0x00},
        {"first pod byte", [](PanelState& p) { p.SetPodColor(0, 0x000001); }, 0x02},
        {"last pod byte", [](PanelState& p) { p.SetPodColor(19, 0x800000); }, 0x02},
        {"pod recoloured to the same colour", [](PanelState& p) { p.SetPodColor(3, 0); }, 0x00},
        {"last ring", [](PanelState& p) { p.SetRingOn(11, true); }, 0x04},
        {"level while all rings off", [](PanelState& p) { p.SetRingLevel(100); }, 0x00},
        {"scroll speed", [](PanelState& p) { p.SetScrollSpeed(7); }, 0x04},
        {"grid brightness", [](PanelState& p) { p.SetGridBrightness(0); }, 0x04},
        {"scrolling text", [](PanelState& p) { p.SetScrollText("abc"); }, 0x00},
        {"pod marks are not data", [](PanelState& p) { p.SetPodMark(2, true); }, 0x00},
        {"grid and pods",
         [](PanelState& p) {
             p.SetCell(1, 1, true);
             p.SetPodColor(1, 0x00FF00);
         },
         0x03},
        {"all three",
         [](PanelState& p) {
             p.SetCell(1, 1, true);
             p.SetPodColor(1, 0x00FF00);
             p.SetRingOn(0, true);
         },
         0x07},
    };
    for (const auto& test : cases) {
        PanelState panel;
        CheckAll(panel);
        ChangeTracker tracker(panel);
        tracker.DetectChanges();  // settle
        test.edit(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want) << test.name;
        EXPECT_EQ(tracker.DetectChanges(), 0u) << test.name << " (second look)";
    }
}

TEST(ChangeTracker, ChangesAtBothEndsAreAllTakenIntoTheSnapshot) {
    // A difference early in the data must not cut the copy short.
    struct Case {
        const char* name;
        Edit edit;
        Edit undoFirst;  // reverts only the early change
        FeatureMask want;
    };
    const Case cases[] = {
        {"grid words 0 and 31",
         [](PanelState& p) {
             p.SetCell(0, 0, true);
             p.SetCell(0, 31, true);
         },
         [](PanelState& p) { p.SetCell(0, 0, false); }, 0x01},
        {"pod bytes 0 and 59",
         [](PanelState& p) {
             p.SetPodColor(0, 0x000001);
             p.SetPodColor(19, 0x010000);
         },
         [](PanelState& p) { p.SetPodColor(0, 0); }, 0x02},
        {"ring bytes 0 and 23",
         [](PanelState& p) {
             p.SetRingOn(0, true);
             p.SetRingOn(11, true);
         },
         [](PanelState& p) { p.SetRingOn(0, false); }, 0x04},
    };
    for (const auto& test : cases) {
        PanelState panel;
        CheckAll(panel);
        ChangeTracker tracker(panel);
        tracker.DetectChanges();
        test.edit(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want) << test.name;
        test.undoFirst(panel);
        EXPECT_EQ(tracker.DetectChanges(), test.want) << test.name << " (undo)";
        EXPECT_EQ(tracker.DetectChanges(), 0u) << test.name << " (settled)";
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
    Check(panel, {FeatureBox::LedGrid});
    EXPECT_EQ(tracker.DetectChanges(), 0x01u);
    Check(panel, {FeatureBox::RgbPods});
    EXPECT_EQ(tracker.DetectChanges(), 0x02u);
    Check(panel, {FeatureBox::LedRings});
    EXPECT_EQ(tracker.DetectChanges(), 0x04u);
    Check(panel,
          {FeatureBox::ScrollingText, FeatureBox::GridBrightness, FeatureBox::RingBrightness});
    panel.SetScrollText("changed");
    EXPECT_EQ(tracker.DetectChanges(), 0u);
}

TEST(ChangeTracker, SlidersMovedWhileRingsAreUncheckedCompareWithTheLastRingLook) {
    struct Case {
        const char* name;
        int speedWhileUnchecked;
        int speedAtRecheck;
        FeatureMask want;
    };
    const Case cases[] = {
        {"moved and left", 4, 4, 0x04},
        {"moved and moved back", 4, 15, 0x00},
    };
    for (const auto& test : cases) {
        PanelState panel;
        Check(panel, {FeatureBox::LedRings});
        ChangeTracker tracker(panel);
        tracker.DetectChanges();  // sees speed 15

        Check(panel, {FeatureBox::LedGrid});
        panel.SetScrollSpeed(test.speedWhileUnchecked);
        EXPECT_EQ(tracker.DetectChanges(), 0u) << test.name;

        panel.SetScrollSpeed(test.speedAtRecheck);
        Check(panel, {FeatureBox::LedRings});
        EXPECT_EQ(tracker.DetectChanges(), test.want) << test.name;
    }
}

TEST(ChangeTracker, LeavesTheExaminedArraysPacked) {
    PanelState panel;
    CheckAll(panel);
    ChangeTracker tracker(panel);
    panel.SetCell(11, 0, true);
    panel.SetPodColor(1, 0x0000AA);
    panel.SetRingLevel(0x123);
    panel.SetRingOn(1, true);
    tracker.DetectChanges();
    EXPECT_EQ(panel.LED_data()[0], 0x800u);
    EXPECT_EQ(panel.RGB_data()[3], 0xAAu);
    EXPECT_EQ(panel.ring_data()[2], 0x23u);
    EXPECT_EQ(panel.ring_data()[3], 0x01u);
}

}  // namespace
}  // namespace velta
