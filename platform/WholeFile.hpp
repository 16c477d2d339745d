// Reading a whole file into memory, the one way every reader of the program does it.
#pragma once

#include <cstdio>
#include <string>

namespace carvento::platform {

// Appends the file's bytes to `bytes`. False when it cannot be opened (a missing file, a
// folder) or a read fails; `bytes` then holds what was read before.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// The same for an open stream (standard input, a pipe), read to its end.
bool ReadWholeStream(std::FILE* in, std::string& bytes);

} // namespace carvento::platform
