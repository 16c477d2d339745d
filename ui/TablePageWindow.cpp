// Generic table-page window.
#include "ui/TablePageWindow.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "pages/frames/ZoneHint.hpp"
#include "platform/NumberText.hpp"
#include "ui/CoordinateGrid.hpp"
#include "ui/PageWidgets.hpp"
#include "ui/WindowPlacement.hpp"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace carvento::ui {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Rows above which 转换, 复制 and 导出 run on the worker behind a progress dialog; below it
// they take a blink and run directly.
constexpr int kProgressRows = 50000;
// File bytes above which 导入 does the same (about 50 000 rows of three columns).
constexpr qint64 kProgressBytes = 2 << 20;

} // namespace

TablePageWindow::TablePageWindow(std::unique_ptr<pages::ConversionPage> page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_page(std::move(page))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(Q(m_page->Title()));
    m_page->SetDispatcher(m_dispatcher);
    m_ellipsoid = m_page->EllipsoidPanelOf("");
    m_fields = std::make_unique<FieldBinder>(*m_page);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildParameterPanel());
    // The page's own commands (such as importing a parameter file) under its parameters.
    if (!m_page->Commands().empty())
        layout->addWidget(BuildCommandBar(*m_page, m_buttons));

    auto* tables = new QHBoxLayout;
    layout->addLayout(tables, 1);

    // Source table with the row commands.
    auto* sourceBox = new QGroupBox(Q(m_page->SourceLayout().group));
    auto* sourceLayout = new QVBoxLayout(sourceBox);
    m_sourceGrid = new CoordinateGrid(m_page->Source());
    sourceLayout->addWidget(m_sourceGrid, 1);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(AddButton(QStringLiteral("添加"), [this] { m_page->AddRow(); }));
    rowButtons->addWidget(AddButton(QStringLiteral("插入"),
                                    [this] { m_page->InsertRow(m_sourceGrid->Selection()); }));
    rowButtons->addWidget(AddButton(QStringLiteral("删除"),
                                    [this] { m_page->DeleteRow(m_sourceGrid->Selection()); }));
    rowButtons->addWidget(AddButton(QStringLiteral("清空"), [this] { m_page->ClearRows(); }));
    sourceLayout->addLayout(rowButtons);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(AddButton(QStringLiteral("导入"), [this] { Import(); }));
    fileButtons->addWidget(AddButton(QStringLiteral("粘贴"), [this] { m_page->Paste(); }));
    fileButtons->addStretch(1);
    sourceLayout->addLayout(fileButtons);
    if (QWidget* row = BuildFieldRow(pages::FieldPlacement::BelowSource))
        sourceLayout->addWidget(row);
    tables->addWidget(sourceBox, 1);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    QPushButton* convert = AddButton(QStringLiteral("转换"), [this] { Convert(); });
    convert->setMinimumHeight(48);
    middle->addWidget(convert);
    middle->addStretch(1);
    tables->addLayout(middle);

    // Result table: read-only, exported or copied.
    auto* resultBox = new QGroupBox(Q(m_page->ResultLayout().group));
    auto* resultLayout = new QVBoxLayout(resultBox);
    m_resultGrid = new CoordinateGrid(m_page->Result());
    resultLayout->addWidget(m_resultGrid, 1);
    auto* resultButtons = new QHBoxLayout;
    resultButtons->addWidget(AddButton(QStringLiteral("导出"), [this] { Export(); }));
    resultButtons->addWidget(AddButton(QStringLiteral("复制"), [this] { Copy(); }));
    resultButtons->addStretch(1);
    resultLayout->addLayout(resultButtons);
    if (QWidget* row = BuildFieldRow(pages::FieldPlacement::BelowResult))
        resultLayout->addWidget(row);
    tables->addWidget(resultBox, 1);

    // Status line: the tables' row counts on the left, the last 转换 and 导出 after them.
    auto* status = new QHBoxLayout;
    m_rowCounts = new QLabel;
    m_convertStatus = new QLabel;
    m_exportStatus = new QLabel;
    // A long exported path must not widen the window; the tooltip holds the whole text.
    m_exportStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status->addWidget(m_rowCounts);
    status->addSpacing(16);
    status->addWidget(m_convertStatus);
    status->addSpacing(16);
    status->addWidget(m_exportStatus, 1);
    m_zoneStatus = new QLabel;
    m_zoneButton = new QPushButton;
    m_zoneStatus->setVisible(false);
    m_zoneButton->setVisible(false);
    connect(m_zoneButton, &QPushButton::clicked, this, [this] {
        for (const std::string& id : m_page->FixZone())
            if (auto* edit = qobject_cast<QLineEdit*>(FieldWidget(id)))
                edit->setText(Q(m_page->Field(id).text));
        ShowZoneHint();
    });
    status->addWidget(m_zoneStatus);
    status->addWidget(m_zoneButton);
    layout->addLayout(status);
    if (m_page->ZoneCheck()) {
        QAbstractItemModel* source = m_sourceGrid->model();
        connect(source, &QAbstractItemModel::modelReset, this, &TablePageWindow::CheckZone);
        connect(source, &QAbstractItemModel::rowsInserted, this, &TablePageWindow::CheckZone);
        connect(source, &QAbstractItemModel::rowsRemoved, this, &TablePageWindow::CheckZone);
        connect(source, &QAbstractItemModel::dataChanged, this, &TablePageWindow::CheckZone);
        for (const std::string& id : m_page->ZoneFields())
            if (auto* edit = qobject_cast<QLineEdit*>(FieldWidget(id)))
                connect(edit, &QLineEdit::textEdited, this, &TablePageWindow::CheckZone);
    }
    for (CoordinateGrid* grid : {m_sourceGrid, m_resultGrid}) {
        connect(grid->model(), &QAbstractItemModel::modelReset, this,
                &TablePageWindow::ShowRowCounts);
        connect(grid->model(), &QAbstractItemModel::rowsInserted, this,
                &TablePageWindow::ShowRowCounts);
        connect(grid->model(), &QAbstractItemModel::rowsRemoved, this,
                &TablePageWindow::ShowRowCounts);
    }
    ShowRowCounts();
    // Source rows changed after a 转换: the results no longer belong to them and are greyed.
    {
        QAbstractItemModel* source = m_sourceGrid->model();
        const auto outdated = [this] { ShowResultsOutdated(); };
        connect(source, &QAbstractItemModel::modelReset, this, outdated);
        connect(source, &QAbstractItemModel::rowsInserted, this, outdated);
        connect(source, &QAbstractItemModel::rowsRemoved, this, outdated);
        connect(source, &QAbstractItemModel::dataChanged, this, outdated);
    }

    resize(880, 540);
    PlaceWindow(*this);
}

