// The parameter pages' windows: the quality panel under the table shows the page's report
// after each solve through the window's own button, and the fit picture is saved. The table
// windows' status line offers the meridian of the zone number in y.
#include "pages/coordinates/GaussPages.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"
#include "support/SevenParameterPoints.hpp"
#include "ui/CommonPointWindow.hpp"
#include "ui/CoordinateGrid.hpp"
#include "ui/PageWidgets.hpp"
#include "ui/ResidualPlot.hpp"
#include "ui/TablePageWindow.hpp"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace carvento;

namespace {

struct Fakes {
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

void FillFourParameterPoints(QAbstractItemModel* model, const double rows[][4], int count)
{
    for (int r = 0; r < count; ++r)
        for (int c = 0; c < 4; ++c)
            model->setData(model->index(r, c + 1), QString::number(rows[r][c], 'f', 4),
                           Qt::EditRole);
}

void Grab(QWidget& window, const char* name)
{
    const QByteArray folder = qgetenv("CARVENTO_GRAB_DIR");
    if (folder.isEmpty())
        return;
    window.show();
    QApplication::processEvents();
    window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name));
}

} // namespace

TEST(ParameterWindow, QualityPanelFollowsEachSolve)
{
    Fakes fakes;
    auto* window = new ui::CommonPointWindow(std::make_unique<pages::CParams4>(fakes.Context()));
    ASSERT_NE(nullptr, window->QualityPanel());
    EXPECT_TRUE(window->QualityPanel()->isReadOnly());
    EXPECT_TRUE(window->QualityPanel()->toPlainText().isEmpty());
    for (int i = 0; i < 3; ++i)
        window->Button(QStringLiteral("添加"))->click();
    const double rows[3][4] = {{3000000, 500000, 3000100, 499950},
                               {3000060, 500080, 3000160, 500030},
                               {3000200, 499900, 3000300.05, 499850}};
    FillFourParameterPoints(window->Grid()->model(), rows, 3);
    window->Button(QStringLiteral("解算四参数"))->click();
    const QString shown = window->QualityPanel()->toPlainText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("公共点数: 3  多余观测数: 2")))
        << shown.toStdString();
    EXPECT_EQ(QString::fromStdString(window->Page().QualityText()), shown);

    // The fit picture of that solve, saved through the page's dialog as PNG and as SVG.
    ASSERT_NE(nullptr, window->Plot());
    EXPECT_EQ(3u, window->Plot()->Layout(400, 300).points.size());
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("carvento-plot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    fakes.prompter.saveAnswers.push_back((folder / "fit.png").string());
    window->Button(QStringLiteral("保存残差图"))->click();
    const QImage image((folder / "fit.png").string().c_str());
    EXPECT_EQ(ui::ResidualPlotWidget::kSavedWidth, image.width());
    EXPECT_EQ(ui::ResidualPlotWidget::kSavedHeight, image.height());
    fakes.prompter.saveAnswers.push_back((folder / "fit.svg").string());
    ASSERT_TRUE(window->Plot()->SaveWithDialog());
    std::ifstream in(folder / "fit.svg");
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(0u, svg.find("<?xml")) << svg;
    EXPECT_NE(std::string::npos, svg.find("</svg>"));
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(fakes.prompter.messages.empty());
    EXPECT_FALSE(window->Plot()->SavePng("/nonexistent-folder/fit.png"));
    EXPECT_EQ(1u, fakes.prompter.messages.size());
    delete window;
}

// The transformation windows open now.
std::set<ui::TablePageWindow*> TransformationWindows()
{
    std::set<ui::TablePageWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<ui::TablePageWindow*>(widget))
            found.insert(window);
    return found;
}

