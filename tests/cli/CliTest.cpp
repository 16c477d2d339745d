// carvento-cli end to end: its output bytes equal the page's 导出 of the same input, and its
// exit status and messages tell a refused input from a usage error.
#include "pages/PageRegistry.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/frames/EllipsoidPage.hpp"
#include "pages/transform/HeightPages.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

using namespace carvento;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        // Keep the user's own profile out of the tests.
        ::setenv("CARVENTO_PROFILE", Path("profile.ini").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    CliRun Cli(const std::string& arguments, const std::string& stdinText = "") const
    {
        std::string in = Write("stdin.txt", stdinText);
        std::string command = std::string(CARVENTO_CLI) + " " + arguments + " <" + in + " >" +
                              Path("stdout.txt") + " 2>" + Path("stderr.txt");
        CliRun run;
        int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(Path("stdout.txt"));
        run.err = Slurp(Path("stderr.txt"));
        return run;
    }

    // What the page itself exports for the same file.
    std::string PageExport(pages::ConversionPage& page, const std::string& input) const
    {
        page.ImportFile(input);
        page.Convert();
        EXPECT_TRUE(page.ExportToFile(Path("page.txt")));
        return Slurp(Path("page.txt"));
    }

    std::filesystem::path m_dir;
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
};

} // namespace

TEST_F(CliTest, ForwardOutputEqualsThePageExport)
{
    std::string input = std::string(CARVENTO_EXAMPLES) + "/bl-degrees.csv";
    pages::CGSZSDlg page({prompter, clipboard, profile});
    page.Field("unit").pendingIndex = pages::kUnitDegrees;
    std::string expected = PageExport(page, input);
    ASSERT_NE(std::string::npos, expected.find("P1,3376320.4035,624805.9342\r\n"));

    CliRun run = Cli("gauss-forward --unit deg " + input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);

    CliRun toFile = Cli("gauss-forward --unit 2 -o " + Path("out.txt") + " -", Slurp(input));
    EXPECT_EQ(0, toFile.status) << toFile.err;
    EXPECT_EQ(expected, Slurp(Path("out.txt")));
}

TEST_F(CliTest, ZoneChangeWithOptionsEqualsThePageExport)
{
    std::string input = std::string(CARVENTO_EXAMPLES) + "/xy-zone105.csv";
    pages::CZBHDDlg page({prompter, clipboard, profile});
    page.Ellipsoid().Select(3);
    page.Field("to-meridian").text = "1080000";
    page.Field("to-y-add").text = "38500000";
    std::string expected = PageExport(page, input);

    CliRun run =
        Cli("zone-change --ellipsoid wgs84 --to-meridian 1080000 --to-y-add 38500000 " + input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);
}

TEST_F(CliTest, ShortLineIsRefusedWithThePageMessage)
{
    CliRun run = Cli("gauss-forward -", "P1,30,106\r\nP2,31\r\n");
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_NE(std::string::npos, run.err.find("第2行数据不足,请检测数据完整性!"));
}

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(2, Cli("no-such-verb").status);
    EXPECT_EQ(2, Cli("gauss-forward --no-such-option 1 -").status);
    EXPECT_EQ(2, Cli("gauss-forward --unit minutes -").status);
    EXPECT_EQ(2, Cli("gauss-forward --ellipsoid nowhere -", "P,1,2\n").status);
    CliRun help = Cli("gauss-forward --help");
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("中央子午线(dms)"));
}

TEST_F(CliTest, UnwritableOutputIsReported)
{
    CliRun run = Cli("gauss-forward -o " + Path("missing/out.txt") + " -", "P,303000,1061800\n");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("无法创建文件"));
}

TEST_F(CliTest, EllipsoidAddedOnTheCommandLineIsListedAndUsable)
{
    EXPECT_EQ(1, Cli("ellipsoid add Empty 6378137 ''").status);
    CliRun add = Cli("ellipsoid add WGS84/GRS80 6378137 6356752.3141");
    EXPECT_EQ(0, add.status) << add.err;
    CliRun list = Cli("ellipsoid list");
    EXPECT_NE(std::string::npos,
              list.out.find("4\tWGS84/GRS80\t6378137.0000000000\t6356752.3141000001\n"));

    CliRun named = Cli("gauss-forward --unit deg --ellipsoid WGS84/GRS80 -", "P,30.5,106.3\n");
    CliRun typed = Cli("gauss-forward --unit deg --a 6378137 --b 6356752.3141 -", "P,30.5,106.3\n");
    EXPECT_EQ(0, named.status) << named.err;
    EXPECT_EQ(typed.out, named.out);
}

