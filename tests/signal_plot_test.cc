#include "tools/signal_plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <sstream>

namespace ombrix::cli {
namespace {

TEST(SignalPlotTest, EachColumnHoldsItsFirstLowestHighestAndLastSample) {
  std::mt19937 random(4);
  for (int round = 0; round < 200; ++round) {
    const int64_t start = static_cast<int64_t>(random() % 1000) * 1'000'000'000;
    const int64_t end = start + 1 + static_cast<int64_t>(random() % 5'000'000'000u);
    const size_t width = 1 + random() % 300;
    std::vector<std::pair<int64_t, double>> samples(random() % 2000);
    for (auto& [time, value] : samples) {
      time = start + static_cast<int64_t>(random() % static_cast<uint64_t>(end - start + 1));
      value = static_cast<double>(static_cast<int>(random() % 2001) - 1000) / 8;
    }
    std::sort(samples.begin(), samples.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    ColumnSummary summary(start, end, width);
    for (const auto& [time, value] : samples) summary.Add(time, value);
    // The plain way: every sample put in its column by the same arithmetic, kept whole.
    std::map<size_t, std::vector<double>> by_column;
    for (const auto& [time, value] : samples) by_column[summary.ColumnOf(time)].push_back(value);
    ASSERT_EQ(summary.Columns().size(), width);
    for (size_t c = 0; c < width; ++c) {
      const PlotColumn& column = summary.Columns()[c];
      const auto found = by_column.find(c);
      ASSERT_EQ(column.any, found != by_column.end()) << c;
      if (!column.any) continue;
      const auto& values = found->second;
      EXPECT_EQ(column.first, values.front());
      EXPECT_EQ(column.last, values.back());
      EXPECT_EQ(column.low, *std::min_element(values.begin(), values.end()));
      EXPECT_EQ(column.high, *std::max_element(values.begin(), values.end()));
    }
    EXPECT_EQ(summary.Samples(), samples.size());
  }
  // Columns split the span evenly: the first and last times take the first and last.
  const ColumnSummary even(0, 1000, 10);
  EXPECT_EQ(even.ColumnOf(0), 0u);
  EXPECT_EQ(even.ColumnOf(99), 0u);
  EXPECT_EQ(even.ColumnOf(100), 1u);
  EXPECT_EQ(even.ColumnOf(1000), 9u);
}

// The y coordinates the curve passes through at each x.
std::map<std::string, std::vector<double>> Passes(const std::string& path) {
  std::map<std::string, std::vector<double>> passes;
  std::istringstream in(path);
  std::string x;
  char command = 0;
  while (in >> command) {
    if (command == 'M') {
      double y = 0;
      in >> x >> y;
      passes[x].push_back(y);
    } else if (command == 'H') {
      in >> x;
    } else if (command == 'V') {
      double y = 0;
      in >> y;
      passes[x].push_back(y);
    }
  }
  return passes;
}

TEST(SignalPlotTest, TheCurveReachesEveryColumnsLowestAndHighestValue) {
  std::mt19937 random(8);
  ColumnSummary summary(0, 10'000, 50);
  for (int64_t t = 0; t <= 10'000; t += 1 + static_cast<int64_t>(random() % 40)) {
    summary.Add(t, static_cast<double>(random() % 1000));
  }
  const std::vector<PlotPanel> panels = {{"M.S", "V", {}, summary}};
  const std::string svg = PlotSvg(panels, 0, 10'000, 50, 100);
  const size_t at = svg.find(" d=\"");
  ASSERT_NE(at, std::string::npos);
  const std::string path = svg.substr(at + 4, svg.find('"', at + 4) - at - 4);
  std::string spaced;
  for (const char c : path) {
    if (c == 'M' || c == 'H' || c == 'V') {
      spaced += ' ';
      spaced += c;
      spaced += ' ';
    } else {
      spaced += c;
    }
  }
  const auto passes = Passes(spaced);
  // The plot is 100 pixels high from y 28; values run from the lowest to the highest.
  const double low = summary.Low();
  const double high = summary.High();
  const auto y = [&](double v) { return 128 - (v - low) / (high - low) * 100; };
  size_t drawn = 0;
  for (size_t c = 0; c < 50; ++c) {
    const PlotColumn& column = summary.Columns()[c];
    if (!column.any) continue;
    char x[32];
    std::snprintf(x, sizeof x, "%.2f", 110 + static_cast<double>(c) + 0.5);
    const auto found = passes.find(x);
    ASSERT_NE(found, passes.end()) << c;
    const auto [lowest, highest] = std::minmax_element(found->second.begin(), found->second.end());
    EXPECT_NEAR(*highest, y(column.low), 0.006) << c;
    EXPECT_NEAR(*lowest, y(column.high), 0.006) << c;
    ++drawn;
  }
  EXPECT_GT(drawn, 40u);
}

}  // namespace
}  // namespace ombrix::cli
