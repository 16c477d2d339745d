// The datum transformation pages.
#include "pages/transform/TransformPages.hpp"

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/AsciiText.hpp"
#include "platform/NumberText.hpp"

#include <algorithm>
#include <array>

namespace carvento::pages {
namespace {

using platform::FormatFixed;
using platform::ParseDouble;

constexpr int kMetreDecimals = 4;
const std::vector<int> kTableWidths = {35, 85, 90, 80};

} // namespace

template <class Base>
template <class... FrameArgs>
ParameterImportPage<Base>::ParameterImportPage(ParameterKind kind, PageContext context,
                                               FrameArgs&&... frameArgs)
    : Base(context, std::forward<FrameArgs>(frameArgs)...), m_params(kind)
{
    const ParameterSetInfo& info = m_params.Info();
    for (int i = 0; i < info.Count(); ++i)
        this->AddField({.id = ParameterFieldId(i),
                        .group = info.transformPanelTitle,
                        .label = info.names[static_cast<std::size_t>(i)].label,
                        .kind = FieldKind::ReadOnlyText});
    this->AddCommand({.id = kImportCommand, .caption = info.importCaption, .action = [this] {
                          return ImportParameters();
                      }});
    this->AddCommand({.id = kExportProjCommand, .caption = "导出PROJ", .action = [this] {
                          return ExportProj();
                      }});
}

template <class Base>
std::string ParameterImportPage<Base>::ParameterFieldId(int displayIndex) const
{
    return platform::AsciiLower(m_params.Info().names[static_cast<std::size_t>(displayIndex)].name);
}

template <class Base>
bool ParameterImportPage<Base>::ImportParameters()
{
    platform::FileDialog dialog;
    dialog.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
    dialog.defaultExtension = "txt";
    std::vector<std::string> paths = this->m_context.prompter.ChooseOpenFiles(dialog);
    if (paths.empty())
        return false;
    return ImportParameterFile(paths.front());
}

template <class Base>
bool ParameterImportPage<Base>::ImportParameterFile(const std::string& path)
{
    ParameterSet read = m_params;
    const ParameterReadResult result = ReadParameterFile(path, read);
    return TakeParameters(result, read, path);
}

template <class Base>
bool ParameterImportPage<Base>::ImportParameterText(const std::string& text)
{
    ParameterSet read = m_params;
    const ParameterReadResult result = ReadParameterBytes(text, read);
    return TakeParameters(result, read, std::string());
}

template <class Base>
bool ParameterImportPage<Base>::TakeParameters(const ParameterReadResult& result,
                                               const ParameterSet& read, const std::string& path)
{
    if (!result.Ok()) {
        for (const std::string& text : ParameterReadMessages(result, m_params.Kind(), path))
            this->ShowMessage(text);
        return false;
    }
    m_params = read;
    m_imported = true;
    const std::vector<std::string> texts = m_params.FieldTexts(ParameterShown::Imported);
    for (int i = 0; i < static_cast<int>(texts.size()); ++i)
        this->SetFieldText(ParameterFieldId(i), texts[static_cast<std::size_t>(i)]);
    return true;
}

template <class Base>
bool ParameterImportPage<Base>::ReadyToConvert()
{
    if (m_imported)
        return true;
    this->ShowMessage(messages::kNoParametersImported);
    return false;
}

template <class Base>
std::optional<std::string> ParameterImportPage<Base>::ProjExportText()
{
    if (!m_imported) {
        this->ShowMessage(messages::kNoParametersToExport);
        return std::nullopt;
    }
    if (!this->ExchangeFields())
        return std::nullopt;
    return ExportText();
}

template class ParameterImportPage<ConversionPage>;
template class ParameterImportPage<TwoSidedPage<ConversionPage>>;

DatumTransformPage::DatumTransformPage(ParameterKind kind, PageContext context)
    : ParameterImportPage(kind, context, kAngleUnitChoices, kShortAngleUnitChoices),
      m_datumKind(*DatumKindOf(kind)), m_record(m_datumKind.fromSet(Parameters()))
{
    // The coordinate titles follow the type each side shows; the sides rewrite them.
    auto titles = [](const DatumSide& side) {
        const std::array<std::string, 3> stems = side.ColumnTitles();
        return std::vector<std::string>{"序号", stems[0], stems[1], stems[2]};
    };
    SetLayout({"原椭球坐标", titles(From()), kTableWidths},
              {"新椭球坐标", titles(To()), kTableWidths});
    From().ShowTitlesIn(Source(), 1);
    To().ShowTitlesIn(Result(), 1);
    OfferGisExport();
}

std::optional<ZoneCheckTarget> DatumTransformPage::ZoneCheck() const
{
    if (From().ShowsGeodetic())
        return std::nullopt;
    return ZoneCheckTarget{"from-meridian", 2, "from-y-add"};
}

std::vector<std::string> DatumTransformPage::ExportHeader() const
{
    if (To().ShowsGeodetic())
        return {"序号", "纬度", "经度"};
    return {"序号", "x", "y"};
}

void DatumTransformPage::PrepareConvert()
{
    From().TakeFields();
    To().TakeFields();
    m_record = m_datumKind.fromSet(Parameters());
}

std::string DatumTransformPage::ExportText()
{
    return m_datumKind.projText(ExportSource(), ExportTarget(), m_datumKind.fromSet(Parameters()));
}

void DatumTransformPage::ConvertRow(std::span<std::string> cells)
{
    std::span<std::string> coordinates = cells.subspan(1,
                                                       std::min<std::size_t>(3, cells.size() - 1));
    const GeodeticPoint point = From().ReadPoint(coordinates);
    To().WritePoint(m_datumKind.move(From().Projector(), To().Projector(), m_record, point),
                    coordinates);
}

ProjSide DatumTransformPage::ExportSource()
{
    return ProjSideOf(*this, From(), ZoneNumberInColumn(Source(), 2));
}

ProjSide DatumTransformPage::ExportTarget()
{
    return ProjSideOf(*this, To(), 0);
}

std::optional<GisPoints> DatumTransformPage::ResultGisPoints() const
{
    const ProjSide target = ProjSideOf(*this, To(), 0);
    GisPoints points{.geodetic = target.geodetic, .coordinateColumns = {1, 2, 3}, .hasZ = true};
    if (target.geodetic) {
        // The side reads B, L in the notation it wrote them with (taken at this 转换).
        const DatumSide& side = To();
        points.read = [&side](std::span<const std::string> row) -> std::optional<GisPoint> {
            if (row.size() < 4 || !platform::IsNumberText(row[1]) ||
                !platform::IsNumberText(row[2]) || !platform::IsNumberText(row[3]))
                return std::nullopt;
            const GeodeticPoint point = side.ReadPoint(row.subspan(1, 3));
            return GisPoint{point.B, point.L, point.H};
        };
    } else {
        points.read = [](std::span<const std::string> row) { return ReadPlanePoint(row, 1, 3); };
    }
    points.crs = target;
    return points;
}

CTrans4Dlg::CTrans4Dlg(PageContext context) : ParameterImportPage(ParameterKind::Four, context)
{
    SetLayout({"原平面坐标", {"序号", "原坐标x(m)", "原坐标y(m)", "原高程z(m)"}, kTableWidths},
              {"新平面坐标", {"序号", "新坐标x(m)", "新坐标y(m)", "新高程z(m)"}, kTableWidths});
    OfferGisExport();
}

void CTrans4Dlg::PrepareConvert()
{
    m_record = Parameters().ToFourParams();
}

void CTrans4Dlg::ConvertRow(std::span<std::string> cells)
{
    // Rows reaching here have column 1; the table has four columns.
    const double x = ParseDouble(cells[1]);
    const double y = cells.size() > 2 ? ParseDouble(cells[2]) : 0.0;
    double xOut = 0.0;
    double yOut = 0.0;
    geodesy::TransformFourParams(x, y, m_record, xOut, yOut);
    cells[1] = FormatFixed(xOut, kMetreDecimals);
    if (cells.size() > 2)
        cells[2] = FormatFixed(yOut, kMetreDecimals);
}

std::string CTrans4Dlg::ExportText()
{
    return FourParamsExportText(Parameters().ToFourParams());
}

std::optional<GisPoints> CTrans4Dlg::ResultGisPoints() const
{
    return GisPoints{.coordinateColumns = {1, 2, 3},
                     .hasZ = true,
                     .read = [](std::span<const std::string> row) {
                         return ReadPlanePoint(row, 1, 3);
                     }};
}

} // namespace carvento::pages
