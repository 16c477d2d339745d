// Zone numbers in y against the panel's central meridian: the zone rules, the eastings that
// decide a zone, and the pages that check (高斯坐标反算, 坐标换带, datum transformation pages
// with a plane source) and those that do not.
#include "PageFixture.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/frames/ZoneHint.hpp"
#include "pages/transform/TransformPages.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

TEST(ZoneHint, ZoneNumbersAndEastings)
{
    EXPECT_EQ(111.0, MeridianOfZone(19)->degrees); // 6°: 6n − 3
    EXPECT_EQ(6, MeridianOfZone(19)->width);
    EXPECT_EQ(1110000, MeridianOfZone(19)->packed);
    EXPECT_EQ(114.0, MeridianOfZone(38)->degrees); // 3°: 3n
    EXPECT_EQ(3, MeridianOfZone(38)->width);
    EXPECT_FALSE(MeridianOfZone(12));
    EXPECT_FALSE(MeridianOfZone(61));
    EXPECT_TRUE(ZoneAgrees(38, 114.0));
    EXPECT_TRUE(ZoneAgrees(19, 111.0));
    EXPECT_TRUE(ZoneAgrees(37, 111.0)); // 3° zone 37 on the same meridian as 6° zone 19
    EXPECT_FALSE(ZoneAgrees(38, 111.0));

    EXPECT_EQ(38, ZoneOfEastings({"y", "38512345.6", " 38499000 ", ""}));
    EXPECT_FALSE(ZoneOfEastings({"38512345.6", "39500000"}));
    EXPECT_FALSE(ZoneOfEastings({"38512345.6", "512345.6"}));
    EXPECT_FALSE(ZoneOfEastings({"title", "12abc"}));
    EXPECT_FALSE(ZoneOfEastings({}));
}

TEST(ZoneHint, ReadsAndWritesTheSameOnADecimalCommaDesktop)
{
    // Qt sets the process locale from the environment: a German desktop reads "38512345.6"
    // with strtod as 38512345 followed by text, and prints 112.5 as "112,5".
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(nullptr, std::setlocale(LC_ALL, "de_DE.UTF-8"))
        << "de_DE.UTF-8 is not available (scripts/bootstrap makes it)";
    const std::optional<int> zone = ZoneOfEastings({"38512345.6", "38499000.25"});
    FakeContext fake;
    CGSFSDlg page(fake.Context());
    FillSource(page, {"1", "3380000", "38512345.6"});
    page.EditText("meridian", "1123000"); // 112°30′
    const std::optional<ZoneHint> hint = CheckZoneNumbers(page, page.Source());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(38, zone);
    ASSERT_TRUE(hint);
    EXPECT_EQ("y 带号 38 (3°带, 中央子午线 114°) 与中央子午线 112.5° 不符", hint->message);
}

TEST(ZoneHint, AZoneNumberTypedIntoTheAddConstantIsCaughtAndFixedInOneStep)
{
    FakeContext fake;
    CGSFSDlg page(fake.Context());
    FillSource(page, {"1", "3380000", "512345.6", "2", "3381000", "500000.0"});
    page.EditText("meridian", "1110000");
    page.EditText("y-add", "38500000");
    std::optional<ZoneHint> hint = CheckZoneNumbers(page, page.Source());
    ASSERT_TRUE(hint);
    EXPECT_EQ("Y加常数应为500000，带号38已移入中央子午线?", hint->message);
    EXPECT_EQ("y-add", hint->yAddFieldId);
    ApplyZoneHint(page, *hint);
    EXPECT_EQ("500000", page.Field("y-add").text);
    EXPECT_EQ("1140000", page.Field("meridian").text);
    EXPECT_FALSE(CheckZoneNumbers(page, page.Source()));
    // y values that carry the zone number too are consistent with such an add constant.
    page.EditText("y-add", "38500000");
    FillSource(page, {"1", "3380000", "38512345.6"});
    page.EditText("meridian", "1140000");
    EXPECT_FALSE(CheckZoneNumbers(page, page.Source()));
    // 坐标换带 checks its source side the same way.
    CZBHDDlg change(fake.Context());
    FillSource(change, {"1", "3380000", "512345.6"});
    change.EditText("from-y-add", "19500000");
    hint = CheckZoneNumbers(change, change.Source());
    ASSERT_TRUE(hint);
    EXPECT_EQ("from-y-add", hint->yAddFieldId);
    EXPECT_EQ(1110000, hint->suggested.packed);
}

