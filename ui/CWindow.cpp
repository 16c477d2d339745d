// Launcher panel, tray icon and catalogue actions.
#include "ui/CWindow.hpp"

#include "earth/EarthRegistration.hpp"
#include "earth/EarthView.hpp"
#include "earth/SocketEarthClient.hpp"
#include "platform/ProgramFolder.hpp"

#include "pages/PageRegistry.hpp"
#include "pages/frames/Messages.hpp"
#include "shell/Application.hpp"
#include "shell/PanelPlacement.hpp"
#include "shell/UpdateCheck.hpp"
#include "ui/PageWindows.hpp"
#include "ui/QtPlatform.hpp"
#include "ui/WindowPlacement.hpp"
#include "ui/XOutLookBar.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QThread>

namespace carvento::ui {
namespace {

// What 保存视图 and 恢复视图 did, at the tray icon.
constexpr const char* kViewSaved = "已保存Google Earth当前视图";
constexpr const char* kViewNotSaved = "未能读取Google Earth的视图,保存的视图未改变";
constexpr const char* kViewRestored = "已恢复保存的Google Earth视图";
constexpr const char* kViewNotRestored = "Google Earth未能转到保存的视图";

} // namespace

CWindow::CWindow(pages::PageContext context, platform::Launcher& launcher, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint),
      m_earth(std::make_unique<earth::EarthConnection>([] {
          return std::make_unique<earth::SocketEarthClient>();
      })),
      m_context(context), m_launcher(launcher)
{
    m_context.earth = m_earth.get();
    // Without a running globe the user is offered to start the registered one; while it comes
    // up the windows keep answering.
    m_earth->SetStarter(
        {.program =
             [this] {
                 return earth::RegisteredEarthProgram(m_context.profile, platform::ProgramFolder());
             },
         .start =
             [this](const std::string& program) { return m_launcher.StartProgram(program, {}); },
         .pause =
             [] {
                 QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 250);
                 QThread::msleep(250);
             }});
    setObjectName(QString::fromLatin1(shell::kInstanceName));
    setWindowTitle(QString::fromLatin1(shell::kInstanceName));
    setFixedSize(shell::kPanelWidth, shell::kPanelHeight);
    move(0, 0);

    m_bar = new XOutLookBar(this);
    m_bar->setGeometry(1, shell::kCatalogueTop, shell::kPanelWidth - 2,
                       shell::kPanelHeight - shell::kCatalogueTop - 1);
    for (const shell::CatalogueGroup& group : shell::CatalogueGroups()) {
        XOutLookFolder folder{std::string(group.caption), {}};
        for (const shell::CatalogueEntry& entry : group.entries)
            folder.entries.push_back({std::string(entry.caption), std::string(entry.description),
                                      entry.id});
        m_bar->AddFolder(folder);
    }
    connect(m_bar, &XOutLookBar::entryChosen, this,
            [this](int id) { shell::RunCatalogueAction(id, *this); });

    m_trayMenu = new QMenu(this);
    // 设置 has no action: shown greyed, so that a click is not taken for one that failed.
    m_trayMenu->addAction(QStringLiteral("设置"))->setEnabled(false);
    m_trayMenu->addAction(QStringLiteral("打开文件夹"), this, [this] {
        m_launcher.OpenFolder(QCoreApplication::applicationDirPath().toStdString());
    });
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(QStringLiteral("退出"), this, [this] { Exit(); });

    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/carvento.svg")), this);
    // Actions without a window of their own (保存视图, 生成图框 …) say what they did here.
    Prompter().SetNoticeIcon(m_tray);
    m_tray->setToolTip(
        QStringLiteral("Carvento %1").arg(QString::fromLatin1(shell::kCurrentVersion)));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &CWindow::OnTrayActivated);
    m_tray->show();
}

CWindow::~CWindow()
{
    m_tray->hide();
    // A check still asking would wait for this thread: release it, then wait for its end
    // (at most the time limit of its request).
    m_updateDispatcher.Close();
    m_updateRunner.Stop();
}

std::vector<QWidget*> CWindow::OpenPages() const
{
    std::vector<QWidget*> open;
    for (const QPointer<QWidget>& page : m_pages)
        if (page)
            open.push_back(page);
    return open;
}

void CWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        PopUpAtCursor();
}

