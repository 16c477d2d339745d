// Bad inputs and outputs on the command line, run through a real shell: what the user sees, the
// exit status, and that every file that existed before a failing run is byte-for-byte as it was.
#include "support/ScratchFolder.hpp"
#include "tables/CodePage.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

using carvento::testing::ScratchFolder;
namespace fs = std::filesystem;

struct ShellRun {
    int status = -1;
    std::string err;
};

class OutputCatalogue : public ::testing::Test {
protected:
    // Runs `command` in sh inside the scratch folder; "cli" stands for carvento-cli.
    ShellRun Shell(const std::string& command) const
    {
        const std::string err = folder / ".stderr";
        const std::string line = "cd '" + folder.Path().string() + "' && cli() { '" +
                                 std::string(CARVENTO_CLI) + "' \"$@\"; } && { " + command +
                                 "; } 2>'" + err + "' </dev/null";
        const int raw = std::system(line.c_str());
        ShellRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(err)};
        fs::remove(err);
        return run;
    }
    // Every regular file of the folder and its content.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder.Path()))
            if (entry.is_regular_file())
                files[entry.path().lexically_relative(folder.Path()).string()] =
                    ScratchFolder::Read(entry.path().string());
        return files;
    }
    // A failing run: exit 1, the message names `mentions`, and nothing changed in the folder.
    void ExpectRefusedUntouched(const std::string& command,
                                const std::vector<std::string>& mentions)
    {
        SCOPED_TRACE(command);
        const std::map<std::string, std::string> before = Files();
        const ShellRun run = Shell(command);
        EXPECT_EQ(1, run.status) << run.err;
        for (const std::string& text : mentions)
            EXPECT_NE(std::string::npos, run.err.find(text)) << run.err;
        EXPECT_EQ(before, Files());
    }

    ScratchFolder folder;
};

const std::string kPoints = "名称,纬度,经度\r\nP1,30.5,106.3\r\nP2,30.6,106.4\r\n";
const std::string kCommon = "P1,3379000.0000,500000.0000,3379100.0000,499950.0000\r\n"
                            "P2,3379060.0000,500080.0000,3379160.0000,500030.0000\r\n";

TEST_F(OutputCatalogue, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten)
{
    folder.Write("pts.txt", kPoints);
    folder.Write("b.txt", kPoints);
    folder.Write("a.kml", "<kml><Placemark><name>A</name><Point><coordinates>106,30,0"
                          "</coordinates></Point></Placemark></kml>");
    folder.Write("c.kml", "<kml/>");
    folder.Write("b1.bln", "2,1\r\n1,2\r\n3,4\r\n");
    folder.Write("b2.bln", "2,1\r\n5,6\r\n7,8\r\n");
    folder.Write("x/p.kml", "<kml/>");
    folder.Write("y/p.kml", "<kml/>");
    folder.Write("in.txt", kCommon);
    fs::create_directory(folder / "out");
    // The output named after the input is the input itself.
    ExpectRefusedUntouched("cli bln2txt pts.txt", {"pts.txt"});
    // The shell's * makes the first input the merge target.
    ExpectRefusedUntouched("cli txt2kml --merge *.txt", {"b.txt"});
    ExpectRefusedUntouched("cli bln2txt --merge b1.bln b2.bln", {"b1.bln"});
    ExpectRefusedUntouched("cli kml2txt --merge *.kml", {"a.kml"});
    ExpectRefusedUntouched("cli txt2kml --merge b.txt b.txt", {"b.txt"});
    // Two inputs of the same name into one folder would write the same files.
    ExpectRefusedUntouched("cli kml2txt -o out x/p.kml y/p.kml", {"p_地标.txt"});
    // The parameter, report and point outputs of a solve.
    ExpectRefusedUntouched("cli solve4 --save-params in.txt in.txt", {"in.txt"});
    ExpectRefusedUntouched("cli solve4 --report in.txt in.txt", {"in.txt"});
    ExpectRefusedUntouched("cli solve4 -o r.txt --report ./r.txt in.txt", {"r.txt"});
    folder.Write("p7.txt", "0,0,0,0,0,0,1\r\n");
    ExpectRefusedUntouched("cli transform7 --params p7.txt -o p7.txt in.txt", {"p7.txt"});
    // A hard link is the same file under another name.
    fs::create_hard_link(folder / "in.txt", folder / "same.txt");
    ExpectRefusedUntouched("cli gauss-inverse -o same.txt in.txt", {"same.txt", "in.txt"});
}

