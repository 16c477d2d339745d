// The shared page frame: import, drop, paste, copy, export and their messages.
#include "PageFixture.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/NotationPage.hpp"
#include "pages/frames/Messages.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

using namespace carvento::pages;
using namespace carvento::testing;

namespace {

class TablePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-pages-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Path(const std::string& name) { return (m_dir / name).string(); }

    FakeContext fake;
    std::filesystem::path m_dir;
};

Cells SourceCells(ConversionPage& page)
{
    Cells cells;
    page.Source().CollectCells(cells);
    return cells;
}

} // namespace

TEST_F(TablePageTest, ImportOffersRowsBeforeAShortLineAndReportsItsLine)
{
    CGSZSDlg page(fake.Context());
    fake.prompter.openAnswers.push_back({Write("a.txt", "P1,30.1,114.2\r\n\r\nP2,30.2\r\n")});
    EXPECT_EQ(2, page.Import());
    EXPECT_EQ(Cells({"第3行数据不足,请检测数据完整性!"}), fake.prompter.MessageTexts());
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "", "", ""}), SourceCells(page));
    // The file dialog offers the text file filter.
    EXPECT_EQ(messages::kTextFileFilter, fake.prompter.openDialogs.at(0).filters.at(0).second);
}

TEST_F(TablePageTest, ImportOfAnEmptyFileSaysSoAndCancelDoesNothing)
{
    CGSZSDlg page(fake.Context());
    fake.prompter.openAnswers.push_back({Write("empty.txt", "\r\n\r\n")});
    EXPECT_EQ(0, page.Import());
    EXPECT_EQ(0, page.Import()); // dialog cancelled
    EXPECT_EQ(Cells({messages::kNoDataInFirstLines}), fake.prompter.MessageTexts());
    EXPECT_TRUE(fake.prompter.mappingsShown.empty());
}

TEST_F(TablePageTest, DroppedFilesImportTxtAndCsvOnlyAndAppendInTurn)
{
    CGSZSDlg page(fake.Context());
    std::string a = Write("a.TXT", "P1,1,2\n");
    std::string b = Write("b.dat", "P2,3,4\n");
    std::string c = Write("c.csv", "P3,5,6\n");
    EXPECT_EQ(2, page.DropFiles({a, b, c, Path("missing.txt")}));
    EXPECT_EQ(Cells({"P1", "1", "2", "P3", "5", "6"}), SourceCells(page));
    EXPECT_EQ(2u, fake.prompter.mappingsShown.size());
}

TEST_F(TablePageTest, PasteAppendsAndCopyConfirms)
{
    CGSZSDlg page(fake.Context());
    page.Field("unit").pendingIndex = kUnitDegrees;
    fake.clipboard.text = "P1\t30.5\t106.3\r\n";
    EXPECT_EQ(1, page.Paste());
    EXPECT_FALSE(page.Copy()); // nothing converted yet: no message
    EXPECT_TRUE(fake.prompter.messages.empty());
    page.Convert();
    EXPECT_TRUE(page.Copy());
    EXPECT_EQ("P1\t3376320.4035\t624805.9342\r\n", *fake.clipboard.text);
    EXPECT_EQ(Cells({messages::kCopied}), fake.prompter.MessageTexts());
    EXPECT_EQ(messages::kApplicationTitle, fake.prompter.messages[0].caption);

    fake.clipboard.failWrites = true;
    EXPECT_FALSE(page.Copy());
    EXPECT_EQ(1u, fake.prompter.messages.size());
}

TEST_F(TablePageTest, ExportWritesHeaderAndRowsInGbkWithCrLf)
{
    CGSFSDlg page(fake.Context());
    page.Field("unit").pendingIndex = kUnitDegrees;
    FillSource(page, {"点1", "3376320.4035", "624805.9342", "", "", "", "", "", ""});
    page.Convert();
    fake.prompter.saveAnswers.push_back(Path("out.csv"));
    EXPECT_TRUE(page.Export());
    EXPECT_EQ("txt", fake.prompter.saveDialogs.at(0).defaultExtension);
    // "序号,纬度,经度" and "点1" in GBK.
    EXPECT_EQ("\xD0\xF2\xBA\xC5,\xCE\xB3\xB6\xC8,\xBE\xAD\xB6\xC8\r\n"
              "\xB5\xE3"
              "1,30.50000000,106.30000000\r\n\r\n",
              Read(Path("out.csv")));
}

TEST_F(TablePageTest, ExportWritesUtf8WhenTheProfileSaysSo)
{
    CDWZHDlg page(fake.Context());
    page.Field("type").pendingIndex = 2;
    FillSource(page, {"点1", "1171234.56", "303000"});
    page.Convert();
    fake.profile.SetString(kSettingsSection, kExportEncodingKey, "UTF-8");
    fake.prompter.saveAnswers.push_back(Path("out.txt"));
    EXPECT_TRUE(page.Export());
    EXPECT_EQ("序号,纬度,经度\r\n点1,117°12′34.56″,30°30′00.00″\r\n", Read(Path("out.txt")));
}

