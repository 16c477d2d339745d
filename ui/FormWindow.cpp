// Generic form window.
#include "ui/FormWindow.hpp"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace carvento::ui {

FormWindow::FormWindow(std::unique_ptr<pages::ToolPage> page, QWidget* parent)
    : QDialog(parent), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(m_page->Title()));
    m_fields = std::make_unique<FieldBinder>(*m_page);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildFieldPanels(*m_page, *m_fields, m_ellipsoidBoxes));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    for (const pages::PageCommand& command : m_page->Commands()) {
        auto* button = new QPushButton(QString::fromStdString(command.caption));
        const std::string id = command.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            if (m_page->RunCommand(id))
                accept();
        });
        if (m_buttons.empty())
            button->setDefault(true);
        m_buttons.push_back(button);
        bottom->addWidget(button);
    }
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    setMinimumWidth(320);
}

} // namespace carvento::ui
