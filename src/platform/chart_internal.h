// What the chart's sources share: the layout the chart computes, the key it
// is kept under, and small helpers. Only the chart_*.cpp files include it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/chart.h"

namespace tav {

namespace {

constexpr double kPixelLimit = 1e7;
constexpr int kLegendSymbol = 12;

inline bool Finite(double v) { return std::isfinite(v); }

inline int SideIndex(TAxisSide s) { return static_cast<int>(s); }

inline double PieTotal(const ValueArray& ys) {
  double t = 0;
  for (double v : ys)
    if (Finite(v) && v > 0) t += v;
  return t;
}
inline double PieValue(double v) { return Finite(v) && v > 0 ? v : 0.0; }

}  // namespace

// ---------------------------------------------------------------- geometry

struct TChart::Geometry {
  struct AxisGeo {
    bool drawn = false;
    TAxisMapping map;
    std::vector<TAxisLabel> labels;
    int space = 0;  // pixels taken outside the plot
  };
  struct LegendItem {
    TRect rect;
    TChartSeries* series = nullptr;
    int point = -1;
    std::string text;
  };
  TRect panel, plot, title_rect, foot_rect, legend_rect, pie_bounds;
  bool series_less = false, pie_mode = false, legend_points = false;
  int legend_cols = 1, legend_rows = 0;
  AxisGeo axes[4];
  std::vector<LegendItem> items;
};

struct TChart::LayoutKey {
  struct AxisKey {
    bool auto_min = true, auto_max = true, set_min = false, set_max = false;
    double min = 0, max = 0;
    bool log = false;
    double inc = 0;
    bool round = true, visible = true;
    std::string title;
    TFont title_font;
    bool labels_visible = true;
    TFont labels_font;
    int angle = 0;
    std::string format;
    TAxisLabelStyle style = TAxisLabelStyle::talAuto;
    const TChartSeries* labels_series = nullptr;
    int tick = 0;
    bool operator==(const AxisKey&) const = default;
  };
  struct SeriesKey {
    const TChartSeries* p = nullptr;
    TSeriesType type = TSeriesType::stLine;
    bool active = false, legend = false;
    std::string title;
    THorizAxis h = THorizAxis::aBottomAxis;
    TVertAxis v = TVertAxis::aLeftAxis;
    uint64_t revision = 0;
    int bar_width = 0;
    bool marks = false;
    std::string format;
    TFont marks_font;
    bool operator==(const SeriesKey&) const = default;
  };
  int w = 0, h = 0, ml = 0, mt = 0, mr = 0, mb = 0;
  TMarginUnits mu = TMarginUnits::muPercent;
  bool axes_visible = true;
  bool title_visible = false, foot_visible = false;
  TFont title_font, foot_font;
  std::vector<std::string> title_lines, foot_lines;
  bool legend_visible = false;
  TLegendAlignment legend_align = TLegendAlignment::laRight;
  TLegendStyle legend_style = TLegendStyle::lsAuto;
  TLegendTextStyle legend_text = TLegendTextStyle::ltsPlain;
  TFont legend_font;
  AxisKey axes[4];
  std::vector<SeriesKey> series;
  bool operator==(const LayoutKey&) const = default;
};

}  // namespace tav
