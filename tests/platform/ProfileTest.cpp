// The in-memory profile used by the tests of every other module.
#include "platform/Profile.hpp"

#include <gtest/gtest.h>

using carvento::platform::MemoryProfile;

TEST(MemoryProfile, MissingValuesTakeTheDefault)
{
    MemoryProfile profile;
    EXPECT_EQ("dflt", profile.GetString("CoordinateSystem", "Custom", "dflt"));
    EXPECT_EQ(7, profile.GetInt("", "Version", 7));
}

TEST(MemoryProfile, SectionsKeepTheirOwnKeys)
{
    MemoryProfile profile;
    profile.SetString("A", "k", "1");
    profile.SetString("B", "k", "2");
    profile.SetInt("", "Version", 12);
    EXPECT_EQ("1", profile.GetString("A", "k", ""));
    EXPECT_EQ("2", profile.GetString("B", "k", ""));
    EXPECT_EQ(12, profile.GetInt("", "Version", 0));
    EXPECT_EQ(5, profile.GetInt("A", "k", 0) + 4);
}

TEST(MemoryProfile, NonIntegerTextReadsAsDefault)
{
    MemoryProfile profile;
    profile.SetString("S", "n", "12x");
    EXPECT_EQ(-1, profile.GetInt("S", "n", -1));
}
