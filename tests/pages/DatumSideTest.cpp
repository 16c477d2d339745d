// The two sides of a datum page: what they declare, a point read and written in every
// coordinate type and notation, the states the view hears of, and the following meridian.
#include "PageFixture.hpp"
#include "geodesy/AngleNotation.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <map>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

class SidesPage final : public TwoSidedPage<ToolPage> {
public:
    explicit SidesPage(PageContext context)
        : TwoSidedPage(context, kAngleUnitChoices, kShortAngleUnitChoices)
    {
    }
    std::string Title() const override { return "datum sides"; }
    PageFrame Frame() const override { return PageFrame::Conversion; }
};

// A view that binds every field when attached and keeps what it is told afterwards.
class RecordingView : public PageView {
public:
    explicit RecordingView(ToolPage& page)
    {
        for (const PageField& field : page.Fields())
            shown[field.id] = field;
        page.SetView(this);
    }
    void FieldChanged(const PageField& field) override { shown[field.id] = field; }
    std::map<std::string, PageField> shown;
};

// Picks the type and notation of a side as the window would, and takes them in.
void Use(SidesPage& page, DatumSide& side, int type, int unit)
{
    page.Choose(side.CoordsId(), type);
    page.Choose(side.UnitId(), unit);
    ASSERT_TRUE(page.ExchangeFields());
    side.TakeFields();
}

} // namespace

TEST(DatumSideDescription, DeclaresBothSidesThroughThePageDescription)
{
    FakeContext fake;
    SidesPage page(fake.Context());
    std::vector<std::string> ids;
    for (const PageField& field : page.Fields())
        ids.push_back(field.id);
    EXPECT_EQ((std::vector<std::string>{"from-meridian", "from-y-add", "from-coords", "from-unit",
                                        "to-meridian", "to-y-add", "to-coords", "to-unit"}),
              ids);

    ASSERT_EQ(2u, page.Panels().size());
    EXPECT_EQ("原椭球及坐标系参数设置", page.Panels()[0].title);
    EXPECT_EQ("新椭球及坐标系参数设置", page.Panels()[1].title);
    EXPECT_EQ(&page.To().Ellipsoid(), page.EllipsoidPanelOf("to"));
    // Beijing 54 on the source side, Xian 80 on the target side.
    EXPECT_EQ(0, page.EllipsoidPanelOf("from")->Selection());
    EXPECT_EQ(6378140.0, page.To().Projector().GetEllipsoid().a);

    EXPECT_EQ("1050000", page.Field("to-meridian").text);
    EXPECT_EQ(kUnitDegrees, page.Field("to-unit").pendingIndex);
    EXPECT_FALSE(page.Field("from-unit").visible);
    EXPECT_EQ("DDD.MMSSSS", page.Field("from-unit").choices[1]);
    EXPECT_EQ("DDD.MMSS", page.Field("to-unit").choices[1]);
}

struct PointCase {
    const char* name;
    int type;
    int unit;
    std::vector<std::string> cells; // read on the source side
    GeodeticPoint written;          // written on the source side
    std::vector<std::string> texts; // what is written
};

void PrintTo(const PointCase& c, std::ostream* os)
{
    *os << c.name;
}

class DatumSidePoint : public ::testing::TestWithParam<PointCase> {};

