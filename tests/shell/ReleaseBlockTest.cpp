// Reading the release block from the page bytes, and comparing version texts.
#include "shell/ReleaseBlock.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace carvento::shell;

namespace {

// A page as the maker publishes it: the block inside ordinary HTML.
constexpr std::string_view kPage = R"(<html><body><h1>Carvento</h1>
<p>Version:8.0.1;修正换带计算,新增批量转换</p><p>https://www.hvfactory.cn/carvento/Carvento-8.0.1.zip</p>Version-End</p>
</body></html>)";

std::string Padding(std::size_t bytes)
{
    return std::string(bytes, 'x');
}

} // namespace

TEST(ReleaseBlock, DocumentedBlockYieldsVersionDescriptionAndBareLink)
{
    const ReleaseBlock block = ParseReleaseBlock(kPage);
    ASSERT_TRUE(block.Ok()) << block.description();
    EXPECT_EQ("8.0.1", block.info.version);
    EXPECT_EQ("修正换带计算,新增批量转换", block.info.description);
    EXPECT_EQ("https://www.hvfactory.cn/carvento/Carvento-8.0.1.zip", block.info.link);
}

TEST(ReleaseBlock, FirstOfTheFourSeparatorsEndsTheVersion)
{
    for (const char* separator : {";", "|", "[", "]"}) {
        const std::string page = std::string("Version:9.1") + separator +
                                 "说明;含|分[隔]符</p>link</p>Version-End";
        const ReleaseBlock block = ParseReleaseBlock(page);
        ASSERT_TRUE(block.Ok()) << separator;
        EXPECT_EQ("9.1", block.info.version) << separator;
        EXPECT_EQ("说明;含|分[隔]符", block.info.description) << separator;
        EXPECT_EQ("link", block.info.link) << separator;
    }
}

TEST(ReleaseBlock, TextsAreTakenAsTheyStand)
{
    // Nothing is trimmed; only the paragraph tags leave the link.
    const ReleaseBlock block =
        ParseReleaseBlock("Version: 8.1 ;  new\n</p>\n<p> http://a/b </p>\nVersion-End");
    ASSERT_TRUE(block.Ok());
    EXPECT_EQ(" 8.1 ", block.info.version);
    EXPECT_EQ("  new\n", block.info.description);
    EXPECT_EQ("\n http://a/b \n", block.info.link);
}

TEST(ReleaseBlock, WithoutClosingParagraphDescriptionAndLinkAreEmpty)
{
    // A "</p>" before the separator does not count.
    const ReleaseBlock block = ParseReleaseBlock("Version:8</p>.1;text <p>link<p>Version-End");
    ASSERT_TRUE(block.Ok());
    EXPECT_EQ("8</p>.1", block.info.version);
    EXPECT_EQ("", block.info.description);
    EXPECT_EQ("", block.info.link);
}

TEST(ReleaseBlock, MissingMarkersOrSeparatorAreRefused)
{
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers, ParseReleaseBlock("").status);
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers,
              ParseReleaseBlock("<p>8.0.1;text</p><p>link</p></p>").status);
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers, ParseReleaseBlock("Version:8.0.1;a</p>b").status);
    // The end marker must follow the start marker.
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers,
              ParseReleaseBlock("Version-End Version:8.0.1;a</p>b").status);
    EXPECT_EQ(ReleaseBlockStatus::NoSeparator,
              ParseReleaseBlock("Version:8.0.1 text</p>link</p>Version-End").status);
    // A separator after the end marker is outside the block.
    EXPECT_EQ(ReleaseBlockStatus::NoSeparator,
              ParseReleaseBlock("Version:8.0.1Version-End;").status);
}

TEST(ReleaseBlock, OnlyTheFirst3000BytesAreExamined)
{
    const std::string block = "Version:8.0.1;d</p>l</p>Version-End";
    // Ending on the last examined byte is found; one byte later is not.
    const std::string fits = Padding(kReleaseReadLimit - block.size()) + block;
    ASSERT_EQ(kReleaseReadLimit, fits.size());
    EXPECT_TRUE(ParseReleaseBlock(fits).Ok());
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers, ParseReleaseBlock("x" + fits).status);
    EXPECT_EQ(ReleaseBlockStatus::NoMarkers,
              ParseReleaseBlock(Padding(kReleaseReadLimit) + block).status);
}

TEST(CompareVersions, ComponentsCompareAsNumbers)
{
    EXPECT_EQ(1, CompareVersions("10.0.0", "8.0.0"));
    EXPECT_EQ(-1, CompareVersions("8.0.0", "10.0.0"));
    EXPECT_EQ(1, CompareVersions("8.0.10", "8.0.9"));
    EXPECT_EQ(1, CompareVersions("8.10", "8.9.9"));
    EXPECT_EQ(1, CompareVersions("8.0.1", "8.0.0"));
    EXPECT_EQ(-1, CompareVersions("7.9.9", "8.0.0"));
    EXPECT_EQ(0, CompareVersions("8.0.0", "8.0.0"));
    // Longer than any integer type.
    EXPECT_EQ(1, CompareVersions("8.123456789012345678901234567890", "8.99999999999999999999"));
}

TEST(CompareVersions, LeadingZerosMissingComponentsAndBlanksDoNotMatter)
{
    EXPECT_EQ(0, CompareVersions("08.00.000", "8.0.0"));
    EXPECT_EQ(0, CompareVersions("8.0", "8.0.0"));
    EXPECT_EQ(0, CompareVersions("8", "8.0.0"));
    EXPECT_EQ(1, CompareVersions("8.0.0.1", "8.0.0"));
    EXPECT_EQ(0, CompareVersions(" 8.0.0\t", "8.0.0"));
    EXPECT_EQ(1, CompareVersions(" 8.0.1", "8.0.0"));
}

TEST(CompareVersions, TextAfterTheNumberSortsAfterTheBareNumber)
{
    EXPECT_EQ(1, CompareVersions("8.0.1b", "8.0.1"));
    EXPECT_EQ(-1, CompareVersions("8.0.1a", "8.0.1b"));
    // The number decides first: 8.0.2 beats 8.0.1 whatever follows.
    EXPECT_EQ(1, CompareVersions("8.0.2", "8.0.1-rc9"));
    // No digits at all reads as 0 followed by text.
    EXPECT_EQ(1, CompareVersions("8.x", "8.0"));
    EXPECT_EQ(-1, CompareVersions("", "8.0.0"));
}
