#include "model/design_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/model/random_frame.h"
#include "tests/model/random_panel.h"

namespace velta {
namespace {

const std::string kDots(32, '.');

// A minimal valid file with `extra` spliced in after the header (", ..." members).
std::string File(const std::string& extra) {
    return R"({"format": "velta-design", "version": 1)" + extra + "}";
}

std::string GridOf(const std::vector<std::string>& rows) {
    std::string out = R"(, "grid": [)";
    for (std::size_t i = 0; i < rows.size(); ++i)
        out += (i == 0 ? "\"" : ", \"") + rows[i] + "\"";
    return out + "]";
}

std::vector<std::string> EmptyRows() {
    return std::vector<std::string>(12, kDots);
}

std::string PodsOf(int count, const std::string& special = "#000000", int at = -1) {
    std::string out = R"(, "pods": [)";
    for (int i = 0; i < count; ++i)
        out += std::string(i == 0 ? "" : ", ") + (i == at ? special : "\"#000000\"");
    return out + "]";
}

TEST(DesignFile, WritesTheDocumentedLayout) {
    Design design;
    design.content.cells[0] = true;                              // row 0, column 0
    design.content.cells[PanelState::CellIndex(11, 31)] = true;  // bottom right
    design.content.pods[0] = MakeColor(0xFF, 0x80, 0x01);
    design.content.pods[19] = MakeColor(0x00, 0x00, 0xAB);
    design.content.rings[0] = true;
    design.content.rings[11] = true;
    design.content.ringLevel = 1000;
    design.content.gridBrightness = 9;
    design.content.scrollSpeed = 4;
    design.content.text =
        "Gr\xC3\xBC\xC3\x9F"
        "e \"1\"\n";
    design.features = {true, true, true, false};
    design.fillMode = FillMode::Copy;

    std::string expected = "{\n  \"format\": \"velta-design\",\n  \"version\": 1,\n  \"grid\": [\n";
    expected += "    \"#" + std::string(31, '.') + "\",\n";
    for (int row = 1; row < 11; ++row)
        expected += "    \"" + kDots + "\",\n";
    expected += "    \"" + std::string(31, '.') + "#\"\n  ],\n  \"pods\": [\n";
    expected += "    \"#FF8001\",\n";
    for (int pod = 1; pod < 19; ++pod)
        expected += "    \"#000000\",\n";
    expected += "    \"#0000AB\"\n  ],\n";
    expected +=
        "  \"rings\": \"#..........#\",\n  \"ringLevel\": 1000,\n"
        "  \"gridBrightness\": 9,\n  \"scrollSpeed\": 4,\n"
        "  \"text\": \"Gr\xC3\xBC\xC3\x9F"
        "e \\\"1\\\"\\n\",\n"
        "  \"features\": [\"grid\", \"pods\", \"rings\"],\n  \"fillMode\": \"copy\"\n}\n";
    EXPECT_EQ(WriteDesign(design), expected);
}

// Capture -> write -> read -> apply onto another panel gives the same content and choices, and
// writing again gives the same bytes.
TEST(DesignFile, RoundTripsRandomPanels) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 100; ++round) {
        PanelState source;
        testing::RandomPanel(source, rng);
        const std::string bytes = WriteDesign(CaptureDesign(source));
        const DesignReadResult read = ReadDesign(bytes, "round.velta");
        ASSERT_TRUE(read.Ok()) << read.error << "\n" << bytes;
        PanelState target;
        testing::RandomPanel(target, rng);
        ApplyDesign(target, *read.design);
        EXPECT_EQ(CaptureDesign(target), CaptureDesign(source));
        EXPECT_EQ(target.BuildFeatureMask(true), source.BuildFeatureMask(true));
        EXPECT_EQ(WriteDesign(CaptureDesign(target)), bytes);
    }
}

TEST(DesignFile, MissingKeysTakeTheStartUpValuesAndUnknownKeysAreIgnored) {
    const PanelState startUp;
    for (const std::string& bytes :
         {File(""), File(R"(, "animation": [{"grid": 5}], "comment": {"a": [1, 2]})")}) {
        const DesignReadResult read = ReadDesign(bytes, "min.velta");
        ASSERT_TRUE(read.Ok()) << read.error;
        EXPECT_EQ(*read.design, CaptureDesign(startUp));
    }
}

