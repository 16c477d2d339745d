// "导入数据": one drop-down per table column listing the first imported row's fields, and the
// "去除标题行(非数据行)" check box.
#pragma once

#include "platform/Prompter.hpp"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

namespace carvento::ui {

class CImportDataDlg final : public QDialog {
    Q_OBJECT
public:
    // Asks a yes/no question; true for yes.
    using Confirmation = std::function<bool(const QString& question)>;

    // `mapping` gives the titles, the sample fields (at most ColumnMapping::kMaxSampleFields),
    // each list's initial selection and the check box's initial state.
    explicit CImportDataDlg(const platform::ColumnMapping& mapping, QWidget* parent = nullptr);

    // The lists' selections (-1 for none) and the check box, as chosen.
    platform::ColumnMapping Mapping() const;

    QCheckBox* RemoveTitleRowBox() const { return m_removeTitleRow; }
    const std::vector<QComboBox*>& ColumnLists() const { return m_lists; }
    // Says that the lists hold only the first fields of a wider file; nullptr when they hold all.
    QLabel* TruncationNote() const { return m_truncationNote; }

    // "确定": a mapping that leaves a column the page computes from without a file column is
    // accepted only after the user confirms; otherwise the dialog stays open.
    void accept() override;
    // Replaces the message box of that question (tests).
    void SetConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }

private:
    platform::ColumnMapping m_mapping;
    std::vector<QComboBox*> m_lists;
    QCheckBox* m_removeTitleRow = nullptr;
    QLabel* m_truncationNote = nullptr;
    Confirmation m_confirm;
};

} // namespace carvento::ui
