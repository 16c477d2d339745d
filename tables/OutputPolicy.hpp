// How every file the program writes is written, on every page and verb:
// - standard output ("-") is a stream, written in order with write(2), never opened by a path;
// - a file is written to a private temporary in the target's own folder (O_EXCL, a short name
//   whatever the target's length), synced, then renamed over the target; after any failure the
//   target is as it was and the temporary is gone;
// - only a regular file (or a link to one) is ever replaced: never a device, a FIFO or a folder;
// - a temporary left by a killed run (its process gone) is removed by the next write of the same
//   target;
// - before a run writes anything, OutputPlan refuses an output that is one of the inputs, two
//   outputs that are the same file, and a merge target that exists without the output's suffix.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

// "-" and the names of this process's standard output (/dev/stdout, /dev/fd/1).
bool IsStandardOutput(std::string_view path);

// Writes `bytes` to standard output in order (flushing the C and C++ streams first so earlier
// output stays before it). False when not everything was written.
bool WriteStandardOutput(std::string_view bytes);

// The file that writing a path really replaces: the target of a symbolic link, so that the
// link stays a link.
std::string ResolvedTarget(const std::string& path);

// Why `path` cannot be replaced by a new file: empty when it can (it does not exist yet, or it
// is a regular file or a link to one); otherwise a short reason ("不是普通文件").
std::string UnreplaceableReason(const std::string& path);

// Creates a new, empty, private file beside `target` (O_EXCL, never through a link), removing
// stale temporaries of earlier runs for the same target first. Its permissions become those
// of the target (or of a new file under the umask) when it is committed. Null when it cannot.
std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporaryPath);

// Creates a new private folder beside `target` (mode 0700) for an output of several files
// (a shapefile's .shp, .shx, .dbf …) written under their final names and renamed out of it
// one by one when all are complete; stale folders of earlier runs for the same target are
// removed first. Empty when it cannot.
std::string CreateTemporaryFolderBeside(const std::string& target);
// Removes a folder CreateTemporaryFolderBeside made, with the files in it.
void RemoveTemporaryFolder(const std::string& folder);

// Gives a committed temporary the permissions the target has (or a new file would get).
void MatchTargetPermissions(std::FILE* temporary, const std::string& target);

// The temporary name CreateTemporaryBeside uses for `target` in a process: recognisable from
// the target's name, short enough for any legal name.
std::string TemporaryPrefix(std::string_view targetName);

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Abandon(); }

    // Starts writing `path`; standard output is written as a stream. False when the target
    // cannot be replaced (a device, a FIFO, a folder) or no temporary can be created.
    bool Open(const std::string& path);
    // Appends bytes; a failure is remembered and makes Commit fail.
    bool Write(std::string_view bytes);
    // Finishes: true when all the bytes are in the target.
    bool Commit();
    // Stops without touching the target.
    void Abandon();
    bool IsOpen() const { return m_out != nullptr || m_stream; }

private:
    std::FILE* m_out = nullptr;
    bool m_stream = false;
    std::string m_targetPath;
    std::string m_temporaryPath;
    bool m_failed = false;
};

// Replaces the file at `path` with `bytes` in one step; false leaves it untouched.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

// The files of one run, checked before anything is written.
class OutputPlan {
public:
    // An input of the run; standard input ("-") is no file and never conflicts. False when the
    // same file is already an input.
    bool AddInput(const std::string& path);
    // Claims `path` as an output. Empty when it may be written; otherwise the message to show,
    // naming both files. Standard output is never a conflict.
    std::string Claim(const std::string& path);
    // A merge target: as Claim, and an existing file without `suffix` (such as ".kml", any
    // letter case) is refused, since it is most likely an input named by mistake.
    std::string ClaimMerge(const std::string& path, std::string_view suffix);

private:
    struct Identity {
        bool exists = false;
        unsigned long long device = 0, inode = 0;
        std::string resolved; // the absolute path, for a file that does not exist yet
        bool operator==(const Identity& other) const;
    };
    static Identity Identify(const std::string& path);

    std::vector<std::pair<Identity, std::string>> m_inputs;
    std::vector<std::pair<Identity, std::string>> m_outputs;
};

} // namespace carvento::tables