// Feature boxes are ticked in the order listed; grid and text untick each other as on the panel.
TEST(DesignFile, FeaturesFollowThePanelsRules) {
    struct Case {
        const char* list;
        DesignFeatures expected;
        FeatureMask mask;  // after applying
    };
    const Case cases[] = {
        {R"([])", {}, 0},
        {R"(["rings"])", {false, false, true, false}, 0x1C},
        {R"(["grid", "text"])", {false, false, false, true}, 0x40},
        {R"(["text", "grid", "pods", "pods"])", {true, true, false, false}, 0x03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        const DesignReadResult read =
            ReadDesign(File(std::string(R"(, "features": )") + c.list), "f.velta");
        ASSERT_TRUE(read.Ok()) << read.error;
        EXPECT_EQ(read.design->features, c.expected);
        PanelState panel;
        panel.SetFeature(FeatureBox::GridBrightness, true);
        ApplyDesign(panel, *read.design);
        EXPECT_EQ(panel.BuildFeatureMask(true), c.mask);
    }
    // A Design built in code with both keeps the grid.
    Design both;
    both.features = {true, false, false, true};
    PanelState panel;
    ApplyDesign(panel, both);
    EXPECT_EQ(panel.BuildFeatureMask(true), feature::kLedGrid);
}

TEST(DesignFile, FramesRoundTripAndAreWrittenOnlyWhenThereAreAny) {
    std::mt19937 rng(11);
    for (const std::size_t count : {0u, 1u, 2u, 37u}) {
        SCOPED_TRACE(count);
        Design design;
        design.content.text = "x";
        for (std::size_t i = 0; i < count; ++i)
            design.frames.push_back(testing::RandomFrame(rng));
        const std::string bytes = WriteDesign(design);
        EXPECT_EQ(bytes.find("frames") != std::string::npos, count > 0);
        const DesignReadResult read = ReadDesign(bytes, "seq.velta");
        ASSERT_TRUE(read.Ok()) << read.error;
        EXPECT_EQ(*read.design, design);
        EXPECT_EQ(WriteDesign(*read.design), bytes);
    }
    // The layout of one frame: rows one per line, pods on one line, keys in a fixed order.
    Design design;
    SequenceFrame frame;
    frame.cells[PanelState::CellIndex(11, 31)] = true;
    frame.pods[1] = MakeColor(0x12, 0xAB, 0x0F);
    frame.rings[11] = true;
    frame.ringLevel = 7;
    frame.gridBrightness = 8;
    frame.scrollSpeed = 9;
    frame.holdMs = 250;
    design.frames = {frame};
    std::string expected = "  \"fillMode\": \"off\",\n  \"frames\": [\n    {\n      \"grid\": [\n";
    for (int row = 0; row < 11; ++row)
        expected += "        \"" + kDots + "\",\n";
    expected +=
        "        \"" + std::string(31, '.') + "#\"\n      ],\n      \"pods\": [\"#000000\", ";
    expected += "\"#12AB0F\"";
    for (int pod = 2; pod < kPodCount; ++pod)
        expected += ", \"#000000\"";
    expected += "],\n      \"rings\": \"...........#\",\n      \"ringLevel\": 7,\n";
    expected += "      \"gridBrightness\": 8,\n      \"scrollSpeed\": 9,\n      \"holdMs\": 250\n";
    expected += "    }\n  ]\n}\n";
    const std::string bytes = WriteDesign(design);
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(bytes.size() - expected.size()), expected);
}

TEST(DesignFile, MissingFrameKeysTakeTheStartUpValues) {
    const DesignReadResult read =
        ReadDesign(File(R"(, "frames": [{}, {"holdMs": 5, "text": "ignored"}])"), "f.velta");
    ASSERT_TRUE(read.Ok()) << read.error;
    ASSERT_EQ(read.design->frames.size(), 2u);
    EXPECT_EQ(read.design->frames[0], SequenceFrame{});
    EXPECT_EQ(read.design->frames[0].holdMs, 100);
    EXPECT_EQ(read.design->frames[1].holdMs, 5);
    EXPECT_EQ(read.design->frames[1].ringLevel, 4095);
}