TEST(ZoneHint, InversePageOffersTheDataZonesMeridian)
{
    FakeContext fake;
    CGSFSDlg page(fake.Context());
    FillSource(page, {"1", "3380000", "38512345.6", "2", "3381000", "38500000.0"});
    page.EditText("meridian", "1110000");
    std::optional<ZoneHint> hint = CheckZoneNumbers(page, page.Source());
    ASSERT_TRUE(hint);
    EXPECT_EQ("meridian", hint->fieldId);
    EXPECT_EQ(1140000, hint->suggested.packed);
    EXPECT_EQ(111.0, hint->panelDegrees);
    EXPECT_EQ("y 带号 38 (3°带, 中央子午线 114°) 与中央子午线 111° 不符", hint->message);
    page.EditText("meridian", "1140000");
    EXPECT_FALSE(CheckZoneNumbers(page, page.Source()));
    // Without zone numbers there is nothing to say.
    page.EditText("meridian", "1110000");
    FillSource(page, {"1", "3380000", "512345.6"});
    EXPECT_FALSE(CheckZoneNumbers(page, page.Source()));
}

TEST(ZoneHint, ZoneChangeAndTransformPagesCheckTheirSourceZone)
{
    FakeContext fake;
    CZBHDDlg zoneChange(fake.Context());
    FillSource(zoneChange, {"1", "3380000", "19400000"});
    zoneChange.EditText("from-meridian", "1170000");
    ASSERT_TRUE(CheckZoneNumbers(zoneChange, zoneChange.Source()));
    EXPECT_EQ("from-meridian", CheckZoneNumbers(zoneChange, zoneChange.Source())->fieldId);
    EXPECT_EQ(1110000, CheckZoneNumbers(zoneChange, zoneChange.Source())->suggested.packed);

    CTrans7Dlg transform(fake.Context());
    FillSource(transform, {"1", "3380000", "38512345.6", "10"});
    ASSERT_TRUE(CheckZoneNumbers(transform, transform.Source()));
    // A geodetic source has no eastings to check.
    transform.Choose("from-coords", kGeodeticCoordinates);
    EXPECT_FALSE(CheckZoneNumbers(transform, transform.Source()));

    CGSZSDlg forward(fake.Context());
    FillSource(forward, {"1", "30.5", "38512345.6"});
    EXPECT_FALSE(forward.ZoneCheck());
    EXPECT_FALSE(CheckZoneNumbers(forward, forward.Source()));
}

// The page keeps the hint its window shows: the fix sets the fields it names, says which, and
// leaves no hint; the fields whose edits call for a new look are the meridian and the add
// constant of the checked side.
TEST(ZoneHint, ThePageKeepsTheHintAndItsFix)
{
    FakeContext fake;
    CGSFSDlg page(fake.Context());
    EXPECT_EQ((std::vector<std::string>{"meridian", "y-add"}), page.ZoneFields());
    FillSource(page, {"1", "3380000", "512345.6"});
    page.EditText("meridian", "1110000");
    page.EditText("y-add", "38500000");
    ASSERT_TRUE(page.CheckZone());
    EXPECT_EQ("改正", ZoneFixCaption(*page.ZoneHintNow()));
    EXPECT_EQ((std::vector<std::string>{"meridian", "y-add"}), page.FixZone());
    EXPECT_EQ("1140000", page.Field("meridian").text);
    EXPECT_FALSE(page.ZoneHintNow());
    EXPECT_TRUE(page.FixZone().empty());

    FillSource(page, {"1", "3380000", "39512345.6"});
    ASSERT_TRUE(page.CheckZone());
    EXPECT_EQ("改为 1170000", ZoneFixCaption(*page.ZoneHintNow()));
    EXPECT_EQ(std::vector<std::string>{"meridian"}, page.FixZone());
    EXPECT_EQ("1170000", page.Field("meridian").text);

    CZBHDDlg change(fake.Context());
    EXPECT_EQ((std::vector<std::string>{"from-meridian", "from-y-add"}), change.ZoneFields());
    CGSZSDlg forward(fake.Context());
    EXPECT_TRUE(forward.ZoneFields().empty());
}