void CWindow::PopUpAtCursor()
{
    QPoint cursor = QCursor::pos();
    QScreen* screen = QApplication::screenAt(cursor);
    if (!screen)
        screen = QApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // The work area's right and bottom edges are exclusive, as the placement rule counts them.
    shell::ScreenPoint at =
        shell::PlacePanel({cursor.x(), cursor.y()}, {width(), height()},
                          {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
    move(at.x, at.y);
    ShowPanel();
}

void CWindow::ShowPanel()
{
    // A second start or a tray click brings a minimised panel back as well.
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // Ready for the keyboard: arrows move through the entries, Enter opens one.
    m_bar->FocusOpenFolder();
}

void CWindow::HidePanel()
{
    if (!m_ordinaryWindow)
        hide();
}

void CWindow::UseAsOrdinaryWindow()
{
    m_ordinaryWindow = true;
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Carvento"));
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CWindow::closeEvent(QCloseEvent* event)
{
    // Without a tray the panel is the program: it closes only when every page agrees.
    if (m_ordinaryWindow && !TryExit()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void CWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible() &&
        !m_ordinaryWindow)
        hide();
}

void CWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, shell::kCatalogueTop);
    sky.setColorAt(0, QColor(0x1d, 0x4e, 0x89));
    sky.setColorAt(1, QColor(0x3a, 0x7b, 0xc8));
    painter.fillRect(QRect(0, 0, width(), shell::kCatalogueTop), sky);
    painter.fillRect(QRect(0, shell::kCatalogueTop, width(), height() - shell::kCatalogueTop),
                     Qt::white);
    QIcon(QStringLiteral(":/carvento.svg")).paint(&painter, QRect(16, 22, 56, 56));
    QFont title = font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(84, 24, width() - 90, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Carvento"));
    painter.setFont(font());
    painter.setPen(QColor(0xdc, 0xe9, 0xf8));
    painter.drawText(
        QRect(84, 54, width() - 90, 22), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("测绘坐标工具箱 %1").arg(QString::fromLatin1(shell::kCurrentVersion)));
    painter.drawText(QRect(16, 88, width() - 24, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("坐标转换 · 参数计算 · 文件转换"));
    painter.setPen(QColor(0x9d, 0xb4, 0xd0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CWindow::ShowPage(QWidget* page)
{
    // A window without an explicit size takes its layout's size before it is centred.
    if (!page->testAttribute(Qt::WA_Resized))
        page->adjustSize();
    PlaceWindow(*page);
    page->setWindowIcon(QIcon(QStringLiteral(":/carvento.svg")));
    page->show();
    page->raise();
    page->activateWindow();
    m_pages.emplace_back(page);
}

bool CWindow::OpenPage(int id)
{
    const pages::PageRegistration* registration = pages::FindPageById(id);
    if (!registration || !registration->Built()) {
        const shell::CatalogueEntry* entry = shell::FindCatalogueEntry(id);
        std::string caption = entry ? std::string(entry->caption) : std::string();
        m_context.prompter.ShowMessage(
            {"“" + caption + "”尚未提供，敬请期待。", pages::messages::kApplicationTitle,
             platform::MessageIcon::Information, platform::MessageButtons::Ok});
        return false;
    }
    QWidget* window = MakePageWindow(*registration, m_context);
    if (!window)
        return false;
    ShowPage(window);
    return true;
}

bool CWindow::ConnectEarth()
{
    return earth::ConnectEarth(*m_earth, m_context.prompter);
}

void CWindow::RegisterEarthServer()
{
    earth::RegisterEarthServer(m_context.prompter, m_launcher, platform::ProgramFolder());
}

void CWindow::SaveEarthView()
{
    if (earth::SaveEarthView(*m_earth, m_context.prompter, m_context.profile))
        m_context.prompter.ShowNotice(kViewSaved);
    else
        m_context.prompter.ShowNotice(kViewNotSaved);
}

void CWindow::RestoreEarthView()
{
    if (earth::RestoreEarthView(*m_earth, m_context.prompter, m_context.profile))
        m_context.prompter.ShowNotice(kViewRestored);
    else
        m_context.prompter.ShowNotice(kViewNotRestored);
}

void CWindow::OpenUrl(std::string_view url)
{
    m_launcher.OpenUrl(std::string(url));
}

namespace {

// The page's prompter, reached from a worker thread through the dispatcher. A question the
// dispatcher drops (the program is closing) is answered "Cancel".
class DispatchedPrompter final : public platform::Prompter {
public:
    DispatchedPrompter(platform::Prompter& prompter, platform::UiDispatcher& dispatcher)
        : m_prompter(prompter), m_dispatcher(dispatcher)
    {
    }
    platform::MessageAnswer ShowMessage(const platform::Message& message) override
    {
        platform::MessageAnswer answer = platform::MessageAnswer::Cancel;
        m_dispatcher.RunAndWait([&] { answer = m_prompter.ShowMessage(message); });
        return answer;
    }
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog&) override { return {}; }
    bool ChooseImportColumns(platform::ColumnMapping&) override { return false; }

private:
    platform::Prompter& m_prompter;
    platform::UiDispatcher& m_dispatcher;
};

} // namespace

void CWindow::StartInteractiveUpdateCheck()
{
    // One check at a time: a second "更新" while one runs does nothing.
    m_updateRunner.Start([this](const platform::TaskControl&) {
        DispatchedPrompter prompter(m_context.prompter, m_updateDispatcher);
        shell::CheckForUpdateInteractive(prompter, m_launcher, shell::ReleasePageAddress(),
                                         shell::kCurrentVersion);
    });
}

void CWindow::Exit()
{
    TryExit();
}

bool CWindow::TryExit()
{
    // Each page asks as its own close does; a page that stays open (unsaved results, the
    // user cancelled) keeps the program running.
    for (QWidget* page : OpenPages()) {
        if (!page->close()) {
            page->show();
            page->raise();
            page->activateWindow();
            return false;
        }
    }
    m_tray->hide();
    QApplication::quit();
    return true;
}

} // namespace carvento::ui
