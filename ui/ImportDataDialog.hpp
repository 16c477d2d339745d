// "导入数据": one drop-down per table column listing the first imported row's fields, and the
// "去除标题行(非数据行)" check box.
#pragma once

#include "platform/Prompter.hpp"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;

namespace carvento::ui {

class CImportDataDlg final : public QDialog {
    Q_OBJECT
public:
    // `mapping` gives the titles, the sample fields, each list's initial selection and the
    // check box's initial state.
    explicit CImportDataDlg(const platform::ColumnMapping& mapping, QWidget* parent = nullptr);

    // The lists' selections (-1 for none) and the check box, as chosen.
    platform::ColumnMapping Mapping() const;

    QCheckBox* RemoveTitleRowBox() const { return m_removeTitleRow; }
    const std::vector<QComboBox*>& ColumnLists() const { return m_lists; }

private:
    platform::ColumnMapping m_mapping;
    std::vector<QComboBox*> m_lists;
    QCheckBox* m_removeTitleRow = nullptr;
};

} // namespace carvento::ui
