// Least-squares estimators of the four-parameter plane and seven-parameter spatial
// transformations from common points, and the three-parameter shift of a single point.
#pragma once

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"

#include <libmatrix>

namespace carvento::estimation {

// Row i holds point i. Every estimator reads only the first n rows; a list with fewer rows, or
// fewer columns than the points need, is a programming error that stops the program (libmatrix).
using PointList = libcoder::Matrix<double>;

// Estimates DX, DY (m), K, T of x' = DX + K·x − T·y, y' = DY + T·x + K·y from n common points:
// row i of oldPoints holds x, y of point i, row i of newPoints x', y' (metres). Returns 1 and
// writes the whole record, or returns 0 without touching it when n < 2 or the points do not
// determine the parameters (for example, all points coincide).
int SolveFourParams(const PointList& oldPoints, const PointList& newPoints, int n,
                    geodesy::FourParams& params);

// Estimates the seven parameters of TransformSevenParams (coordinate-frame convention, see
// geodesy/Datum.hpp) from n common points given as geocentric Cartesian X, Y, Z rows (metres).
// The result is in internal units: radians and a plain scale factor. Returns 1 and writes the
// whole record, or returns 0 without touching it when n < 3 or the points do not determine the
// parameters (for example, all points coincide).
int SolveSevenParams(const PointList& oldPoints, const PointList& newPoints, int n,
                     geodesy::SevenParams& params);

// The shift new − old of the first point of each list (Cartesian X, Y, Z rows, metres);
// further rows are ignored. Always returns 1.
int SolveThreeParams(const PointList& oldPoints, const PointList& newPoints,
                     geodesy::ThreeParams& params);

} // namespace carvento::estimation
