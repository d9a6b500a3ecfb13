// The chart component: line, point, bar and pie series on four axes, with
// titles, a legend, mouse hit testing and zoom.
//
// QUICK START
//   auto* chart = form->Make<TChart>("Chart");
//   chart->SetBounds(5, 5, 800, 500);
//   auto* s = chart->AddLineSeries();             // owned by the chart
//   s->Title = "Power";  s->SeriesColor = clRed;
//   s->AddXY(10.0, 250.0);                        // O(1), no repaint needed
//   s->Add(240.0, "label", clLime);               // x = point index, own label and colour
//   chart->LeftAxis.SetMinMax(0, 500);            // fixed range (automatic off)
//   chart->BottomAxis.Logarithmic = true;
//   chart->BottomAxis.Title = "Time [s]";
//   chart->Title.Text.Clear(); chart->Title.Text.Add("Line 1");
//   int px = chart->LeftAxis.ValueToPixel(300);   // geometry without painting
//   chart->Series(0)->Clear();
//   chart->Invalidate();                          // ask the window to repaint
//
// SERIES (TChartSeries; TLineSeries, TPointSeries, TBarSeries, TPieSeries
// are the same class, created by AddLineSeries() etc.)
//  - Data: Add(value, label, colour) appends (x = the point's index, which
//    puts one value per label on a text axis); AddXY(x, y, label, colour).
//    Both return the point index. AddXYs(xs, ys, n) appends whole arrays. Clear() removes every point. Points are
//    kept in plain arrays: 200000 points are normal. A colour of clTeeColor
//    (the default) means the series colour. NaN and infinite values are
//    kept but not drawn (they break a line) and do not count in ranges.
//  - Title (legend text), Active (drawn, scaled, hit-tested), ShowInLegend,
//    SeriesColor, HorizAxis (bottom/top) and VertAxis (left/right).
//  - Line: PenWidth, PenStyle, LinesVisible (false with PointsVisible: a
//    point-only line series), PointsVisible and PointSize (square markers,
//    5 pixels by default).
//    The segment leading to a point takes that point's colour.
//  - Point series: square markers of PointSize pixels, no lines.
//  - Bar: bars from 0 (or the axis minimum) to the value, centred on x,
//    BarWidthPercent of the space between neighbouring x values, each in its
//    point colour, outlined with BarPen; MarksVisible shows the value
//    (ValueFormat) in a box above each bar.
//  - Pie: slices of the positive finite values (others count as 0), in the
//    point colours, from PieStartAngle (degrees, 90 = 12 o'clock) going
//    clockwise; MarksVisible writes the point labels beside the slices. A
//    chart whose active series are all pies draws no axes.
//
// AXES (chart->LeftAxis, RightAxis, TopAxis, BottomAxis)
//  - Range: Automatic() (both ends follow the active series on the axis;
//    bars add half a bar each side and include 0), or fixed ends. Minimum()
//    and Maximum() return the range in use (the automatic one when
//    automatic). SetMinimum/SetMaximum/SetMinMax store a fixed end and never
//    fail, in any order; SetMinMax also switches automatic off. Switching
//    automatic off (SetAutomatic(false)) keeps ends that were set while it
//    was on and freezes the others at their current automatic value, so
//    "automatic, fill, fixed, maximum + 20" works.
//    A zero range is widened (linear: +-1, logarithmic: one decade), an
//    inverted one is used the right way round; logarithmic axes use only
//    positive values (a non-positive fixed minimum becomes the maximum/1000).
//  - Logarithmic (base 10). Increment: the smallest step between value
//    labels; the axis takes the smallest readable step (1, 2, 5 x 10^n, or
//    the increment itself when it is larger) whose labels do not overlap.
//    RoundFirstLabel: labels at multiples of the step (true) or from the
//    minimum on (false).
//  - Visible: drawn or not; a hidden axis still scales its series. An axis is
//    drawn when it is visible and an active series uses it (left and bottom
//    also when no series uses any axis).
//  - Look: Title/TitleFont, LabelsVisible, LabelsFont (colour = label colour),
//    LabelsAngle (0 or 90), ValueFormat ("###0", "###0.0", "###0.00", ...:
//    the digits after the point are the decimals; "#,##0" groups thousands),
//    AxisPen (line colour/width), GridVisible (on by default on every axis;
//    grid lines run at the labels) and GridPen, TickLength.
//  - LabelStyle: talAuto (horizontal axes show the point labels of the
//    first active series on the axis that has any, else values; vertical
//    axes show values), talValue, talText (labels of LabelsSeries, or of the
//    first series on the axis with labels; vertical axes place them at the
//    points' y values), talNone. Text labels that would overlap the previous
//    one are left out.
//  - Geometry without painting: StartPos() (left/top pixel), EndPos()
//    (right/bottom pixel), Length() = EndPos() - StartPos(), Position() (the
//    pixel of the axis line), ValueToPixel(v), PixelToValue(px) (linear or
//    logarithmic; vertical axes grow upwards: the minimum is at EndPos()),
//    Labels() (value, pixel and text of every label shown). For long loops
//    take Mapping() once and use its ToPixel/ToValue.
//
// CHART
//  - Title and Foot: Text (a TStringList of lines), Font (size, colour),
//    Visible, Alignment. Legend: Visible, Alignment (right, left, top,
//    bottom), Font, Color, Frame, DividingLines/DividingLinesColor,
//    LegendStyle (auto: the points of a pie when a pie is the only active
//    series, else one item per active series with ShowInLegend), TextStyle.
//  - Colours: Color (the panel), BackColor (the plot area; clNone shows the
//    panel), Frame (the plot outline; psClear hides it), Gradient (panel
//    gradient). Lines and points are drawn in CurveColour of their colour,
//    which stays as set where it reads on the plot and is darkened (or
//    lightened) where it does not; bars and pie slices keep their colours. A chart without any series draws only its panel (gradient
//    when Gradient.Visible) and its titles.
//  - Margins: MarginLeft/Top/Right/Bottom in MarginUnits (percent of the
//    chart's width/height, or pixels), outside the titles, legend and axes.
//  - Geometry without painting: PlotRect() (the plot area: data at an axis's
//    minimum lies on its edge), LegendRect(), LegendItemAt(x, y),
//    LegendSeriesAt(x, y), SeriesAt(x, y, &index), TChartSeries::Clicked().
//  - Events run through the application like every control's (exceptions
//    are shown, closes deferred).
//  - Mouse: a press first fires OnMouseDown, then OnClickSeries (on a point,
//    a bar, a line or a pie slice; the topmost active series wins) or
//    OnClickLegend (in the legend). A left drag in the plot from top left to
//    bottom right zooms to the dragged rectangle (all four axes become
//    fixed); a drag the other way, or UndoZoom(), restores the axes as they
//    were before the zoom. AllowZoom = false turns dragging off.
//  - Painting (the window calls Paint): panel, titles, plot area,
//    OnBeforeDrawAxes(canvas), grid and axes, series (clipped to the plot;
//    lines are reduced to what each pixel column shows, keeping colour runs,
//    so 200000 points draw about as fast as 2000), legend, zoom rectangle,
//    OnAfterDraw(canvas).
//  - Controls (edits, labels, buttons) may sit on a chart: give them
//    Parent = the chart.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/canvas.h"
#include "platform/controls.h"

