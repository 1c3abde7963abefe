#pragma once
// Median, minimum and maximum of repeated measurements.

#include <algorithm>
#include <vector>

namespace bench {

struct Summary {
  double median = 0;
  double min = 0;
  double max = 0;
  std::size_t samples = 0;
};

inline Summary summarize(std::vector<double> values) {
  Summary s;
  s.samples = values.size();
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  s.min = values.front();
  s.max = values.back();
  return s;
}

// The same summary with every value scaled (a unit change or a per-item division).
inline Summary scaled(const Summary& s, double factor) {
  return Summary{s.median * factor, s.min * factor, s.max * factor, s.samples};
}

// For rates (MB/s and the like): the median of the rates is the rate of the median time,
// the fastest time gives the maximum rate.
inline Summary as_rate(const Summary& time, double work) {
  return Summary{work / time.median, work / time.max, work / time.min, time.samples};
}

}  // namespace bench
