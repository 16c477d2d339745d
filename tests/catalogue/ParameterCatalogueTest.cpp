// Bad inputs of the parameter tools: parameter files that hold no parameters, transformations
// asked for without any, common points that are no numbers or no points of the earth, files
// wider than the common-point table, and ellipsoid axes that are no ellipsoid. Each row says
// what the user is shown and what the run comes to, and that every file that existed before
// a refused run is byte for byte as it was.
#include "pages/PageRegistry.hpp"
#include "pages/coordinates/CustomEllipsoidPage.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/transform/HeightPages.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "pages/transform/TransformPages.hpp"
#include "platform/NumberText.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace carvento {
namespace {

using testing::FakeClipboard;
using testing::FakePrompter;
using testing::ScratchFolder;

const std::string kKeep = "earlier content\r\n";

struct Fakes {
    FakePrompter prompter;
    FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

std::unique_ptr<pages::ToolPage> OpenPage(const std::string& verb, Fakes& fakes)
{
    return pages::FindPageByVerb(verb)->factory(fakes.Context());
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// carvento-cli with `arguments` (quoted by the caller where needed), a profile of the folder's
// own, no standard input.
CliRun Cli(const ScratchFolder& folder, const std::string& arguments)
{
    const std::string command = "CARVENTO_PROFILE='" + folder / "profile.ini" + "' " +
                                CARVENTO_CLI + " " + arguments + " </dev/null >'" +
                                folder / "stdout.txt" + "' 2>'" + folder / "stderr.txt" + "'";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ScratchFolder::Read(folder / "stdout.txt");
    run.err = ScratchFolder::Read(folder / "stderr.txt");
    return run;
}

// The files a run may touch, read before it, and the check that they are as they were.
class FilesBefore {
public:
    explicit FilesBefore(std::vector<std::string> paths)
    {
        for (std::string& path : paths)
            m_bytes.emplace(std::move(path), std::string());
        for (auto& [path, bytes] : m_bytes)
            bytes = ScratchFolder::Read(path);
    }
    void ExpectUnchanged() const
    {
        for (const auto& [path, bytes] : m_bytes)
            EXPECT_EQ(bytes, ScratchFolder::Read(path)) << path;
    }

private:
    std::map<std::string, std::string> m_bytes;
};

// ---------------------------------------------------------------- parameter files

struct ParameterFileCase {
    const char* name;
    const char* verb; // the transformation page that imports it
    std::string bytes;
    std::string message;
};

std::vector<ParameterFileCase> ParameterFileCases()
{
    using pages::FormatMessage;
    using pages::messages::kParameterNotANumber;
    return {
        {"title line alone", "transform7", "DX,DY,DZ,WX,WY,WZ,K\r\n",
         FormatMessage(kParameterNotANumber, 1, "DX")},
        {"title line over too few values", "transform7", "DX,DY,DZ,WX,WY,WZ,K\r\n1,2,3\r\n",
         "行参数不足或多余7个,请检查!"},
        {"nan", "transform7", "1,2,3,nan,5,6,7\r\n", FormatMessage(kParameterNotANumber, 4, "WX")},
        {"inf", "transform3", "inf,2,3\r\n", FormatMessage(kParameterNotANumber, 1, "DX")},
        {"beyond the double range", "transform4", "1e999,2,1,0\r\n",
         FormatMessage(kParameterNotANumber, 1, "DX")},
        {"K (third in the file) not a number", "transform4", "100,-50,-nan,0\r\n",
         FormatMessage(kParameterNotANumber, 3, "K")},
        {"text", "transform3", "1,2,abc\r\n", FormatMessage(kParameterNotANumber, 3, "DZ")},
        {"an empty value", "transform3", "1,,3\r\n", FormatMessage(kParameterNotANumber, 2, "DY")},
        {"a unit after the number", "transform3", "1.5m,2,3\r\n",
         FormatMessage(kParameterNotANumber, 1, "DX")},
        {"four parameters without scale", "transform4", "0,0,0,0\r\n",
         pages::messages::kFourParamsNoScale},
    };
}

// The page keeps the parameters it had and converts nothing with the refused file.
TEST(BadParameterFiles, AreRefusedWithTheirMessageAndThePreviousParametersStay)
{
    for (const ParameterFileCase& c : ParameterFileCases()) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        Fakes fakes;
        std::unique_ptr<pages::ToolPage> made = OpenPage(c.verb, fakes);
        auto& page = static_cast<pages::ConversionPage&>(*made);
        const std::string good = folder.Write("good.txt", "7,7,1,1,7,7,7\r\n");
        ASSERT_TRUE(page.ImportParameterFile(good));
        std::vector<std::string> shown;
        for (const pages::PageField& field : page.Fields())
            if (field.kind == pages::FieldKind::ReadOnlyText)
                shown.push_back(field.text);

        const std::string bad = folder.Write("bad.txt", c.bytes);
        const FilesBefore before({good, bad});
        EXPECT_FALSE(page.ImportParameterFile(bad));
        EXPECT_EQ(std::vector<std::string>{c.message}, fakes.prompter.MessageTexts());
        std::vector<std::string> after;
        for (const pages::PageField& field : page.Fields())
            if (field.kind == pages::FieldKind::ReadOnlyText)
                after.push_back(field.text);
        EXPECT_EQ(shown, after);
        before.ExpectUnchanged();
    }
}

// transform3/4/7 on the command line: a refused parameter file exits 1 with the page's
// message, no --params at all is a usage error; standard output stays empty and an earlier
// output file keeps its content.
TEST(BadParameterFiles, TransformVerbsRefuseThemAndKeepTheOutput)
{
    for (const ParameterFileCase& c : ParameterFileCases()) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::string input = folder.Write("points.txt", "P1,3000000,500000,10\r\n");
        const std::string params = folder.Write("params.txt", c.bytes);
        const std::string output = folder.Write("out.txt", kKeep);
        const FilesBefore before({input, params, output});
        const CliRun run = Cli(folder, std::string(c.verb) + " --params '" + params + "' -o '" +
                                           output + "' '" + input + "'");
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
        EXPECT_EQ("", run.out);
        before.ExpectUnchanged();
    }
    for (const char* verb : {"transform3", "transform4", "transform7"}) {
        SCOPED_TRACE(verb);
        ScratchFolder folder;
        const std::string input = folder.Write("points.txt", "P1,3000000,500000,10\r\n");
        const std::string output = folder.Write("out.txt", kKeep);
        const FilesBefore before({input, output});
        const CliRun run = Cli(folder, std::string(verb) + " -o '" + output + "' '" + input + "'");
        EXPECT_EQ(2, run.status);
        EXPECT_NE(std::string::npos, run.err.find("--params FILE is required")) << run.err;
        EXPECT_EQ("", run.out);
        before.ExpectUnchanged();
    }
}

// Before this page had a file, 转换 computed every point from zeros.
TEST(BadParameterFiles, ConvertWithoutAnyIsRefusedOnThePage)
{
    for (const char* verb : {"transform3", "transform4", "transform7"}) {
        SCOPED_TRACE(verb);
        Fakes fakes;
        std::unique_ptr<pages::ToolPage> made = OpenPage(verb, fakes);
        auto& page = static_cast<pages::ConversionPage&>(*made);
        page.Source().FillRows({"P1", "3000000", "500000", "10"}, 1, 4);
        page.Convert();
        EXPECT_EQ(std::vector<std::string>{pages::messages::kNoParametersImported},
                  fakes.prompter.MessageTexts());
        EXPECT_EQ(0, page.Result().DataRowCount());
    }
}

// A point far outside any coordinate system converts to not-a-number, not to a made-up point,
// and without a division by zero on the way (the sanitizer build traps one).
TEST(BadParameterFiles, RowBeyondTheDoubleRangeConvertsToNoNumber)
{
    ScratchFolder folder;
    Fakes fakes;
    pages::CTrans7Dlg page(fakes.Context());
    ASSERT_TRUE(page.ImportParameterFile(folder.Write("p.txt", "1,2,3,0.1,0.2,0.3,4\r\n")));
    page.Source().FillRows({"P1", "1e300", "1e300", "1e300"}, 1, 4);
    page.Convert();
    std::vector<std::string> cells;
    page.Result().CollectCells(cells);
    ASSERT_EQ(4u, cells.size());
    for (int c = 1; c < 4; ++c)
        EXPECT_FALSE(std::isfinite(platform::ParseDouble(cells[static_cast<std::size_t>(c)])))
            << cells[static_cast<std::size_t>(c)];
}

// ---------------------------------------------------------------- common points

struct CommonPointCase {
    const char* name;
    const char* verb;
    std::string bytes;
    std::string message;
    std::string options{}; // the verb's options beyond the outputs
};

std::vector<CommonPointCase> CommonPointCases()
{
    using pages::FormatMessage;
    using pages::messages::kPointNotANumber;
    using pages::messages::kPointOutOfRange;
    const std::string seven = "1,3800000,500000,400,3800100,500010,401\r\n"
                              "2,3801000,501000,410,3801100,501010,411\r\n";
    return {
        {"text in an old y", "solve7", seven + "3,3802000,abc,420,3802100,500010,421\r\n",
         FormatMessage(kPointNotANumber, 3, "原坐标y(m)=abc")},
        {"only text", "solve7", "a,b,c,d,e,f,g\r\nh,i,j,k,l,m,n\r\no,p,q,r,s,t,u\r\n",
         FormatMessage(kPointNotANumber, 1, "原坐标x(m)=b")},
        {"nan", "solve4", "P1,3000000,500000,nan,499950\r\nP2,3000060,500080,3000160,500030\r\n",
         FormatMessage(kPointNotANumber, 1, "新坐标x(m)=nan")},
        {"inf height", "solve3", "A,3800000,500000,inf,3800100,500010,401\r\n",
         FormatMessage(kPointNotANumber, 1, "原高程z(m)=inf")},
        {"1e300 as a new x", "solve4",
         "P1,3000000,500000,1e300,499950\r\nP2,3000060,500080,3000160,500030\r\n",
         FormatMessage(kPointOutOfRange, 1, "新坐标x(m)=1e300")},
        {"1e300 as a new z", "solve7", seven + "3,3802000,500000,420,3802100,500010,1e300\r\n",
         FormatMessage(kPointOutOfRange, 3, "新高程z(m)=1e300")},
        {"x far beyond the pole", "solve7", seven + "3,500000000,500000,420,3802100,500010,421\r\n",
         FormatMessage(pages::messages::kPointNotConvertible, 3)},
        {"seven fields on the four-parameter page", "solve4",
         "P1,3000000,500000,12,3000100,499950,13\r\nP2,3000060,500080,14,3000160,500030,15\r\n",
         FormatMessage(pages::messages::kPointFileWider, 7,
                       "序号,老坐标x(m),老坐标y(m),新坐标x(m),新坐标y(m),中误差(m)")},
        {"text as a normal height", "height-fit",
         "A,3380000,500000,100,88\r\nB,3381000,500000,100,abc\r\n",
         FormatMessage(kPointNotANumber, 2, "正常高h(m)=abc")},
        {"five points for the quadratic surface", "height-fit",
         "A,0,0,9,1\r\nB,9,0,9,1\r\nC,0,9,9,1\r\nD,9,9,9,1\r\nE,4,5,9,1\r\n",
         FormatMessage(pages::messages::kTooFewHeightPoints, 6), "--model quadratic"},
        {"points on a line for the plane", "height-fit",
         "A,0,0,9,1\r\nB,1,1,9,1\r\nC,2,2,9,1\r\nD,3,3,9,1\r\n",
         pages::messages::kHeightPointsCollinear, "--model plane"},
    };
}

// Nothing is solved, written or replaced: the exit status is 1, the page's message names the
// row, and the earlier table, parameter file and report are as they were.
TEST(BadCommonPoints, SolveVerbsRefuseThemAndKeepEveryOutput)
{
    for (const CommonPointCase& c : CommonPointCases()) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::string input = folder.Write("points.txt", c.bytes);
        const std::string table = folder.Write("table.txt", kKeep);
        const std::string params = folder.Write("params.txt", kKeep);
        const std::string report = folder.Write("report.txt", kKeep);
        const FilesBefore before({input, table, params, report});
        const std::string save = c.verb == std::string("height-fit") ? "--save-model"
                                                                     : "--save-params";
        const CliRun run = Cli(folder, std::string(c.verb) + " " + c.options + " -o '" + table +
                                           "' " + save + " '" + params + "' --report '" + report +
                                           "' '" + input + "'");
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
        EXPECT_EQ("", run.out);
        before.ExpectUnchanged();
    }
}

