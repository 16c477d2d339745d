// Names of input and output files: the name part of a path ends at its last separator (a slash,
// or a backslash in a Windows path), the base of an output name at the last "." of that part.
#pragma once

#include <string>
#include <string_view>

namespace carvento::fileconv {

// The name after the last "/" or "\".
std::string_view FileNamePart(std::string_view path);
// The path up to (not including) the last "." of its name part; the whole path when the name
// has no ".".
std::string_view OutputBase(std::string_view path);
// The name part without its extension (from the last "." of the name; the whole name when it
// has none): what a file's Folder is called in KML.
std::string_view FolderName(std::string_view path);

} // namespace carvento::fileconv
