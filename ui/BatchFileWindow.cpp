// Generic batch-file window.
#include "ui/BatchFileWindow.hpp"

#include "ui/WindowPlacement.hpp"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace carvento::ui {

BatchFileWindow::BatchFileWindow(std::unique_ptr<pages::BatchFilePage> page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(QString::fromStdString(m_page->Title()));
    m_fields = std::make_unique<FieldBinder>(*m_page);

    auto* layout = new QVBoxLayout(this);
    if (!m_page->Setup().note.empty()) {
        // The note's lines are separated by CR LF; a label wants LF alone.
        QString note = QString::fromStdString(m_page->Setup().note);
        note.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        auto* label = new QLabel(note);
        label->setObjectName(QStringLiteral("note"));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFrameShape(QFrame::StyledPanel);
        label->setMargin(6);
        layout->addWidget(label);
    }
    m_files = new FileListBox(QStringLiteral("文件列表"));
    layout->addWidget(m_files, 1);
    connect(m_files, &FileListBox::addRequested, this, [this] {
        m_page->AddFiles();
        ShowFiles();
    });
    connect(m_files, &FileListBox::removeRequested, this, [this](int index) {
        m_page->RemoveFile(index);
        ShowFiles();
    });
    connect(m_files, &FileListBox::clearRequested, this, [this] {
        m_page->ClearFiles();
        ShowFiles();
    });

    layout->addWidget(BuildFieldPanels(*m_page, *m_fields, m_ellipsoidBoxes));

    auto* bottom = new QHBoxLayout;
    m_status = new QLabel;
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bottom->addWidget(m_status, 1);
    for (const pages::PageCommand& command : m_page->Commands()) {
        auto* button = new QPushButton(QString::fromStdString(command.caption));
        const std::string id = command.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            if (id != pages::BatchFilePage::kRunCommand) {
                m_page->RunCommand(id);
                return;
            }
            const pages::BatchReport report = m_page->Convert();
            if (!report.ran)
                return;
            QString text = QStringLiteral("已转换 %1 个文件").arg(report.converted);
            if (!report.failures.empty())
                text += QStringLiteral("，%1 个失败").arg(report.failures.size());
            QStringList summaries;
            for (const std::string& summary : report.summaries)
                summaries << QString::fromStdString(summary);
            if (!summaries.isEmpty())
                text += QStringLiteral("。") + summaries.join(QStringLiteral("；"));
            m_status->setText(text);
            m_status->setToolTip(summaries.join(QLatin1Char('\n')));
        });
        bottom->addWidget(button);
        m_buttons.push_back(button);
    }
    auto* close = new QPushButton(QStringLiteral("关闭"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    bottom->addWidget(close);
    m_buttons.push_back(close);
    layout->addLayout(bottom);

    ShowFiles();
    resize(560, 440);
    PlaceWindow(*this);
}

BatchFileWindow::~BatchFileWindow() = default;

void BatchFileWindow::ShowFiles()
{
    m_files->SetFiles(m_page->Files());
}

QString BatchFileWindow::StatusText() const
{
    return m_status->text();
}

QPushButton* BatchFileWindow::Button(const QString& caption) const
{
    for (QPushButton* button : m_buttons)
        if (button->text() == caption)
            return button;
    if (m_files->AddButton()->text() == caption)
        return m_files->AddButton();
    if (m_files->RemoveButton()->text() == caption)
        return m_files->RemoveButton();
    if (m_files->ClearButton()->text() == caption)
        return m_files->ClearButton();
    return nullptr;
}

void BatchFileWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void BatchFileWindow::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    m_page->DropFiles(DroppedPaths(*event));
    ShowFiles();
}

} // namespace carvento::ui