// Bad input as users bring it: each run either converts every row it was given or is refused
// with a message, a non-zero status and any existing output file left as it was.
TEST_F(CliTest, BadInputIsRefusedOrConvertedCompletely)
{
    const std::string clean = "P1,30.5,106.3\r\nP2,30.6,106.4\r\n";
    const std::string cleanOut = Cli("gauss-forward --unit deg -", clean).out;
    ASSERT_NE(std::string::npos, cleanOut.find("P2,"));
    const std::string previous = "earlier export\r\n";
    struct Case {
        const char* what;
        std::string input;     // written to in.txt; "{dir}" names a folder instead
        std::string arguments; // {in} and {out} are replaced by the paths
        int status;
        std::string message; // expected on standard error ("" for none at all)
        std::string output;  // expected output; "{previous}" for an untouched out.txt, "~" before a
                             // part of it
    } cases[] = {
        {"output over the input", "P1,30.5,106.3\n\xF0\x9F\x98\x80,30.6,106.4\n",
         "--unit deg -o {in} {in}", 1, "就是输入文件",
         "P1,30.5,106.3\n\xF0\x9F\x98\x80,30.6,106.4\n"},
        {"name that GBK cannot hold, written as GB18030",
         "P1,30.5,106.3\n\xF0\x9F\x98\x80,30.6,106.4\n", "--unit deg -o {out} {in}", 0, "",
         "~\r\n\x94\x39\xFC\x36,3387523.2260,"},
        {"trailing commas", "P1,30.5,106.3,\r\nP2,30.6,106.4,\r\n", "--unit deg {in}", 0, "",
         cleanOut},
        {"first point without a name", ",30.5,106.3\r\nP2,30.6,106.4\r\n", "--unit deg {in}", 0, "",
         cleanOut.substr(0, cleanOut.find("P1")) + cleanOut.substr(cleanOut.find("P1") + 2)},
        {"negative first value is data", "P1,-30.5,106.3\r\n", "--unit deg {in}", 0, "",
         "~\r\nP1,-3376320.4035,"},
        {"title line skipped and named", "点号,纬度,经度\r\n" + clean, "--unit deg {in}", 0,
         "line 1 skipped as a title", cleanOut},
        {"title only", "点号,纬度,经度\r\n", "--unit deg {in}", 1, "结果表中没有数据", ""},
        {"two fields per line", "P1,30.5\r\nP2,30.6\r\n", "--unit deg -o {out} {in}", 1, "经度L",
         "{previous}"},
        {"columns beyond the file", clean, "--unit deg --columns 7,8,9 {in}", 1, "纬度B, 经度L",
         ""},
        {"folder as input", "{dir}", "--unit deg {in}", 1, "无法读取文件", ""},
        {"empty file", "", "--unit deg {in}", 1, "文本文件前8行未找到数据!", ""},
        {"damaged UTF-8 line", "测站一,30.5,106.3\n导线点,30.6,106.4\n水准\xE7\x82,30.7,106.5\n",
         "--unit deg {in}", 1, "第3行含有无法识别的字符编码", ""},
        {"line ends converted twice", "P1,30.5,106.3\r\r\nP2,30.6,106.4\r\r\n", "--unit deg {in}",
         0, "", cleanOut},
        {"column number beyond int", clean, "--columns 2147483648,2,3 {in}", 2, "out of range", ""},
        {"column number wrapping to 1", clean, "--columns 4294967297,2,3 {in}", 2, "out of range",
         ""},
        {"meridian beyond int", clean, "--meridian 99999999999 {in}", 2, "out of range", ""},
        {"negative column number", clean, "--columns -1,2,3 {in}", 2,
         "expected 1-based column numbers", ""},
        {"choice number beyond the choices", clean, "--unit 99999999999999999999 {in}", 2,
         "unknown value", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Path("in.txt"));
        if (c.input == "{dir}")
            std::filesystem::create_directory(Path("in.txt"));
        else
            Write("in.txt", c.input);
        Write("out.txt", previous);
        std::string arguments = c.arguments;
        for (auto [marker, path] :
             {std::pair{"{in}", Path("in.txt")}, std::pair{"{out}", Path("out.txt")}})
            for (std::size_t at; (at = arguments.find(marker)) != std::string::npos;)
                arguments.replace(at, std::string(marker).size(), path);
        CliRun run = Cli("gauss-forward " + arguments);
        EXPECT_EQ(c.status, run.status) << run.err;
        if (c.message.empty())
            EXPECT_EQ("", run.err);
        else
            EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
        std::string written = c.arguments.find("-o {in}") != std::string::npos
                                  ? Slurp(Path("in.txt"))
                              : c.arguments.find("-o {out}") != std::string::npos
                                  ? Slurp(Path("out.txt"))
                                  : run.out;
        if (c.output == "{previous}")
            EXPECT_EQ(previous, written);
        else if (c.output.starts_with("~"))
            EXPECT_NE(std::string::npos, written.find(c.output.substr(1))) << written;
        else
            EXPECT_EQ(c.output, written);
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            EXPECT_NE('.', entry.path().filename().string().front())
                << "left behind: " << entry.path();
    }
}

