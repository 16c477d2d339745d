// Common points for the seven-parameter pages, computed through the page's own projections so
// that the fit is exact but for one planted blunder.
#pragma once

#include "geodesy/Datum.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace carvento::testing {

// Twelve points around 34.4°N 105.1°E, Beijing 1954 plane (zone number 35 in y) to CGCS2000
// plane, moved with seven parameters; point 5 gets 0.4 m more northing.
inline std::vector<std::string> SevenParameterRows(pages::CParams7& page)
{
    page.From().Ellipsoid().Select(geodesy::kKrasovsky);
    page.To().Ellipsoid().Select(geodesy::kCgcs2000);
    EXPECT_TRUE(page.ExchangeFields());
    page.From().TakeFields();
    page.To().TakeFields();
    geodesy::SevenParams internal{-15.4, 157.0, 94.7, 1.4, -0.1, -3.5, 2.8};
    geodesy::SevenParamsToInternal(internal);
    std::vector<std::string> cells;
    for (int i = 0; i < 12; ++i) {
        const double B = 34.2 + 0.05 * (i % 4), L = 104.9 + 0.07 * (i / 4);
        double x = 0.0, y = 0.0, B2 = 0.0, L2 = 0.0, H2 = 0.0, x2 = 0.0, y2 = 0.0;
        page.From().Project(B, L, x, y);
        geodesy::TransformSevenParams(page.From().Projector(), page.To().Projector(), B, L,
                                      500.0 + i, internal, B2, L2, H2);
        page.To().Project(B2, L2, x2, y2);
        if (i == 5)
            x2 += 0.4;
        for (double v : {x, y + 35e6, 500.0 + i, x2, y2, H2})
            cells.push_back(platform::FormatFixed(v, 5));
        cells.insert(cells.end() - 6, "P" + std::to_string(i + 1));
        cells.push_back("");
    }
    return cells;
}

} // namespace carvento::testing
