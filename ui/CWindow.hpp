// The launcher panel: a frameless 250×370 window with the tool catalogue 120 pixels below its
// top, popped up next to the cursor from the tray icon and hidden whenever it loses the focus
// or an entry has been chosen. It carries out the catalogue's actions.
#pragma once

#include "earth/EarthConnection.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "platform/Tasks.hpp"
#include "shell/Catalogue.hpp"
#include "ui/QtDispatcher.hpp"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>
#include <vector>

class QMenu;

namespace carvento::ui {

class XOutLookBar;

class CWindow final : public QWidget, public shell::CatalogueHost {
    Q_OBJECT
public:
    // `context` is handed to every page opened from the catalogue.
    explicit CWindow(pages::PageContext context, platform::Launcher& launcher,
                     QWidget* parent = nullptr);
    ~CWindow() override;

    XOutLookBar* Bar() const { return m_bar; }
    QSystemTrayIcon* Tray() const { return m_tray; }
    // Pages opened so far and still open.
    std::vector<QWidget*> OpenPages() const;

    // Shows the panel next to the cursor, on top, with the focus.
    void PopUpAtCursor();
    // Shows the panel where it is (a second start, or a desktop without a notification area).
    void ShowPanel();

    // shell::CatalogueHost
    bool OpenPage(int id) override;
    bool ConnectEarth() override;
    void RegisterEarthServer() override;
    void SaveEarthView() override;
    void RestoreEarthView() override;
    void OpenUrl(std::string_view url) override;
    void StartInteractiveUpdateCheck() override;
    void Exit() override;
    // Closes every page (each asks as its own close does), then ends the program; false,
    // with the program running and the refusing page in front, when a page stays open.
    bool TryExit();
    void HidePanel() override;

    // The tray menu's commands: 设置 (nothing), 打开文件夹, 退出.
    QMenu* TrayMenu() const { return m_trayMenu; }

    // For a desktop without a notification area: the panel gets a title bar, stays up when it
    // loses the focus or an entry is chosen, and closing it ends the program.
    void UseAsOrdinaryWindow();
    bool IsOrdinaryWindow() const { return m_ordinaryWindow; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

public:
    // Shows a page window as one of the panel's pages (closed by 退出).
    void ShowPage(QWidget* page);

private:
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);

    // The process's one link to the globe; the pages reach it through the context.
    std::unique_ptr<earth::EarthConnection> m_earth;
    pages::PageContext m_context;
    platform::Launcher& m_launcher;
    XOutLookBar* m_bar = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    std::vector<QPointer<QWidget>> m_pages;
    bool m_ordinaryWindow = false;
    // The interactive update check runs on this runner's thread and asks its questions
    // through the dispatcher; the window releases and joins both before it goes.
    QtDispatcher m_updateDispatcher;
    platform::TaskRunner m_updateRunner;
};

} // namespace carvento::ui
