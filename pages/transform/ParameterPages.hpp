// The parameter computation pages 计算七参数, 计算三参数 and 计算四参数 on the common-point
// frame: common points in, parameters estimated by least squares (or, for three parameters,
// from the first point), per-point residuals in "中误差(m)", and the parameter file the
// transformation pages import.
#pragma once

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/frames/ProjExport.hpp"
#include "pages/transform/DatumKinds.hpp"
#include "pages/transform/TransformPages.hpp"

#include "platform/AsciiText.hpp"
#include "platform/NumberText.hpp"

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace carvento::pages {

namespace messages {
// Our own text: the common points do not determine the parameters (they coincide, or for
// seven parameters lie on one line, within the precision of the computation).
inline constexpr const char* kNoSolution = "公共点重合或共线,无法解算参数,参数未改变!";
// A point whose values are no point of the earth (a latitude beyond ±90°, plane values far
// beyond the pole): %d its row.
inline constexpr const char* kPointNotConvertible =
    "公共点第%d行坐标不是地球上的点,无法换算,请检查!";
// Parameters that are no numbers or shifts beyond any coordinate: the points determine them
// only in name.
inline constexpr const char* kSolutionUnusable = "解算结果超出有效范围,参数未改变,请检查公共点!";
// 用于转换 before a successful solve (or after one refused as no result).
inline constexpr const char* kNothingToTransfer = "尚未解算出参数,请先解算,再用于转换!";
} // namespace messages

// The class of the transformation page that applies parameters of `kind` ("CTrans7Dlg").
std::string_view TransformPageClassOf(ParameterKind kind);
// The file 保存参数 writes for these field texts (display order), as text: the parameter line
// in file order, comma-separated, CR LF.
std::string ParameterFileText(ParameterKind kind, std::span<const std::string> displayTexts);
// Gives `to` every setting it shares with `from`: each ellipsoid panel's choice (by entry
// name; the axes a "自定义" choice applies) on the side of the same name, then, in `from`'s
// order, the text or choice each editable field shows on the field of `to` with the same id
// and kind, as if typed there, so the target's own reactions follow.
void CopySharedSettings(const ToolPage& from, ToolPage& to);

// The result panel of a computation page (read-only fields named after the parameters, in
// display order) and 保存参数, over any common-point frame `Base`.
template <class Base>
class ParameterPage : public Base, public ProjExportSource {
public:
    static constexpr const char* kSaveParamsCommand = "save-params";
    static constexpr const char* kExportProjCommand = "export-proj";

    ProjExportSource* ProjExport() override { return this; }

    ParameterKind Kind() const { return m_kind; }
    // The field ids of the parameters in display order: "dx", "dy", "t", "k", …
    std::vector<std::string> ParameterIds() const;
    // The texts the result fields show now, in display order (empty before a solve).
    std::vector<std::string> ParameterTexts() const;
    std::optional<PageCommand> SolutionCommand() const override
    {
        return PageCommand{kSaveParamsCommand, "保存参数"};
    }
    bool SaveSolutionToFile(const std::string& path, tables::TextEncoding encoding) override
    {
        return SaveParametersToFile(path, encoding);
    }
    // 保存参数: save dialog, then SaveParametersToFile; false when cancelled or not written.
    bool SaveParameters();
    // Writes the parameter line (the field texts in file order) in place of the file's content.
    bool SaveParametersToFile(const std::string& path, tables::TextEncoding encoding);
    // What SaveParametersToFile writes now.
    std::string ParameterFileText() const
    {
        return pages::ParameterFileText(m_kind, ParameterTexts());
    }

    // 用于转换: the transformation page of this kind, filled with the sides (CopySharedSettings)
    // and with the parameters through its own import of ParameterFileText(), so it holds what
    // an import of the file 保存参数 writes gives. Before a successful solve the page says so
    // and `target` is left untouched; false too for a target of another kind.
    std::string_view TransferPageClass() const override { return TransformPageClassOf(m_kind); }
    bool TransferTo(ToolPage& target) override;
    // 导出PROJ: the solved parameters as a PROJ pipeline (pages/frames/ProjExport.hpp) through a
    // save dialog; before a solve the page says there is nothing to export.
    bool ExportProj() { return ExportProjWithDialog(this->m_context.prompter, *this); }

protected:
    template <class... Args>
    ParameterPage(ParameterKind kind, PageContext context, Args&&... args);

    // Declares the frame's commands after the page's SetUp: 保存参数 follows 解算….
    void AddSaveParamsCommand()
    {
        PageCommand save = *SolutionCommand();
        save.action = [this] { return SaveParameters(); };
        this->AddCommand(std::move(save));
        this->AddCommand({CommonPointPage::kTransferCommand, "用于转换",
                          [this] { return Transfer(); }});
        this->AddCommand({kExportProjCommand, "导出PROJ", [this] { return ExportProj(); }});
    }
    // Says that nothing is solved yet (ProjExportText before a solve).
    void ShowNothingToExport() { this->ShowMessage(messages::kNoParametersToExport); }
    // Shows a solved set in the result fields with the solved formats.
    void ShowParameters(const ParameterSet& set);
    // 用于转换 as a command: the window opens the transformation page after a solve; before
    // one the page says so.
    bool Transfer();

private:
    ParameterKind m_kind;
};

// ---- ParameterPage

template <class Base>
template <class... Args>
ParameterPage<Base>::ParameterPage(ParameterKind kind, PageContext context, Args&&... args)
    : Base(context, std::forward<Args>(args)...), m_kind(kind)
{
    const ParameterSetInfo& info = ParameterSetOf(kind);
    const std::vector<std::string> ids = ParameterIds();
    for (std::size_t i = 0; i < ids.size(); ++i)
        this->AddField({.id = ids[i],
                        .group = info.solvePanelTitle,
                        .label = info.names[i].label,
                        .kind = FieldKind::ReadOnlyText});
}

template <class Base>
std::vector<std::string> ParameterPage<Base>::ParameterIds() const
{
    std::vector<std::string> ids;
    for (const ParameterName& name : ParameterSetOf(m_kind).names)
        ids.push_back(platform::AsciiLower(name.name));
    return ids;
}

template <class Base>
std::vector<std::string> ParameterPage<Base>::ParameterTexts() const
{
    std::vector<std::string> texts;
    for (const std::string& id : ParameterIds()) {
        const PageField* field = this->FindField(id);
        texts.push_back(field ? field->text : std::string());
    }
    return texts;
}

template <class Base>
bool ParameterPage<Base>::SaveParameters()
{
    platform::FileDialog dialog;
    dialog.filters = this->Editor().Policy().filters;
    dialog.defaultExtension = "txt";
    std::optional<std::string> path = this->m_context.prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    return SaveParametersToFile(*path, ExportEncoding(this->m_context.profile));
}

template <class Base>
bool ParameterPage<Base>::SaveParametersToFile(const std::string& path,
                                               tables::TextEncoding encoding)
{
    const std::vector<std::string> texts = ParameterTexts();
    return SaveParameterFile(this->m_context.prompter, path, m_kind, texts, encoding);
}

// A parameter as a result field shows it after a solve: printf("%.<decimals>lf"), except that
// a value that prints as zero prints without a minus sign.
std::string SolvedParameterText(double value, int decimals);

template <class Base>
void ParameterPage<Base>::ShowParameters(const ParameterSet& set)
{
    const std::vector<std::string> ids = ParameterIds();
    const std::vector<ParameterName>& names = set.Info().names;
    for (std::size_t i = 0; i < ids.size() && i < set.Values().size(); ++i)
        this->SetFieldText(ids[i], SolvedParameterText(set.Values()[i], names[i].solvedDecimals));
}

template <class Base>
bool ParameterPage<Base>::TransferTo(ToolPage& target)
{
    if (!this->CanTransfer()) {
        this->ShowMessage(messages::kNothingToTransfer);
        return false;
    }
    ParameterReceiver* receiver = target.ParameterInput();
    if (!receiver || receiver->ReceivedKind() != m_kind)
        return false;
    CopySharedSettings(*this, target);
    return receiver->ImportParameterText(ParameterFileText());
}

template <class Base>
bool ParameterPage<Base>::Transfer()
{
    if (this->CanTransfer())
        return true;
    this->ShowMessage(messages::kNothingToTransfer);
    return false;
}

// The common points of the three- and seven-parameter pages: source and target sides, eight
// columns, old points from columns 1–3 on the source side and new points from 4–6 on the target
// side, residuals in column 7 measured in the target projection plane. What the kind computes
// comes from its row in the datum kind table.
class DatumParameterPage : public ParameterPage<TwoSidedPage<CommonPointPage>> {
public:
    static constexpr int kResidualColumn = 7;

    // The last solve's parameters between the sides as they were at the solve.
    std::optional<std::string> ProjExportText() override;

protected:
    DatumParameterPage(PageContext context, ParameterKind kind);

    bool Solve(const PointRows& points) override;
    std::string Residual(std::span<const std::string> row) const override;
    void ForgetSolve() override { m_solved = false; }
    bool CanTransfer() const override { return m_solved; }

    // The last solved parameters in internal units.
    const DatumParams& Solved() const { return m_params; }

private:
    // Moves a point B, L (degrees), H (m) from the source ellipsoid to the target one with
    // `params`.
    GeodeticPoint Move(const DatumParams& params, const GeodeticPoint& point) const;
    // The quality report of a successful solve over every row.
    void AssessQuality(const PointRows& points);

    const DatumKind& m_datumKind;
    DatumParams m_params;
    bool m_solved = false;
    ProjSide m_solvedFrom{};
    ProjSide m_solvedTo{};
};

// 计算七参数.
class CParams7 final : public DatumParameterPage {
public:
    explicit CParams7(PageContext context) : DatumParameterPage(context, ParameterKind::Seven) {}
    std::string Title() const override { return "计算七参数"; }
    // The last solved parameters in internal units (radians, plain factor).
    const geodesy::SevenParams& Parameters() const
    {
        return std::get<geodesy::SevenParams>(Solved());
    }
};

// 计算三参数: the shift of the first common point.
class CParams3 final : public DatumParameterPage {
public:
    explicit CParams3(PageContext context) : DatumParameterPage(context, ParameterKind::Three) {}
    std::string Title() const override { return "计算三参数"; }
    const geodesy::ThreeParams& Parameters() const
    {
        return std::get<geodesy::ThreeParams>(Solved());
    }
};

// 计算四参数: plane coordinates as typed, no coordinate-system panels.
class CParams4 final : public ParameterPage<CommonPointPage> {
public:
    static constexpr int kResidualColumn = 5;

    explicit CParams4(PageContext context);
    std::string Title() const override { return "计算四参数"; }
    const geodesy::FourParams& Parameters() const { return m_params; }
    std::optional<std::string> ProjExportText() override;

protected:
    bool Solve(const PointRows& points) override;
    std::string Residual(std::span<const std::string> row) const override;
    void ForgetSolve() override { m_solved = false; }
    bool CanTransfer() const override { return m_solved; }

private:
    geodesy::FourParams m_params{};
    bool m_solved = false;
};

} // namespace carvento::pages
