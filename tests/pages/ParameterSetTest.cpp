// The parameter-set table: file line written by 保存参数 and read back by the parameter import,
// the four-parameter file order, the field formats, the seven-parameter units and every
// field-count message.
#include "PageFixture.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

class ScratchFile {
public:
    ScratchFile()
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-'); // parameterised tests
        m_path = std::filesystem::temp_directory_path() /
                 ("carvento-params-" + std::to_string(::getpid()) + "-" + name + ".txt");
    }
    ~ScratchFile() { std::filesystem::remove(m_path); }
    std::string Path() const { return m_path.string(); }
    std::string Read() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_path;
};

// One arc-second in radians and one ppm, as the seven-parameter record holds them inside.
constexpr double kArcSecond = 4.84813681109536e-6;
constexpr double kPpm = 1e-6;

} // namespace

struct RoundTripCase {
    const char* name;
    ParameterSet solved;
    std::string line; // the file's content
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParameterFileRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ParameterFileRoundTrip, SavedFieldsComeBackAsTheyWereShown)
{
    const RoundTripCase& c = GetParam();
    FakeContext fake;
    ScratchFile file;
    const std::vector<std::string> shown = c.solved.FieldTexts(ParameterShown::Solved);
    ASSERT_TRUE(SaveParameterFile(fake.prompter, file.Path(), c.solved.Kind(), shown));
    EXPECT_EQ(c.line, file.Read());

    ParameterSet imported(c.solved.Kind());
    ParameterReadResult result = ReadParameterFile(file.Path(), imported);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(c.solved.Info().Count(), result.fields);
    // The import shows ten decimals everywhere; the values are those the fields showed.
    ASSERT_EQ(shown.size(), imported.Values().size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(platform::ParseDouble(shown[i]), imported.Values()[i]) << i;
    EXPECT_TRUE(fake.prompter.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ParameterFileRoundTrip,
    ::testing::Values(
        RoundTripCase{"Three",
                      ParameterSet::From(geodesy::ThreeParams{-15.25, 0.5, 1234.123456789012}),
                      "-15.2500000000,0.5000000000,1234.1234567890\r\n"},
        // Shown DX, DY, T, K with 6, 6, 10, 12 decimals; saved DX, DY, K, T.
        RoundTripCase{"Four",
                      ParameterSet::From(geodesy::FourParams{100.0, -50.0, 0.9999876543210987,
                                                             0.0000123}),
                      "100.000000,-50.000000,0.999987654321,0.0000123000\r\n"},
        RoundTripCase{
            "Seven",
            ParameterSet::FromInternal(geodesy::SevenParams{1, 2, 3, 4 * kArcSecond, 5 * kArcSecond,
                                                            -6 * kArcSecond, 7 * kPpm}),
            "1.0000000000,2.0000000000,3.0000000000,4.0000000000,5.0000000000,-6.0000000000,"
            "7.0000000000\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FourParameterSet, FileOrderIsDxDyKTAndDisplayOrderDxDyTK)
{
    ParameterSet set(ParameterKind::Four);
    ASSERT_TRUE(ReadParameterBytes("1,2,3,4", set).Ok());
    const geodesy::FourParams params = set.ToFourParams();
    EXPECT_EQ(1.0, params.DX);
    EXPECT_EQ(2.0, params.DY);
    EXPECT_EQ(3.0, params.K);
    EXPECT_EQ(4.0, params.T);
    EXPECT_EQ((std::vector<std::string>{"1.0000000000", "2.0000000000", "4.0000000000",
                                        "3.0000000000"}),
              set.FieldTexts(ParameterShown::Imported));

    std::vector<std::string> labels;
    for (const ParameterName& name : set.Info().names)
        labels.push_back(name.label);
    EXPECT_EQ((std::vector<std::string>{"DX=", "DY=", "T=", "K="}), labels);
    const std::vector<std::string> fields{"dx", "dy", "t", "k"};
    EXPECT_EQ((std::vector<std::string>{"dx", "dy", "k", "t"}),
              ParameterFileLine(ParameterKind::Four, fields));
}

TEST(SevenParameterSet, ImportTakesTheFirstSevenOfEightInUserUnits)
{
    ParameterSet set(ParameterKind::Seven);
    ParameterReadResult result = ReadParameterBytes("1,2,3,4,5,6,7,8\r\n", set);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(8, result.fields);
    EXPECT_EQ((std::vector<std::string>{"1.0000000000", "2.0000000000", "3.0000000000",
                                        "4.0000000000", "5.0000000000", "6.0000000000",
                                        "7.0000000000"}),
              set.FieldTexts(ParameterShown::Imported));
    const geodesy::SevenParams inside = set.ToInternalSevenParams();
    EXPECT_EQ(3.0, inside.DZ);
    EXPECT_DOUBLE_EQ(4 * kArcSecond, inside.WX);
    EXPECT_DOUBLE_EQ(6 * kArcSecond, inside.WZ);
    EXPECT_DOUBLE_EQ(7 * kPpm, inside.K);
    // A record of another kind is not made up from these values.
    EXPECT_EQ(0.0, set.ToFourParams().DX);
}

struct RefusalCase {
    const char* name;
    ParameterKind kind;
    std::string bytes;
    std::vector<std::string> messages;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParameterImportRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ParameterImportRefusal, ShowsTheKindsMessageAndKeepsThePreviousValues)
{
    const RefusalCase& c = GetParam();
    ParameterSet set(c.kind);
    set.SetValue(0, 42.0);
    ParameterReadResult result = ReadParameterBytes(c.bytes, set);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(c.messages, ParameterReadMessages(result, c.kind, "p.txt"));
    EXPECT_EQ(42.0, set.Values()[0]);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ParameterImportRefusal,
    ::testing::Values(
        RefusalCase{"SixForSeven",
                    ParameterKind::Seven,
                    "1,2,3,4,5,6\r\n",
                    {"行参数不足或多余7个,请检查!"}},
        RefusalCase{"ThreeForFour", ParameterKind::Four, "1,2,3", {"行参数不足或多余4个,请检查!"}},
        RefusalCase{"TwoForThree",
                    ParameterKind::Three,
                    "1,2\r\n\r\n",
                    {"行参数不足或多余3个,请检查!"}},
        // What 保存参数 writes before any solve.
        RefusalCase{"EmptyLine",
                    ParameterKind::Four,
                    "\r\n",
                    {"文本文件前8行未找到数据!", "行参数不足或多余4个,请检查!"}},
        RefusalCase{"DataAfterEightLines",
                    ParameterKind::Three,
                    "\n\n\n\n\n\n\n\n1,2,3\n",
                    {"文本文件前8行未找到数据!", "行参数不足或多余3个,请检查!"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParameterFile, SavingBeforeAnySolveWritesOneEmptyLine)
{
    FakeContext fake;
    ScratchFile file;
    const std::vector<std::string> empty(7);
    ASSERT_TRUE(SaveParameterFile(fake.prompter, file.Path(), ParameterKind::Seven, empty));
    EXPECT_EQ("\r\n", file.Read());
}

TEST(ParameterFile, UnreadableFileIsReportedWithoutFieldCount)
{
    ParameterSet set(ParameterKind::Three);
    const std::string missing = "/nonexistent-carvento-folder/p.txt";
    ParameterReadResult result = ReadParameterFile(missing, set);
    EXPECT_EQ(ParameterReadStatus::Unreadable, result.status);
    EXPECT_EQ(std::vector<std::string>{"无法读取文件: " + missing},
              ParameterReadMessages(result, ParameterKind::Three, missing));
}
