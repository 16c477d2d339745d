// Custom ellipsoid editor window.
#include "ui/CustomEllipsoidWindow.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace carvento::ui {

CustomEllipsoidWindow::CustomEllipsoidWindow(pages::PageContext context, QWidget* parent)
    : CustomEllipsoidWindow(std::make_unique<pages::CustomEllipsoidPage>(context), parent)
{
}

CustomEllipsoidWindow::CustomEllipsoidWindow(std::unique_ptr<pages::CustomEllipsoidPage> page,
                                             QWidget* parent)
    : QDialog(parent), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(m_page->Title()));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit;
    m_a = new QLineEdit;
    m_b = new QLineEdit;
    form->addRow(QString::fromUtf8(pages::CustomEllipsoidPage::kNameLabel), m_name);
    form->addRow(QString::fromUtf8(pages::CustomEllipsoidPage::kALabel), m_a);
    form->addRow(QString::fromUtf8(pages::CustomEllipsoidPage::kBLabel), m_b);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

void CustomEllipsoidWindow::accept()
{
    m_page->EditText("name", m_name->text().toStdString());
    m_page->EditText("a", m_a->text().toStdString());
    m_page->EditText("b", m_b->text().toStdString());
    if (m_page->Accept())
        QDialog::accept();
}

} // namespace carvento::ui
