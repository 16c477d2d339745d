// Writing a file so that the old content is replaced only by complete new content: the bytes go
// to a temporary file in the target's folder, which is renamed over the target once everything
// reached the disk. After any failure the target is as it was and the temporary file is gone.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace carvento::tables {

// The file that writing a path really replaces: the target of a symbolic link, so that the
// link stays a link.
std::string ResolvedTarget(const std::string& path);

// Creates a new, empty file beside `target` with the permissions a new file would get (the
// umask applies) or, when the target exists, the target's own. Null when it cannot.
std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporaryPath);

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Abandon(); }

    // Starts writing `path`. A device or pipe (/dev/stdout, a FIFO) is written in place.
    bool Open(const std::string& path);
    // Appends bytes; a failure is remembered and makes Commit fail.
    bool Write(std::string_view bytes);
    // Finishes: true when all the bytes are in the target.
    bool Commit();
    // Stops without touching the target.
    void Abandon();
    bool IsOpen() const { return m_out != nullptr; }

private:
    std::FILE* m_out = nullptr;
    std::string m_targetPath;
    std::string m_temporaryPath;
    bool m_failed = false;
};

// Replaces the file at `path` with `bytes` in one step; false leaves it untouched.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

} // namespace carvento::tables
