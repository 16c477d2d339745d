// The map frame's KML.
#include "earth/MapFrame.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace carvento::testing {
namespace {

std::vector<std::string> All(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
         it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

earth::MapFrameFields Initial()
{
    return {.lngStart = "1042000",
            .lngEnd = "1043000",
            .latStart = "310500",
            .latEnd = "311000",
            .lngStep = "000100",
            .latStep = "000100"};
}

TEST(MapFrame, PackedAnglesConvertToKiloSecondsAndBack)
{
    EXPECT_DOUBLE_EQ(104 * 3.6 + 20 * 0.06 + 30.5 * 0.001, earth::PackedToKiloSeconds(1042030.5));
    EXPECT_DOUBLE_EQ(0.06, earth::PackedToKiloSeconds(100));
    EXPECT_DOUBLE_EQ(-earth::PackedToKiloSeconds(1042000), earth::PackedToKiloSeconds(-1042000));
    for (double packed : {1042000.0, 310500.0, 1043000.0, 453015.0, -1042030.0})
        EXPECT_NEAR(packed, earth::KiloSecondsToPacked(earth::PackedToKiloSeconds(packed)), 1e-6);
}

TEST(MapFrame, TheInitialRangeGivesElevenMeridiansThenSixParallels)
{
    const earth::MapFrameKml frame = earth::GenerateMapFrameKml(Initial());
    ASSERT_EQ("", frame.error);
    EXPECT_EQ(11, frame.meridians);
    EXPECT_EQ(6, frame.parallels);
    const std::vector<std::string> names = All(frame.kml, "<name>([^<]*)</name>");
    ASSERT_EQ(18u, names.size());
    EXPECT_EQ("TK", names[0]);
    EXPECT_EQ("LNG=1042000.00", names[1]);
    EXPECT_EQ("LNG=1042100.00", names[2]);
    EXPECT_EQ("LNG=1043000.00", names[11]);
    EXPECT_EQ("LAT=310500.00", names[12]);
    EXPECT_EQ("LAT=311000.00", names[17]);
    const std::vector<std::string> lines = All(frame.kml, "<coordinates>([^<]*)</coordinates>");
    ASSERT_EQ(17u, lines.size());
    EXPECT_EQ("104.333333,31.083333,0 104.333333,31.166667,0", lines[0]);
    EXPECT_EQ("104.500000,31.083333,0 104.500000,31.166667,0", lines[10]);
    EXPECT_EQ("104.333333,31.083333,0 104.500000,31.083333,0", lines[11]);
    EXPECT_EQ("104.333333,31.166667,0 104.500000,31.166667,0", lines[16]);
    EXPECT_EQ(17u, All(frame.kml, "<tessellate>(1)</tessellate>").size());
    EXPECT_TRUE(All(frame.kml, "<(description)>").empty());
}

TEST(MapFrame, SecondsSpacingAndReversedRangesGiveTheirLines)
{
    earth::MapFrameKml frame = earth::GenerateMapFrameKml({.lngStart = "1042000",
                                                           .lngEnd = "1042100",
                                                           .latStart = "311000",
                                                           .latEnd = "310500",
                                                           .lngStep = "000030",
                                                           .latStep = "000100"});
    ASSERT_EQ("", frame.error);
    EXPECT_EQ(3, frame.meridians); // 20′00″, 20′30″, 21′00″
    EXPECT_EQ(0, frame.parallels); // start above the end
    EXPECT_EQ(std::vector<std::string>({"LNG=1042000.00", "LNG=1042030.00", "LNG=1042100.00"}),
              All(frame.kml, "<name>(LNG=[^<]*)</name>"));
}

TEST(MapFrame, ASpacingThatCannotReachTheEndIsRefused)
{
    earth::MapFrameFields fields = Initial();
    fields.lngStep = "0";
    EXPECT_EQ("经度差必须大于0!", earth::GenerateMapFrameKml(fields).error);
    fields.lngStep = "abc";
    EXPECT_EQ("经度差必须大于0!", earth::GenerateMapFrameKml(fields).error);
    fields = Initial();
    fields.latStep = "-000100";
    const earth::MapFrameKml refused = earth::GenerateMapFrameKml(fields);
    EXPECT_EQ("纬度差必须大于0!", refused.error);
    EXPECT_EQ("", refused.kml);
    // A hair's spacing over the whole globe would be billions of lines.
    fields = Initial();
    fields.lngStart = "0";
    fields.lngEnd = "1800000";
    fields.lngStep = "0.001";
    EXPECT_EQ(earth::messages::kTooManyFrameLines, earth::GenerateMapFrameKml(fields).error);
    fields.lngEnd = "inf";
    fields.lngStep = "000100";
    EXPECT_EQ(earth::messages::kFrameNotANumber, earth::GenerateMapFrameKml(fields).error);
}

} // namespace
} // namespace carvento::testing