TablePageWindow::~TablePageWindow()
{
    // A worker waiting for this thread is let go before it is joined.
    m_dispatcher.Close();
    m_runner.Stop();
    // The grids' models watch the page's tables: they go before the page does, not after it
    // with the rest of the child widgets.
    delete m_sourceGrid;
    delete m_resultGrid;
}

void TablePageWindow::SetClipboard(platform::Clipboard& clipboard)
{
    m_sourceGrid->SetClipboard(clipboard);
    m_resultGrid->SetClipboard(clipboard);
}

QString TablePageWindow::StatusText() const
{
    QString text = m_rowCounts->text();
    if (!m_convertStatus->text().isEmpty())
        text += QStringLiteral("　") + m_convertStatus->text();
    if (!m_exportStatus->text().isEmpty())
        text += QStringLiteral("　") + m_exportStatus->text();
    if (!m_zoneStatus->text().isEmpty())
        text += QStringLiteral("　") + m_zoneStatus->text();
    return text;
}

void TablePageWindow::ShowRowCounts()
{
    m_rowCounts->setText(QStringLiteral("源数据 %1 行，结果 %2 行")
                             .arg(m_page->Source().DataRowCount())
                             .arg(m_page->Result().DataRowCount()));
}

void TablePageWindow::CheckZone()
{
    // A change made by a command on the worker: the worker checks the table once it is done.
    if (m_busy) {
        m_zoneChanged = true;
        return;
    }
    m_page->CheckZone();
    ShowZoneHint();
}

void TablePageWindow::ShowZoneHint()
{
    const std::optional<pages::ZoneHint>& hint = m_page->ZoneHintNow();
    m_zoneStatus->setVisible(hint.has_value());
    m_zoneButton->setVisible(hint.has_value());
    if (!hint) {
        m_zoneStatus->clear();
        return;
    }
    m_zoneStatus->setText(Q(hint->message));
    m_zoneButton->setText(Q(pages::ZoneFixCaption(*hint)));
}