// 用于转换 on the 计算四参数 window: before a solve the page's message and no window; after
// one a 四参数转换 window whose fields show what importing the saved parameter file shows.
TEST(ParameterWindow, UseForTransformOpensTheFilledTransformationPage)
{
    Fakes fakes;
    auto* window = new ui::CommonPointWindow(std::make_unique<pages::CParams4>(fakes.Context()));
    QPushButton* transfer = window->Button(QStringLiteral("用于转换"));
    ASSERT_NE(nullptr, transfer);
    const std::set<ui::TablePageWindow*> before = TransformationWindows();
    transfer->click();
    EXPECT_EQ(std::vector<std::string>{pages::messages::kNothingToTransfer},
              fakes.prompter.MessageTexts());
    EXPECT_EQ(before, TransformationWindows());

    for (int i = 0; i < 3; ++i)
        window->Button(QStringLiteral("添加"))->click();
    const double rows[3][4] = {{3000000, 500000, 3000100, 499950},
                               {3000060, 500080, 3000160, 500030},
                               {3000200, 499900, 3000300.05, 499850}};
    FillFourParameterPoints(window->Grid()->model(), rows, 3);
    window->Button(QStringLiteral("解算四参数"))->click();
    transfer->click();
    EXPECT_EQ(1u, fakes.prompter.messages.size());
    std::set<ui::TablePageWindow*> opened = TransformationWindows();
    for (ui::TablePageWindow* old : before)
        opened.erase(old);
    ASSERT_EQ(1u, opened.size());
    ui::TablePageWindow* target = *opened.begin();
    EXPECT_EQ(QStringLiteral("四参数转换"), target->windowTitle());
    EXPECT_TRUE(target->isVisible());

    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("carvento-transfer-" + std::to_string(::getpid()) + ".txt");
    auto& solved = static_cast<pages::CParams4&>(window->Page());
    ASSERT_TRUE(solved.SaveParametersToFile(file.string(), tables::TextEncoding::Gbk));
    pages::CTrans4Dlg imported(fakes.Context());
    ASSERT_TRUE(imported.ImportParameterFile(file.string()));
    std::filesystem::remove(file);
    for (const char* id : {"dx", "dy", "t", "k"}) {
        EXPECT_EQ(imported.Field(id).text, target->Page().Field(id).text) << id;
        auto* edit = qobject_cast<QLineEdit*>(target->FieldWidget(id));
        ASSERT_NE(nullptr, edit) << id;
        EXPECT_EQ(QString::fromStdString(imported.Field(id).text), edit->text()) << id;
    }
    EXPECT_EQ(1u, fakes.prompter.messages.size());
    delete target;
    delete window;
}

