// Geometry of the fit picture.
#include "estimation/QualityPlot.hpp"

#include "platform/NumberText.hpp"
#include "platform/XmlEscape.hpp"

#include <algorithm>
#include <cmath>

namespace carvento::estimation {
namespace {

std::string Svg(double value)
{
    return platform::FormatFixed(value, 2);
}

// Names and labels in the picture's text elements.
std::string Escaped(const std::string& text)
{
    std::string out;
    platform::AppendXmlEscaped(out, text, true);
    return out;
}

} // namespace

double RoundLengthBelow(double value)
{
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= value * (1 + 1e-12))
            return step * power;
    return power;
}

ResidualPlot LayoutResidualPlot(const QualityReport& report,
                                const std::vector<std::array<double, 2>>& positions,
                                const std::vector<std::string>& names, double width, double height,
                                double margin)
{
    ResidualPlot plot;
    plot.width = width;
    plot.height = height;
    const double innerWidth = width - 2 * margin;
    const double innerHeight = height - 2 * margin;
    const std::size_t count = std::min(report.rows.size(), positions.size());
    if (count == 0 || innerWidth <= 0 || innerHeight <= 0)
        return plot;

    double northMin = positions[0][0], northMax = northMin;
    double eastMin = positions[0][1], eastMax = eastMin;
    double largest = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        northMin = std::min(northMin, positions[i][0]);
        northMax = std::max(northMax, positions[i][0]);
        eastMin = std::min(eastMin, positions[i][1]);
        eastMax = std::max(eastMax, positions[i][1]);
        largest = std::max(largest,
                           std::hypot(report.rows[i].residual[0], report.rows[i].residual[1]));
    }
    const double eastRange = eastMax - eastMin;
    const double northRange = northMax - northMin;
    // One scale for both axes; a single point (or a line of points) is centred.
    double scale = 0.0;
    if (eastRange > 0 && northRange > 0)
        scale = std::min(innerWidth / eastRange, innerHeight / northRange);
    else if (eastRange > 0)
        scale = innerWidth / eastRange;
    else if (northRange > 0)
        scale = innerHeight / northRange;
    plot.unitsPerMetre = scale;
    const double left = margin + (innerWidth - eastRange * scale) / 2;
    const double top = margin + (innerHeight - northRange * scale) / 2;

    // The largest arrow a tenth of the box's smaller side.
    const double arrowScale = largest > 0 ? 0.1 * std::min(width, height) / largest : 0.0;
    plot.unitsPerResidualMetre = arrowScale;
    for (std::size_t i = 0; i < count; ++i) {
        const PointQuality& row = report.rows[i];
        PlotPoint point;
        point.x = left + (positions[i][1] - eastMin) * scale;
        point.y = top + (northMax - positions[i][0]) * scale;
        point.dx = row.residual[1] * arrowScale;
        point.dy = -row.residual[0] * arrowScale;
        point.marked = row.beyond3Sigma;
        point.name = i < names.size() ? names[i] : std::to_string(i + 1);
        plot.points.push_back(std::move(point));
    }

    plot.bar.x = margin;
    plot.bar.y = height - margin / 2;
    if (largest > 0) {
        plot.bar.millimetres = RoundLengthBelow(largest * 1000.0);
        plot.bar.length = plot.bar.millimetres / 1000.0 * arrowScale;
        char text[64];
        std::snprintf(text, sizeof text, "%g mm", plot.bar.millimetres);
        plot.bar.label = text;
    } else {
        plot.bar.label = "残差为零";
    }
    return plot;
}

std::string ResidualPlotSvg(const ResidualPlot& plot)
{
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Svg(plot.width) + "\" height=\"" + Svg(plot.height) + "\" viewBox=\"0 0 " +
                      Svg(plot.width) + " " + Svg(plot.height) + "\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (const PlotPoint& p : plot.points) {
        const char* colour = p.marked ? "#c00000" : "#0050a0";
        svg += "<circle cx=\"" + Svg(p.x) + "\" cy=\"" + Svg(p.y) + "\" r=\"3\" fill=\"" + colour +
               "\"/>\n";
        if (p.dx != 0.0 || p.dy != 0.0)
            svg += "<line x1=\"" + Svg(p.x) + "\" y1=\"" + Svg(p.y) + "\" x2=\"" + Svg(p.x + p.dx) +
                   "\" y2=\"" + Svg(p.y + p.dy) + "\" stroke=\"" + colour +
                   "\" stroke-width=\"1.5\"/>\n";
        if (p.marked)
            svg += "<circle cx=\"" + Svg(p.x) + "\" cy=\"" + Svg(p.y) +
                   "\" r=\"8\" fill=\"none\" stroke=\"#c00000\" stroke-width=\"1.5\"/>\n";
        svg += "<text x=\"" + Svg(p.x + 5) + "\" y=\"" + Svg(p.y - 5) + "\" font-size=\"10\">" +
               Escaped(p.name) + "</text>\n";
    }
    const PlotScaleBar& bar = plot.bar;
    if (bar.length > 0)
        svg += "<line x1=\"" + Svg(bar.x) + "\" y1=\"" + Svg(bar.y) + "\" x2=\"" +
               Svg(bar.x + bar.length) + "\" y2=\"" + Svg(bar.y) +
               "\" stroke=\"black\" stroke-width=\"2\"/>\n";
    svg += "<text x=\"" + Svg(bar.x + bar.length + 6) + "\" y=\"" + Svg(bar.y + 4) +
           "\" font-size=\"10\">" + Escaped(bar.label) + "</text>\n";
    return svg + "</svg>\n";
}

} // namespace carvento::estimation