// A file of several blocks converts exactly as the page converts it at once, and a fault in a
// later block still leaves an existing output file untouched.
TEST_F(CliTest, BlockwiseConversionEqualsThePageExport)
{
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += (i == 32767 || i == 40000 ? "\r\n\r\n\r\n" : "") + ("点" + std::to_string(i)) +
                 "," + std::to_string(20 + i % 30) + ".5," + std::to_string(100 + i % 10) +
                 ".25\r\n";
    std::string input = Write("many.txt", bytes);
    pages::CGSZSDlg page({prompter, clipboard, profile});
    page.Field("unit").pendingIndex = pages::kUnitDegrees;
    std::string expected = PageExport(page, input);

    CliRun fromFile = Cli("gauss-forward --unit deg -o " + Path("out.txt") + " " + input);
    EXPECT_EQ(0, fromFile.status) << fromFile.err;
    EXPECT_TRUE(expected == Slurp(Path("out.txt")));
    CliRun fromStdin = Cli("gauss-forward --unit deg -", bytes);
    EXPECT_EQ(0, fromStdin.status) << fromStdin.err;
    EXPECT_TRUE(expected == fromStdin.out);

    Write("many.txt", bytes + "P,30\r\n");
    CliRun shortAtTheEnd = Cli("gauss-forward --unit deg -o " + Path("out.txt") + " " + input);
    EXPECT_EQ(1, shortAtTheEnd.status);
    long shortLine = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    EXPECT_NE(std::string::npos,
              shortAtTheEnd.err.find("第" + std::to_string(shortLine) + "行数据不足"));
    EXPECT_TRUE(expected == Slurp(Path("out.txt")));
}

// Every page verb offers exactly what its page describes: an option per field and the
// ellipsoid options of each panel, prefixed by the panel's side.
TEST_F(CliTest, EveryVerbsOptionsComeFromItsPage)
{
    int verbs = 0;
    for (const pages::PageRegistration& row : pages::PageRegistry()) {
        const bool batch = row.frame == pages::PageFrame::BatchFile;
        if (!row.Built() || row.verb.empty() ||
            (row.frame != pages::PageFrame::Conversion && !batch))
            continue;
        ++verbs;
        SCOPED_TRACE(std::string(row.verb));
        std::unique_ptr<pages::ToolPage> page = row.factory({prompter, clipboard, profile});
        CliRun help = Cli(std::string(row.verb) + " --help");
        EXPECT_EQ(0, help.status);
        for (const pages::PageField& field : page->Fields()) {
            if (field.kind == pages::FieldKind::ReadOnlyText)
                continue; // shown by the page, never set
            if (batch && field.id == "mode") {
                EXPECT_NE(std::string::npos, help.out.find("--merge ")) << help.out;
                continue;
            }
            EXPECT_NE(std::string::npos, help.out.find("--" + field.id + " ")) << help.out;
            if (field.kind == pages::FieldKind::Check) {
                EXPECT_NE(std::string::npos, help.out.find("--no-" + field.id + " ")) << help.out;
            }
            EXPECT_NE(std::string::npos,
                      help.out.find(field.label.substr(0, field.label.find(':'))))
                << help.out;
        }
        for (const pages::PagePanel& panel : page->Panels()) {
            std::string prefix = panel.side.empty() ? "--" : "--" + panel.side + "-";
            for (const char* option : {"ellipsoid", "a", "b"})
                EXPECT_NE(std::string::npos, help.out.find(prefix + option + " ")) << help.out;
        }
        EXPECT_EQ(2, Cli(std::string(row.verb) + " --no-such-option 1 -").status);
    }
    EXPECT_EQ(13, verbs);
}