// The same points imported on the page (the wider file aside: its warning comes with the
// import): the message names the row, and the table and the result fields stay as they were.
TEST(BadCommonPoints, PagesNameTheRowAndChangeNothing)
{
    for (const CommonPointCase& c : CommonPointCases()) {
        if (c.message.find("文件每行") != std::string::npos || !c.options.empty())
            continue;
        SCOPED_TRACE(c.name);
        Fakes fakes;
        std::unique_ptr<pages::ToolPage> made = OpenPage(c.verb, fakes);
        auto& page = static_cast<pages::CommonPointPage&>(*made);
        ASSERT_GT(page.Editor().ImportBytes(c.bytes), 0);
        std::vector<std::string> cells;
        page.Table().CollectCells(cells);
        std::vector<std::string> fields;
        for (const pages::PageField& field : page.Fields())
            fields.push_back(field.text);
        EXPECT_FALSE(page.SolveCommand());
        EXPECT_EQ(std::vector<std::string>{c.message}, fakes.prompter.MessageTexts());
        std::vector<std::string> cellsAfter;
        page.Table().CollectCells(cellsAfter);
        EXPECT_EQ(cells, cellsAfter);
        std::vector<std::string> fieldsAfter;
        for (const pages::PageField& field : page.Fields())
            fieldsAfter.push_back(field.text);
        EXPECT_EQ(fields, fieldsAfter);
    }
}

