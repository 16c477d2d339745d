// The search for run-time modules: the override variable alone when set, else the install's
// library folder beside the program, else the build tree; the places tried named when none is
// there.
#include "platform/ProgramFolder.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace carvento {
namespace {

using platform::FindModule;
using platform::ModuleCandidates;
using platform::ModuleSearch;
using testing::ScratchFolder;

constexpr const char* kVariable = "CARVENTO_TEST_MODULE";

class ModuleSearchTest : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv(kVariable); }
    void TearDown() override { ::unsetenv(kVariable); }

    // Where the install's copy would be for this test program.
    static std::string Installed()
    {
        return (std::filesystem::path(platform::ProgramFolder()) / ".." / "lib/carvento" /
                "libtest-module.so")
            .string();
    }

    ScratchFolder folder;
    ModuleSearch search{kVariable, "lib/carvento", "libtest-module.so", ""};
};

TEST_F(ModuleSearchTest, TheInstallFolderComesBeforeTheBuildTree)
{
    search.builtPath = folder.Write("built.so", "module");
    EXPECT_EQ(std::vector<std::string>({Installed(), search.builtPath}), ModuleCandidates(search));
    // The install has none here: the build tree's copy is found.
    EXPECT_EQ(search.builtPath, FindModule(search).path);
}

TEST_F(ModuleSearchTest, TheOverrideIsTheOnlyPlaceLooked)
{
    search.builtPath = folder.Write("built.so", "module");
    const std::string named = folder / "named.so";
    ::setenv(kVariable, named.c_str(), 1);
    EXPECT_EQ(std::vector<std::string>({named}), ModuleCandidates(search));
    // Named but missing: the build tree's copy is not taken instead.
    const platform::ModuleLocation missing = FindModule(search);
    EXPECT_EQ("", missing.path);
    EXPECT_EQ(named, missing.tried);

    folder.Write("named.so", "module");
    EXPECT_EQ(named, FindModule(search).path);

    // Set but empty is not set.
    ::setenv(kVariable, "", 1);
    EXPECT_EQ(search.builtPath, FindModule(search).path);
}

TEST_F(ModuleSearchTest, NoModuleAnywhereListsEveryPlaceTried)
{
    search.builtPath = folder / "not-built.so";
    const platform::ModuleLocation found = FindModule(search);
    EXPECT_EQ("", found.path);
    EXPECT_EQ(Installed() + ", " + search.builtPath, found.tried);
}

} // namespace
} // namespace carvento
