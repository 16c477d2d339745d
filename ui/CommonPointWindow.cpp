// Generic common-point window.
#include "ui/CommonPointWindow.hpp"

#include "ui/CoordinateGrid.hpp"
#include "ui/PageWindows.hpp"
#include "ui/ResidualPlot.hpp"
#include "ui/WindowPlacement.hpp"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace carvento::ui {

CommonPointWindow::CommonPointWindow(std::unique_ptr<pages::CommonPointPage> page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(QString::fromStdString(m_page->Title()));
    m_fields = std::make_unique<FieldBinder>(*m_page);

    // Two datum panels, the table and the quality panel are taller and wider than a small or
    // highly scaled screen: the content scrolls inside the window instead of running off it.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    content->setMinimumSize(760, 640);
    scroll->setWidget(content);
    outer->addWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(BuildFieldPanels(*m_page, *m_fields, m_ellipsoidBoxes));

    auto* tableBox = new QGroupBox(QString::fromStdString(m_page->Layout().group));
    auto* tableLayout = new QVBoxLayout(tableBox);
    m_grid = new CoordinateGrid(m_page->Table());
    tableLayout->addWidget(m_grid, 1);
    auto* rowButtons = new QHBoxLayout;
    pages::EditableTable& editor = m_page->Editor();
    auto add = [&](const QString& caption, const std::function<void()>& action) {
        auto* button = new QPushButton(caption);
        connect(button, &QPushButton::clicked, this, [this, action] {
            m_grid->CommitOpenEditor();
            action();
        });
        rowButtons->addWidget(button);
        m_buttons.push_back(button);
    };
    add(QStringLiteral("添加"), [&editor] { editor.AddRow(); });
    add(QStringLiteral("插入"), [this, &editor] { editor.InsertRow(m_grid->Selection()); });
    add(QStringLiteral("删除"), [this, &editor] { editor.DeleteRow(m_grid->Selection()); });
    add(QStringLiteral("清空"), [&editor] { editor.ClearRows(); });
    add(QStringLiteral("导入"), [&editor] { editor.Import(); });
    add(QStringLiteral("粘贴"), [&editor] { editor.Paste(); });
    if (m_page->ResidualColumn() >= 0) {
        // Rows set aside by 剔除超限点重新解算 come back into the solve with a click.
        add(QStringLiteral("恢复选中点"), [this] {
            if (m_page->TakeBack(m_grid->Selection()))
                ShowQuality();
        });
        m_grid->SetRowShader([page = m_page.get()](int row) {
            switch (page->MarkOf(row)) {
            case pages::CommonPointPage::RowMark::Beyond3Sigma:
                return RowShade::Warning;
            case pages::CommonPointPage::RowMark::SetAside:
                return RowShade::Muted;
            case pages::CommonPointPage::RowMark::None:
                break;
            }
            return RowShade::Plain;
        });
    }
    rowButtons->addStretch(1);
    tableLayout->addLayout(rowButtons);
    tableLayout->addWidget(BuildCommandBar(
        *m_page, m_buttons,
        [this](const std::string& id) {
            if (id == pages::CommonPointPage::kTransferCommand)
                OpenTransferPage();
            else if (id == pages::CommonPointPage::kSolveCommand ||
                     id == pages::CommonPointPage::kSetAsideCommand)
                ShowQuality();
        },
        [this] { m_grid->CommitOpenEditor(); }));
    layout->addWidget(tableBox, 1);

    auto* qualityBox = new QGroupBox(QStringLiteral("解算精度"));
    m_qualityBox = qualityBox;
    auto* qualityLayout = new QHBoxLayout(qualityBox);
    m_quality = new QPlainTextEdit;
    m_quality->setReadOnly(true);
    m_quality->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_quality->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_quality->setPlaceholderText(
        QStringLiteral("解算后显示点数、多余观测数、单位权中误差和各点残差"));
    qualityLayout->addWidget(m_quality, 3);
    auto* plotColumn = new QVBoxLayout;
    m_plot = new ResidualPlotWidget(*m_page);
    plotColumn->addWidget(m_plot, 1);
    auto* savePlot = new QPushButton(QStringLiteral("保存残差图"));
    connect(savePlot, &QPushButton::clicked, this, [this] { m_plot->SaveWithDialog(); });
    m_buttons.push_back(savePlot);
    plotColumn->addWidget(savePlot, 0, Qt::AlignRight);
    qualityLayout->addLayout(plotColumn, 2);
    layout->addWidget(qualityBox);
    // Points changed after a solve: its report no longer describes them, and says so.
    QAbstractItemModel* model = m_grid->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, [this] { ShowQualityOutdated(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { ShowQualityOutdated(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { ShowQualityOutdated(); });

    resize(900, 760);
    PlaceWindow(*this);
}

CommonPointWindow::~CommonPointWindow()
{
    // The grid's model watches the page's table: it goes before the page does.
    delete m_grid;
}

void CommonPointWindow::ShowQualityOutdated()
{
    if (m_quality->toPlainText().isEmpty() || m_qualityOutdated)
        return;
    m_qualityOutdated = true;
    m_qualityBox->setTitle(QStringLiteral("解算精度(公共点已改动,请重新解算)"));
    m_quality->setStyleSheet(QStringLiteral("color: #8a8a8a;"));
}

void CommonPointWindow::ShowQuality()
{
    m_qualityOutdated = false;
    m_qualityBox->setTitle(QStringLiteral("解算精度"));
    m_quality->setStyleSheet(QString());
    m_quality->setPlainText(QString::fromStdString(m_page->QualityText()));
    m_plot->update();
    m_grid->viewport()->update();
}

void CommonPointWindow::OpenTransferPage()
{
    // Before a solve the page's handler has said so.
    if (!m_page->CanTransfer())
        return;
    const pages::PageRegistration* target = pages::FindPageByClass(m_page->TransferPageClass());
    if (!target || !target->Built())
        return;
    bool filled = false;
    QWidget* window = MakePageWindow(*target, m_page->Context(), [&](pages::ToolPage& page) {
        filled = m_page->TransferTo(page);
    });
    if (!window)
        return;
    if (!filled) {
        delete window;
        return;
    }
    window->setWindowIcon(windowIcon());
    window->show();
    window->raise();
    window->activateWindow();
}

QPushButton* CommonPointWindow::Button(const QString& caption) const
{
    for (QPushButton* button : m_buttons)
        if (button->text() == caption)
            return button;
    return nullptr;
}

void CommonPointWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CommonPointWindow::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    m_page->Editor().DropFiles(DroppedPaths(*event));
}

} // namespace carvento::ui