TEST_P(DatumSidePoint, ReadsAsGeodesyDoesAndWritesInTheSidesFormat)
{
    const PointCase& c = GetParam();
    FakeContext fake;
    SidesPage page(fake.Context());
    Use(page, page.From(), c.type, c.unit);

    const GeodeticPoint read = page.From().ReadPoint(c.cells);
    const double first = platform::ParseDouble(c.cells[0]);
    const double second = platform::ParseDouble(c.cells[1]);
    double B = 0, L = 0;
    if (c.type == kPlaneCoordinates) {
        geodesy::GaussProjector krasovsky;
        krasovsky.GaussInverse(first, second, 105.0, 500000.0, B, L);
    } else if (c.unit == kUnitPacked) {
        B = geodesy::PackedToDegrees(first), L = geodesy::PackedToDegrees(second);
    } else if (c.unit == kUnitDotted) {
        B = geodesy::DottedToDegrees(first), L = geodesy::DottedToDegrees(second);
    } else {
        B = first, L = second;
    }
    EXPECT_EQ(B, read.B);
    EXPECT_EQ(L, read.L);
    EXPECT_EQ(platform::ParseDouble(c.cells[2]), read.H);

    std::vector<std::string> row{"P7", "", "", "", "kept"};
    page.From().WritePoint(c.written, std::span(row).subspan(1, 3));
    EXPECT_EQ(c.texts, std::vector<std::string>(row.begin() + 1, row.begin() + 4));
    EXPECT_EQ("P7", row[0]);
    EXPECT_EQ("kept", row[4]);
}