TEST_F(TablePageTest, ExportOfAnEmptyResultIsReportedAndTouchesNoFile)
{
    CGSZSDlg page(fake.Context());
    Write("old.txt", "old content");
    EXPECT_FALSE(page.ExportToFile(Path("old.txt")));
    EXPECT_EQ("old content", Read(Path("old.txt")));
    EXPECT_FALSE(page.Export()); // no save dialog either
    EXPECT_TRUE(fake.prompter.saveDialogs.empty());
    ASSERT_EQ(2u, fake.prompter.messages.size());
    EXPECT_EQ(messages::kNothingToExport, fake.prompter.messages.back().text);
}

TEST_F(TablePageTest, ExportFailuresAreReported)
{
    CGSZSDlg page(fake.Context());
    FillSource(page, {"P", "303000", "1061800"});
    page.Convert();
    EXPECT_FALSE(page.ExportToFile(Path("no-such-folder/out.txt")));
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_NE(std::string::npos, fake.prompter.messages[0].text.find("无法创建文件"));
    EXPECT_EQ(carvento::platform::MessageIcon::Error, fake.prompter.messages[0].icon);
    // A device is no file to replace, and is left alone.
    EXPECT_FALSE(page.ExportToFile("/dev/full"));
    EXPECT_NE(std::string::npos, fake.prompter.messages.back().text.find("无法创建文件"));
    // A disk that fills up half-way: the earlier file stays, and the failure is reported.
    const std::string earlier = Write("full.txt", "earlier");
    struct rlimit before {};
    ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &before));
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 8;
    ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &small));
    const bool exported = page.ExportToFile(earlier);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(exported);
    EXPECT_NE(std::string::npos, fake.prompter.messages.back().text.find("写入失败"));
    EXPECT_EQ("earlier", Read(earlier));
}

TEST_F(TablePageTest, ImportReportsInvalidBytesWithTheirLine)
{
    CGSZSDlg page(fake.Context());
    EXPECT_EQ(1, page.ImportFile(Write("bad.txt", "P1,1,2\r\nP2,\xFF\xFE\xFD,3\r\n")));
    EXPECT_EQ(Cells({"第2行含有无法识别的字符编码,请检查文件!"}), fake.prompter.MessageTexts());
}

namespace {

// A conversion page whose check box enables its scale field, with a spin field, a read-only
// note and an extra command.
class OptionsPage final : public ConversionPage {
public:
    explicit OptionsPage(PageContext context) : ConversionPage(context)
    {
        SetLayout({"源", {"序号", "x"}, {35, 85}}, {"目标", {"序号", "x"}, {35, 85}});
        AddField({.id = "scaled", .label = "缩放", .kind = FieldKind::Check});
        AddField({.id = "factor", .label = "倍数", .value = 2, .enabled = false});
        AddField({.id = "digits",
                  .label = "小数位",
                  .kind = FieldKind::Spin,
                  .value = 3,
                  .minimum = 0,
                  .maximum = 6});
        AddField({.id = "note", .label = "说明", .kind = FieldKind::ReadOnlyText, .text = "只读"});
        AddCommand({.id = "reset", .caption = "复位", .action = [this] {
                        ++resets;
                        SetFieldText("factor", "1");
                        return true;
                    }});
        // A menu entry naming the button runs the button's action; one without an action and
        // without a button of its id does nothing.
        AddMenu({"选项(&O)", {{"reset", "复位(&R)"}, {}, {"help", "帮助(&H)"}}});
    }
    std::string Title() const override { return "选项"; }
    std::vector<std::string> ExportHeader() const override { return {"序号", "x"}; }
    int resets = 0;

private:
    void OnFieldEdited(const PageField& field) override
    {
        if (field.id == "scaled")
            SetFieldEnabled("factor", field.pendingIndex != 0);
    }
    void ConvertRow(std::span<std::string> cells) override
    {
        double x = std::stod(cells[1]) * (Field("scaled").value ? Field("factor").value : 1);
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", Field("digits").value, x);
        cells[1] = text;
    }
};

struct RecordingView final : PageView {
    std::vector<std::string> changes;
    void FieldChanged(const PageField& field) override
    {
        changes.push_back(field.id + (field.enabled ? "+" : "-") + field.text);
    }
};

} // namespace

TEST(ConversionFrame, FieldStatesReachTheViewAndCommandsThePage)
{
    FakeContext fake;
    OptionsPage page(fake.Context());
    RecordingView view;
    page.SetView(&view);

    page.Choose("scaled", 1);
    page.EditText("factor", "10");
    page.Choose("digits", 9);         // beyond the spin box's limit
    page.EditText("note", "changed"); // read-only: ignored
    EXPECT_EQ(std::vector<std::string>({"factor+2"}), view.changes);
    EXPECT_EQ(6, page.Field("digits").pendingIndex);
    EXPECT_EQ("只读", page.Field("note").text);

    FillSource(page, {"P", "1.5"});
    page.Convert();
    EXPECT_EQ(Cells({"P", "15.000000"}), ResultCells(page));

    EXPECT_FALSE(page.RunCommand("unknown"));
    EXPECT_EQ(0, page.resets);
    EXPECT_FALSE(page.RunCommand("help"));
    EXPECT_EQ(0, page.resets);
    EXPECT_TRUE(page.RunCommand("reset"));
    EXPECT_EQ(1, page.resets);
    EXPECT_EQ("factor+1", view.changes.back());
    page.SetView(nullptr);
    page.Choose("scaled", 0); // no view: nothing recorded, the state still follows
    EXPECT_FALSE(page.Field("factor").enabled);
    EXPECT_EQ(2u, view.changes.size());
}
