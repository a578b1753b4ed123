// The statistics of the benchmarks' samples, and the rule by which a bound is missed.
#pragma once

#include <vector>

namespace bench {

/// The q-quantile (0..1) of the values, interpolated between neighbours; NaN when empty.
double quantile(std::vector<double> values, double q);
double median(const std::vector<double>& values);
/// The standard error of a median, from the spread of the values.
double medianError(const std::vector<double>& values);
/// What the median of `samples` may reach before `bound` counts as missed: the bound plus
/// twice the median's standard error. A median equal to the bound lands above it in one run
/// of two by chance; a miss must stand out of the noise the same run measured.
double boundWithNoise(const std::vector<double>& samples, double bound);

}  // namespace bench
