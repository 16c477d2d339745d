// The output policy's pieces: which files count as the same, the temporaries it leaves nobody
// to find, and quoted fields that read back as they were written.
#include "platform/TextSplit.hpp"
#include "support/ScratchFolder.hpp"
#include "tables/OutputPolicy.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace carvento::tables {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

TEST(OutputPlan, KnowsAFileByWhatItIsNotByHowItIsSpelt)
{
    ScratchFolder folder;
    const std::string input = folder.Write("sub/in.txt", "x");
    fs::create_symlink(input, folder / "link.txt");
    OutputPlan plan;
    EXPECT_TRUE(plan.AddInput(input));
    EXPECT_FALSE(plan.AddInput(folder / "sub/../sub/in.txt")); // the same input again
    EXPECT_NE("", plan.Claim(folder / "link.txt"));            // a link to the input
    EXPECT_NE("", plan.Claim(folder / "sub/./in.txt"));
    // Files that do not exist yet are the same when their folder and name are.
    EXPECT_EQ("", plan.Claim(folder / "new.txt"));
    const std::string twice = plan.Claim(folder / "sub/../new.txt");
    EXPECT_NE(std::string::npos, twice.find("new.txt")) << twice;
    EXPECT_EQ("", plan.Claim(folder / "other.txt"));
    EXPECT_EQ("", plan.Claim("-")); // standard output is never a file of the run
    EXPECT_EQ("", plan.Claim("-"));
    // A merge target that exists without the output's suffix is most likely an input.
    folder.Write("b.txt", "y");
    EXPECT_NE("", plan.ClaimMerge(folder / "b.txt", ".kml"));
    folder.Write("all.KML", "z");
    EXPECT_EQ("", plan.ClaimMerge(folder / "all.KML", ".kml"));
    EXPECT_NE("", plan.Claim(folder.Path().string())); // a folder
    EXPECT_NE("", plan.Claim("/dev/null"));
}

TEST(ReplacingFile, TemporariesArePrivateShortAndCleanedUp)
{
    ScratchFolder folder;
    const std::string target = folder / (std::string(251, 'n') + ".txt"); // 255 bytes
    ReplacingFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("new"));
    // While it is written, the only new file is ours alone to read.
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        ++temporaries;
        struct stat info {};
        ASSERT_EQ(0, ::stat(entry.path().c_str(), &info));
        EXPECT_EQ(0600u, info.st_mode & 0777);
    }
    EXPECT_EQ(1, temporaries);
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ("new", ScratchFolder::Read(target));
    struct stat info {};
    ASSERT_EQ(0, ::stat(target.c_str(), &info));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(0666u & ~mask, info.st_mode & 0777);

    // A temporary of a process that is gone goes; one of a live process stays.
    const std::string prefix = folder / TemporaryPrefix("t.txt");
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string stale =
        folder.Write(TemporaryPrefix("t.txt") + std::to_string(child) + "-abcdef", "stale");
    const std::string live =
        folder.Write(TemporaryPrefix("t.txt") + std::to_string(::getppid()) + "-abcdef", "live");
    ASSERT_TRUE(ReplaceFileContents(folder / "t.txt", "t"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
}

TEST(TemporaryFolder, IsPrivateAndAKilledRunsFolderGoesWithTheNextOne)
{
    ScratchFolder folder;
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    // What a killed run of a shapefile export left: its folder with half a set in it.
    const std::string stale = TemporaryPrefix("pts.shp") + std::to_string(child) + "-abcdef";
    folder.Write(stale + "/pts.shp", "half");
    folder.Write(stale + "/pts.dbf", "half");
    const std::string live = TemporaryPrefix("pts.shp") + std::to_string(::getppid()) + "-abcdef";
    folder.Write(live + "/pts.shp", "another run's");

    const std::string created = CreateTemporaryFolderBeside(folder / "pts.shp");
    ASSERT_FALSE(created.empty());
    EXPECT_FALSE(fs::exists(folder / stale));
    EXPECT_TRUE(fs::exists(folder / live + "/pts.shp"));
    EXPECT_EQ(folder.Path(), fs::path(created).parent_path());
    EXPECT_EQ(fs::perms::owner_all, fs::status(created).permissions());
    folder.Write(fs::path(created).filename().string() + "/pts.shx", "x");
    RemoveTemporaryFolder(created);
    EXPECT_FALSE(fs::exists(created));
}

TEST(ReplacingFile, RefusesWhatIsNoRegularFileAndKeepsALinkALink)
{
    ScratchFolder folder;
    ASSERT_EQ(0, ::mkfifo((folder / "fifo").c_str(), 0600));
    EXPECT_FALSE(ReplaceFileContents(folder / "fifo", "x")); // would block or be renamed over
    EXPECT_TRUE(fs::is_fifo(folder / "fifo"));
    EXPECT_FALSE(ReplaceFileContents(folder.Path().string(), "x"));
    const std::string real = folder.Write("real.txt", "old");
    fs::create_symlink(real, folder / "link.txt");
    ASSERT_TRUE(ReplaceFileContents(folder / "link.txt", "new"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_EQ("new", ScratchFolder::Read(real));
}

TEST(QuotedFields, ReadBackAsTheyWereWritten)
{
    const std::vector<std::string> fields = {"A,B",  "say \"hi\"", "\"quoted\"", "",
                                             "30.5", "30°30'30\"", "line\nbreak"};
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty() || &field != &fields.front())
            line += ',';
        platform::AppendQuotedField(line, field);
    }
    // A quote inside a field that does not begin with one is no reason to quote.
    EXPECT_NE(std::string::npos, line.find(",30°30'30\","));
    std::vector<std::string_view> views;
    std::string scratch;
    ASSERT_EQ(static_cast<int>(fields.size()),
              platform::SplitQuotedViews(line, ",", views, scratch));
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(fields[i], views[i]);
    // Without quotes, or with one never closed, a line splits as it always did.
    for (std::string_view plain : {"a,,b,", "\"open,1,2", "x\"y,1"}) {
        std::vector<std::string_view> expected;
        platform::SplitOnAnyViews(plain, ",", expected);
        ASSERT_EQ(static_cast<int>(expected.size()),
                  platform::SplitQuotedViews(plain, ",", views, scratch));
        EXPECT_EQ(expected, views);
    }
}

} // namespace
} // namespace carvento::tables
