// Angle notation page: a table of twelve conversions.
#include "pages/coordinates/NotationPage.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {
namespace {

using namespace geodesy;
using platform::FormatFixed;
using platform::ParseDouble;

template <double (*Routine)(double), int Decimals>
std::string Numeric(const std::string& cell)
{
    return FormatFixed(Routine(ParseDouble(cell)), Decimals);
}

template <std::string (*Formatter)(double)>
std::string ToText(const std::string& cell)
{
    return Formatter(ParseDouble(cell));
}

template <double (*Parser)(std::string_view), int Decimals>
std::string FromText(const std::string& cell)
{
    return FormatFixed(Parser(cell), Decimals);
}

const NotationConversion kConversions[] = {
    {"DDDMMSS.SS->DDD.MMSSSS", Numeric<PackedToDotted, 6>},
    {"DDDMMSS.SS->度", Numeric<PackedToDegrees, 6>},
    {"DDDMMSS.SS->度°分′秒″", ToText<FormatPackedAsText>},
    {"DDD.MMSSSS->DDDMMSS.SS", Numeric<DottedToPacked, 2>},
    {"DDD.MMSSSS->度", Numeric<DottedToDegrees, 6>},
    {"DDD.MMSSSS->度°分′秒″", ToText<FormatDottedAsText>},
    {"度->DDDMMSS.SS", Numeric<DegreesToPacked, 2>},
    {"度->DDD.MMSSSS", Numeric<DegreesToDotted, 6>},
    {"度->度°分′秒″", ToText<FormatDegreesAsText>},
    {"度°分′秒″->DDDMMSS.SS", FromText<ParseTextAsPacked, 2>},
    {"度°分′秒″->DDD.MMSSSS", FromText<ParseTextAsDotted, 6>},
    {"度°分′秒″->度", FromText<ParseTextAsDegrees, 6>},
};

} // namespace

std::span<const NotationConversion> NotationConversions()
{
    return kConversions;
}

CDWZHDlg::CDWZHDlg(PageContext context) : ConversionPage(context)
{
    const std::vector<std::string> titles{"序号", "纬度B", "经度L"};
    SetLayout({"源坐标(B,L)", titles, {35, 85, 90}}, {"目标坐标(B,L)", titles, {35, 85, 90}});
    std::vector<std::string> captions;
    for (const NotationConversion& conversion : kConversions)
        captions.emplace_back(conversion.caption);
    AddField({.id = "type",
              .group = "坐标格式",
              .label = "转换类型",
              .kind = FieldKind::Choice,
              .choices = captions});
}

bool CDWZHDlg::ReadsAsValue(int column, std::string_view cell) const
{
    const auto& conversions = kConversions;
    int type = Fields().front().pendingIndex;
    if (type < 0 || type >= static_cast<int>(std::size(conversions)))
        return ConversionPage::ReadsAsValue(column, cell);
    std::string_view caption = conversions[type].caption;
    if (!caption.starts_with("度°"))
        return ConversionPage::ReadsAsValue(column, cell);
    // A degree text: optional blanks and "-", digits, then the degree sign.
    std::size_t degree = cell.find("°");
    if (degree == std::string_view::npos)
        return false;
    std::string_view head = cell.substr(0, degree);
    while (!head.empty() && (head.front() == ' ' || head.front() == '\t'))
        head.remove_prefix(1);
    if (!head.empty() && head.front() == '-')
        head.remove_prefix(1);
    return !head.empty() && head.find_first_not_of("0123456789") == std::string_view::npos;
}

void CDWZHDlg::PrepareConvert()
{
    m_type = Field("type").value;
}

void CDWZHDlg::ConvertRow(std::span<std::string> cells)
{
    // Without a chosen type nothing is converted.
    if (m_type < 0 || m_type >= static_cast<int>(std::size(kConversions)))
        return;
    cells[1] = kConversions[m_type].convert(cells[1]);
    cells[2] = kConversions[m_type].convert(cells[2]);
}

} // namespace carvento::pages
