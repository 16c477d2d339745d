// Seam for everything that asks the user: message boxes, file dialogs and the import
// column-mapping dialog. The desktop implements it with Qt dialogs, the command-line tool on
// the console, tests with scripted answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace carvento::platform {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// A file dialog: filter pairs ("文本数据文件(*.txt;*.dat;*.csv)", "*.txt;*.dat;*.csv"),
// default extension without the dot (save dialogs), multiple selection (open dialogs).
struct FileDialog {
    std::vector<std::pair<std::string, std::string>> filters;
    std::string defaultExtension;
    bool multipleSelection = false;
};

// The "导入数据" dialog: one drop-down per table column listing the sample fields, and the
// "去除标题行(非数据行)" check box. `columnMap` holds the initial selection of each list on
// the way in (-1 none) and the chosen file column on the way out.
// `sampleFields` holds at most the first kMaxSampleFields fields of a wider first row;
// `fileColumns` is the file's real column count. `requiredColumns` lists the table columns
// the page computes from: leaving one of them unmapped would compute from nothing.
// `firstLine` is the 1-based line of the first imported row in the file (0 when unknown).
struct ColumnMapping {
    static constexpr int kMaxSampleFields = 256;
    std::vector<std::string> tableTitles;
    std::vector<std::string> sampleFields;
    std::vector<int> columnMap;
    bool removeTitleRow = false;
    int fileColumns = 0;
    std::vector<int> requiredColumns;
    int firstLine = 0;
};

// Table columns in `requiredColumns` that `columnMap` leaves without a file column.
inline std::vector<int> UnmappedRequiredColumns(const ColumnMapping& mapping)
{
    std::vector<int> missing;
    for (int column : mapping.requiredColumns) {
        auto index = static_cast<std::size_t>(column);
        int source = index < mapping.columnMap.size() ? mapping.columnMap[index] : -1;
        if (source < 0 || source >= mapping.fileColumns)
            missing.push_back(column);
    }
    return missing;
}

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows a message box and returns the button pressed.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
    // Open dialog: the chosen paths (one unless multipleSelection), empty when cancelled.
    virtual std::vector<std::string> ChooseOpenFiles(const FileDialog& dialog) = 0;
    // Save dialog: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) = 0;
    // Shows the column-mapping dialog; false when cancelled (mapping then unchanged).
    virtual bool ChooseImportColumns(ColumnMapping& mapping) = 0;
    // Says briefly what an action without a window of its own did (the desktop shows it at the
    // tray icon, the command line on standard error); nothing to answer.
    virtual void ShowNotice(const std::string&) {}
};

// Seam for the system clipboard (plain text, UTF-8 inside the program).
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // false when the clipboard could not be written.
    virtual bool PutText(const std::string& text) = 0;
    // PutText for text the caller has no more use for: an implementation may keep it as it is
    // instead of copying it (the desktop's, for the text of a million copied rows).
    virtual bool TakeText(std::string&& text) { return PutText(text); }
    // The clipboard's text, or nothing when it holds no text or cannot be read.
    virtual std::optional<std::string> GetText() = 0;
};

// Seam for handing things to the desktop: links, folders, other programs.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens a link with the default browser; false when no handler took it.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Opens a folder in the file manager; false on failure.
    virtual bool OpenFolder(const std::string& path) = 0;
    // Starts a program with arguments, without waiting; false when it could not start.
    virtual bool StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
};

} // namespace carvento::platform
