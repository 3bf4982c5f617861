// Signals drawn against time as SVG: each signal a panel of steps (a value
// holds until the next frame), every pixel column summed up by its first,
// lowest, highest and last value, so that a long signal draws exactly at
// the picture's resolution and the picture stays small.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ombrix::cli {

/// What a pixel column saw.
struct PlotColumn {
  double first = 0;
  double low = 0;
  double high = 0;
  double last = 0;
  bool any = false;  ///< whether any sample fell in it
};

/// A signal's samples summed up in `columns` columns spanning [start, end].
class ColumnSummary {
 public:
  ColumnSummary(int64_t start, int64_t end, size_t columns);
  /// Adds a sample; samples come in time order.
  void Add(int64_t time, double value);
  /// The column of a time within [start, end].
  size_t ColumnOf(int64_t time) const noexcept;
  const std::vector<PlotColumn>& Columns() const noexcept { return columns_; }
  /// The lowest and highest value of all samples, and how many there were.
  double Low() const noexcept { return low_; }
  double High() const noexcept { return high_; }
  uint64_t Samples() const noexcept { return samples_; }

 private:
  int64_t start_;
  int64_t end_;
  std::vector<PlotColumn> columns_;
  double low_ = 0;
  double high_ = 0;
  uint64_t samples_ = 0;
};

/// One panel: a signal's name, unit, value names and samples.
struct PlotPanel {
  std::string title;
  std::string unit;
  std::map<double, std::string> names;  ///< physical value -> its description
  ColumnSummary samples;
};

/// The panels as one SVG picture, time from `start` to `end` (nanoseconds).
std::string PlotSvg(const std::vector<PlotPanel>& panels, int64_t start, int64_t end,
                    size_t plot_width, size_t panel_height);

}  // namespace ombrix::cli
