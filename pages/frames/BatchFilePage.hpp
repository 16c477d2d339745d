// The batch-file frame: a list of input files (添加文件, 删除, 清空, dropped files filtered by
// suffix), the page's options as fields, the multi-file mode (one merged output or one output
// per input) and 转换, which runs the page's conversion over every file in list order. The five
// file conversions sit on it.
#pragma once

#include "pages/frames/ToolPage.hpp"
#include "tables/CodePage.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace carvento::pages {

// What a page declares once, in its constructor.
struct BatchFileSetup {
    std::vector<std::string> suffixes{}; // accepted inputs with the dot, such as ".kml"
    std::vector<std::pair<std::string, std::string>> inputFilters{};  // 添加文件
    std::vector<std::pair<std::string, std::string>> outputFilters{}; // merged output
    std::string outputExtension{}; // merged output's default extension, without the dot
    std::string note{};            // lines shown above the list (the input format); may be empty
    std::string runCaption = "转换";
};

// The outcome of one file (or of starting or finishing a merged output): a failure carries the
// page's own message, such as "a.kml 加载失败!", shown as an error captioned "错误"; an input
// only partly used carries a warning instead.
struct FileOutcome {
    bool ok = true;
    std::string message{};
    platform::MessageIcon icon = platform::MessageIcon::Error;
    bool partial = false; // a failure whose input was used in part: that part is in the output
    // What the file held and what was written or skipped, by kind, on one line:
    // "a.kml: 12 地标, 3 路径 (1 gx:Track), 2 多边形 (1 内环); 跳过 0".
    std::string summary{};
    static FileOutcome Failed(std::string message,
                              platform::MessageIcon icon = platform::MessageIcon::Error)
    {
        return {false, std::move(message), icon};
    }
    static FileOutcome Partial(std::string message)
    {
        return {false, std::move(message), platform::MessageIcon::Warning, true};
    }
};

// What a 转换 did: files converted, and the messages of those that were not.
struct BatchReport {
    bool ran = false; // false when nothing ran (merge output not chosen, fields refused)
    int converted = 0;
    std::vector<std::string> failures{};
    std::vector<std::string> summaries{}; // one per input that said what it held
};

class BatchFilePage : public ToolPage {
public:
    static constexpr const char* kRunCommand = "run";
    // The multi-file mode field, a radio of 合并文件 (0) and 生成独立文件 (1).
    static constexpr const char* kModeField = "mode";
    static constexpr int kMerge = 0;
    static constexpr int kSeparate = 1;

    explicit BatchFilePage(PageContext context);

    PageFrame Frame() const override { return PageFrame::BatchFile; }
    BatchFilePage* AsBatchFile() override { return this; }
    const BatchFileSetup& Setup() const { return m_setup; }

    // The list, kept sorted (duplicates allowed).
    const std::vector<std::string>& Files() const { return m_files; }
    // 添加文件: the open dialog with multiple selection; every chosen file is added. Files added.
    int AddFiles();
    // Adds paths as they are, suffix or not (what the dialog chose).
    int AddFilePaths(const std::vector<std::string>& paths);
    // Dropped files: only those with an accepted suffix (any letter case). Files added.
    int DropFiles(const std::vector<std::string>& paths);
    // 删除: the entry at `index`; nothing for an index outside the list (no selection).
    void RemoveFile(int index);
    // 清空.
    void ClearFiles() { m_files.clear(); }

    // 转换: takes the fields; in merge mode asks for the output (cancel: nothing runs), then Run.
    BatchReport Convert();
    // Converts every file in list order: into `mergedOutput` when given, one output per input
    // otherwise. A failing file is reported and the others still run.
    BatchReport Run(const std::optional<std::string>& mergedOutput);

    // The path up to (not including) its last "." of the file name: outputs are named after it.
    static std::string OutputBase(const std::string& path);

    // Where separate outputs go, for the command line: into a folder, or (for one input) to
    // one named output. By default beside each input.
    void SetOutputFolder(std::string folder) { m_outputFolder = std::move(folder); }
    void SetOutputFile(std::string path) { m_outputFile = std::move(path); }
    // Encoding of the text files the page writes (GBK unless asked otherwise).
    void SetTextEncoding(tables::TextEncoding encoding) { m_encoding = encoding; }

protected:
    // Page set-up: suffixes, dialogs, note and the 转换 caption. Adds the mode field after the
    // page's own fields, so the page declares its options first.
    void SetUp(BatchFileSetup setup);

    // Converts one input. Separate mode: the page writes its output(s) beside the input (see
    // OutputBase). Merge mode: the input goes into the output begun by BeginMerge.
    virtual FileOutcome ConvertFile(const std::string& input, bool merged) = 0;
    // Merge mode: before the first and after the last input (the page saves its document in
    // EndMerge). Nothing by default.
    virtual FileOutcome BeginMerge(const std::string&) { return {}; }
    virtual FileOutcome EndMerge(const std::string&) { return {}; }
    // Pages that write their merged output in EndMerge: when an input failed, that output is
    // written beside an existing one under its own name (PartialOutputPath), and not at all
    // when nothing was taken (AbandonMerge instead of EndMerge).
    virtual bool WritesMergeAtEnd() const { return false; }
    virtual void AbandonMerge() {}

    // Where a result that used its inputs only partly is written: `output` itself when there
    // is nothing there yet, otherwise a file of its own beside it ("<base>_不完整.<ext>"), so
    // a complete earlier result is never replaced by a partial one. `note` says which.
    static std::string PartialOutputPath(const std::string& output, std::string& note);

    // The base its separate outputs are named from (OutputBase of the input by default).
    std::string SeparateOutputBase(const std::string& input) const;
    // The files an output target stands for: the target itself, or the files named after it
    // (the text extractions write one file per kind of element beside it).
    virtual std::vector<std::string> OutputFilesOf(const std::string& target) const
    {
        return {target};
    }
    tables::TextEncoding TextEncoding() const { return m_encoding; }

private:
    void Report(const FileOutcome& outcome, BatchReport& report);
    // Checks every file the run would write against the inputs and each other before anything
    // is written: the message of the first conflict, empty when there is none.
    std::string PlanOutputs(const std::vector<std::string>& files,
                            const std::optional<std::string>& mergedOutput) const;

    BatchFileSetup m_setup;
    std::vector<std::string> m_files;
    std::string m_outputFolder;
    std::string m_outputFile;
    tables::TextEncoding m_encoding = tables::TextEncoding::Gbk;
};

} // namespace carvento::pages