// A filter whose output cannot be written says so and fails, as any filter does.
TEST_F(CliTest, AFullStandardOutputIsAFailure)
{
    std::string input = std::string(CARVENTO_EXAMPLES) + "/bl-degrees.csv";
    std::string command = std::string(CARVENTO_CLI) + " gauss-forward --unit deg " + input +
                          " >/dev/full 2>" + Path("stderr.txt");
    int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(1, WEXITSTATUS(raw));
    EXPECT_NE(std::string::npos,
              Slurp(Path("stderr.txt")).find("文件写入失败,数据未完整保存: standard output"));
}

// transform7 reads the parameter file and both sides' options and writes what the page's 导出
// writes after the same import; a parameter file with too few values is refused.
TEST_F(CliTest, Transform7WithAParameterFileEqualsThePageExport)
{
    const std::string input = Write("points.csv", "P1,3376320.4035,624805.9342,45.5\r\n"
                                                  "P2,3459535.1249,476208.7683,-3.25\r\n");
    const std::string params = Write("params.txt", "-15.2,140.7,80.3,1.5,-2.25,3.125,4.5\r\n");
    std::unique_ptr<pages::ToolPage> made =
        pages::FindPageByVerb("transform7")->factory({prompter, clipboard, profile});
    auto& page = static_cast<pages::ConversionPage&>(*made);
    ASSERT_TRUE(page.ImportParameterFile(params));
    page.EditText("from-meridian", "1080000");
    page.EllipsoidPanelOf("to")->Select(2);
    page.Choose("to-coords", 1);
    page.Choose("to-unit", 0);
    const std::string expected = PageExport(page, input);
    // Packed latitude and longitude on CGCS2000 (the header is GBK).
    ASSERT_NE(std::string::npos, expected.find("\r\nP1,30")) << expected;

    CliRun run = Cli("transform7 --params " + params +
                     " --from-meridian 1080000 --from-coords plane --to-ellipsoid cgcs2000 "
                     "--to-coords geodetic --to-unit dms " +
                     input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);

    // Without the parameters nothing is converted: --params is required.
    CliRun unapplied = Cli("transform7 --from-meridian 1080000 --to-ellipsoid cgcs2000 "
                           "--to-coords geodetic --to-unit dms " +
                           input);
    EXPECT_EQ(2, unapplied.status) << unapplied.err;
    EXPECT_EQ("", unapplied.out);

    const std::string six = Write("six.txt", "1,2,3,4,5,6\r\n");
    CliRun refused = Cli("transform7 --params " + six + " -o " + Path("out.txt") + " " + input);
    EXPECT_EQ(1, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find("行参数不足或多余7个,请检查!"));
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
    EXPECT_EQ(2, Cli("transform7 --from-coords sphere " + input).status);
    EXPECT_EQ(2, Cli("gauss-forward --params " + params + " " + input).status);
}