TEST_F(OutputCatalogue, StandardOutputIsAStreamThatAppendsAndIsNeverReplaced)
{
    folder.Write("in.txt", kCommon);
    folder.Write("log.txt", "earlier\n");
    const ShellRun run = Shell("cli solve4 in.txt >> log.txt && echo after >> log.txt");
    ASSERT_EQ(0, run.status) << run.err;
    const std::string log = ScratchFolder::Read(folder / "log.txt");
    EXPECT_TRUE(log.starts_with("earlier\n")) << log;
    EXPECT_TRUE(log.ends_with("after\n")) << log;
    EXPECT_NE(std::string::npos, log.find("3379000.0000")) << log;
    // Nothing is left behind in the folder or in the temporary folder's predictable names.
    EXPECT_EQ((std::map<std::string, std::string>{{"in.txt", kCommon}, {"log.txt", log}}), Files());
    // /dev/stdout is standard output too, never a path to rename over.
    folder.Write("log2.txt", "earlier\n");
    ASSERT_EQ(0, Shell("cli solve4 -o /dev/stdout in.txt >> log2.txt").status);
    EXPECT_EQ(log.substr(0, log.size() - 6), ScratchFolder::Read(folder / "log2.txt"));
}

TEST_F(OutputCatalogue, TargetsThatAreNoRegularFilesAreRefused)
{
    folder.Write("in.txt", kCommon);
    ASSERT_EQ(0, ::mkfifo((folder / "fifo").c_str(), 0600));
    ExpectRefusedUntouched("cli solve4 -o fifo in.txt", {"fifo"});
    ExpectRefusedUntouched("cli solve4 --report /dev/full in.txt", {"/dev/full"});
    EXPECT_TRUE(fs::is_fifo(folder / "fifo"));
}

