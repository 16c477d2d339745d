// The import column-mapping dialog, laid out row by row, 30 pixels apart.
#include "ui/ImportDataDialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace carvento::ui {
namespace {

constexpr int kRowStep = 30;
constexpr int kFirstRowTop = 20;
constexpr int kClientWidth = 340;
constexpr int kBaseHeight = 100;

} // namespace

CImportDataDlg::CImportDataDlg(const platform::ColumnMapping& mapping, QWidget* parent)
    : QDialog(parent), m_mapping(mapping)
{
    setWindowTitle(QStringLiteral("导入数据"));
    const int n = static_cast<int>(mapping.tableTitles.size());
    const int m = static_cast<int>(mapping.sampleFields.size());
    const int rows = (n == 0 || m == 0) ? 0 : n;
    for (int i = 0; i < rows; ++i) {
        int top = kFirstRowTop + kRowStep * i;
        auto* label = new QLabel(QString::fromStdString(mapping.tableTitles[static_cast<std::size_t>(i)]), this);
        label->setGeometry(20, top, 70, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* list = new QComboBox(this);
        list->setGeometry(100, top - 2, kClientWidth - 10 - 100, 24);
        list->setMaxVisibleItems(330 / 20);
        for (const std::string& field : mapping.sampleFields)
            list->addItem(QString::fromStdString(field));
        int initial = i < static_cast<int>(mapping.columnMap.size()) ? mapping.columnMap[static_cast<std::size_t>(i)] : -1;
        list->setCurrentIndex(initial < m ? initial : -1);
        m_lists.push_back(list);
    }
    const int shift = kRowStep * rows;
    m_removeTitleRow = new QCheckBox(QStringLiteral("去除标题行(非数据行)"), this);
    m_removeTitleRow->setGeometry(20, kFirstRowTop + shift, 200, 22);
    m_removeTitleRow->setChecked(mapping.removeTitleRow);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setGeometry(kClientWidth - 190, 58 + shift, 80, 28);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setGeometry(kClientWidth - 100, 58 + shift, 80, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kClientWidth, kBaseHeight + shift);
}

platform::ColumnMapping CImportDataDlg::Mapping() const
{
    platform::ColumnMapping mapping = m_mapping;
    mapping.columnMap.assign(mapping.tableTitles.size(), -1);
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        mapping.columnMap[i] = m_lists[i]->currentIndex();
    mapping.removeTitleRow = m_removeTitleRow->isChecked();
    return mapping;
}

} // namespace carvento::ui
