// Text of estimated transformation parameters, as shown in the parameter fields and written
// to parameter files.
#pragma once

#include <string>

namespace carvento::estimation {

// printf("%.10lf") of value, locale-free, except that a value which prints as zero prints
// without a minus sign: −0.0 and −4e-11 both give "0.0000000000". Non-numbers print as
// printf prints them.
std::string FormatParameter(double value);

} // namespace carvento::estimation