// ---------------------------------------------------------------- ellipsoid axes

struct AxesCase {
    const char* a;
    const char* b;
    std::string message;
};

std::vector<AxesCase> AxesCases()
{
    using pages::FormatMessage;
    using pages::messages::kEllipsoidAxisNotPositive;
    const std::string badA = FormatMessage(kEllipsoidAxisNotPositive, std::string("长半径a"));
    const std::string badB = FormatMessage(kEllipsoidAxisNotPositive, std::string("短半径b"));
    return {
        {"abc", "def", badA},
        {"inf", "1e999", badA},
        {"1e999", "1", badA},
        {"-6378137", "6356752", badA},
        {"0", "0", badA},
        {"6378137", "nan", badB},
        {"6378137", "6356752x", badB},
        {"6356752", "6378137", pages::messages::kEllipsoidAxesOrder},
        {"6378137", "6378137", pages::messages::kEllipsoidAxesOrder},
    };
}

// The editor stays open with what was typed, and the profile is not touched.
TEST(BadEllipsoidAxes, TheEditorRefusesThemAndStoresNothing)
{
    for (const AxesCase& c : AxesCases()) {
        SCOPED_TRACE(std::string(c.a) + " " + c.b);
        Fakes fakes;
        pages::CustomEllipsoidPage editor(fakes.Context());
        editor.EditText("name", "测试椭球");
        editor.EditText("a", c.a);
        editor.EditText("b", c.b);
        EXPECT_FALSE(editor.RunCommand("ok"));
        EXPECT_EQ(std::vector<std::string>{c.message}, fakes.prompter.MessageTexts());
        EXPECT_TRUE(fakes.profile.Values().empty());
        EXPECT_EQ(c.a, editor.Field("a").text);
        EXPECT_EQ(c.b, editor.Field("b").text);
    }
}

TEST(BadEllipsoidAxes, EllipsoidAddRefusesThemAndKeepsTheProfile)
{
    ScratchFolder folder;
    ASSERT_EQ(0, Cli(folder, "ellipsoid add Kept 6378137 6356752").status);
    const FilesBefore before({folder / "profile.ini"});
    ASSERT_NE(std::string::npos, ScratchFolder::Read(folder / "profile.ini").find("Kept"));
    for (const AxesCase& c : AxesCases()) {
        SCOPED_TRACE(std::string(c.a) + " " + c.b);
        const CliRun run = Cli(folder,
                               std::string("ellipsoid add Bad -- '") + c.a + "' '" + c.b + "'");
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
        before.ExpectUnchanged();
    }
}

} // namespace
} // namespace carvento
