// User-defined ellipsoids in the profile and the ellipsoid panel built on them.
#include "geodesy/CustomEllipsoids.hpp"
#include "geodesy/EllipsoidPanel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace carvento::geodesy;
using carvento::platform::MemoryProfile;

namespace {

using Names = std::vector<std::string>;

Names PresetsThen(const Names& middle)
{
    Names entries(std::begin(kPresetNames), std::end(kPresetNames));
    entries.insert(entries.end(), middle.begin(), middle.end());
    entries.emplace_back("自定义");
    return entries;
}

std::string CustomList(const MemoryProfile& profile)
{
    return profile.GetString("CoordinateSystem", "Custom", "<missing>");
}

struct SaveCase {
    const char* before; // nullptr: no "Custom" value yet
    const char* name;
    const char* after;
};

class SaveCustom : public ::testing::TestWithParam<SaveCase> {};

// A name is listed when name + ";" stands at the start of the list or right after a ";".
TEST_P(SaveCustom, ListsNameOnlyWhenNotYetListed)
{
    const SaveCase& c = GetParam();
    MemoryProfile profile;
    if (c.before)
        profile.SetString("CoordinateSystem", "Custom", c.before);
    SaveCustomEllipsoid(profile, c.name, 6378137.0, 6356752.314140356);
    EXPECT_EQ(c.after, CustomList(profile));
    EXPECT_EQ("6378137.000000,6356752.314140", profile.GetString("CoordinateSystem", c.name, ""));
}

INSTANTIATE_TEST_SUITE_P(
    Store, SaveCustom,
    ::testing::Values(SaveCase{nullptr, "X", "X;"}, SaveCase{"", "X", "X;"},
                      SaveCase{"X;", "X", "X;"}, SaveCase{"AX;", "X", "AX;X;"},
                      SaveCase{"AX;X;", "X", "AX;X;"}, SaveCase{"XA;", "X", "XA;X;"},
                      SaveCase{"A;X;B;", "X", "A;X;B;"}, SaveCase{"AX;B;X;", "X", "AX;B;X;"},
                      SaveCase{"北京;", "北京", "北京;"}));

TEST(CustomEllipsoids, SavingAgainOverwritesAxesWithoutListingTwice)
{
    MemoryProfile profile;
    SaveCustomEllipsoid(profile, "X", 1.0, 2.0);
    SaveCustomEllipsoid(profile, "X", 6378000.1234567, 6356000.5);
    EXPECT_EQ("X;", CustomList(profile));
    EXPECT_EQ("6378000.123457,6356000.500000", profile.GetString("CoordinateSystem", "X", ""));
}

// ";" would split one name into several listed names with zero axes, "," breaks the list.
TEST(CustomEllipsoids, NameWithASeparatorOrNoNameIsNotStored)
{
    for (const char* name : {"A;B", "X;", ";", "A,B", "6378137,6356752", ""}) {
        MemoryProfile profile;
        profile.SetString("CoordinateSystem", "Custom", "Y;");
        EXPECT_FALSE(IsUsableCustomName(name)) << name;
        EXPECT_FALSE(SaveCustomEllipsoid(profile, name, 6378137.0, 6356752.0)) << name;
        EXPECT_EQ(1u, profile.Values().size()) << name;
        EXPECT_EQ("Y;", CustomList(profile)) << name;
    }
    MemoryProfile profile;
    EXPECT_TRUE(SaveCustomEllipsoid(profile, "WGS84/GRS80 (1980)", 6378137.0, 6356752.0));
    EXPECT_EQ("WGS84/GRS80 (1980);", CustomList(profile));
}

TEST(CustomEllipsoids, ListKeepsStoredOrderAndTheEmptyTrailingPart)
{
    MemoryProfile profile;
    EXPECT_EQ(Names{}, ListCustomNames(profile));
    profile.SetString("CoordinateSystem", "Custom", "");
    EXPECT_EQ(Names{}, ListCustomNames(profile));
    profile.SetString("CoordinateSystem", "Custom", "B;A;");
    EXPECT_EQ((Names{"B", "A", ""}), ListCustomNames(profile));
    profile.SetString("CoordinateSystem", "Custom", "B;;A");
    EXPECT_EQ((Names{"B", "", "A"}), ListCustomNames(profile));
}

struct AxisCase {
    const char* stored; // nullptr: nothing stored
    const char* which;
    double expected;
};

class ReadAxis : public ::testing::TestWithParam<AxisCase> {};

TEST_P(ReadAxis, ReadsPairOrGivesDefault)
{
    const AxisCase& c = GetParam();
    constexpr double kDefault = -7.0;
    MemoryProfile profile;
    if (c.stored)
        profile.SetString("CoordinateSystem", "E", c.stored);
    EXPECT_EQ(c.expected, ReadCustomAxis(profile, "E", c.which, kDefault))
        << (c.stored ? c.stored : "(none)") << " " << c.which;
}

INSTANTIATE_TEST_SUITE_P(
    Store, ReadAxis,
    ::testing::Values(AxisCase{"6378137.000000,6356752.314140", "A", 6378137.0},
                      AxisCase{"6378137.000000,6356752.314140", "b", 6356752.31414},
                      AxisCase{"6378137.000000,6356752.314140", "ab", -7.0},
                      AxisCase{nullptr, "a", -7.0}, AxisCase{"6378137", "a", -7.0},
                      AxisCase{"1,2,", "b", -7.0}, AxisCase{"x,2", "a", 0.0},
                      AxisCase{" 1.5e3 ,2", "a", 1500.0}));

// --- Ellipsoid panel ---

TEST(EllipsoidPanel, FreshProfileListsPresetsAndCustomEntry)
{
    MemoryProfile profile;
    GaussProjector projector;
    projector.SetEllipsoid(kWgs84);
    EllipsoidPanel panel(projector, profile);
    EXPECT_EQ(PresetsThen({}), panel.Entries());
    EXPECT_EQ(0, panel.Selection());
    EXPECT_EQ(6378245.0, projector.GetEllipsoid().a);
    EXPECT_EQ("6378245.0000000000", panel.AText());
    EXPECT_EQ("6356863.0187730473", panel.BText());
    EXPECT_FALSE(panel.AxesEditable());
}

// The list ends with ";", which splits into an empty last name; the panel does not show it.
TEST(EllipsoidPanel, SavedNamesStandBetweenPresetsAndCustomEntryWithoutEmptyOnes)
{
    MemoryProfile profile;
    SaveCustomEllipsoid(profile, "X", 6378000.0, 6357000.0);
    GaussProjector projector;
    EXPECT_EQ(PresetsThen({"X"}), EllipsoidPanel(projector, profile).Entries());

    profile.SetString("CoordinateSystem", "Custom", "B;;A;");
    EXPECT_EQ(PresetsThen({"B", "A"}), EllipsoidPanel(projector, profile).Entries());
}

struct PresetRowCase {
    int index;
    const char* aText;
    const char* bText;
};

class PanelPresetRow : public ::testing::TestWithParam<PresetRowCase> {};

TEST_P(PanelPresetRow, ShowsAxesDisablesFieldsAndSetsProjector)
{
    const PresetRowCase& c = GetParam();
    MemoryProfile profile;
    GaussProjector projector;
    EllipsoidPanel panel(projector, profile);
    panel.Select(4); // "自定义" first, so the fields were enabled
    panel.Select(c.index);
    EXPECT_EQ(c.aText, panel.AText());
    EXPECT_EQ(c.bText, panel.BText());
    EXPECT_FALSE(panel.AxesEditable());
    double a = 0.0;
    double b = 0.0;
    ASSERT_TRUE(PresetAxes(c.index, a, b));
    EXPECT_EQ(a, projector.GetEllipsoid().a);
    EXPECT_EQ(b, projector.GetEllipsoid().b);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, PanelPresetRow,
    ::testing::Values(PresetRowCase{0, "6378245.0000000000", "6356863.0187730473"},
                      PresetRowCase{1, "6378140.0000000000", "6356755.2881575283"},
                      PresetRowCase{2, "6378137.0000000000", "6356752.3141403561"},
                      PresetRowCase{3, "6378137.0000000000", "6356752.3142451793"}));

TEST(EllipsoidPanel, StoredEllipsoidSetsProjectorFromProfile)
{
    MemoryProfile profile;
    SaveCustomEllipsoid(profile, "X", 6378000.25, 6357000.5);
    GaussProjector projector;
    EllipsoidPanel panel(projector, profile);
    panel.Select(4);
    EXPECT_EQ(6378000.25, projector.GetEllipsoid().a);
    EXPECT_EQ(6357000.5, projector.GetEllipsoid().b);
    EXPECT_EQ("6378000.2500000000", panel.AText());
    EXPECT_EQ("6357000.5000000000", panel.BText());
    EXPECT_FALSE(panel.AxesEditable());
}

// A listed name without a readable value gives a = b = 0 and constants that are not numbers.
TEST(EllipsoidPanel, StoredEllipsoidWithBadValueGivesZeroAxes)
{
    MemoryProfile profile;
    profile.SetString("CoordinateSystem", "Custom", "Y;");
    profile.SetString("CoordinateSystem", "Y", "6378000");
    GaussProjector projector;
    EllipsoidPanel panel(projector, profile);
    panel.Select(4);
    EXPECT_EQ("0.0000000000", panel.AText());
    EXPECT_EQ("0.0000000000", panel.BText());
    EXPECT_EQ(0.0, projector.GetEllipsoid().a);
    EXPECT_TRUE(std::isnan(projector.GetEllipsoid().e));
}

// Typed axes reach the projector only when "自定义" is picked again.
TEST(EllipsoidPanel, TypedAxesTakeEffectWhenCustomEntryIsPickedAgain)
{
    MemoryProfile profile;
    GaussProjector projector;
    EllipsoidPanel panel(projector, profile);
    panel.Select(3);
    panel.Select(4);
    EXPECT_TRUE(panel.AxesEditable());
    EXPECT_EQ(6378137.0, projector.GetEllipsoid().a);
    EXPECT_EQ(6356752.314245179, projector.GetEllipsoid().b);

    panel.SetAText("6378000");
    panel.SetBText("6357000.5");
    EXPECT_EQ(6356752.314245179, projector.GetEllipsoid().b);
    EXPECT_EQ("6378000", panel.AText());

    panel.Select(4);
    EXPECT_EQ(6378000.0, projector.GetEllipsoid().a);
    EXPECT_EQ(6357000.5, projector.GetEllipsoid().b);
    EXPECT_EQ("6357000.5", panel.BText());
    EXPECT_TRUE(panel.AxesEditable());

    panel.SetAText("abc");
    panel.Select(4);
    EXPECT_EQ(0.0, projector.GetEllipsoid().a);
}

} // namespace
