// The import dialog shows the prepared choices and hands back what the user picked.
#include "ui/ImportDataDialog.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

using namespace carvento;

TEST(ImportDataDialog, RowsThirtyPixelsApartWithPreparedSelections)
{
    platform::ColumnMapping mapping;
    mapping.tableTitles = {"序号", "纬度B", "经度L", "高程"};
    mapping.sampleFields = {"点号", "纬度", "经度"};
    mapping.columnMap = {0, 1, 2, -1};
    mapping.removeTitleRow = true;
    ui::CImportDataDlg dialog(mapping);
    ASSERT_EQ(4u, dialog.ColumnLists().size());
    EXPECT_EQ(30, dialog.ColumnLists()[1]->y() - dialog.ColumnLists()[0]->y());
    EXPECT_EQ(-1, dialog.ColumnLists()[3]->currentIndex());
    EXPECT_TRUE(dialog.RemoveTitleRowBox()->isChecked());
    EXPECT_EQ(100 + 4 * 30, dialog.height());

    dialog.ColumnLists()[3]->setCurrentIndex(2);
    dialog.RemoveTitleRowBox()->setChecked(false);
    platform::ColumnMapping chosen = dialog.Mapping();
    EXPECT_EQ(std::vector<int>({0, 1, 2, 2}), chosen.columnMap);
    EXPECT_FALSE(chosen.removeTitleRow);
}

TEST(ImportDataDialog, AsksBeforeLeavingAComputedColumnWithoutAFileColumn)
{
    platform::ColumnMapping mapping;
    mapping.tableTitles = {"序号", "纬度B", "经度L"};
    mapping.sampleFields = {"P1", "30.1"};
    mapping.fileColumns = 2;
    mapping.columnMap = {0, 1, -1};
    mapping.requiredColumns = {1, 2};
    ui::CImportDataDlg dialog(mapping);
    std::vector<QString> questions;
    bool answer = false;
    dialog.SetConfirmation([&](const QString& question) {
        questions.push_back(question);
        return answer;
    });

    dialog.accept(); // No: back to the dialog
    ASSERT_EQ(1u, questions.size());
    EXPECT_EQ(QStringLiteral("表格列“经度L”没有选择文件列，转换时将按 0 计算。仍要导入吗？"),
              questions[0]);
    EXPECT_NE(QDialog::Accepted, dialog.result());

    dialog.ColumnLists()[1]->setCurrentIndex(-1);
    answer = true;
    dialog.accept();
    ASSERT_EQ(2u, questions.size());
    EXPECT_EQ(
        QStringLiteral("表格列“纬度B”、“经度L”没有选择文件列，转换时将按 0 计算。仍要导入吗？"),
        questions[1]);
    EXPECT_EQ(QDialog::Accepted, dialog.result());

    // Every computed column mapped: no question.
    dialog.setResult(QDialog::Rejected);
    dialog.ColumnLists()[1]->setCurrentIndex(1);
    dialog.ColumnLists()[2]->setCurrentIndex(1);
    dialog.accept();
    EXPECT_EQ(2u, questions.size());
    EXPECT_EQ(QDialog::Accepted, dialog.result());
}

TEST(ImportDataDialog, AMillionFieldFirstLineListsTheOfferedFieldsAndSaysSo)
{
    platform::ColumnMapping mapping;
    mapping.tableTitles = {"序号", "纬度B", "经度L"};
    for (int i = 0; i < platform::ColumnMapping::kMaxSampleFields; ++i)
        mapping.sampleFields.push_back(i == 0 ? std::string(100000, 'x') : std::to_string(i));
    mapping.fileColumns = 1000000;
    mapping.columnMap = {0, 1, 2};
    ui::CImportDataDlg dialog(mapping);
    ASSERT_EQ(3u, dialog.ColumnLists().size());
    EXPECT_EQ(platform::ColumnMapping::kMaxSampleFields, dialog.ColumnLists()[2]->count());
    // A huge field is shortened in the list; its index is what counts.
    EXPECT_GT(200, dialog.ColumnLists()[0]->itemText(0).size());
    ASSERT_NE(nullptr, dialog.TruncationNote());
    EXPECT_TRUE(dialog.TruncationNote()->text().contains(QStringLiteral("1000000")));
    EXPECT_EQ(std::vector<int>({0, 1, 2}), dialog.Mapping().columnMap);
}
