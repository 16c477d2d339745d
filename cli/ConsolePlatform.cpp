// Console implementations of the prompter seam.
#include "cli/ConsolePlatform.hpp"

#include <iostream>

namespace carvento::cli {

platform::MessageAnswer ConsolePrompter::ShowMessage(const platform::Message& message)
{
    bool problem = message.icon == platform::MessageIcon::Warning ||
                   message.icon == platform::MessageIcon::Error;
    if (problem)
        ++m_problems;
    if (problem || printInformation)
        std::cerr << m_programName << ": " << message.text << '\n';
    // Nobody answers questions on a batch run: decline them.
    switch (message.buttons) {
    case platform::MessageButtons::Ok:
        return platform::MessageAnswer::Ok;
    case platform::MessageButtons::OkCancel:
    case platform::MessageButtons::YesNoCancel:
        return platform::MessageAnswer::Cancel;
    default:
        return platform::MessageAnswer::No;
    }
}

void ConsolePrompter::ShowNotice(const std::string& text)
{
    std::cerr << m_programName << ": " << text << '\n';
}

void ConsolePrompter::Report(const std::string& text)
{
    ++m_problems;
    std::cerr << m_programName << ": " << text << '\n';
}

bool ConsolePrompter::ChooseImportColumns(platform::ColumnMapping& mapping)
{
    const int sampleSize = static_cast<int>(mapping.sampleFields.size());
    if (!columns.empty()) {
        mapping.columnMap.assign(mapping.tableTitles.size(), -1);
        for (std::size_t i = 0; i < columns.size() && i < mapping.columnMap.size(); ++i)
            mapping.columnMap[i] = columns[i] < mapping.fileColumns ? columns[i] : -1;
    }
    // Computing from a column the file does not have would read every value as 0.
    std::vector<int> missing = platform::UnmappedRequiredColumns(mapping);
    if (!missing.empty()) {
        std::string names;
        for (int column : missing)
            names += (names.empty() ? "" : ", ") +
                     mapping.tableTitles[static_cast<std::size_t>(column)];
        Report("no file column for " + names + " (the file has " +
               std::to_string(mapping.fileColumns) + " column" +
               (mapping.fileColumns == 1 ? "" : "s") +
               " per line; choose them with --columns); nothing converted");
        return false;
    }
    if (removeTitleRow) {
        mapping.removeTitleRow = *removeTitleRow;
        return true;
    }
    // Without --skip-title / --keep-title the first row is a title only when a cell the page
    // computes from cannot be read as a value: a minus sign or an exponent is data here.
    mapping.removeTitleRow = false;
    if (readsAsValue) {
        for (int column : mapping.requiredColumns) {
            int source = mapping.columnMap[static_cast<std::size_t>(column)];
            if (source < sampleSize &&
                !readsAsValue(column, mapping.sampleFields[static_cast<std::size_t>(source)])) {
                mapping.removeTitleRow = true;
                break;
            }
        }
    }
    if (mapping.removeTitleRow) {
        std::string text;
        for (int i = 0; i < sampleSize && text.size() < 200; ++i)
            text += (i ? "," : "") + mapping.sampleFields[static_cast<std::size_t>(i)];
        std::cerr << m_programName << ": line " << (mapping.firstLine > 0 ? mapping.firstLine : 1)
                  << " skipped as a title: " << text << " (--keep-title keeps it)\n";
    }
    return true;
}

} // namespace carvento::cli
