#include "tools/signal_plot.h"

#include <algorithm>
#include <cmath>

#include "tools/json_text.h"
#include "traces/trace_frame.h"

namespace ombrix::cli {
namespace {

// Room around each panel's plot for its title, value labels and time labels.
constexpr double kLeft = 110;
constexpr double kRight = 20;
constexpr double kTop = 28;
constexpr double kBottom = 26;

std::string Xml(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters have no place in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string Coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// A round step between ticks for a span, about `count` ticks.
double TickStep(double span, int count) {
  if (!(span > 0)) return 1;
  const double rough = span / count;
  const double power = std::pow(10, std::floor(std::log10(rough)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (rough <= step * power) return step * power;
  }
  return 10 * power;
}

}  // namespace

ColumnSummary::ColumnSummary(int64_t start, int64_t end, size_t columns)
    : start_(start), end_(std::max(end, start + 1)), columns_(std::max<size_t>(columns, 1)) {}

size_t ColumnSummary::ColumnOf(int64_t time) const noexcept {
  // Long double keeps nanoseconds of spans of years exact enough.
  const long double fraction =
      static_cast<long double>(time - start_) / static_cast<long double>(end_ - start_);
  const auto column = static_cast<int64_t>(fraction * static_cast<long double>(columns_.size()));
  return static_cast<size_t>(
      std::clamp<int64_t>(column, 0, static_cast<int64_t>(columns_.size()) - 1));
}

void ColumnSummary::Add(int64_t time, double value) {
  if (std::isnan(value)) return;
  PlotColumn& column = columns_[ColumnOf(time)];
  if (!column.any) {
    column = {value, value, value, value, true};
  } else {
    column.low = std::min(column.low, value);
    column.high = std::max(column.high, value);
    column.last = value;
  }
  low_ = samples_ == 0 ? value : std::min(low_, value);
  high_ = samples_ == 0 ? value : std::max(high_, value);
  ++samples_;
}

std::string PlotSvg(const std::vector<PlotPanel>& panels, int64_t start, int64_t end,
                    size_t plot_width, size_t panel_height) {
  const double width = kLeft + static_cast<double>(plot_width) + kRight;
  const double height = static_cast<double>(panel_height) + kTop + kBottom;
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Coordinate(width) + "\" height=\"" +
         Coordinate(height * static_cast<double>(panels.size())) +
         "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  const double seconds = static_cast<double>(end - start) / 1e9;
  const double time_step = TickStep(seconds, 8);
  for (size_t p = 0; p < panels.size(); ++p) {
    const PlotPanel& panel = panels[p];
    const double top = height * static_cast<double>(p) + kTop;
    const double bottom = top + static_cast<double>(panel_height);
    const double right = kLeft + static_cast<double>(plot_width);
    double low = panel.samples.Low();
    double high = panel.samples.High();
    for (const auto& [value, name] : panel.names) {
      low = panel.samples.Samples() == 0 ? value : std::min(low, value);
      high = panel.samples.Samples() == 0 ? value : std::max(high, value);
    }
    if (!(high > low)) {
      low -= 1;
      high += 1;
    }
    const auto y = [&](double value) {
      return bottom - (value - low) / (high - low) * (bottom - top);
    };
    svg += "<g>\n<text x=\"" + Coordinate(kLeft) + "\" y=\"" + Coordinate(top - 10) +
           "\" font-weight=\"bold\">" + Xml(panel.title) +
           (panel.unit.empty() ? "" : " [" + Xml(panel.unit) + "]") + " (" +
           std::to_string(panel.samples.Samples()) + " samples)</text>\n";
    svg += "<rect x=\"" + Coordinate(kLeft) + "\" y=\"" + Coordinate(top) + "\" width=\"" +
           Coordinate(static_cast<double>(plot_width)) + "\" height=\"" +
           Coordinate(static_cast<double>(panel_height)) + "\" fill=\"none\" stroke=\"#888\"/>\n";
    // Value labels: the value names where the signal has them, else round steps.
    std::vector<std::pair<double, std::string>> labels;
    if (!panel.names.empty()) {
      for (const auto& [value, name] : panel.names) labels.emplace_back(value, name);
    } else {
      const double step = TickStep(high - low, 5);
      for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
        labels.emplace_back(v, Number(std::round(v / step) * step));
      }
    }
    for (const auto& [value, text] : labels) {
      svg += "<line x1=\"" + Coordinate(kLeft - 4) + "\" x2=\"" + Coordinate(right) + "\" y1=\"" +
             Coordinate(y(value)) + "\" y2=\"" + Coordinate(y(value)) +
             "\" stroke=\"#ddd\"/>\n<text x=\"" + Coordinate(kLeft - 6) + "\" y=\"" +
             Coordinate(y(value) + 4) + "\" text-anchor=\"end\">" + Xml(text) + "</text>\n";
    }
    for (double t = 0; t <= seconds + time_step * 1e-9; t += time_step) {
      const double x = kLeft + t / (seconds > 0 ? seconds : 1) * static_cast<double>(plot_width);
      svg += "<text x=\"" + Coordinate(x) + "\" y=\"" + Coordinate(bottom + 16) +
             "\" text-anchor=\"middle\">+" + Number(std::round(t / time_step) * time_step) +
             " s</text>\n";
    }
    // The steps: each column holds the value left by the one before, then
    // runs through its first, lowest, highest and last values.
    std::string path;
    const auto& columns = panel.samples.Columns();
    bool started = false;
    for (size_t c = 0; c < columns.size(); ++c) {
      const PlotColumn& column = columns[c];
      if (!column.any) continue;
      const double x = kLeft + static_cast<double>(c) + 0.5;
      if (!started) {
        path += "M" + Coordinate(x) + " " + Coordinate(y(column.first));
        started = true;
      } else {
        path += "H" + Coordinate(x) + "V" + Coordinate(y(column.first));
      }
      path += "V" + Coordinate(y(column.low)) + "V" + Coordinate(y(column.high)) + "V" +
              Coordinate(y(column.last));
    }
    if (started) {
      svg += "<path class=\"signal\" d=\"" + path +
             "\" fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1\"/>\n";
    }
    svg += "</g>\n";
  }
  svg += "<text x=\"" + Coordinate(width - kRight) + "\" y=\"" + Coordinate(12) +
         "\" text-anchor=\"end\" fill=\"#555\">times from " + traces::SecondsText(start) +
         " s</text>\n</svg>\n";
  return svg;
}

}  // namespace ombrix::cli
