// The statistics of the benchmarks' samples.
#include "statistics.h"

#include <algorithm>
#include <cmath>

namespace bench {

double quantile(std::vector<double> values, double q) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    double at = q * static_cast<double>(values.size() - 1);
    std::size_t low = static_cast<std::size_t>(std::floor(at));
    std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

double median(const std::vector<double>& values) { return quantile(values, 0.5); }

/// The standard error of a median, from the spread of the values (1.4826 MAD is the normal
/// deviation; the median's error is about 1.25 times the mean's).
double medianError(const std::vector<double>& values) {
    double m = median(values);
    std::vector<double> deviations;
    for (double v : values) deviations.push_back(std::fabs(v - m));
    return 1.25 * 1.4826 * median(deviations) / std::sqrt(static_cast<double>(values.size()));
}

double boundWithNoise(const std::vector<double>& samples, double bound) { return bound + 2 * medianError(samples); }

}  // namespace bench
