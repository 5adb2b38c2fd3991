#include "export/sequence_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velta {
namespace {

SequenceFrame Frame(int cell, Color pod0, bool ring0) {
    SequenceFrame frame;
    frame.cells[static_cast<std::size_t>(cell)] = true;
    frame.pods[0] = pod0;
    frame.rings[0] = ring0;
    frame.ringLevel = 0x123;
    return frame;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

TEST(SequenceExport, BlocksPerFrameInOrderWithoutTheTrailingSeparator) {
    const std::vector<SequenceFrame> two = {Frame(0, 0x0000FF, true), Frame(33, 0x00FF00, false)};
    struct Case {
        const char* name;
        std::vector<SequenceFrame> frames;
        FeatureMask mask;
        std::size_t blocks;  // separators + 1, or 0 for an empty text
        std::string first;   // how the text starts
        std::string last;    // how it ends
    };
    const std::vector<Case> cases = {
        {"no frames", {}, 0x07, 0, "", ""},
        {"no block feature", two, feature::kScrollingText | feature::kGridBrightness, 0, "", ""},
        {"grid only", two, feature::kLedGrid, 2, "LED_data[0]   = 0x001\r\n",
         "LED_data[31] = 0x000"},
        {"pods only", two, feature::kRgbPods, 2, "RGB_data[0]   = 0xFF\r\n",
         "RGB_data[59] = 0x00\r\n"},
        {"rings only", two, feature::kLedRings, 2, "ring_data[0]   = 0x23\r\n",
         "ring_data[23] = 0x00\r\n"},
        {"all three", two, 0x07, 6, "LED_data[0]   = 0x001\r\n", "ring_data[23] = 0x00\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = ExportSequenceText(c.frames, c.mask);
        EXPECT_EQ(c.blocks == 0 ? 0 : Count(text, "\r\n\r\n") + 1, c.blocks) << text;
        EXPECT_EQ(text.rfind(c.first, 0), 0u);
        ASSERT_GE(text.size(), c.last.size());
        EXPECT_EQ(text.substr(text.size() - c.last.size()), c.last);
    }
    // The second frame's grid follows the first's: cell 33 is row 1 of column 1.
    const std::string grid = ExportSequenceText(two, feature::kLedGrid);
    EXPECT_NE(grid.find("\r\n\r\nLED_data[0]   = 0x000\r\nLED_data[1]   = 0x002\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace velta
