// Qt implementations of the platform seams.
#include "ui/QtPlatform.hpp"

#include "pages/frames/Messages.hpp"
#include "ui/ImportDataDialog.hpp"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace carvento::ui {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Plain text held in the UTF-8 the program made it in, converted to UTF-16 only when asked
// for: a million copied rows are one copy of their bytes on the clipboard, not three.
class Utf8TextMimeData final : public QMimeData {
public:
    explicit Utf8TextMimeData(std::string text) : m_text(std::move(text)) {}

    QStringList formats() const override
    {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
    }
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (!hasFormat(mimeType))
            return {};
        const auto size = static_cast<qsizetype>(m_text.size());
        if (type.id() == QMetaType::QByteArray)
            return QByteArray(m_text.data(), size);
        return QString::fromUtf8(m_text.data(), size);
    }

private:
    std::string m_text;
};

// "文本数据文件(*.txt;*.dat;*.csv)" / "*.txt;*.dat;*.csv" as a Qt name filter.
QString NameFilters(const platform::FileDialog& dialog)
{
    QStringList filters;
    for (const auto& [name, pattern] : dialog.filters) {
        QString patterns = Q(pattern);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString label = Q(name);
        // The label already lists its patterns; Qt reads the last parenthesis as the patterns.
        if (label.contains(QLatin1Char('(')))
            label = label.left(label.lastIndexOf(QLatin1Char('(')));
        filters << QStringLiteral("%1 (%2)").arg(label, patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

// The folder of the file last opened or saved in this session; the next open or save dialog
// starts there. Empty at first: the dialogs then start in the working folder.
QString& LastFolder()
{
    static QString folder;
    return folder;
}

void RememberFolderOf(const QString& path)
{
    if (!path.isEmpty())
        LastFolder() = QFileInfo(path).absolutePath();
}

} // namespace

void RunOnUiThread(const std::function<void()>& work)
{
    if (!qApp || QThread::currentThread() == qApp->thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(qApp, work, Qt::BlockingQueuedConnection);
}

platform::MessageAnswer QtPrompter::ShowMessage(const platform::Message& message)
{
    platform::MessageAnswer answer = platform::MessageAnswer::Ok;
    RunOnUiThread([&] {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(Q(message.caption));
        // Texts can come from outside (a release description): never read them as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(Q(message.text));
        switch (message.icon) {
        case platform::MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case platform::MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case platform::MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case platform::MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case platform::MessageIcon::None:
            break;
        }
        switch (message.buttons) {
        case platform::MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case platform::MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case platform::MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case platform::MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel:
            answer = platform::MessageAnswer::Cancel;
            break;
        case QMessageBox::Yes:
            answer = platform::MessageAnswer::Yes;
            break;
        case QMessageBox::No:
            answer = platform::MessageAnswer::No;
            break;
        default:
            answer = platform::MessageAnswer::Ok;
            break;
        }
    });
    return answer;
}

std::vector<std::string> QtPrompter::ChooseOpenFiles(const platform::FileDialog& dialog)
{
    std::vector<std::string> paths;
    RunOnUiThread([&] {
        QWidget* owner = QApplication::activeWindow();
        if (dialog.multipleSelection) {
            const QStringList chosen = QFileDialog::getOpenFileNames(owner, QString(), LastFolder(),
                                                                     NameFilters(dialog));
            for (const QString& path : chosen)
                paths.push_back(path.toStdString());
            if (!chosen.isEmpty())
                RememberFolderOf(chosen.front());
        } else {
            QString path = QFileDialog::getOpenFileName(owner, QString(), LastFolder(),
                                                        NameFilters(dialog));
            if (!path.isEmpty())
                paths.push_back(path.toStdString());
            RememberFolderOf(path);
        }
    });
    return paths;
}

std::optional<std::string> QtPrompter::ChooseSaveFile(const platform::FileDialog& dialog)
{
    std::optional<std::string> chosen;
    RunOnUiThread([&] {
        QFileDialog box(QApplication::activeWindow());
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setNameFilter(NameFilters(dialog));
        box.setDefaultSuffix(Q(dialog.defaultExtension));
        if (!LastFolder().isEmpty())
            box.setDirectory(LastFolder());
        if (box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty()) {
            chosen = box.selectedFiles().front().toStdString();
            RememberFolderOf(box.selectedFiles().front());
        }
    });
    return chosen;
}

void QtPrompter::ShowNotice(const std::string& text)
{
    if (m_tray && m_tray->isVisible())
        m_tray->showMessage(QString::fromUtf8(pages::messages::kApplicationTitle),
                            QString::fromStdString(text), QSystemTrayIcon::Information, 4000);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

bool QtPrompter::ChooseImportColumns(platform::ColumnMapping& mapping)
{
    bool accepted = false;
    RunOnUiThread([&] {
        CImportDataDlg dialog(mapping, QApplication::activeWindow());
        accepted = dialog.exec() == QDialog::Accepted;
        if (accepted)
            mapping = dialog.Mapping();
    });
    return accepted;
}

bool QtClipboard::PutText(const std::string& text)
{
    // Converted on the calling thread: a worker's 复制 of a million rows leaves the
    // user-interface thread only the hand-over.
    const QString converted = Q(text);
    bool done = false;
    RunOnUiThread([&] {
        if (QClipboard* clipboard = QApplication::clipboard()) {
            clipboard->setText(converted);
            done = true;
        }
    });
    return done;
}

bool QtClipboard::TakeText(std::string&& text)
{
    bool done = false;
    RunOnUiThread([&] {
        // Made on the user-interface thread, which the clipboard owning it belongs to.
        if (QClipboard* clipboard = QApplication::clipboard()) {
            clipboard->setMimeData(new Utf8TextMimeData(std::move(text)));
            done = true;
        }
    });
    return done;
}

std::optional<std::string> QtClipboard::GetText()
{
    std::optional<std::string> text;
    RunOnUiThread([&] {
        QClipboard* clipboard = QApplication::clipboard();
        const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
        if (data && data->hasText())
            text = data->text().toStdString();
    });
    return text;
}

bool QtLauncher::OpenUrl(const std::string& url)
{
    // The update check calls this from its own thread; the desktop services live on the
    // user-interface thread.
    bool opened = false;
    RunOnUiThread([&] { opened = QDesktopServices::openUrl(QUrl(Q(url).trimmed())); });
    return opened;
}

bool QtLauncher::OpenFolder(const std::string& path)
{
    bool opened = false;
    RunOnUiThread([&] { opened = QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path))); });
    return opened;
}

bool QtLauncher::StartProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    QStringList list;
    for (const std::string& argument : arguments)
        list << Q(argument);
    return QProcess::startDetached(Q(program), list);
}

QtPrompter& Prompter()
{
    static QtPrompter prompter;
    return prompter;
}

QtClipboard& Clipboard()
{
    static QtClipboard clipboard;
    return clipboard;
}

QtLauncher& Launcher()
{
    static QtLauncher launcher;
    return launcher;
}

} // namespace carvento::ui
