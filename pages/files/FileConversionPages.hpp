// The five file conversion pages on the batch-file frame: TXT to KML, KML to TXT, GPX to TXT,
// TXT to GPX and BLN to TXT. Each collects input files, offers the options of its conversion
// and writes one output per input or one merged output.
#pragma once

#include "fileconv/BlnReader.hpp"
#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"
#include "pages/frames/BatchFilePage.hpp"

#include <functional>
#include <memory>
#include <string>

namespace carvento::pages {

// TXT to KML and TXT to GPX: the options as fields, "close" enabled while lines (routes) are
// made.
class TextToMarkupPage : public BatchFilePage {
protected:
    explicit TextToMarkupPage(PageContext context) : BatchFilePage(context) {}
    void OnFieldEdited(const PageField& field) override;
    // Why a text file gave nothing, or success when it gave rows.
    FileOutcome TextOutcome(const std::string& input, const fileconv::TextInput& read) const;
    bool Ticked(const char* id) { return Field(id).value != 0; }
};

class TxtToKmlPage final : public TextToMarkupPage {
public:
    explicit TxtToKmlPage(PageContext context);
    std::string Title() const override { return "txt转kml"; }

protected:
    FileOutcome ConvertFile(const std::string& input, bool merged) override;
    FileOutcome BeginMerge(const std::string& output) override;
    FileOutcome EndMerge(const std::string& output) override;
    bool WritesMergeAtEnd() const override { return true; }
    void AbandonMerge() override { m_merged.reset(); }

private:
    fileconv::KmlMakeOptions Options();
    std::unique_ptr<fileconv::KmlDocument> m_merged;
};

class TxtToGpxPage final : public TextToMarkupPage {
public:
    explicit TxtToGpxPage(PageContext context);
    std::string Title() const override { return "txt转换gpx"; }

protected:
    FileOutcome ConvertFile(const std::string& input, bool merged) override;
    FileOutcome BeginMerge(const std::string& output) override;
    FileOutcome EndMerge(const std::string& output) override;
    bool WritesMergeAtEnd() const override { return true; }
    void AbandonMerge() override { m_merged.reset(); }

private:
    fileconv::GpxMakeOptions Options();
    std::unique_ptr<fileconv::GpxDocument> m_merged;
};

// KML to TXT and GPX to TXT: in merge mode every input appends to the merged output's files.
class MarkupToTextPage : public BatchFilePage {
protected:
    // `kinds`: the option field of each kind of element and the suffix of its text file.
    MarkupToTextPage(PageContext context, std::vector<std::pair<std::string, std::string>> kinds)
        : BatchFilePage(context), m_kinds(std::move(kinds))
    {
    }
    FileOutcome BeginMerge(const std::string& output) override;
    std::vector<std::string> OutputFilesOf(const std::string& target) const override;
    // The output path whose base names the text files.
    std::string OutputPath(const std::string& input, bool merged) const;
    static FileOutcome WriteOutcome(const fileconv::TextOutput& output);
    // Where the text files of a partial extraction go (PartialOutputPath of each), each
    // choice's note added to `notes`.
    static std::function<std::string(const std::string&)> PartialTargets(std::string& notes);

private:
    std::vector<std::pair<std::string, std::string>> m_kinds;
    std::string m_mergedOutput;
};

class KmlToTxtPage final : public MarkupToTextPage {
public:
    explicit KmlToTxtPage(PageContext context);
    std::string Title() const override { return "kml转换txt"; }

protected:
    FileOutcome ConvertFile(const std::string& input, bool merged) override;
};

class GpxToTxtPage final : public MarkupToTextPage {
public:
    explicit GpxToTxtPage(PageContext context);
    std::string Title() const override { return "gpx转换txt"; }

protected:
    FileOutcome ConvertFile(const std::string& input, bool merged) override;
};

class BlnToTxtPage final : public BatchFilePage {
public:
    explicit BlnToTxtPage(PageContext context);
    std::string Title() const override { return "bln转换txt"; }

protected:
    FileOutcome ConvertFile(const std::string& input, bool merged) override;
    FileOutcome BeginMerge(const std::string& output) override;
    FileOutcome EndMerge(const std::string& output) override;

    bool WritesMergeAtEnd() const override { return true; }
    void AbandonMerge() override { m_mergedText.clear(); }

private:
    std::string m_mergedText;
};

} // namespace carvento::pages
