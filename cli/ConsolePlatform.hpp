// The platform seams on a console: messages go to standard error, the import column mapping
// comes from the command line instead of a dialog.
#pragma once

#include "platform/Prompter.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::cli {

// The name every message of the tool starts with.
inline constexpr const char* kProgram = "carvento-cli";

class ConsolePrompter final : public platform::Prompter {
public:
    explicit ConsolePrompter(std::string programName) : m_programName(std::move(programName)) {}

    // File column (0-based, -1 none) for each table column; empty keeps the dialog's guess.
    std::vector<int> columns;
    // Forces "去除标题行(非数据行)" on or off; unset keeps the guess.
    std::optional<bool> removeTitleRow;
    // Whether a cell of a table column is a value the page can read; without a forced
    // title choice, a first row whose computed cells are not all values is a title row.
    std::function<bool(int column, std::string_view cell)> readsAsValue;
    // Messages that are not failures (confirmations) are not printed.
    bool printInformation = false;

    platform::MessageAnswer ShowMessage(const platform::Message& message) override;
    void ShowNotice(const std::string& text) override;
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog&) override { return {}; }
    bool ChooseImportColumns(platform::ColumnMapping& mapping) override;

    // Number of warnings and errors shown so far.
    int Problems() const { return m_problems; }

private:
    void Report(const std::string& text);

    std::string m_programName;
    int m_problems = 0;
};

// No clipboard on the console: nothing to paste, copies fail.
class NoClipboard final : public platform::Clipboard {
public:
    bool PutText(const std::string&) override { return false; }
    std::optional<std::string> GetText() override { return {}; }
};

} // namespace carvento::cli
