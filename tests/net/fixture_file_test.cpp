// The lighting program's fixture file follows the channel map: every channel defined once with
// its name and kind, and the mode lists them in channel order. (Its XML is checked for
// well-formedness by xmllint in the cli tests.)
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "net/channel_map.h"
#include "net/fixture_file.h"

namespace velta::net {
namespace {

std::vector<std::string> All(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

TEST(FixtureFile, DefinesEveryChannelOnceAndListsThemInMapOrder) {
    const std::string xml = QlcPlusFixture();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
    EXPECT_NE(xml.find("<Manufacturer>Velta</Manufacturer>"), std::string::npos);
    EXPECT_NE(xml.find("<Model>LED Display</Model>"), std::string::npos);

    const std::vector<std::string> defined = All(xml, std::regex(" <Channel Name=\"([^\"]+)\""));
    const std::vector<std::string> mode =
        All(xml, std::regex("<Channel Number=\"\\d+\">([^<]+)</Channel>"));
    const std::vector<std::string> numbers = All(xml, std::regex("<Channel Number=\"(\\d+)\">"));
    ASSERT_EQ(defined.size(), static_cast<std::size_t>(kFixtureChannels));
    ASSERT_EQ(mode.size(), static_cast<std::size_t>(kFixtureChannels));
    for (int i = 0; i < kFixtureChannels; ++i) {
        const std::string name = ChannelName(kChannelSlots[static_cast<std::size_t>(i)]);
        EXPECT_EQ(defined[static_cast<std::size_t>(i)], name);
        EXPECT_EQ(mode[static_cast<std::size_t>(i)], name);
        EXPECT_EQ(numbers[static_cast<std::size_t>(i)], std::to_string(i));
    }
    EXPECT_EQ(All(xml, std::regex("<Mode Name=\"([^\"]+)\"")),
              std::vector<std::string>{"460 channels"});
}

TEST(FixtureFile, EachKindOfChannelSaysHowItsValueIsRead) {
    const std::string xml = QlcPlusFixture();
    const struct {
        const char* what;
        const char* expected;
    } cases[] = {
        {"a grid cell is off below 128",
         "<Channel Name=\"Grid row 11 column 31\">\n  <Group Byte=\"0\">Intensity</Group>\n"
         "  <Capability Min=\"0\" Max=\"127\">Off</Capability>\n"
         "  <Capability Min=\"128\" Max=\"255\">On</Capability>\n"},
        {"pods are colour channels", "<Channel Name=\"Pod 19 green\" Preset=\"IntensityGreen\"/>"},
        {"a ring switches like a cell",
         "<Channel Name=\"Ring 0\">\n  <Group Byte=\"0\">Intensity</Group>\n"
         "  <Capability Min=\"0\" Max=\"127\">Off</Capability>"},
        {"the ring level's fine byte",
         "<Channel Name=\"Ring level fine\">\n  <Group Byte=\"1\">Intensity</Group>"},
        {"brightness in 16 steps of 16",
         "<Capability Min=\"240\" Max=\"255\">Brightness 15</Capability>"},
        {"speed in 16 steps of 16",
         "<Channel Name=\"Scroll speed\">\n  <Group Byte=\"0\">Speed</Group>\n"
         "  <Capability Min=\"0\" Max=\"15\">Speed 0</Capability>"},
    };
    for (const auto& c : cases)
        EXPECT_NE(xml.find(c.expected), std::string::npos) << c.what;
    EXPECT_EQ(FixtureDefinition("qlcplus"), xml);
    EXPECT_FALSE(FixtureDefinition("QLC+"));
}

}  // namespace
}  // namespace velta::net
