// GNSS height fitting: the height anomaly ζ = H − h (ellipsoidal minus normal height) of common
// points fitted as a surface of the plane coordinates x, y, and applied to other points.
// Coordinates are reduced to the points' centroid and divided by their largest distance from
// it before the solve, so every column of the design matrix is of order one.
#pragma once

#include "estimation/Quality.hpp"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace carvento::estimation {

// 固定差 (ζ = a), 平面 (a + b·u + c·v), 二次曲面 (… + d·u² + e·u·v + f·v²), with u, v the
// reduced and scaled x, y.
enum class HeightModel { Constant = 0, Plane = 1, Quadratic = 2 };

// Unknowns of a model, which is also the fewest points that determine it.
int HeightModelTerms(HeightModel model);

struct HeightPoint {
    double x = 0.0; // m
    double y = 0.0; // m
    double H = 0.0; // ellipsoidal height, m
    double h = 0.0; // normal height, m
};

struct HeightSurface {
    HeightModel model = HeightModel::Constant;
    double cx = 0.0;           // centroid x of the fitted points, m
    double cy = 0.0;           // centroid y, m
    double scale = 1.0;        // the largest distance from the centroid, m (1 when all coincide)
    std::array<double, 6> c{}; // coefficients on the reduced, scaled coordinates
    // The convex hull of the fitted points (x, y), counter-clockwise; one or two points when
    // they coincide or lie on one line.
    std::vector<std::array<double, 2>> hull;

    // ζ (m) at x, y.
    double Anomaly(double x, double y) const;
    // The coefficients per metre about the centroid: a (m), b, c (m/m), d, e, f (m/m²).
    std::array<double, 6> Unscaled() const;
    // Whether x, y lies inside the hull or on its edge (within a millimetre).
    bool Inside(double x, double y) const;
};

enum class HeightFitStatus {
    Ok,
    TooFewPoints, // fewer than HeightModelTerms
    Collinear,    // plane or quadratic on points that coincide or lie on one line
    Undetermined, // the points do not determine the quadratic surface (on one conic)
};

// Fits `model` to the points by least squares; `surface` is written only on Ok.
HeightFitStatus FitHeightSurface(HeightModel model, std::span<const HeightPoint> points,
                                 HeightSurface& surface);

// The fit as the quality report repeats it on subsets (components = 1, misclosure the
// observed minus fitted ζ in metres). `points` must outlive the model.
FitModel HeightFitModel(HeightModel model, std::span<const HeightPoint> points);

// The model line: kind, cx, cy, scale, six coefficients, the hull's point count and its
// points, comma separated, numbers printed "%.17g".
std::vector<std::string> HeightSurfaceFields(const HeightSurface& surface);
// Reads a model line's fields (surrounding blanks ignored); false, `surface` untouched, when
// a field is missing, extra, no finite number, or the kind is unknown.
bool ParseHeightSurface(std::span<const std::string> fields, HeightSurface& surface);

} // namespace carvento::estimation
