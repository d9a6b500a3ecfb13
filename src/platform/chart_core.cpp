// The chart control: its series and axes, the layout kept until something
// it depends on changes, and what lies under a point.
#include "platform/chart.h"

#include <memory>
#include <utility>

#include "platform/chart_internal.h"
#include "platform/colour_contrast.h"
#include "platform/drawing_style.h"

namespace tav {

// ---------------------------------------------------------------- chart

TChart::TChart() : TControl(TControlKind::Chart) {
  Width = 400;
  Height = 250;
  Color = clBtnFace;
  Title.Font.Color = clBlack;
  Foot.Font.Color = clRed;
}

TChart::~TChart() = default;

TChartSeries* TChart::AddSeries(TSeriesType type) {
  std::unique_ptr<TChartSeries> s;
  switch (type) {
    case TSeriesType::stLine: s = std::make_unique<TLineSeries>(this); break;
    case TSeriesType::stPoint: s = std::make_unique<TPointSeries>(this); break;
    case TSeriesType::stBar: s = std::make_unique<TBarSeries>(this); break;
    case TSeriesType::stPie: s = std::make_unique<TPieSeries>(this); break;
  }
  static const TColor palette[] = {clRed, clGreen, clYellow, clBlue, clWhite, clGray, clFuchsia, clTeal, clNavy,
                                   clMaroon, clLime, clOlive, clPurple, clSilver, clAqua, clBlack};
  s->SeriesColor = palette[series_.size() % (sizeof(palette) / sizeof(palette[0]))];
  TChartSeries* raw = s.get();
  series_.push_back(std::move(s));
  Invalidate();
  return raw;
}

TLineSeries* TChart::AddLineSeries() { return static_cast<TLineSeries*>(AddSeries(TSeriesType::stLine)); }
TPointSeries* TChart::AddPointSeries() { return static_cast<TPointSeries*>(AddSeries(TSeriesType::stPoint)); }
TBarSeries* TChart::AddBarSeries() { return static_cast<TBarSeries*>(AddSeries(TSeriesType::stBar)); }
TPieSeries* TChart::AddPieSeries() { return static_cast<TPieSeries*>(AddSeries(TSeriesType::stPie)); }

TChartSeries* TChart::Series(int i) const {
  return i >= 0 && i < SeriesCount() ? series_[static_cast<size_t>(i)].get() : nullptr;
}

int TChart::SeriesIndex(const TChartSeries* s) const {
  for (int i = 0; i < SeriesCount(); ++i)
    if (series_[static_cast<size_t>(i)].get() == s) return i;
  return -1;
}

void TChart::RemoveSeries(TChartSeries* s) {
  int i = SeriesIndex(s);
  if (i < 0) return;
  for (TChartAxis* a : {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis})
    if (a->LabelsSeries == s) a->LabelsSeries = nullptr;
  series_.erase(series_.begin() + i);
  Invalidate();
}

void TChart::RemoveAllSeries() {
  for (TChartAxis* a : {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis}) a->LabelsSeries = nullptr;
  series_.clear();
  Invalidate();
}

TChartAxis& TChart::Axis(TAxisSide side) {
  switch (side) {
    case TAxisSide::Left: return LeftAxis;
    case TAxisSide::Right: return RightAxis;
    case TAxisSide::Top: return TopAxis;
    case TAxisSide::Bottom: break;
  }
  return BottomAxis;
}

const TChartAxis& TChart::Axis(TAxisSide side) const { return const_cast<TChart*>(this)->Axis(side); }

bool TChart::PieMode() const {
  bool any = false;
  for (const auto& s : series_) {
    if (!s->Active) continue;
    if (s->Type() != TSeriesType::stPie) return false;
    any = true;
  }
  return any;
}

TRect TChart::MarginPixels() const {
  if (MarginUnits == TMarginUnits::muPixels) return {MarginLeft, MarginTop, MarginRight, MarginBottom};
  return {Width * MarginLeft / 100, Height * MarginTop / 100, Width * MarginRight / 100, Height * MarginBottom / 100};
}

TColor TChart::PlotBackground() const {
  if (IsRealColor(BackColor)) return BackColor;
  if (Gradient.Visible && IsRealColor(Gradient.StartColor) && IsRealColor(Gradient.EndColor)) {
    const TColor a = Gradient.StartColor, b = Gradient.EndColor;
    return static_cast<TColor>(RGBColor((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
                                        (GetBValue(a) + GetBValue(b)) / 2));
  }
  return Color;
}

TColor TChart::CurveColour(TColor c) const { return ReadableOn(c, PlotBackground(), kCurveContrast); }

const TChart::Geometry& TChart::Geo() const {
  // The key is rebuilt in a reused scratch object (no allocations once warm)
  // and compared with the key of the cached layout.
  if (!scratch_) scratch_ = std::make_unique<LayoutKey>();
  LayoutKey& k = *scratch_;
  k.w = Width;
  k.h = Height;
  k.ml = MarginLeft;
  k.mt = MarginTop;
  k.mr = MarginRight;
  k.mb = MarginBottom;
  k.mu = MarginUnits;
  k.axes_visible = AxesVisible;
  k.title_visible = Title.Visible;
  k.foot_visible = Foot.Visible;
  k.title_font = Title.Font;
  k.foot_font = Foot.Font;
  k.title_lines = Title.Text.Lines();
  k.foot_lines = Foot.Text.Lines();
  k.legend_visible = Legend.Visible;
  k.legend_align = Legend.Alignment;
  k.legend_style = Legend.LegendStyle;
  k.legend_text = Legend.TextStyle;
  k.legend_font = Legend.Font;
  const TChartAxis* axes[4] = {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis};
  for (int i = 0; i < 4; ++i) {
    const TChartAxis& a = *axes[i];
    LayoutKey::AxisKey& ak = k.axes[i];
    ak.auto_min = a.auto_min_;
    ak.auto_max = a.auto_max_;
    ak.set_min = a.set_min_;
    ak.set_max = a.set_max_;
    ak.min = a.min_;
    ak.max = a.max_;
    ak.log = a.Logarithmic;
    ak.inc = a.Increment;
    ak.round = a.RoundFirstLabel;
    ak.visible = a.Visible;
    ak.title = a.Title;
    ak.title_font = a.TitleFont;
    ak.labels_visible = a.LabelsVisible;
    ak.labels_font = a.LabelsFont;
    ak.angle = a.LabelsAngle;
    ak.format = a.ValueFormat;
    ak.style = a.LabelStyle;
    ak.labels_series = a.LabelsSeries;
    ak.tick = a.TickLength;
  }
  k.series.resize(series_.size());
  for (size_t i = 0; i < series_.size(); ++i) {
    const TChartSeries& s = *series_[i];
    LayoutKey::SeriesKey& sk = k.series[i];
    sk.p = &s;
    sk.type = s.Type();
    sk.active = s.Active;
    sk.legend = s.ShowInLegend;
    sk.title = s.Title;
    sk.h = s.HorizAxis;
    sk.v = s.VertAxis;
    sk.revision = s.Revision();
    sk.bar_width = s.BarWidthPercent;
    sk.marks = s.MarksVisible;
    sk.format = s.ValueFormat;
    sk.marks_font = s.MarksFont;
  }
  if (!geo_ || !key_ || !(*key_ == k)) {
    auto g = std::make_unique<Geometry>();
    ComputeGeometry(*g);
    geo_ = std::move(g);
    std::swap(key_, scratch_);
  }
  return *geo_;
}

TRect TChart::PlotRect() const { return Geo().plot; }
TRect TChart::LegendRect() const { return Geo().legend_rect; }
int TChart::LegendItemCount() const { return static_cast<int>(Geo().items.size()); }

int TChart::LegendItemAt(int x, int y) const {
  const Geometry& g = Geo();
  for (size_t i = 0; i < g.items.size(); ++i)
    if (g.items[i].rect.Contains(x, y)) return static_cast<int>(i);
  return -1;
}

TChartSeries* TChart::LegendSeriesAt(int x, int y) const {
  int i = LegendItemAt(x, y);
  return i < 0 ? nullptr : Geo().items[static_cast<size_t>(i)].series;
}

TChartSeries* TChart::SeriesAt(int x, int y, int* point_index) const {
  for (int i = SeriesCount() - 1; i >= 0; --i) {
    int p = series_[static_cast<size_t>(i)]->Clicked(x, y);
    if (p >= 0) {
      if (point_index != nullptr) *point_index = p;
      return series_[static_cast<size_t>(i)].get();
    }
  }
  if (point_index != nullptr) *point_index = -1;
  return nullptr;
}

}  // namespace tav
