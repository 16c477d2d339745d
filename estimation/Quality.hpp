// How well a set of transformation parameters fits its common points: the number of points,
// the redundancy, the unit-weight standard deviation σ0, each point's residual components,
// a mark on points with a component beyond 3σ0, and each point's leave-one-out residual (how
// far the parameters solved without the point miss it). Computed beside the pages' own
// residual column, never in place of it.
#pragma once

#include "estimation/Estimators.hpp"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace carvento::estimation {

// A fit the report can repeat on subsets of its points.
struct FitModel {
    int points = 0;     // common points
    int unknowns = 0;   // parameters
    int components = 0; // observations per point: 2 (plane) or 3
    // Leading points of a list that the estimate reads (1 for the three-parameter shift of the
    // first point); 0: all of them.
    int estimatedPoints = 0;
    // Solves from the listed points (indices into 0 … points − 1); false when they do not
    // determine the parameters.
    std::function<bool(const std::vector<int>& used)> solve;
    // Known minus computed coordinates of point i with the parameters of the last solve;
    // components beyond `components` are ignored.
    std::function<std::array<double, 3>(int i)> misclosure;
};

struct PointQuality {
    std::array<double, 3> residual{}; // known − computed, metres (the first `components`)
    double length = 0.0;              // its length: the page's "中误差(m)" value
    bool beyond3Sigma = false;        // a component exceeds 3σ0
    // Distance (m) from the point to the parameters solved without it; NaN when the other
    // points do not determine them.
    double leaveOneOut = 0.0;
};

struct QualityReport {
    int points = 0;
    int components = 0;
    int redundancy = 0;  // observations the estimate reads minus unknowns
    double sigma0 = 0.0; // sqrt(Σv² / redundancy), m; NaN when the redundancy is not positive
    std::vector<PointQuality> rows;
    int Marked() const;
};

// Runs the fit on all points, then once without each point. An empty report (no rows) when
// the whole set does not determine the parameters. Beyond kLeaveOneOutLimit points the
// repeated fits would take too long (their cost grows with the square of the points): the
// leave-one-out distances are then NaN.
inline constexpr int kLeaveOneOutLimit = 1000;
QualityReport AssessFit(const FitModel& model);

// The report as text: a summary line, then one line per point (its name from `names`, the
// residual components, length and leave-one-out in millimetres, and "超限" on marked ones).
// `componentNames` labels the columns, such as {"dx", "dy", "dz"}.
std::string QualityReportText(const QualityReport& report, const std::vector<std::string>& names,
                              const std::vector<std::string>& componentNames);

// Ready-made fits of the estimators on plain point lists (rows as the estimators take them):
// the four-parameter similarity on x, y and the seven parameters on Cartesian X, Y, Z
// (residual components in X, Y, Z).
QualityReport AssessFourParams(const PointList& oldPoints, const PointList& newPoints, int n);
QualityReport AssessSevenParams(const PointList& oldPoints, const PointList& newPoints, int n);

} // namespace carvento::estimation
