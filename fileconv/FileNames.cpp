// File name parts.
#include "fileconv/FileNames.hpp"

namespace carvento::fileconv {

std::string_view FileNamePart(std::string_view path)
{
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view OutputBase(std::string_view path)
{
    const std::size_t nameStart = path.size() - FileNamePart(path).size();
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return path;
    return path.substr(0, dot);
}

std::string_view FolderName(std::string_view path)
{
    return OutputBase(FileNamePart(path));
}

} // namespace carvento::fileconv