void TablePageWindow::ShowExported(const QString& text)
{
    m_exportStatus->setText(text);
    m_exportStatus->setToolTip(text);
}

QPushButton* TablePageWindow::AddButton(const QString& caption, const std::function<void()>& action)
{
    auto* button = new QPushButton(caption);
    // While a worker runs on the page, nothing else may reach it.
    connect(button, &QPushButton::clicked, this, [this, action] {
        if (!m_busy)
            action();
    });
    m_buttons.push_back(button);
    return button;
}

QPushButton* TablePageWindow::Button(const QString& caption) const
{
    for (QPushButton* button : m_buttons)
        if (button->text() == caption)
            return button;
    return nullptr;
}

QWidget* TablePageWindow::FieldWidget(const std::string& id) const
{
    return m_fields->Editor(id);
}

QWidget* TablePageWindow::FieldEditor(pages::PageField& field)
{
    return m_fields->MakeEditor(field);
}

QWidget* TablePageWindow::BuildFieldRow(pages::FieldPlacement placement)
{
    QWidget* row = nullptr;
    QHBoxLayout* layout = nullptr;
    for (pages::PageField& field : m_page->Fields()) {
        if (field.placement != placement || placement == pages::FieldPlacement::Panel)
            continue;
        if (!row) {
            row = new QWidget;
            layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        auto* label = new QLabel(Q(field.label));
        layout->addWidget(label);
        layout->addWidget(FieldEditor(field), 1);
        m_fields->SetLabel(field.id, label);
    }
    return row;
}

QWidget* TablePageWindow::BuildParameterPanel()
{
    // Two-sided pages: one box per side's ellipsoid panel with that side's fields.
    const bool sided =
        std::any_of(m_page->Panels().begin(), m_page->Panels().end(),
                    [](const pages::PagePanel& panel) { return !panel.side.empty(); });
    if (sided) {
        std::vector<EllipsoidBox*> boxes;
        return BuildFieldPanels(*m_page, *m_fields, boxes);
    }
    // Pages with an ellipsoid show their parameters in one titled panel; the others only have
    // their own group boxes.
    const pages::PagePanel* described = nullptr;
    for (const pages::PagePanel& candidate : m_page->Panels())
        if (candidate.kind == pages::PanelKind::Ellipsoid && candidate.side.empty())
            described = &candidate;
    QWidget* panel = described ? new QGroupBox(Q(described->title)) : new QWidget;
    auto* layout = new QHBoxLayout(panel);
    if (!m_ellipsoid)
        layout->setContentsMargins(0, 0, 0, 0);

    if (m_ellipsoid) {
        m_ellipsoidBox = new EllipsoidBox(*m_ellipsoid);
        layout->addWidget(m_ellipsoidBox, 2);
    }

    FieldGroups groups;
    AddFieldGroups(*layout, *m_page, *m_fields, groups);
    return panel;
}

bool TablePageWindow::RunInBackground(const QString& label, const std::function<void()>& work)
{
    struct Progress {
        std::atomic<int> done{0};
        std::atomic<int> total{0};
    };
    auto progress = std::make_shared<Progress>();
    m_zoneChanged = false;
    // Shown at once: from the first moment the window takes no input that could reach the page.
    QPointer<QProgressDialog> dialog = new QProgressDialog(label, QStringLiteral("取消"), 0, 0,
                                                           this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    connect(dialog, &QProgressDialog::canceled, this, [this] { m_runner.RequestStop(); });
    dialog->show();
    m_busy = true;
    const bool started =
        m_runner.Start([this, progress, work](const platform::TaskControl& control) {
            m_page->SetProgressCallback([progress, &control](int done, int total) {
                progress->done.store(done, std::memory_order_relaxed);
                progress->total.store(total, std::memory_order_relaxed);
                return !control.StopRequested();
            });
            work();
            m_page->SetProgressCallback({});
            // A million y values take a while to check: done here, shown after the work. The
            // flag was set on the user-interface thread while this thread waited for it.
            if (m_zoneChanged)
                m_page->CheckZone();
        });
    QPointer<TablePageWindow> alive(this);
    if (started) {
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!alive || !m_runner.Running()) {
                loop.quit();
                return;
            }
            const int total = progress->total.load(std::memory_order_relaxed);
            if (dialog && total > 0) {
                if (dialog->maximum() != total)
                    dialog->setMaximum(total);
                dialog->setValue(std::min(progress->done.load(std::memory_order_relaxed), total));
            }
        });
        poll.start(50);
        loop.exec();
    }
    if (!alive)
        return false;
    if (m_runner.Running()) {
        // The event loop was left before the work ended (the program quits): the worker is
        // stopped and its calls to this thread dropped; events still run until it has ended,
        // for a seam that waits for this thread on its own (the desktop clipboard).
        m_runner.RequestStop();
        m_dispatcher.Close();
        while (m_runner.Running())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    m_runner.Stop();
    m_busy = false;
    delete dialog;
    if (m_zoneChanged)
        ShowZoneHint();
    return true;
}

