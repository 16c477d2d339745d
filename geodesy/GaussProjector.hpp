// The page's ellipsoid object: an ellipsoid with all constants derived from it, and the
// Gauss-Krueger projection (forward, inverse, zone change) computed from those constants.
#pragma once

namespace carvento::geodesy {

// Reference ellipsoid: axes in metres and the eccentricities derived from them.
// Only a and b define the shape; e = c/a and ePrime = c/b with c = sqrt(a*a - b*b).
struct Ellipsoid {
    double a = 0.0;      // semi-major axis, m
    double b = 0.0;      // semi-minor axis, m
    double e = 0.0;      // first eccentricity
    double ePrime = 0.0; // second eccentricity
};

// Codes taken by GaussProjector::SetEllipsoid. Every code other than 1..4 means Krasovsky.
enum EllipsoidKind : int {
    kKrasovsky = 0,   // Beijing 1954
    kIag1975 = 1,     // Xian 1980
    kCgcs2000 = 2,    // China Geodetic Coordinate System 2000
    kWgs84 = 3,       // WGS84
    kUserDefined = 4, // axes passed in
};

// Series constants of an ellipsoid (p: prime-vertical radius, m: meridian radius,
// a0..a8: meridian arc), all in metres.
struct SeriesConstants {
    double p0 = 0, p2 = 0, p4 = 0, p6 = 0, p8 = 0;
    double m0 = 0, m2 = 0, m4 = 0, m6 = 0, m8 = 0;
    double a0 = 0, a2 = 0, a4 = 0, a6 = 0, a8 = 0;
};

class GaussProjector {
public:
    // A new projector holds the Krasovsky ellipsoid.
    GaussProjector();

    // Sets the preset ellipsoid of `kind`, or the axes a, b (metres) for kUserDefined, and
    // recomputes every constant (some tens of microseconds: it also fits the footpoint's
    // starting polynomials). a and b are ignored for preset kinds. Degenerate axes (zero,
    // negative, b > a) are not refused: the constants then hold NaN or inf.
    void SetEllipsoid(int kind, double a = 0.0, double b = 0.0);

    const Ellipsoid& GetEllipsoid() const { return m_ellipsoid; }
    const SeriesConstants& Constants() const { return m_constants; }

    // Meridian arc length from the equator (m) at latitude bRad (radians).
    double MeridianArc(double bRad) const;
    // Prime-vertical radius of curvature (m) at latitude bRad (radians), from its power series.
    double PrimeVerticalRadius(double bRad) const;
    // Footpoint latitude (radians) of the meridian arc x (metres): the latitude whose
    // MeridianArc is x, by fixed-point iteration until two steps agree to 1e-12 arc-seconds,
    // or after at most 100 steps (some x alternate for ever between two neighbouring doubles).
    // NaN gives NaN.
    double FootpointLatitude(double x) const;

    // Geodetic B, L (decimal degrees) to Gauss-Krueger x (northing, m) and y (easting, m, with
    // yAdd added). L0 is the central meridian in decimal degrees.
    void GaussForward(double B, double L, double L0, double yAdd, double& x, double& y) const;
    // Gauss-Krueger x, y (m) to B, L (decimal degrees). The millions of y (a zone number
    // written in front) are dropped before yAdd is subtracted.
    void GaussInverse(double x, double y, double L0, double yAdd, double& B, double& L) const;
    // Re-projects x, y from central meridian L0old / add constant yAddOld to L0new / yAddNew
    // (degrees, metres). Note the order: both meridians, then both add constants.
    void ChangeZone(double x, double y, double L0old, double L0new, double yAddOld, double yAddNew,
                    double& xNew, double& yNew) const;

private:
    // The arc and the radius from sin B and cos B already at hand.
    double ArcFromSines(double bRad, double sinB, double cosB) const;
    double RadiusFromSine(double sinB) const;
    // FootpointLatitude together with the sine and cosine of the value it returns.
    double Footpoint(double x, double& sinBf, double& cosBf) const;
    // Starting value of the footpoint iteration (radians) for the arc x (metres), as the
    // quotient numerator / a0 that the iteration's step also forms (numerator in metres).
    double FootpointStart(double x, double& numerator) const;
    void FitFootpointStart();

    // The quadrant of arc 0 <= |x| < a0·π/2 is cut into kStartPieces equal pieces; on each,
    // F(Bf(x)) = a0·Bf(x) − x is a polynomial of degree kStartDegree in τ ∈ [−1, 1].
    static constexpr int kStartPieces = 16;
    static constexpr int kStartDegree = 8;
    struct StartPiece {
        double centre = 0;               // arc at τ = 0, m
        double value = 0;                // F at τ = 0 (with the fit's constant), m
        double power[kStartDegree] = {}; // coefficients of τ¹ … τ⁸, m
    };
    // F (m) on a piece at τ.
    static double EvaluatePiece(const StartPiece& piece, double tau);

    Ellipsoid m_ellipsoid;
    SeriesConstants m_constants;
    StartPiece m_startPieces[kStartPieces];
    int m_startPieceCount = 0;        // 0 while unfitted: every x then starts at x / a0
    double m_startPiecesPerMetre = 0; // pieces per metre of arc
    double m_startTauPerMetre = 0;    // τ per metre of arc from a piece's centre
};

// Preset axes for combo index 0..3 (true); any other index returns false and leaves a, b.
bool PresetAxes(int index, double& a, double& b);

} // namespace carvento::geodesy
