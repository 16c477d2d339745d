// The QSettings profile keeps names with "/" and "\", Chinese text and comma-separated values.
#include "platform/qt/SettingsProfile.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using carvento::platform::ProfileUpdateStatus;
using carvento::platform::SettingsProfile;

namespace {

// A profile as QSettings writes it, with a section header that lost its bracket and a line
// that is no setting: QSettings reports a format error on reading it.
constexpr char kDamagedProfile[] = "[CoordinateSystem]\n"
                                   "Custom=\"A;\"\n"
                                   "A=\"6378137.000000,6356752.000000\"\n"
                                   "[EARTH\n"
                                   "no setting on this line\n";

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

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

TEST(SettingsProfile, DamagedFileThatWasRewrittenIsNotAWriteFailure)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("carvento.ini");
    WriteFile(path, kDamagedProfile);

    auto profile = SettingsProfile::FromIniFile(path.toStdString());
    const auto update = profile->Update([](carvento::platform::Profile& p) {
        p.SetString("CoordinateSystem", "Custom",
                    p.GetString("CoordinateSystem", "Custom", "") + "B;");
    });
    EXPECT_EQ(ProfileUpdateStatus::Written, update.status) << update.description();
    EXPECT_TRUE(update.damaged);
    // The file as it was is kept before the rewrite drops what could not be read.
    ASSERT_EQ(path.toStdString() + ".damaged", update.damagedCopy);
    QFile copy(path + ".damaged");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray(kDamagedProfile), copy.readAll());

    auto reread = SettingsProfile::FromIniFile(path.toStdString());
    EXPECT_EQ("A;B;", reread->GetString("CoordinateSystem", "Custom", ""));
    EXPECT_EQ("6378137.000000,6356752.000000", reread->GetString("CoordinateSystem", "A", ""));

    // The same holds for a plain write after reading a damaged file.
    WriteFile(path, kDamagedProfile);
    auto plain = SettingsProfile::FromIniFile(path.toStdString());
    plain->SetInt("", "Version", 3);
    EXPECT_TRUE(plain->Sync());
    EXPECT_EQ(3, SettingsProfile::FromIniFile(path.toStdString())->GetInt("", "Version", 0));
}

TEST(SettingsProfile, FileThatCannotBeWrittenIsReportedSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // No folder can be made below a plain file, whoever runs the test.
    WriteFile(dir.filePath("plain"), "");
    const std::string path = dir.filePath("plain/carvento.ini").toStdString();

    auto profile = SettingsProfile::FromIniFile(path);
    const auto update = profile->Update([](carvento::platform::Profile& p) {
        p.SetString("CoordinateSystem", "Custom", "A;");
    });
    EXPECT_EQ(ProfileUpdateStatus::WriteFailed, update.status);
    EXPECT_FALSE(update.damaged);

    auto plain = SettingsProfile::FromIniFile(path);
    plain->SetInt("", "Version", 3);
    EXPECT_FALSE(plain->Sync());
}