// Written texts: the forward page's example (30.5°, 106.3° on Beijing 54, 105°, 500000 m) and
// the notation examples of 117°12′34.56″.
INSTANTIATE_TEST_SUITE_P(
    EveryTypeAndNotation, DatumSidePoint,
    ::testing::Values(PointCase{"Plane",
                                kPlaneCoordinates,
                                kUnitDegrees,
                                {"3376320.4035", "624805.9342", "12.5"},
                                {30.5, 106.3, 12.5},
                                {"3376320.4035", "624805.9342", "12.5000"}},
                      PointCase{"PlaneIgnoresNotation",
                                kPlaneCoordinates,
                                kUnitPacked,
                                {"3376320.4035", "624805.9342", ""},
                                {30.5, 106.3, -3.25},
                                {"3376320.4035", "624805.9342", "-3.2500"}},
                      PointCase{"Packed",
                                kGeodeticCoordinates,
                                kUnitPacked,
                                {"303000", "1061800", "7"},
                                {117.2096, 30.5, 7},
                                {"1171234.5600", "303000.0000", "7.0000"}},
                      PointCase{"Dotted",
                                kGeodeticCoordinates,
                                kUnitDotted,
                                {"117.123456", "30.30", "0.00005"},
                                {117.2096, 30.5, 0.00005},
                                {"117.12345600", "30.30000000", "0.0001"}},
                      PointCase{"Degrees",
                                kGeodeticCoordinates,
                                kUnitDegrees,
                                {"117.2096", "not a number", "1e3"},
                                {117.2096, -30.5, 1000},
                                {"117.20960000", "-30.50000000", "1000.0000"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DatumSidePoint, TargetSideUsesItsOwnEllipsoidAndZone)
{
    FakeContext fake;
    SidesPage page(fake.Context());
    page.EditText("from-meridian", "1110000"); // the target follows: 111°
    page.EditText("to-y-add", "38500000");
    Use(page, page.To(), kPlaneCoordinates, kUnitDegrees);

    geodesy::GaussProjector xian80;
    xian80.SetEllipsoid(geodesy::kIag1975);
    double x = 0, y = 0;
    xian80.GaussForward(30.5, 106.3, 111.0, 38500000.0, x, y);
    std::vector<std::string> cells(3);
    page.To().WritePoint({30.5, 106.3, 0}, cells);
    EXPECT_EQ(platform::FormatFixed(x, 4), cells[0]);
    EXPECT_EQ(platform::FormatFixed(y, 4), cells[1]);

    // Plane cells are taken as they are; geodetic ones are projected into the side's zone.
    double px = 0, py = 0;
    page.To().ReadPlane(cells, px, py);
    EXPECT_EQ(platform::ParseDouble(cells[0]), px);
    Use(page, page.To(), kGeodeticCoordinates, kUnitDegrees);
    page.To().ReadPlane(std::vector<std::string>{"30.5", "106.3"}, px, py);
    EXPECT_EQ(x, px);
    EXPECT_EQ(y, py);
}

struct TypeCase {
    int from;
    int to;
};

void PrintTo(const TypeCase& c, std::ostream* os)
{
    *os << "from " << c.from << ", to " << c.to;
}

class DatumSideStates : public ::testing::TestWithParam<TypeCase> {};

TEST_P(DatumSideStates, ViewHearsTitlesNotationListsAndTargetMeridian)
{
    const TypeCase c = GetParam();
    FakeContext fake;
    SidesPage page(fake.Context());
    tables::CoordinateTable table;
    table.SetupColumns(std::vector<std::string>(8, "?"), std::vector<int>(8, 80));
    page.From().ShowTitlesIn(table, 1);
    page.To().ShowTitlesIn(table, 4);
    RecordingView view(page);

    // Back and forth first: the final state must not depend on the way there.
    page.Choose("to-coords", 1 - c.to);
    page.Choose("from-coords", c.from);
    page.Choose("to-coords", c.to);

    EXPECT_EQ(c.from == kPlaneCoordinates && c.to == kPlaneCoordinates,
              view.shown["to-meridian"].enabled);
    EXPECT_TRUE(view.shown["from-meridian"].enabled);
    EXPECT_EQ(c.from == kGeodeticCoordinates, view.shown["from-unit"].visible);
    EXPECT_EQ(c.to == kGeodeticCoordinates, view.shown["to-unit"].visible);
    const std::vector<std::string> plane{"原坐标x(m)", "原坐标y(m)", "原高程z(m)",
                                         "新坐标x(m)", "新坐标y(m)", "新高程z(m)"};
    const std::vector<std::string> geodetic{"原纬度B", "原经度L", "原海拔H",
                                            "新纬度B", "新经度L", "新海拔H"};
    std::vector<std::string> titles = table.ColumnTitles();
    for (int i = 0; i < 6; ++i) {
        bool geodeticSide = (i < 3 ? c.from : c.to) == kGeodeticCoordinates;
        EXPECT_EQ((geodeticSide ? geodetic : plane)[static_cast<std::size_t>(i)],
                  titles[static_cast<std::size_t>(i + 1)]);
    }
    EXPECT_EQ("?", titles[0]);
    EXPECT_EQ("?", titles[7]);
}

INSTANTIATE_TEST_SUITE_P(BothTypesOnBothSides, DatumSideStates,
                         ::testing::Values(TypeCase{0, 0}, TypeCase{0, 1}, TypeCase{1, 0},
                                           TypeCase{1, 1}));

TEST(DatumSideMeridian, TargetFollowsEverySourceEditButNotTheOtherWay)
{
    FakeContext fake;
    SidesPage page(fake.Context());
    RecordingView view(page);
    page.EditText("from-meridian", "1170000");
    EXPECT_EQ("1170000", view.shown["to-meridian"].text);
    page.EditText("from-meridian", "11"); // a half-typed value is copied as it stands
    EXPECT_EQ("11", view.shown["to-meridian"].text);
    page.EditText("from-meridian", "1170000");

    page.EditText("to-meridian", "1110000"); // both plane: the target may differ
    EXPECT_EQ("1170000", page.Field("from-meridian").text);
    ASSERT_TRUE(page.ExchangeFields());
    EXPECT_EQ(1110000, page.Field("to-meridian").value);
}

TEST(DatumSideMeridian, ChoosingPlaneReadsTheFormAndGeodeticDoesNot)
{
    FakeContext fake;
    SidesPage page(fake.Context());
    page.EditText("from-y-add", "5e5");
    page.Choose("to-coords", kGeodeticCoordinates);
    EXPECT_TRUE(fake.prompter.messages.empty());
    page.Choose("to-coords", kPlaneCoordinates);
    EXPECT_EQ(std::vector<std::string>{messages::kEnterInteger}, fake.prompter.MessageTexts());
    // The refused field does not stop the states.
    EXPECT_TRUE(page.Field("to-meridian").enabled);
    EXPECT_FALSE(page.Field("to-unit").visible);
}
