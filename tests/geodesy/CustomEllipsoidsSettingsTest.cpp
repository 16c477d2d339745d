// A user-defined ellipsoid whose name holds "/" survives a save and reload through the
// QSettings profile and appears in the ellipsoid panel.
#include "geodesy/CustomEllipsoids.hpp"
#include "geodesy/EllipsoidPanel.hpp"
#include "platform/qt/SettingsProfile.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

using namespace carvento::geodesy;
using carvento::platform::SettingsProfile;

TEST(CustomEllipsoidsSettings, NameWithSlashSurvivesSaveAndReload)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string path = dir.filePath("carvento.ini").toStdString();
    {
        auto profile = SettingsProfile::FromIniFile(path);
        SaveCustomEllipsoid(*profile, "WGS84/GRS80", 6378137.0, 6356752.314140356);
        SaveCustomEllipsoid(*profile, "北京/54", 6378245.0, 6356863.018773047);
        ASSERT_TRUE(profile->Sync());
    }
    auto profile = SettingsProfile::FromIniFile(path);
    EXPECT_EQ((std::vector<std::string>{"WGS84/GRS80", "北京/54", ""}), ListCustomNames(*profile));
    EXPECT_EQ(6378137.0, ReadCustomAxis(*profile, "WGS84/GRS80", "a", 0.0));
    EXPECT_EQ(6356752.31414, ReadCustomAxis(*profile, "WGS84/GRS80", "b", 0.0));

    GaussProjector projector;
    EllipsoidPanel panel(projector, *profile);
    ASSERT_EQ(7u, panel.Entries().size());
    EXPECT_EQ("北京/54", panel.Entries()[5]);
    panel.Select(5);
    EXPECT_EQ("6378245.0000000000", panel.AText());
    // Stored with six decimals, shown with ten.
    EXPECT_EQ("6356863.0187729998", panel.BText());
    EXPECT_EQ(6378245.0, projector.GetEllipsoid().a);
}
