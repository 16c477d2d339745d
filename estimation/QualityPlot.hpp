// The fit picture of a quality report: the common points in the plane scaled into a box, each
// point's residual as an arrow scaled so that the largest is a tenth of the box, the points
// beyond 3σ0 marked, and a scale bar of a round number of millimetres. Plain geometry, drawn
// by the desktop window and written as SVG here.
#pragma once

#include "estimation/Quality.hpp"

#include <array>
#include <string>
#include <vector>

namespace carvento::estimation {

struct PlotPoint {
    double x = 0.0, y = 0.0;   // the point in the box (right and down from its top left corner)
    double dx = 0.0, dy = 0.0; // the arrow from it, same units
    bool marked = false;       // beyond 3σ0
    std::string name;
};

struct PlotScaleBar {
    double x = 0.0, y = 0.0; // left end
    double length = 0.0;     // in box units; 0 when every residual is zero
    double millimetres = 0.0;
    std::string label; // "10 mm"
};

struct ResidualPlot {
    double width = 0.0, height = 0.0;
    double unitsPerMetre = 0.0;         // scale of the positions
    double unitsPerResidualMetre = 0.0; // scale of the arrows
    std::vector<PlotPoint> points;
    PlotScaleBar bar;
};

// `positions` hold each report row's plane position, x north and y east (m), as the pages'
// columns do; north is drawn up and east right with one scale for both. The arrow of a row is
// its residual's horizontal part (components 0 and 1, north and east). Rows without a
// position are left out. A box smaller than twice the margin gives an empty plot.
ResidualPlot LayoutResidualPlot(const QualityReport& report,
                                const std::vector<std::array<double, 2>>& positions,
                                const std::vector<std::string>& names, double width, double height,
                                double margin = 30.0);

// The largest "round" length (1, 2 or 5 times a power of ten) not above `value` (> 0).
double RoundLengthBelow(double value);

// The plot as a self-contained SVG document (UTF-8).
std::string ResidualPlotSvg(const ResidualPlot& plot);

} // namespace carvento::estimation
