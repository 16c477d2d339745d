// The import column-mapping dialog, laid out row by row, 30 pixels apart.
#include "ui/ImportDataDialog.hpp"

#include "pages/frames/Messages.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace carvento::ui {
namespace {

constexpr int kRowStep = 30;
constexpr int kFirstRowTop = 20;
constexpr int kClientWidth = 340;
constexpr int kBaseHeight = 100;
// A list entry shows at most this many characters of a field: a first line may hold one huge
// field, and the list stays readable.
constexpr int kMaxEntryChars = 40;

QString EntryText(const std::string& field)
{
    QString text = QString::fromStdString(field);
    if (text.size() > kMaxEntryChars)
        text = text.left(kMaxEntryChars) + QStringLiteral("…");
    return text;
}

QString UnmappedQuestion(const platform::ColumnMapping& mapping, const std::vector<int>& missing)
{
    QStringList titles;
    for (int column : missing) {
        auto index = static_cast<std::size_t>(column);
        QString title = index < mapping.tableTitles.size()
                            ? QString::fromStdString(mapping.tableTitles[index])
                            : QStringLiteral("%1").arg(column + 1);
        titles << QStringLiteral("“%1”").arg(title);
    }
    return QStringLiteral("表格列%1没有选择文件列，转换时将按 0 计算。仍要导入吗？")
        .arg(titles.join(QStringLiteral("、")));
}

} // namespace

CImportDataDlg::CImportDataDlg(const platform::ColumnMapping& mapping, QWidget* parent)
    : QDialog(parent), m_mapping(mapping)
{
    setWindowTitle(QStringLiteral("导入数据"));
    const int n = static_cast<int>(mapping.tableTitles.size());
    const int m = static_cast<int>(mapping.sampleFields.size());
    const int rows = (n == 0 || m == 0) ? 0 : n;
    // The entries once, shared by every list.
    QStringList entries;
    entries.reserve(m);
    for (const std::string& field : mapping.sampleFields)
        entries << EntryText(field);
    for (int i = 0; i < rows; ++i) {
        int top = kFirstRowTop + kRowStep * i;
        auto* label = new QLabel(
            QString::fromStdString(mapping.tableTitles[static_cast<std::size_t>(i)]), this);
        label->setGeometry(20, top, 70, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* list = new QComboBox(this);
        list->setGeometry(100, top - 2, kClientWidth - 10 - 100, 24);
        list->setMaxVisibleItems(330 / 20);
        list->addItems(entries);
        int initial = i < static_cast<int>(mapping.columnMap.size())
                          ? mapping.columnMap[static_cast<std::size_t>(i)]
                          : -1;
        list->setCurrentIndex(initial < m ? initial : -1);
        m_lists.push_back(list);
    }
    int shift = kRowStep * rows;
    if (rows > 0 && mapping.fileColumns > m) {
        m_truncationNote = new QLabel(QStringLiteral("文件共有 %1 列，列表中只列出前 %2 列。")
                                          .arg(mapping.fileColumns)
                                          .arg(m),
                                      this);
        m_truncationNote->setGeometry(20, kFirstRowTop + shift, kClientWidth - 30, 20);
        shift += kRowStep;
    }
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

    m_confirm = [this](const QString& question) {
        return QMessageBox::question(this, QString::fromUtf8(pages::messages::kApplicationTitle),
                                     question, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
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

void CImportDataDlg::accept()
{
    const platform::ColumnMapping chosen = Mapping();
    const std::vector<int> missing = platform::UnmappedRequiredColumns(chosen);
    if (!missing.empty() && !m_confirm(UnmappedQuestion(chosen, missing)))
        return;
    QDialog::accept();
}

} // namespace carvento::ui
