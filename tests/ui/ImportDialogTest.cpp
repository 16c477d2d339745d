// The import dialog shows the prepared choices and hands back what the user picked.
#include "ui/ImportDataDialog.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>

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