// height-apply takes the model 保存模型 writes through --model and writes what the page's
// 导出 writes after the same import; a damaged model converts nothing.
TEST_F(CliTest, HeightApplyWithAModelFileEqualsThePageExport)
{
    const std::string input = Write("points.csv", "T1,3380500,38500500,70.5\r\n"
                                                  "T2,3390000,38500500,70.5\r\n");
    const std::string model = Write("model.txt", "plane,3380500,38500500,707.1,10.25,0.5,-0.25,0,0,"
                                                 "0,3,3380000,38500000,3381000,38500000,3380000,"
                                                 "38501000\r\n");
    pages::CHeightApply page({prompter, clipboard, profile});
    ASSERT_TRUE(page.ImportParameterFile(model));
    const std::string expected = PageExport(page, input);
    ASSERT_NE(std::string::npos, expected.find("\r\nT1,3380500,38500500,60.2500,\r\n")) << expected;

    CliRun run = Cli("height-apply --model " + model + " " + input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);

    const std::string damaged = Write("damaged.txt", "plane,3380500,38500500\r\n");
    CliRun refused =
        Cli("height-apply --model " + damaged + " -o " + Path("out.txt") + " " + input);
    EXPECT_EQ(1, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find("不是完整的高程拟合模型")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
    CliRun missing = Cli("height-apply " + input);
    EXPECT_EQ(2, missing.status);
    EXPECT_NE(std::string::npos, missing.err.find("--model FILE is required (尚未导入模型"))
        << missing.err;
    EXPECT_EQ(2, Cli("height-apply --params " + model + " " + input).status);
}

// height-fit solves the model the page solves: a plane anomaly is recovered, the model file
// applies back to the normal heights, --model picks the surface and each surface's fewest
// points and a line of points are refused with the page's messages and nothing written.
TEST_F(CliTest, HeightFitSavesTheModelHeightApplyReadsBack)
{
    std::string points;
    const double xs[] = {3380000, 3382000, 3381000, 3379000, 3383000};
    const double ys[] = {500000, 501500, 503000, 502000, 499000};
    for (int i = 0; i < 5; ++i) {
        const double zeta = 12.0 + 1e-4 * (xs[i] - 3380000) - 5e-5 * (ys[i] - 500000);
        points += "P" + std::to_string(i) + "," + std::to_string(xs[i]) + "," +
                  std::to_string(ys[i]) + ",100," + std::to_string(100 - zeta) + "\r\n";
    }
    const std::string input = Write("common.csv", points);
    const std::string model = Path("model.txt");
    CliRun fit = Cli("height-fit --model plane --save-model " + model + " -o " + Path("fit.csv") +
                     " --report " + Path("report.txt") + " " + input);
    ASSERT_EQ(0, fit.status) << fit.err;
    EXPECT_NE(std::string::npos, fit.err.find("a(常数项,m):")) << fit.err;
    EXPECT_EQ(0, Slurp(model).rfind("plane,", 0)) << Slurp(model);
    EXPECT_NE(std::string::npos, Slurp(Path("fit.csv")).find("P4,")) << Slurp(Path("fit.csv"));
    EXPECT_NE(std::string::npos, Slurp(Path("report.txt")).find("公共点数: 5"));

    const std::string target = Write("target.csv", "Q1,3381000,501000,100\r\n");
    CliRun apply = Cli("height-apply --model " + model + " " + target);
    ASSERT_EQ(0, apply.status) << apply.err;
    // ζ = 12 + 0.1 − 0.05 at Q1, inside the common points.
    EXPECT_NE(std::string::npos, apply.out.find("Q1,3381000,501000,87.9500,\r\n")) << apply.out;

    const std::string keptModel = Slurp(model);
    CliRun few = Cli("height-fit --model quadratic --save-model " + model + " " + input);
    EXPECT_EQ(1, few.status);
    EXPECT_NE(std::string::npos, few.err.find("公共点个数不足6个!")) << few.err;
    EXPECT_EQ("", few.out);
    const std::string line = Write("line.csv", "A,0,0,10,1\r\nB,1,1,10,1\r\nC,2,2,10,1\r\n");
    CliRun collinear = Cli("height-fit --model plane --save-model " + model + " " + line);
    EXPECT_EQ(1, collinear.status);
    EXPECT_NE(std::string::npos, collinear.err.find("位于一条直线上")) << collinear.err;
    EXPECT_EQ(0, Cli("height-fit --model const -o " + Path("const.csv") + " " + line).status);
    EXPECT_EQ(2, Cli("height-fit --model cubic " + line).status);
    EXPECT_EQ(keptModel, Slurp(model));
}
