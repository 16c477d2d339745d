// The QSettings profile keeps names with "/" and "\", Chinese text and comma-separated values.
#include "platform/qt/SettingsProfile.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using carvento::platform::SettingsProfile;

TEST(SettingsProfile, KeysWithSlashesAndTextSurviveSaveAndReload)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string path = dir.filePath("carvento.ini").toStdString();
    {
        auto profile = SettingsProfile::FromIniFile(path);
        profile->SetString("CoordinateSystem", "Custom", "WGS84/GRS80;a\\b;50%;");
        profile->SetString("CoordinateSystem", "WGS84/GRS80", "6378137.000000,6356752.314100");
        profile->SetString("CoordinateSystem", "a\\b", "1.000000,2.000000");
        profile->SetString("CoordinateSystem", "50%", "3.000000,4.000000");
        profile->SetString("CoordinateSystem", "北京", "5.000000,6.000000");
        profile->SetInt("", "Version", 8);
        ASSERT_TRUE(profile->Sync());
    }
    auto profile = SettingsProfile::FromIniFile(path);
    EXPECT_EQ("WGS84/GRS80;a\\b;50%;", profile->GetString("CoordinateSystem", "Custom", ""));
    EXPECT_EQ("6378137.000000,6356752.314100",
              profile->GetString("CoordinateSystem", "WGS84/GRS80", ""));
    EXPECT_EQ("1.000000,2.000000", profile->GetString("CoordinateSystem", "a\\b", ""));
    EXPECT_EQ("3.000000,4.000000", profile->GetString("CoordinateSystem", "50%", ""));
    EXPECT_EQ("5.000000,6.000000", profile->GetString("CoordinateSystem", "北京", ""));
    EXPECT_EQ("", profile->GetString("CoordinateSystem", "WGS84", ""));
    EXPECT_EQ(8, profile->GetInt("", "Version", 0));
    EXPECT_EQ(-3, profile->GetInt("CoordinateSystem", "Custom", -3));
}
