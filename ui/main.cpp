// carvento: the tray-resident launcher. Start-up order: profile, the silent daily update
// check, one running instance, then the hidden panel and its tray icon.
#include "platform/qt/SettingsProfile.hpp"
#include "shell/Application.hpp"
#include "shell/Messages.hpp"
#include "shell/SingleInstance.hpp"
#include "shell/UpdateCheck.hpp"
#include "ui/CWindow.hpp"
#include "ui/QtPlatform.hpp"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSystemTrayIcon>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(carvento);
    using namespace carvento;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Carvento"));
    QApplication::setApplicationVersion(QString::fromLatin1(shell::kCurrentVersion));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/carvento.svg")));
    // The tray icon keeps the program alive while every window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    // The interface is Chinese whatever the desktop's language: standard buttons read 确定/取消.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // CARVENTO_PROFILE names an INI file to use instead of the user's profile.
    std::unique_ptr<platform::SettingsProfile> profile;
    if (const char* path = std::getenv("CARVENTO_PROFILE"); path && *path)
        profile = platform::SettingsProfile::FromIniFile(path);
    else
        profile = std::make_unique<platform::SettingsProfile>();

    ui::QtPrompter& prompter = ui::Prompter();
    ui::QtLauncher& launcher = ui::Launcher();
    if (shell::CheckForUpdateDaily(*profile, prompter, launcher, shell::ReleasePageAddress(),
                                   shell::kCurrentVersion, shell::TodayDayOfMonth()) == 1)
        return 0;

    shell::SingleInstance instance;
    switch (instance.claim()) {
    case shell::SingleInstance::Claim::Primary:
        break;
    case shell::SingleInstance::Claim::Secondary: // the running instance shows its panel
    case shell::SingleInstance::Claim::Failed:    // no lock file, no way to tell: end quietly
        return 0;
    case shell::SingleInstance::Claim::Unreachable:
        // Ending silently here would look as if the program never started.
        std::fprintf(stderr, "carvento: %s\n", shell::messages::kInstanceUnreachable);
        prompter.ShowMessage({shell::messages::kInstanceUnreachable,
                              shell::messages::kApplicationTitle, platform::MessageIcon::Warning,
                              platform::MessageButtons::Ok});
        return 1;
    }

    ui::CWindow panel({prompter, ui::Clipboard(), *profile}, launcher);
    QObject::connect(&instance, &shell::SingleInstance::activationRequested, &panel,
                     &ui::CWindow::ShowPanel);
    if (!QSystemTrayIcon::isSystemTrayAvailable() || std::getenv("CARVENTO_NO_TRAY")) {
        // Without a notification area the tray icon would be invisible: the panel becomes an
        // ordinary window, and closing it ends the program.
        panel.UseAsOrdinaryWindow();
        panel.ShowPanel();
    }
    int code = QApplication::exec();
    profile->Sync();
    return code;
}
