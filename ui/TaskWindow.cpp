// Generic task window.
#include "ui/TaskWindow.hpp"

#include "ui/CoordinateGrid.hpp"
#include "ui/WindowPlacement.hpp"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace carvento::ui {

TaskWindow::TaskWindow(std::unique_ptr<pages::TaskPage> page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(m_page->Title()));
    m_fields = std::make_unique<FieldBinder>(*m_page);
    m_page->SetDispatcher(m_dispatcher);

    auto* layout = new QVBoxLayout(this);
    if (QMenuBar* menus = BuildPageMenus(*m_page, *this,
                                         [this](const std::string&) { ShowState(); }))
        layout->setMenuBar(menus);
    // The progress field is shown by the progress label, not as an edit.
    layout->addWidget(BuildFieldPanels(*m_page, *m_fields, m_ellipsoidBoxes,
                                       {pages::TaskPage::kProgressField}));

    auto* tableBox = new QGroupBox(QString::fromStdString(m_page->Layout().group));
    auto* tableLayout = new QVBoxLayout(tableBox);
    m_grid = new CoordinateGrid(m_page->Table());
    tableLayout->addWidget(m_grid, 1);
    layout->addWidget(tableBox, 1);

    m_progress = new ProgressLabel;
    layout->addWidget(m_progress);
    // What the last command did (停止, 保存任务, 恢复任务, the end of a run).
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_fields->SetStatusLabel(m_status);
    layout->addWidget(BuildCommandBar(
        *m_page, m_buttons, [this](const std::string&) { ShowState(); },
        [this] { m_grid->CommitOpenEditor(); }));

    // Runs on this thread: the page's notices come through the dispatcher.
    m_page->SetProgressHandler([this](int done, int total) {
        const pages::PageField* field = m_page->FindField(pages::TaskPage::kProgressField);
        m_progress->ShowProgress(field ? QString::fromStdString(field->text) : QString(), done,
                                 total);
        ShowState();
    });
    const pages::PageField* field = m_page->FindField(pages::TaskPage::kProgressField);
    m_progress->ShowProgress(field ? QString::fromStdString(field->text) : QString(), 0, 0);
    ShowState();

    resize(560, 520);
    PlaceWindow(*this);
}

TaskWindow::~TaskWindow()
{
    EndTask();
    // The grid's model watches the page's table: it goes before the page does.
    delete m_grid;
}

void TaskWindow::EndTask()
{
    // The worker may be waiting for this thread: release it before waiting for the worker.
    m_dispatcher.Close();
    m_page->Close();
}

QPushButton* TaskWindow::Button(const QString& caption) const
{
    for (QPushButton* button : m_buttons)
        if (button->text() == caption)
            return button;
    return nullptr;
}

void TaskWindow::ShowState()
{
    // Only 启动/暂停 and 停止 act on a running task; the rest wait for it to end.
    const bool idle = m_page->TaskState() == pages::TaskPage::State::Idle;
    for (QPushButton* button : m_buttons) {
        const std::string id = button->objectName().toStdString();
        if (id == pages::TaskPage::kStopCommand)
            button->setEnabled(!idle);
        else if (id == pages::TaskPage::kSaveTaskCommand)
            button->setEnabled(true); // idle: the page says there is nothing to save
        else if (id != pages::TaskPage::kStartCommand)
            button->setEnabled(idle);
    }
}

void TaskWindow::closeEvent(QCloseEvent* event)
{
    if (!m_page->QueryClose()) {
        event->ignore();
        return;
    }
    EndTask();
    event->accept();
}

} // namespace carvento::ui
