// The documented examples of the projection, zone-change, notation and ellipsoid pages,
// compared as the text the page writes.
#include "PageFixture.hpp"
#include "geodesy/CustomEllipsoids.hpp"
#include "pages/coordinates/CustomEllipsoidPage.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/NotationPage.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

using namespace carvento::pages;
using namespace carvento::testing;

TEST(GaussForwardPage, DocumentedRowInDegreesAndPacked)
{
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    FillSource(page, {"P1", "303000", "1061800", "P2", "30.5", "106.3"});
    page.Convert(); // unit DDDMMSS.SS by default
    EXPECT_EQ("3376320.4035", ResultCells(page)[1]);
    EXPECT_EQ("624805.9342", ResultCells(page)[2]);

    page.Field("unit").pendingIndex = kUnitDegrees;
    page.Convert();
    EXPECT_EQ("3376320.4035", ResultCells(page)[4]);
    EXPECT_EQ("624805.9342", ResultCells(page)[5]);
}

TEST(GaussForwardPage, EmptyFirstCellPassesThroughAndEmptySecondReadsZero)
{
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    page.Field("unit").pendingIndex = kUnitDegrees;
    FillSource(page, {"A", "", "106.3", "B", "0", "", "", "", ""});
    page.Convert();
    // B = 0, L = 0 is 105° west of the meridian: a plain, finite result.
    Cells result = ResultCells(page);
    EXPECT_EQ(Cells({"A", "", "106.3"}), Cells(result.begin(), result.begin() + 3));
    EXPECT_EQ("B", result[3]);
    EXPECT_NE("", result[4]);
    EXPECT_EQ(Cells({"", "", ""}), Cells(result.begin() + 6, result.end()));
}

TEST(GaussForwardPage, RefusedIntegerFieldKeepsItAndLaterFieldsAtTheirOldValues)
{
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    FillSource(page, {"P", "30.5", "106.3"});
    page.Field("meridian").text = "";
    page.Field("unit").pendingIndex = kUnitDegrees; // after the refused field: not taken
    page.Convert();
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_EQ(messages::kEnterInteger, fake.prompter.messages[0].text);
    EXPECT_EQ(1050000, page.Field("meridian").value);
    EXPECT_EQ(kUnitPacked, page.Field("unit").value);
    // The unit stayed packed: 30.5 and 106.3 read as 0°00′30.5″ and 0°01′06.3″.
    carvento::geodesy::GaussProjector projector;
    double x = 0, y = 0;
    projector.GaussForward(30.5 / 3600, 66.3 / 3600, 105, 500000, x, y);
    EXPECT_EQ(carvento::platform::FormatFixed(x, 4), ResultCells(page)[1]);
}

TEST(GaussForwardPage, MeridianIsPacked)
{
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    page.Field("meridian").text = "105"; // 0°01′05″, not 105°
    page.Field("unit").pendingIndex = kUnitDegrees;
    FillSource(page, {"P", "0", "0.018055555555555554"});
    page.Convert();
    EXPECT_EQ("500000.0000", ResultCells(page)[2]);
}

struct InverseCase {
    int unit;
    std::string B, L;
};

class GaussInversePage : public ::testing::TestWithParam<InverseCase> {};

TEST_P(GaussInversePage, DocumentedRowInEachUnit)
{
    FakeContext fake;
    CGSFSDlg page(fake.Context());
    page.Field("unit").pendingIndex = GetParam().unit;
    FillSource(page, {"P1", "3376320.4035", "624805.9342"});
    page.Convert();
    EXPECT_EQ(Cells({"P1", GetParam().B, GetParam().L}), ResultCells(page));
}

INSTANTIATE_TEST_SUITE_P(Units, GaussInversePage,
                         ::testing::Values(InverseCase{kUnitPacked, "303000.0000", "1061800.0000"},
                                           InverseCase{kUnitDotted, "30.30000000", "106.18000000"},
                                           InverseCase{kUnitDegrees, "30.50000000",
                                                       "106.30000000"}));