void TablePageWindow::Import()
{
    std::optional<std::string> path = m_page->ChooseImportFile();
    if (path)
        ImportFiles({*path}, false);
}

void TablePageWindow::ImportFiles(const std::vector<std::string>& paths, bool dropped)
{
    auto import = [this, &paths, dropped] {
        if (dropped)
            m_page->DropFiles(paths);
        else
            m_page->ImportFile(paths.front(), true);
    };
    qint64 bytes = 0;
    for (const std::string& path : paths)
        bytes += QFileInfo(Q(path)).size();
    if (bytes < kProgressBytes)
        import();
    else
        RunInBackground(QStringLiteral("正在导入..."), import);
}

void TablePageWindow::ShowResultsOutdated()
{
    if (m_resultsOutdated || m_page->Result().DataRowCount() == 0)
        return;
    m_resultsOutdated = true;
    m_resultGrid->SetRowShader([](int) { return RowShade::Muted; });
    m_convertStatus->setText(QStringLiteral("源数据已改动，结果不再对应，请重新转换"));
    m_convertStatus->setStyleSheet(QStringLiteral("color: #8a8a8a;"));
}

void TablePageWindow::Convert()
{
    const int rows = m_page->Source().DataRowCount();
    // Nothing to convert, or the page said why it cannot: the tables and the line stay.
    if (!m_page->StartConvert())
        return;
    bool converted = false;
    if (rows < kProgressRows) {
        converted = m_page->ConvertRows();
    } else if (!RunInBackground(QStringLiteral("正在转换..."),
                                [&] { converted = m_page->ConvertRows(); })) {
        return;
    }

    const pages::PageStatus& status = m_page->Status();
    bool warning = false;
    if (!converted) {
        m_convertStatus->setText(QStringLiteral("转换已取消，结果表未更新"));
    } else if (status.nonNumericCells > 0) {
        m_convertStatus->setText(
            QStringLiteral("已转换 %1 行，其中 %2 个单元格不是数字（按 0 计算）")
                .arg(status.convertedRows)
                .arg(status.nonNumericCells));
        warning = true;
    } else {
        m_convertStatus->setText(QStringLiteral("已转换 %1 行").arg(status.convertedRows));
    }
    // Cells read as 0 change the results: that part stands out.
    m_convertStatus->setStyleSheet(warning ? QStringLiteral("color: #b3261e;") : QString());
    // New results: an earlier export no longer holds them.
    if (converted) {
        ShowExported(QString());
        m_resultsOutdated = false;
        m_resultGrid->SetRowShader({});
    }
}

void TablePageWindow::Copy()
{
    if (m_page->Result().DataRowCount() < kProgressRows)
        m_page->Copy();
    else
        RunInBackground(QStringLiteral("正在复制..."), [this] { m_page->Copy(); });
}

void TablePageWindow::Export()
{
    bool exported = false;
    if (m_page->Result().DataRowCount() < kProgressRows) {
        exported = m_page->Export();
    } else {
        const std::optional<std::string> path = m_page->ChooseExportFile();
        if (!path)
            return;
        const tables::TextEncoding encoding = m_page->ExportEncodingSetting();
        if (!RunInBackground(QStringLiteral("正在导出..."),
                             [&] { exported = m_page->ExportToFile(*path, encoding); }))
            return;
    }
    if (!exported)
        return;
    ShowExported(QStringLiteral("已导出到 %1")
                     .arg(QDir::toNativeSeparators(Q(m_page->Status().exportedPath))));
}

void TablePageWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TablePageWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    if (m_busy)
        return;
    // Imported after the drop has ended: a long import must not hold the dragging program.
    QTimer::singleShot(0, this, [this, paths] {
        if (!m_busy)
            ImportFiles(paths, true);
    });
}

} // namespace carvento::ui