TEST_F(OutputCatalogue, LongNamesAndStaleTemporaries)
{
    folder.Write("in.txt", kCommon);
    // A legal 246-byte name (and a 255-byte one) is written: the temporary's name is short.
    for (std::size_t length : {246u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".txt";
        const ShellRun run = Shell("cli solve4 -o " + name + " in.txt");
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_TRUE(fs::exists(folder / name));
    }
    // What a killed run left for the same target goes with the next write of it; a temporary
    // of a live process and files of other names stay.
    const std::string name = "k9.txt";
    folder.Write("." + name + ".123456.tmp", "left by an earlier version");
    fs::last_write_time(folder / ("." + name + ".123456.tmp"),
                        fs::file_time_type::clock::now() - std::chrono::hours(2));
    ASSERT_EQ(0, Shell("cli solve4 -o k9.txt in.txt").status);
    ASSERT_EQ(0, Shell("cli solve4 -o other.txt in.txt").status);
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST_F(OutputCatalogue, APartialConversionKeepsTheCompleteEarlierOutput)
{
    folder.Write("lake.bln", "3,1\r\n1,2\r\n3,4\r\n");       // cut short: 3 announced, 2 given
    folder.Write("lake.txt", "complete earlier output\r\n"); // from an earlier, complete run
    const ShellRun run = Shell("cli bln2txt lake.bln");
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("complete earlier output\r\n", ScratchFolder::Read(folder / "lake.txt"));
    EXPECT_NE(std::string::npos, run.err.find("lake_不完整.txt")) << run.err;
    EXPECT_NE(std::string::npos, ScratchFolder::Read(folder / "lake_不完整.txt").find("1,2,1"));
}

TEST_F(OutputCatalogue, AppendingKeepsTheEncodingTheFileHas)
{
    folder.Write("a.kml", "<kml><Placemark><name>甲</name><Point><coordinates>106,30,0"
                          "</coordinates></Point></Placemark></kml>");
    folder.Write("b.kml", "<kml><Placemark><name>乙</name><Point><coordinates>107,31,0"
                          "</coordinates></Point></Placemark></kml>");
    ASSERT_EQ(0, Shell("cli kml2txt --merge all.txt --encoding utf-8 a.kml").status);
    ASSERT_EQ(0, Shell("cli kml2txt --merge all.txt b.kml").status); // GBK asked for
    const std::string merged = ScratchFolder::Read(folder / "all_地标.txt");
    EXPECT_NE(std::string::npos, merged.find("甲,30,106")) << merged;
    EXPECT_NE(std::string::npos, merged.find("乙,31,107")) << merged; // UTF-8 all through
}

TEST_F(OutputCatalogue, NamesOutsideGbkAndFieldsWithCommasComeBackWhole)
{
    // ö, ß and an emoji are written in GB18030 and read back as they were; a comma in a name is
    // quoted, and a space after each comma (as many programs write) is no part of a number.
    folder.Write("p.txt",
                 "名称,纬度,经度\r\n\"Köln, Dom\",30.5, 106.3\r\nStraße 😀, 30.6 ,106.4\r\n");
    ASSERT_EQ(0, Shell("cli txt2kml --no-lines p.txt").status);
    const ShellRun back = Shell("cli kml2txt --no-lines p.kml");
    ASSERT_EQ(0, back.status) << back.err;
    const std::string bytes = ScratchFolder::Read(folder / "p_地标.txt");
    const carvento::tables::DecodedText text = carvento::tables::DecodeText(bytes);
    EXPECT_EQ("名称,纬度,经度,说明\r\n\"Köln, Dom\",30.5,106.3,\r\nStraße 😀,30.6,106.4,\r\n",
              text.text);
    // The same text in GBK where GBK has the characters: Chinese stays two bytes each.
    EXPECT_TRUE(bytes.starts_with("\xC3\xFB\xB3\xC6"));
}

TEST_F(OutputCatalogue, CoordinatesThatAreNoNumbersAreRefusedWithFileAndLine)
{
    // Text, not-a-number, overflow, nothing, an exponent (no GPX decimal) and a longitude
    // beyond 180°: none of them is a position.
    for (const std::string bad : {"abc", "nan", "1e999", "", "1e2", "190"}) {
        SCOPED_TRACE(bad);
        folder.Write("bad.txt",
                     "名称,纬度,经度\r\nP1,30.5,106.3\r\n\r\n\r\nP2,30.6," + bad + "\r\n");
        folder.Write("bad.kml", "earlier");
        ExpectRefusedUntouched("cli txt2kml bad.txt", {"第5行", "bad.txt"});
        ExpectRefusedUntouched("cli txt2gpx --merge bad.gpx bad.txt", {"第5行"});
    }
}

TEST_F(OutputCatalogue, AZoneNumberInTheAddConstantGivesNoResult)
{
    folder.Write("xy.txt", "P1,3380000.000,512345.600\r\n");
    folder.Write("bl.txt", "earlier");
    ExpectRefusedUntouched("cli gauss-inverse --y-add 38500000 -o bl.txt xy.txt",
                           {"Y加常数应为500000，带号38已移入中央子午线?", "--meridian 1140000"});
    const ShellRun fixed =
        Shell("cli gauss-inverse --y-add 500000 --meridian 1140000 -o bl.txt xy.txt");
    EXPECT_EQ(0, fixed.status) << fixed.err;
}

TEST_F(OutputCatalogue, InputThatCannotBeReadTwiceIsReadOnce)
{
    folder.Write("bl.txt", "P1,30.5,106.3\r\n");
    const ShellRun run = Shell("cat bl.txt | cli gauss-forward --unit deg -o out.txt /dev/stdin");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, ScratchFolder::Read(folder / "out.txt").find("P1,"));
}

TEST_F(OutputCatalogue, GisLayersAreRefusedBeforeAnythingIsWritten)
{
    const std::string xy = "P1,3380000,500000\r\nP2,3390000,510000\r\n";
    folder.Write("xy.txt", xy);
    folder.Write("xy.dbf", xy);
    folder.Write("empty.txt", "");
    folder.Write("out.gpkg", "an earlier layer");
    // A layer is a file, never standard output: usage errors, nothing written.
    for (const std::string& command :
         {std::string("cli zone-change --format gpkg xy.txt"),
          std::string("cli zone-change --format gpkg -o - xy.txt"),
          std::string("cli zone-change --format kml -o out.kml xy.txt"),
          std::string("cli zone-change --format shp -o out.gpkg xy.txt"),
          std::string("cli notation --format gpkg -o out.gpkg xy.txt")}) {
        SCOPED_TRACE(command);
        const std::map<std::string, std::string> before = Files();
        const ShellRun run = Shell(command);
        EXPECT_EQ(2, run.status) << run.err;
        EXPECT_EQ(before, Files());
    }
    // The output, or a companion of the shapefile, is an input.
    ExpectRefusedUntouched("cli zone-change --format geojson -o xy.txt xy.txt", {"xy.txt"});
    ExpectRefusedUntouched("cli zone-change --format shp -o xy.shp xy.dbf", {"xy.dbf"});
    // Nothing to place, and a row without coordinates: the earlier layer stays.
    ExpectRefusedUntouched("cli zone-change --format gpkg -o out.gpkg empty.txt", {"未找到数据"});
    folder.Write("gap.txt", "P1,3380000,500000\r\nP2,,510000\r\n");
    ExpectRefusedUntouched("cli zone-change --format gpkg -o out.gpkg gap.txt", {"第2行"});
}

} // namespace
