// Reading a whole file into memory, the one way every reader of the program does it.
#pragma once

#include <cstdio>
#include <string>

namespace carvento::platform {

// Appends the file's bytes to `bytes`. A regular file is read in one piece; devices and pipes
// are read to their end. False when it cannot be opened (a missing file), is a folder, a read
// fails, or a regular file changes its size while it is read (another program still writing
// it); `bytes` then holds what it held before and what was read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// The same for an open stream (standard input, a pipe), read to its end.
bool ReadWholeStream(std::FILE* in, std::string& bytes);

} // namespace carvento::platform