TEST(ZoneChangePage, DocumentedExampleAndIdentity)
{
    FakeContext fake;
    CZBHDDlg page(fake.Context());
    FillSource(page, {"P1", "3376320.4035", "624805.9342", "P2", "3376320.4035", "38624805.9342"});
    page.Convert();
    // Equal zones give the input back; a zone number in front of y is dropped.
    EXPECT_EQ(Cells({"P1", "3376320.4035", "624805.9342", "P2", "3376320.4035", "624805.9342"}),
              ResultCells(page));

    page.Field("to-meridian").text = "1080000";
    page.Convert();
    Cells result = ResultCells(page);
    EXPECT_EQ("3376830.84", result[1].substr(0, 10));
    EXPECT_EQ("336787.38", result[2].substr(0, 9));
}

struct NotationCase {
    int type;
    std::string input;
    std::string output;
};

class NotationPageExamples : public ::testing::TestWithParam<NotationCase> {};

TEST_P(NotationPageExamples, WriteTheDocumentedText)
{
    FakeContext fake;
    CDWZHDlg page(fake.Context());
    page.Field("type").pendingIndex = GetParam().type;
    FillSource(page, {"P", GetParam().input, GetParam().input});
    page.Convert();
    EXPECT_EQ(Cells({"P", GetParam().output, GetParam().output}), ResultCells(page));
}

INSTANTIATE_TEST_SUITE_P(
    Types, NotationPageExamples,
    ::testing::Values(
        NotationCase{0, "1171234.56", "117.123456"}, NotationCase{1, "1171234.56", "117.209600"},
        NotationCase{2, "1171234.56", "117°12′34.56″"}, NotationCase{3, "117.123456", "1171234.56"},
        NotationCase{4, "117.123456", "117.209600"}, NotationCase{5, "117.123456", "117°12′34.56″"},
        NotationCase{6, "117.2096", "1171234.56"}, NotationCase{7, "117.2096", "117.123456"},
        NotationCase{8, "30.5", "30°30′00.00″"}, NotationCase{9, "117°12′34.56″", "1171234.56"},
        NotationCase{9, "117°30′", "1173000.00"}, NotationCase{10, "117°30′", "117.300000"},
        NotationCase{11, "117°30′", "117.500000"}, NotationCase{11, "117 30", "0.000000"},
        NotationCase{11, "117°30'36\"", "117.510000"}));

TEST(NotationPage, RowWithEmptyFirstValueIsCopied)
{
    FakeContext fake;
    CDWZHDlg page(fake.Context());
    FillSource(page, {"P", "", "1171234.56"});
    page.Convert();
    EXPECT_EQ(Cells({"P", "", "1171234.56"}), ResultCells(page));
}

TEST(CustomEllipsoidEditor, RefusesEmptyFieldsAndStoresSixDecimals)
{
    FakeContext fake;
    CustomEllipsoidPage editor(fake.Context());
    editor.EditText("name", "测试椭球");
    editor.EditText("a", "6378137");
    EXPECT_FALSE(editor.Accept());
    EXPECT_EQ(Cells({messages::kEllipsoidIncomplete}), fake.prompter.MessageTexts());
    EXPECT_TRUE(fake.profile.Values().empty());

    editor.EditText("b", "6356752.3141");
    EXPECT_TRUE(editor.Accept());
    EXPECT_EQ("6378137.000000,6356752.314100",
              fake.profile.GetString("CoordinateSystem", "测试椭球", ""));

    // A page opened afterwards lists it before "自定义".
    CGSZSDlg page(fake.Context());
    const auto& entries = page.Ellipsoid().Entries();
    ASSERT_EQ(6u, entries.size());
    EXPECT_EQ("测试椭球", entries[4]);
    EXPECT_EQ("自定义", entries[5]);
}
