// carvento-cli ellipsoid add against a real profile file: concurrent runs each keep their name,
// names with the list separators are refused, a damaged profile is rewritten and not reported
// as a write failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class EllipsoidProfile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-ellipsoid-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_profile = (m_dir / "profile.ini").string();
        ::setenv("CARVENTO_PROFILE", m_profile.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    static std::string Slurp(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // Starts carvento-cli with `arguments`, output to files named after `tag`.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& tag) const
    {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        const std::string out = (m_dir / (tag + ".out")).string();
        const std::string err = (m_dir / (tag + ".err")).string();
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all = {CARVENTO_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(0, posix_spawn(&pid, CARVENTO_CLI, &files, nullptr, argv.data(), environ));
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }

    CliRun Finish(pid_t pid, const std::string& tag) const
    {
        CliRun run;
        int raw = 0;
        if (::waitpid(pid, &raw, 0) == pid && WIFEXITED(raw))
            run.status = WEXITSTATUS(raw);
        run.out = Slurp(m_dir / (tag + ".out"));
        run.err = Slurp(m_dir / (tag + ".err"));
        return run;
    }

    CliRun Cli(const std::vector<std::string>& arguments) const
    {
        return Finish(Start(arguments, "one"), "one");
    }

    std::filesystem::path m_dir;
    std::string m_profile;
};

} // namespace

TEST_F(EllipsoidProfile, ConcurrentAddsAllKeepTheirNames)
{
    constexpr int kRuns = 20;
    std::vector<pid_t> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(Start({"ellipsoid", "add", "E" + std::to_string(i), "6378137",
                              std::to_string(6356000 + i)},
                             "add" + std::to_string(i)));
    for (int i = 0; i < kRuns; ++i) {
        const CliRun run = Finish(runs[static_cast<std::size_t>(i)], "add" + std::to_string(i));
        EXPECT_EQ(0, run.status) << i << ": " << run.err;
    }
    const CliRun list = Cli({"ellipsoid", "list"});
    ASSERT_EQ(0, list.status) << list.err;
    for (int i = 0; i < kRuns; ++i)
        EXPECT_NE(std::string::npos,
                  list.out.find("\tE" + std::to_string(i) + "\t6378137.0000000000\t" +
                                std::to_string(6356000 + i) + ".0000000000\n"))
            << "E" << i << " missing from\n"
            << list.out;
}

TEST_F(EllipsoidProfile, NameWithAListSeparatorIsRefusedAndNothingSaved)
{
    ASSERT_EQ(0, Cli({"ellipsoid", "add", "Kept", "6378137", "6356752"}).status);
    const std::string before = Slurp(m_profile);
    for (const char* name : {"A;B", "A,B"}) {
        const CliRun run = Cli({"ellipsoid", "add", name, "6378137", "6356752"});
        EXPECT_EQ(1, run.status) << name;
        EXPECT_NE(std::string::npos, run.err.find("椭球名称不能包含分号(;)或逗号(,)")) << run.err;
        EXPECT_EQ(before, Slurp(m_profile)) << name;
    }
}

TEST_F(EllipsoidProfile, DamagedProfileIsRewrittenAndTheAddSucceeds)
{
    std::ofstream(m_profile, std::ios::binary) << "[CoordinateSystem]\n"
                                                  "Custom=\"A;\"\n"
                                                  "A=\"6378245.000000,6356863.018773\"\n"
                                                  "[EARTH\n"
                                                  "no setting on this line\n";
    const CliRun add = Cli({"ellipsoid", "add", "B", "6378137", "6356752"});
    EXPECT_EQ(0, add.status) << add.err;
    EXPECT_EQ(std::string::npos, add.err.find("could not be written")) << add.err;
    EXPECT_TRUE(std::filesystem::exists(m_profile + ".damaged"));

    const CliRun list = Cli({"ellipsoid", "list"});
    EXPECT_NE(std::string::npos, list.out.find("4\tA\t6378245.0000000000\t"));
    EXPECT_NE(std::string::npos, list.out.find("5\tB\t6378137.0000000000\t6356752.0000000000\n"))
        << list.out;
}

// A new user has no configuration folder: the first ellipsoid creates it.
TEST_F(EllipsoidProfile, TheFirstAddOfANewUserCreatesTheProfileFolder)
{
    ::unsetenv("CARVENTO_PROFILE");
    const std::string home = (m_dir / "home").string();
    std::filesystem::create_directories(home);
    const char* previousHome = std::getenv("HOME");
    const std::string savedHome = previousHome ? previousHome : "";
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    const CliRun run = Cli({"ellipsoid", "add", "新用户椭球", "6378140", "6356755.288"});
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(
        std::string::npos,
        Slurp(std::filesystem::path(home) / ".config/HVFactory/carvento.ini").find("6378140"));
}