namespace tav {

class TChart;
class TChartSeries;

// The storage of a series' values: a vector whose growth leaves new values
// unset, so that appending whole arrays writes each value once.
template <class T>
struct UnsetOnGrowth : std::allocator<T> {
  UnsetOnGrowth() = default;
  template <class U>
  UnsetOnGrowth(const UnsetOnGrowth<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using ValueArray = std::vector<double, UnsetOnGrowth<double>>;

// A point colour meaning "the series colour".
constexpr TColor clTeeColor = 0x20000000;

enum class TSeriesType { stLine, stPoint, stBar, stPie };
enum class THorizAxis { aBottomAxis, aTopAxis };
enum class TVertAxis { aLeftAxis, aRightAxis };
enum class TAxisSide { Left, Right, Top, Bottom };
enum class TAxisLabelStyle { talAuto, talValue, talText, talNone };
enum class TLegendAlignment { laLeft, laRight, laTop, laBottom };
enum class TLegendStyle { lsAuto, lsSeries, lsValues };
// Legend text of a point item: its label (or value when it has none), value
// then label, label then value, the value alone, or its share in percent.
enum class TLegendTextStyle { ltsPlain, ltsLeftValue, ltsRightValue, ltsValue, ltsPercent };
enum class TMarginUnits { muPercent, muPixels };

// Formats a value with a pattern like "###0.0" or "#,##0.###": the number of
// '0' after the point is the least and the number of '0'/'#' the most
// decimals; a ',' before the point groups thousands with ','.
std::string FormatChartValue(double value, const std::string& pattern);

// A fast, copyable snapshot of an axis's mapping.
struct TAxisMapping {
  double Min = 0, Max = 1;   // the range in use (Min < Max; both > 0 when logarithmic)
  bool Logarithmic = false;
  bool Horizontal = true;
  int Start = 0, End = 0;    // pixels: left/top and right/bottom
  // Pixel of a value (rounded, kept within +-1e7; NaN gives Start, and
  // non-positive values on a logarithmic axis lie far beyond the minimum end).
  int ToPixel(double v) const {
    double p = ToPixelF(v);
    return static_cast<int>(p >= 0 ? p + 0.5 : p - 0.5);  // rounds half away from zero
  }
  double ToPixelF(double v) const {
    if (Logarithmic) return LogPixel(v);
    // One formula for every caller, so that a loop over many values (the
    // mapping copied into a local) computes the scale once.
    const double d = (v - Min) * ((End - Start) / (Max - Min));
    if (d != d) return Start;  // NaN
    double p = Horizontal ? Start + d : End - d;
    return p < -1e7 ? -1e7 : p > 1e7 ? 1e7 : p;
  }
  double ToValue(double pixel) const;

 private:
  double LogPixel(double v) const;
};

struct TAxisLabel {
  double Value = 0;
  int Pixel = 0;
  std::string Text;
};

class TChartAxis {
 public:
  TChartAxis(TChart* chart, TAxisSide side);
  TChartAxis(const TChartAxis&) = delete;
  TChartAxis& operator=(const TChartAxis&) = delete;

  TAxisSide Side() const { return side_; }
  bool Horizontal() const { return side_ == TAxisSide::Top || side_ == TAxisSide::Bottom; }

  // ---- Range (see the top of the file).
  bool Automatic() const { return auto_min_ && auto_max_; }
  void SetAutomatic(bool on);
  bool AutomaticMinimum() const { return auto_min_; }
  bool AutomaticMaximum() const { return auto_max_; }
  void SetAutomaticMinimum(bool on);
  void SetAutomaticMaximum(bool on);
  double Minimum() const;
  double Maximum() const;
  void SetMinimum(double v);  // NaN and infinite values are ignored
  void SetMaximum(double v);
  void SetMinMax(double min, double max);  // both ends, automatic off

  bool Logarithmic = false;
  double Increment = 0.0;
  bool RoundFirstLabel = true;
  bool Visible = true;

  // ---- Look.
  std::string Title;
  TFont TitleFont;
  bool LabelsVisible = true;
  TFont LabelsFont;
  int LabelsAngle = 0;  // 0 or 90
  std::string ValueFormat = "###0.###";
  TAxisLabelStyle LabelStyle = TAxisLabelStyle::talAuto;
  TChartSeries* LabelsSeries = nullptr;
  TPen AxisPen{clBlack, 1, TPenStyle::psSolid};
  bool GridVisible = true;
  TPen GridPen{0xA0A0A0, 1, TPenStyle::psDot};
  int TickLength = 4;

  // ---- Geometry (computed on demand, no painting needed).
  int StartPos() const;
  int EndPos() const;
  int Length() const { return EndPos() - StartPos(); }
  int Position() const;
  int ValueToPixel(double v) const;
  double PixelToValue(int pixel) const;
  TAxisMapping Mapping() const;
  std::vector<TAxisLabel> Labels() const;
  // True when the axis is drawn (visible and used, see above).
  bool Drawn() const;

 private:
  friend class TChart;
  struct State {
    bool auto_min = true, auto_max = true, set_min = false, set_max = false;
    double min = 0, max = 0;
  };
  TChart* chart_;
  TAxisSide side_;
  bool auto_min_ = true, auto_max_ = true;
  bool set_min_ = false, set_max_ = false;  // set while automatic
  double min_ = 0, max_ = 0;                // fixed ends
};

class TChartSeries {
 public:
  TChartSeries(TChart* chart, TSeriesType type);
  virtual ~TChartSeries() = default;
  TChartSeries(const TChartSeries&) = delete;
  TChartSeries& operator=(const TChartSeries&) = delete;

  TSeriesType Type() const { return type_; }
  TChart* Chart() const { return chart_; }
  int Index() const;  // position in the chart's series list

  std::string Title;
  bool Active = true;
  bool ShowInLegend = true;
  TColor SeriesColor = clRed;
  THorizAxis HorizAxis = THorizAxis::aBottomAxis;
  TVertAxis VertAxis = TVertAxis::aLeftAxis;
  TChartAxis& GetHorizAxis() const;
  TChartAxis& GetVertAxis() const;

  // Line and point drawing.
  int PenWidth = 1;
  TPenStyle PenStyle = TPenStyle::psSolid;
  bool LinesVisible = true;
  bool PointsVisible = false;
  int PointSize = 5;  // side of the square markers in pixels
  // Bars.
  int BarWidthPercent = 70;
  TPen BarPen{clBlack, 1, TPenStyle::psSolid};
  // Value marks (bars) and slice labels (pies).
  bool MarksVisible = false;
  std::string ValueFormat = "###0.###";
  TFont MarksFont;
  TColor MarksColor = 0xE1FFFF;  // box colour of bar marks
  // Pies.
  double PieStartAngle = 90.0;
  TColor PiePenColor = clBlack;

  // ---- Data.
  void Clear();
  int Add(double value, const std::string& label = {}, TColor color = clTeeColor);
  inline int AddXY(double x, double y);  // the plain point: no label, the series colour
  int AddXY(double x, double y, const std::string& label, TColor color = clTeeColor);
  void Reserve(int n);
  // Appends n plain points (no labels, the series colour) in one go.
  void AddXYs(const double* x, const double* y, int n);
  int Count() const { return static_cast<int>(ys_.size()); }
  // Out-of-range indexes read 0, "" and clTeeColor and are ignored when written.
  double XValue(int i) const;
  double YValue(int i) const;
  const std::string& Label(int i) const;
  TColor ValueColor(int i) const;   // as stored (clTeeColor: the series colour)
  TColor PointColor(int i) const;   // the colour drawn
  void SetXValue(int i, double x);
  void SetYValue(int i, double y);
  void SetLabel(int i, const std::string& label);
  void SetValueColor(int i, TColor c);
  bool HasLabels() const { return label_count_ > 0; }
  const ValueArray& XValues() const { return xs_; }
  const ValueArray& YValues() const { return ys_; }

  // Extremes of the finite values (0 when there are none); MinPositive*
  // is the smallest value above 0 (0 when none).
  double MinXValue() const;
  double MaxXValue() const;
  double MinYValue() const;
  double MaxYValue() const;
  double MinPositiveXValue() const;
  double MinPositiveYValue() const;
  // Bumped by every change of the points.
  uint64_t Revision() const { return revision_; }
  // The smallest gap between neighbouring x values (1 when there is none):
  // the room one bar has.
  double BarSpacing() const;

  // ---- Geometry.
  int CalcXPos(int i) const;
  int CalcYPos(int i) const;
  // The index of the point under (x, y) (marker, bar, slice, or the nearer
  // end of a line segment within 3 pixels), or -1.
  int Clicked(int x, int y) const;
  // Pies: the pie's bounding square and each slice's angles in degrees
  // (counter-clockwise from 3 o'clock; sweeps are negative, clockwise).
  TRect PieBounds() const;
  double SliceStartAngle(int i) const;
  double SliceSweep(int i) const;

 private:
  friend class TChart;
  // Extremes of one coordinate's values.
  struct Extent {
    double min = 0, max = 0, min_pos = 0;  // min_pos: the smallest value above 0
    bool any = false, any_pos = false;
  };
  struct Stats {
    bool valid = false;
    bool pos_valid = false;  // min_pos and any_pos are known
    bool all_finite = true;  // every value of every point is finite
    bool x_sorted = false;   // all finite, and x never falls
    Extent x, y;
  };
  void Touch();
  const Stats& GetStats() const;
  const Stats& GetPositiveStats() const;  // also the smallest positive values

  TChart* chart_;
  TSeriesType type_;
  ValueArray xs_, ys_;
  std::vector<TColor> colors_;       // empty while every point has the series colour
  std::vector<std::string> labels_;  // empty while no point has a label
  int label_count_ = 0;              // points with a non-empty label
  mutable Stats stats_;
  uint64_t revision_ = 0;
};

class TLineSeries : public TChartSeries {
 public:
  explicit TLineSeries(TChart* chart) : TChartSeries(chart, TSeriesType::stLine) {}
};
class TPointSeries : public TChartSeries {
 public:
  explicit TPointSeries(TChart* chart) : TChartSeries(chart, TSeriesType::stPoint) {
    LinesVisible = false;
    PointsVisible = true;
  }
};
class TBarSeries : public TChartSeries {
 public:
  explicit TBarSeries(TChart* chart) : TChartSeries(chart, TSeriesType::stBar) {}
};
class TPieSeries : public TChartSeries {
 public:
  explicit TPieSeries(TChart* chart) : TChartSeries(chart, TSeriesType::stPie) {}
};

struct TChartTitle {
  TStringList Text;
  TFont Font;
  bool Visible = true;
  TAlignment Alignment = TAlignment::taCenter;
};

struct TChartLegend {
  bool Visible = true;
  TLegendAlignment Alignment = TLegendAlignment::laRight;
  TLegendStyle LegendStyle = TLegendStyle::lsAuto;
  TLegendTextStyle TextStyle = TLegendTextStyle::ltsPlain;
  TFont Font;
  TColor Color = clWhite;
  TPen Frame{clBlack, 1, TPenStyle::psSolid};
  bool DividingLines = false;
  TColor DividingLinesColor = 0x808080;
};

struct TChartGradient {
  bool Visible = false;
  TColor StartColor = clWhite;
  TColor EndColor = clBtnFace;
  bool Vertical = true;  // top to bottom; false: left to right
};

class TChart : public TControl {
 public:
  TChart();
  ~TChart() override;

  // ---- Series (owned by the chart).
  TLineSeries* AddLineSeries();
  TPointSeries* AddPointSeries();
  TBarSeries* AddBarSeries();
  TPieSeries* AddPieSeries();
  TChartSeries* AddSeries(TSeriesType type);
  int SeriesCount() const { return static_cast<int>(series_.size()); }
  TChartSeries* Series(int i) const;  // null when out of range
  int SeriesIndex(const TChartSeries* s) const;  // -1 when not in this chart
  void RemoveSeries(TChartSeries* s);
  void RemoveAllSeries();

  // ---- Parts.
  TChartAxis LeftAxis{this, TAxisSide::Left};
  TChartAxis RightAxis{this, TAxisSide::Right};
  TChartAxis TopAxis{this, TAxisSide::Top};
  TChartAxis BottomAxis{this, TAxisSide::Bottom};
  TChartAxis& Axis(TAxisSide side);
  const TChartAxis& Axis(TAxisSide side) const;
  TChartTitle Title;
  TChartTitle Foot;
  TChartLegend Legend;
  TChartGradient Gradient;
  TColor BackColor = clNone;                       // plot area; clNone: the panel shows
  TPen Frame{0x808080, 1, TPenStyle::psSolid};     // plot outline
  bool AxesVisible = true;
  int MarginLeft = 3, MarginTop = 4, MarginRight = 3, MarginBottom = 4;
  TMarginUnits MarginUnits = TMarginUnits::muPercent;

  // ---- Geometry (no painting needed).
  TRect PlotRect() const;
  TRect LegendRect() const;              // empty when no legend is shown
  int LegendItemCount() const;
  int LegendItemAt(int x, int y) const;  // -1 outside the items
  // The series of a legend item (series legends), or null.
  TChartSeries* LegendSeriesAt(int x, int y) const;
  // The topmost active series with a point under (x, y), or null.
  TChartSeries* SeriesAt(int x, int y, int* point_index = nullptr) const;
  // The margins in pixels (left, top, right, bottom) for the current size.
  TRect MarginPixels() const;

  // ---- Readable curves.
  // The colour the plot area shows: BackColor, else the panel's Color (the
  // middle of the gradient when one is shown).
  TColor PlotBackground() const;
  // The colour a line or point of colour c is drawn in: c where it reads
  // on the plot background (contrast 3:1), else c darkened (or lightened on
  // a dark plot) just enough. Text drawn over the plot in a series' colour
  // takes it too.
  TColor CurveColour(TColor c) const;

  // ---- Zoom.
  bool AllowZoom = true;
  bool IsZoomed() const { return zoomed_; }
  // Fixes all four axes to the values under the pixel rectangle r.
  void ZoomRect(const TRect& r);
  void UndoZoom();

  // ---- Events.
  std::function<void(TControl* sender, TChartSeries* series, int point_index, TMouseButton button,
                     TShiftState shift, int x, int y)>
      OnClickSeries;
  TMouseEvent OnClickLegend;
  std::function<void(TControl* sender, TCanvas& canvas)> OnBeforeDrawAxes;
  std::function<void(TControl* sender, TCanvas& canvas)> OnAfterDraw;

  // ---- Window side.
  bool CustomDrawn() const override { return true; }
  void Paint(TCanvas& canvas) override;
  void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoMouseMove(TShiftState shift, int x, int y) override;
  void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

  // Drawing of lines without the per-column reduction (for tests that
  // compare both); normally false.
  bool DrawAllPoints = false;

  struct Geometry;  // computed layout (chart_internal.h)
  const Geometry& Geo() const;

 private:
  friend class TChartAxis;
  friend class TChartSeries;
  struct LayoutKey;
  void SeriesChanged() { Invalidate(); }
  void ComputeGeometry(Geometry& g) const;
  bool PieMode() const;
  void DrawSeries(TCanvas& canvas, const TChartSeries& s, const Geometry& g);
  void DrawLegend(TCanvas& canvas, const Geometry& g);
  void DrawAxes(TCanvas& canvas, const Geometry& g);

  std::vector<std::unique_ptr<TChartSeries>> series_;
  mutable std::unique_ptr<Geometry> geo_;
  mutable std::unique_ptr<LayoutKey> key_, scratch_;
  // Zoom.
  bool zoomed_ = false;
  TChartAxis::State saved_[4];
  bool dragging_ = false;
  TPoint drag_from_, drag_to_;
  std::vector<uint32_t> stamps_;  // marker de-duplication while drawing
};

// The plain point is added where series are filled point by point in long
// loops: kept inline.
inline int TChartSeries::AddXY(double x, double y) {
  const int index = Count();
  xs_.push_back(x);
  ys_.push_back(y);
  if (!colors_.empty()) colors_.push_back(clTeeColor);
  if (!labels_.empty()) labels_.emplace_back();
  stats_.valid = false;  // extremes are taken in one pass when asked for
  ++revision_;
  chart_->SeriesChanged();
  return index;
}

}  // namespace tav