// 计算七参数 with a planted blunder: the row stands out after the solve, is greyed once set
// aside, and 用于转换 hands the re-solved parameters on. CARVENTO_GRAB_DIR keeps screenshots.
TEST(ParameterWindow, ABlunderIsHighlightedSetAsideAndTheRestHandedOn)
{
    Fakes fakes;
    auto* window = new ui::CommonPointWindow(std::make_unique<pages::CParams7>(fakes.Context()));
    auto& page = static_cast<pages::CParams7&>(window->Page());
    // The target datum chosen as a user does, so that the window shows it.
    const QList<ui::EllipsoidBox*> boxes = window->findChildren<ui::EllipsoidBox*>();
    ASSERT_EQ(2, boxes.size());
    QComboBox* target = boxes[1]->Combo();
    const int cgcs = target->findText(QStringLiteral("2000国家大地坐标系"));
    ASSERT_GE(cgcs, 0);
    target->setCurrentIndex(cgcs);
    emit target->activated(cgcs);
    const std::vector<std::string> cells = carvento::testing::SevenParameterRows(page);
    page.Table().FillRows(cells, 12, 8);
    window->Button(QStringLiteral("解算七参数"))->click();
    // A solved value shows from its sign, however narrow its field.
    auto* dx = qobject_cast<QLineEdit*>(window->FieldWidget("dx"));
    ASSERT_NE(nullptr, dx);
    EXPECT_EQ(0, dx->cursorPosition());
    QAbstractItemModel* model = window->Grid()->model();
    EXPECT_TRUE(model->data(model->index(5, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->data(model->index(4, 1), Qt::BackgroundRole).isValid());
    Grab(*window, "seven-params-blunder.png");

    window->Button(QStringLiteral("剔除超限点重新解算"))->click();
    EXPECT_TRUE(model->data(model->index(5, 1), Qt::ForegroundRole).isValid());
    EXPECT_NE(-1, window->QualityPanel()->toPlainText().indexOf(QStringLiteral("检查点")));

    // An edited point greys the report until the next solve.
    auto* qualityBox = qobject_cast<QGroupBox*>(window->QualityPanel()->parentWidget());
    ASSERT_NE(nullptr, qualityBox);
    EXPECT_EQ(QStringLiteral("解算精度"), qualityBox->title());
    model->setData(model->index(0, 6), QStringLiteral("808.6"), Qt::EditRole);
    EXPECT_NE(-1, qualityBox->title().indexOf(QStringLiteral("请重新解算")));
    model->setData(model->index(0, 6), QString::fromStdString(cells[6]), Qt::EditRole);
    window->Button(QStringLiteral("解算七参数"))->click();
    EXPECT_EQ(QStringLiteral("解算精度"), qualityBox->title());

    const std::set<ui::TablePageWindow*> before = TransformationWindows();
    window->Button(QStringLiteral("用于转换"))->click();
    std::set<ui::TablePageWindow*> opened = TransformationWindows();
    for (ui::TablePageWindow* old : before)
        opened.erase(old);
    ASSERT_EQ(1u, opened.size());
    ui::TablePageWindow* transformation = *opened.begin();
    EXPECT_EQ(page.Field("dx").text, transformation->Page().Field("dx").text);
    Grab(*transformation, "seven-params-transfer.png");
    delete transformation;
    delete window;
}

// 高斯坐标反算 with y values in zone 38 and the panel on 111°: the status line says so, its
// button sets 1140000 in the field (and the page), and the hint goes.
TEST(ZoneStatus, InverseWindowOffersTheDataZonesMeridian)
{
    Fakes fakes;
    auto* window = new ui::TablePageWindow(std::make_unique<pages::CGSFSDlg>(fakes.Context()));
    auto* meridian = qobject_cast<QLineEdit*>(window->FieldWidget("meridian"));
    ASSERT_NE(nullptr, meridian);
    meridian->setText(QStringLiteral("1110000"));
    emit meridian->textEdited(meridian->text());
    ASSERT_NE(nullptr, window->ZoneButton());
    EXPECT_TRUE(window->ZoneButton()->isHidden());
    std::vector<std::string> row = {"1", "3380000", "38512345.6"};
    row.resize(static_cast<std::size_t>(window->Page().Source().ColumnCount()));
    window->Page().Source().FillRows(row, 1, static_cast<int>(row.size()));
    EXPECT_FALSE(window->ZoneButton()->isHidden());
    EXPECT_TRUE(window->StatusText().contains(QStringLiteral("y 带号 38")))
        << window->StatusText().toStdString();
    EXPECT_EQ(QStringLiteral("改为 1140000"), window->ZoneButton()->text());
    window->ZoneButton()->click();
    EXPECT_EQ(QStringLiteral("1140000"), meridian->text());
    EXPECT_EQ("1140000", window->Page().Field("meridian").text);
    EXPECT_TRUE(window->ZoneButton()->isHidden());
    EXPECT_FALSE(window->StatusText().contains(QStringLiteral("带号")));
    delete window;
}

// The zone number typed into Y加常数: the status line asks, and one click sets the add constant
// and the meridian in the fields and the page.
TEST(ZoneStatus, AZoneNumberInTheAddConstantIsPutRightInOneClick)
{
    Fakes fakes;
    auto* window = new ui::TablePageWindow(std::make_unique<pages::CGSFSDlg>(fakes.Context()));
    auto* yAdd = qobject_cast<QLineEdit*>(window->FieldWidget("y-add"));
    ASSERT_NE(nullptr, yAdd);
    yAdd->setText(QStringLiteral("38500000"));
    emit yAdd->textEdited(yAdd->text());
    std::vector<std::string> row = {"1", "3380000", "512345.6"};
    row.resize(static_cast<std::size_t>(window->Page().Source().ColumnCount()));
    window->Page().Source().FillRows(row, 1, static_cast<int>(row.size()));
    EXPECT_TRUE(
        window->StatusText().contains(QStringLiteral("Y加常数应为500000，带号38已移入中央子午线?")))
        << window->StatusText().toStdString();
    ASSERT_FALSE(window->ZoneButton()->isHidden());
    if (const QByteArray folder = qgetenv("CARVENTO_GRAB_DIR"); !folder.isEmpty()) {
        window->resize(900, 420);
        window->show();
        QApplication::processEvents();
        window->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/zone-y-add.png"));
    }
    window->ZoneButton()->click();
    EXPECT_EQ(QStringLiteral("500000"), yAdd->text());
    EXPECT_EQ("500000", window->Page().Field("y-add").text);
    EXPECT_EQ("1140000", window->Page().Field("meridian").text);
    EXPECT_TRUE(window->ZoneButton()->isHidden());
    delete window;
}
