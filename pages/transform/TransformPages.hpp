// The datum transformation pages: "七参数转换" (CTrans7Dlg) and "三参数转换" (CTrans3Dlg)
// between two DatumSides, and "四参数转换" (CTrans4Dlg) on plane coordinates. The parameters
// are not typed in: they come from the parameter file that "保存参数" writes.
#pragma once

#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/frames/ProjExport.hpp"
#include "pages/transform/DatumKinds.hpp"

#include <optional>

#include <string>
#include <utility>
#include <vector>

namespace carvento::pages {

namespace messages {
// 转换 on a transformation page before any parameter file was imported.
inline constexpr const char* kNoParametersImported = "尚未导入参数,请先导入参数文件!";
} // namespace messages

// A page that applies parameters handed over by a computation page (用于转换): the kind it
// takes and the import of a parameter file's content.
class ParameterReceiver {
public:
    virtual ParameterKind ReceivedKind() const = 0;
    // ImportParameterFile of a file holding `text`: the same fields, record and messages.
    virtual bool ImportParameterText(const std::string& text) = 0;

protected:
    ~ParameterReceiver() = default;
};

// The parameter panel of a transformation page on top of its frame `Base`: one read-only
// field per parameter (ids "dx", "dy", …, in display order, grouped under the kind's panel
// title, empty until an import) and the import command ("导入七参数" …).
template <class Base>
class ParameterImportPage : public Base, public ProjExportSource, public ParameterReceiver {
public:
    static constexpr const char* kImportCommand = "import-params";
    static constexpr const char* kExportProjCommand = "export-proj";

    ProjExportSource* ProjExport() override { return this; }
    ParameterReceiver* ParameterInput() override { return this; }

    const ParameterSet& Parameters() const { return m_params; }
    // The id of the field showing display value `displayIndex`.
    std::string ParameterFieldId(int displayIndex) const;

    bool TakesParameterFile() const override { return true; }
    // The import command: the open dialog, then ImportParameterFile. false when cancelled.
    bool ImportParameters();
    // Reads the file; on success the fields show the values with ten decimals and the record
    // used by 转换 changes; otherwise the reader's messages are shown and nothing changes.
    // Until a file is imported, 转换 refuses with kNoParametersImported.
    bool ImportParameterFile(const std::string& path) override;
    ParameterKind ReceivedKind() const override { return m_params.Kind(); }
    bool ImportParameterText(const std::string& text) override;

    // 导出PROJ after an import: the imported parameters between the sides as the fields say
    // now (pages/frames/ProjExport.hpp); before one the page says there is nothing to export.
    std::optional<std::string> ProjExportText() override;
    bool ExportProj() { return ExportProjWithDialog(this->m_context.prompter, *this); }

protected:
    template <class... FrameArgs>
    ParameterImportPage(ParameterKind kind, PageContext context, FrameArgs&&... frameArgs);

    // 转换 needs imported parameters: before an import the page says so (it never converts
    // with a set nobody gave it).
    bool ReadyToConvert() override;
    // The export text of the imported parameters, the fields exchanged.
    virtual std::string ExportText() = 0;

private:
    // Takes a read set (`result` Ok) or shows why it was refused; `path` names the file.
    bool TakeParameters(const ParameterReadResult& result, const ParameterSet& read,
                        const std::string& path);

    ParameterSet m_params;
    bool m_imported = false;
};

// CTrans7Dlg and CTrans3Dlg: each row read on the source side, moved to the target ellipsoid,
// written on the target side, as the kind's row in the datum kind table moves it.
class DatumTransformPage : public ParameterImportPage<TwoSidedPage<ConversionPage>> {
public:
    // "序号" and the target side's titles: "纬度", "经度" or "x", "y".
    std::vector<std::string> ExportHeader() const override;
    // While the source side is plane.
    std::optional<ZoneCheckTarget> ZoneCheck() const override;

protected:
    DatumTransformPage(ParameterKind kind, PageContext context);

    void PrepareConvert() override;
    void ConvertRow(std::span<std::string> cells) override;
    std::string ExportText() override;
    // The two sides for the export: the source's zone number taken from its table's y column.
    ProjSide ExportSource();
    ProjSide ExportTarget();
    // The target side's points: x, y or B, L (its notation) with the height in column 3.
    std::optional<GisPoints> ResultGisPoints() const override;

private:
    const DatumKind& m_datumKind;
    // The imported parameters as 转换 took them, in internal units.
    DatumParams m_record;
};

class CTrans7Dlg final : public DatumTransformPage {
public:
    explicit CTrans7Dlg(PageContext context) : DatumTransformPage(ParameterKind::Seven, context) {}
    std::string Title() const override { return "七参数转换"; }
};

class CTrans3Dlg final : public DatumTransformPage {
public:
    explicit CTrans3Dlg(PageContext context) : DatumTransformPage(ParameterKind::Three, context) {}
    std::string Title() const override { return "三参数转换"; }
};

// Plane coordinates of one grid to another: x, y through the four parameters, the elevation
// carried over.
class CTrans4Dlg final : public ParameterImportPage<ConversionPage> {
public:
    explicit CTrans4Dlg(PageContext context);
    std::string Title() const override { return "四参数转换"; }
    std::vector<std::string> ExportHeader() const override { return {"序号", "x", "y"}; }

private:
    void PrepareConvert() override;
    void ConvertRow(std::span<std::string> cells) override;
    std::string ExportText() override;
    // x, y and the elevation on a plane whose datum the page does not know: no EPSG code.
    std::optional<GisPoints> ResultGisPoints() const override;
    geodesy::FourParams m_record;
};

} // namespace carvento::pages