TEST(DesignFile, RefusesBrokenFramesNamingTheFrameAndField) {
    // Frame 4 of five is the broken one; the others are valid.
    const auto framesWith = [](const std::string& fourth) {
        return File(R"(, "frames": [{}, {"holdMs": 3}, {}, {}, )" + fourth + "]");
    };
    std::vector<std::string> shortRow = EmptyRows();
    shortRow[2] = std::string(31, '#');
    std::string tooMany = R"(, "frames": [{})";
    for (std::size_t i = 0; i < kMaxSequenceFrames; ++i)
        tooMany += ",{}";
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"not a list", File(R"(, "frames": {})"),
         "frames: expected an array of frames, got an object"},
        {"frame not an object", framesWith("[]"),
         "frames[4]: expected a frame object, got an array of 0"},
        {"row of 31", framesWith("{" + GridOf(shortRow).substr(2) + "}"),
         R"(frames[4].grid[2]: expected 32 characters of "#" or ".", got 31)"},
        {"11 rows", framesWith("{" + GridOf(std::vector<std::string>(11, kDots)).substr(2) + "}"),
         "frames[4].grid: expected an array of 12 rows, got an array of 11"},
        {"bad colour", framesWith("{" + PodsOf(20, "\"#12345\"", 4).substr(2) + "}"),
         R"(frames[4].pods[4]: expected a colour "#RRGGBB", got "#12345")"},
        {"19 pods", framesWith("{" + PodsOf(19).substr(2) + "}"),
         "frames[4].pods: expected an array of 20 colours, got an array of 19"},
        {"rings", framesWith(R"({"rings": "##"})"),
         R"(frames[4].rings: expected 12 characters of "#" or ".", got 2)"},
        {"ring level", framesWith(R"({"ringLevel": 4096})"),
         "frames[4].ringLevel: expected a whole number from 0 to 4095, got 4096"},
        {"grid brightness", framesWith(R"({"gridBrightness": -1})"),
         "frames[4].gridBrightness: expected a whole number from 0 to 15, got -1"},
        {"scroll speed", framesWith(R"({"scrollSpeed": "3"})"),
         R"(frames[4].scrollSpeed: expected a whole number from 0 to 15, got "3")"},
        {"hold zero", framesWith(R"({"holdMs": 0})"),
         "frames[4].holdMs: expected a whole number from 1 to 60000, got 0"},
        {"hold too long", framesWith(R"({"holdMs": 60001})"),
         "frames[4].holdMs: expected a whole number from 1 to 60000, got 60001"},
        {"hold fraction", framesWith(R"({"holdMs": 1.5})"),
         "frames[4].holdMs: expected a whole number from 1 to 60000, got the number 1.5"},
        {"too many frames", File(tooMany + "]"),
         "frames: expected at most 1000 frames, got an array of 1001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DesignReadResult read = ReadDesign(c.bytes, "party.velta");
        EXPECT_FALSE(read.Ok());
        EXPECT_EQ(read.error, "party.velta: " + c.expected);
    }
}

TEST(DesignFile, TextThatIsNotUtf8IsWrittenWithReplacementCharacters) {
    Design design;
    design.content.text =
        "a\xFF"
        "b";
    const DesignReadResult read = ReadDesign(WriteDesign(design), "t.velta");
    ASSERT_TRUE(read.Ok()) << read.error;
    EXPECT_EQ(read.design->content.text,
              "a\xEF\xBF\xBD"
              "b");
}

// Each kind of broken file gives one message naming the file and the field, and no design.
TEST(DesignFile, RefusesBrokenFilesNamingTheField) {
    std::vector<std::string> shortRow = EmptyRows();
    shortRow[3] = std::string(31, '.');
    std::vector<std::string> badChar = EmptyRows();
    badChar[7][5] = 'x';
    const std::string valid = WriteDesign(Design{});
    std::string manyZeros;
    for (int i = 0; i < 70000; ++i)
        manyZeros += ",0";
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;  // the message starts with "party.velta: " and contains this
    };
    const std::vector<Case> cases = {
        {"not JSON", "hello", "expected valid JSON"},
        {"empty", "", "expected valid JSON"},
        {"truncated in the grid", valid.substr(0, valid.find("....") + 10),
         "grid[0]: expected valid JSON"},
        {"trailing garbage", File("") + "x", "expected valid JSON"},
        {"NUL after a whole design", File("") + std::string(1, '\0') + "junk",
         "expected valid JSON, got a NUL byte at byte " + std::to_string(File("").size() + 1)},
        {"top level array", "[1]", "expected a JSON object at the top level, got an array of 1"},
        {"format missing", R"({"version": 1})", "format: expected \"velta-design\""},
        {"format wrong", R"({"format": "other", "version": 1})",
         "format: expected \"velta-design\", got \"other\""},
        {"version missing", R"({"format": "velta-design"})", "version: expected a version"},
        {"version newer", R"({"format": "velta-design", "version": 2})",
         "version: the file was made by a newer version"},
        {"version huge", R"({"format": "velta-design", "version": 18446744073709551615})",
         "made by a newer version"},
        {"version zero", R"({"format": "velta-design", "version": 0})",
         "version: expected a version number from 1 to 1, got 0"},
        {"version string", R"({"format": "velta-design", "version": "1"})",
         "version: expected a version number from 1 to 1, got \"1\""},
        {"grid not an array", File(R"(, "grid": "#")"), "grid: expected an array of 12 rows"},
        {"grid 11 rows", File(GridOf(std::vector<std::string>(11, kDots))),
         "grid: expected an array of 12 rows, got an array of 11"},
        {"row of 31", File(GridOf(shortRow)),
         R"(grid[3]: expected 32 characters of "#" or ".", got 31)"},
        {"bad character", File(GridOf(badChar)),
         R"(grid[7]: expected 32 characters of "#" or ".", got "x" at position 5)"},
        {"row not a string", File(R"(, "grid": [1,2,3,4,5,6,7,8,9,10,11,12])"),
         "grid[0]: expected 32 characters of \"#\" or \".\", got 1"},
        {"19 pods", File(PodsOf(19)), "pods: expected an array of 20 colours, got an array of 19"},
        {"short colour", File(PodsOf(20, "\"#12345\"", 4)),
         R"(pods[4]: expected a colour "#RRGGBB", got "#12345")"},
        {"colour name", File(PodsOf(20, "\"red\"", 0)), "pods[0]: expected a colour"},
        {"colour not hex", File(PodsOf(20, "\"#GG0000\"", 19)), "pods[19]: expected a colour"},
        {"colour number", File(PodsOf(20, "255", 2)), "pods[2]: expected a colour"},
        {"rings short", File(R"(, "rings": "###")"),
         R"(rings: expected 12 characters of "#" or ".", got 3)"},
        {"rings bad", File(R"(, "rings": "#####o######")"), R"(rings: expected 12 characters)"},
        {"ring level high", File(R"(, "ringLevel": 4096)"),
         "ringLevel: expected a whole number from 0 to 4095, got 4096"},
        {"ring level negative", File(R"(, "ringLevel": -1)"), "ringLevel: expected"},
        {"ring level fraction", File(R"(, "ringLevel": 1.5)"), "got the number 1.5"},
        {"ring level string", File(R"(, "ringLevel": "12")"), R"(got "12")"},
        {"ring level beyond 64 bits", File(R"(, "ringLevel": 99999999999999999999)"),
         "ringLevel: expected"},
        {"brightness high", File(R"(, "gridBrightness": 16)"),
         "gridBrightness: expected a whole number from 0 to 15, got 16"},
        {"speed null", File(R"(, "scrollSpeed": null)"),
         "scrollSpeed: expected a whole number from 0 to 15, got null"},
        {"text number", File(R"(, "text": 5)"), "text: expected a string of UTF-8 text, got 5"},
        {"text bad UTF-8", File(", \"text\": \"ab\xFF\""), "text: expected UTF-8 text"},
        {"text overlong UTF-8", File(", \"text\": \"\xC0\xAF\""), "text: expected UTF-8 text"},
        {"text lone surrogate", File(R"(, "text": "\ud800")"), "text: expected valid JSON"},
        {"text NUL", File(R"(, "text": "a\u0000b")"), "text: expected text without NUL"},
        {"features not a list", File(R"(, "features": "grid")"),
         "features: expected an array of feature names"},
        {"features unknown", File(R"(, "features": ["grid", "sound"])"),
         R"(features[1]: expected one of "grid", "pods", "rings", "text", got "sound")"},
        {"fill mode", File(R"(, "fillMode": "sideways")"),
         R"(fillMode: expected one of "off", "on", "copy", got "sideways")"},
        {"too deep", File(R"(, "x": )" + std::string(100, '[') + std::string(100, ']')),
         "x[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]: expected at most 16 levels"},
        {"too many values", File(R"(, "x": [0)" + manyZeros + "]"),
         "expected at most 65536 values in a design file"},
        {"over 1 MiB", File(", \"text\": \"" + std::string(1 << 20, 'a') + "\""),
         "expected a design file of at most 1 MiB (1048576 bytes), got 10486"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DesignReadResult read = ReadDesign(c.bytes, "party.velta");
        EXPECT_FALSE(read.design.has_value());
        EXPECT_EQ(read.error.rfind("party.velta: ", 0), 0u) << read.error;
        EXPECT_NE(read.error.find(c.expected), std::string::npos) << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos) << read.error;
    }
}

// A refused file leaves the panel as it was: the caller applies only a design it got.
TEST(DesignFile, MessagesStayPrintableWhateverTheFileHolds) {
    const DesignReadResult read =
        ReadDesign(File(R"(, "fillMode": "\u00e9\n\u0001")"), "a\xFF.velta");
    ASSERT_FALSE(read.Ok());
    for (const char c : read.error)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << read.error;
}

}  // namespace
}  // namespace velta
