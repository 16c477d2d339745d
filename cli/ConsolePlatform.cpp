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
    case platform::MessageButtons::Ok: return platform::MessageAnswer::Ok;
    case platform::MessageButtons::OkCancel: return platform::MessageAnswer::Cancel;
    default: return platform::MessageAnswer::No;
    }
}

bool ConsolePrompter::ChooseImportColumns(platform::ColumnMapping& mapping)
{
    if (!columns.empty()) {
        mapping.columnMap.assign(mapping.tableTitles.size(), -1);
        for (std::size_t i = 0; i < columns.size() && i < mapping.columnMap.size(); ++i)
            mapping.columnMap[i] = columns[i] < static_cast<int>(mapping.sampleFields.size()) ? columns[i] : -1;
    }
    if (removeTitleRow)
        mapping.removeTitleRow = *removeTitleRow;
    return true;
}

} // namespace carvento::cli
