// The platform seams on Qt: message boxes and file dialogs, the clipboard, links and folders.
#pragma once

#include "platform/Prompter.hpp"

#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>

class QWidget;

namespace carvento::ui {

// Dialogs are owned by the active window. Calls from a worker thread are carried out on the
// user-interface thread, and the worker waits for the answer.
class QtPrompter final : public platform::Prompter {
public:
    platform::MessageAnswer ShowMessage(const platform::Message& message) override;
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog& dialog) override;
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog& dialog) override;
    bool ChooseImportColumns(platform::ColumnMapping& mapping) override;
    // Notices appear as a balloon at this tray icon; without one they go to standard error.
    void ShowNotice(const std::string& text) override;
    void SetNoticeIcon(QSystemTrayIcon* tray) { m_tray = tray; }

private:
    QPointer<QSystemTrayIcon> m_tray;
};

class QtClipboard final : public platform::Clipboard {
public:
    bool PutText(const std::string& text) override;
    // Keeps the text as UTF-8 and converts it only for a program that pastes it.
    bool TakeText(std::string&& text) override;
    std::optional<std::string> GetText() override;
};

class QtLauncher final : public platform::Launcher {
public:
    bool OpenUrl(const std::string& url) override;
    bool OpenFolder(const std::string& path) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
};

// The process-wide seams of the desktop program.
QtPrompter& Prompter();
QtClipboard& Clipboard();
QtLauncher& Launcher();

// Runs `work` on the user-interface thread and waits for it (directly when already there).
void RunOnUiThread(const std::function<void()>& work);

} // namespace carvento::ui
