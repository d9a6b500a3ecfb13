#include "platform/chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/text.h"

namespace tav {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ChartValueFormat, Patterns) {
  struct Row {
    double value;
    const char* pattern;
    const char* text;
  };
  // Halves round to even like printf; values that are no numbers show nothing.
  for (const Row& r : {Row{12.34, "###0", "12"}, {12.34, "###0.0", "12.3"}, {12.0, "###0.00", "12.00"},
                       {12.5, "###0.###", "12.5"}, {12.0, "###0.###", "12"}, {1234567.25, "#,##0.##", "1,234,567.25"},
                       {-1234.0, "#,##0", "-1,234"}, {-0.0001, "###0.0", "0.0"}, {0.5, "###0", "0"},
                       {kNaN, "###0", ""}, {kInf, "###0", ""}})
    EXPECT_EQ(FormatChartValue(r.value, r.pattern), r.text) << r.value << " " << r.pattern;
}

// An 800 x 500 chart without titles, legend or margins, so the plot area is
// decided by the axes alone.
struct ChartFixture : ::testing::Test {
  TChart chart;
  void SetUp() override {
    chart.SetBounds(0, 0, 800, 500);
    chart.Legend.Visible = false;
    chart.MarginUnits = TMarginUnits::muPixels;
    chart.MarginLeft = chart.MarginTop = chart.MarginRight = chart.MarginBottom = 10;
  }
};

TEST_F(ChartFixture, AutomaticRangesAreReadyRightAfterAdding) {
  auto* s = chart.AddLineSeries();
  for (int i = 0; i < 100; ++i) s->AddXY(i, std::sin(i / 10.0) * 10 + 5);
  auto* r = chart.AddLineSeries();
  r->VertAxis = TVertAxis::aRightAxis;
  r->HorizAxis = THorizAxis::aTopAxis;
  r->AddXY(-50, 1000);
  r->AddXY(50, 3000);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Maximum(), 99);
  EXPECT_NEAR(chart.LeftAxis.Minimum(), -4.99, 0.01);
  EXPECT_DOUBLE_EQ(chart.TopAxis.Minimum(), -50);
  EXPECT_DOUBLE_EQ(chart.RightAxis.Maximum(), 3000);
  // A hidden axis still scales its series.
  chart.TopAxis.Visible = false;
  EXPECT_FALSE(chart.TopAxis.Drawn());
  EXPECT_TRUE(chart.RightAxis.Drawn());
  EXPECT_EQ(chart.TopAxis.ValueToPixel(-50), chart.PlotRect().Left);
  EXPECT_EQ(chart.TopAxis.ValueToPixel(50), chart.PlotRect().Right - 1);
  // Inactive series leave the range.
  r->Active = false;
  EXPECT_DOUBLE_EQ(chart.RightAxis.Minimum(), -1);  // nothing left: a zero range widened
  EXPECT_FALSE(chart.RightAxis.Drawn());
  // Clearing and adding again.
  s->Clear();
  s->AddXY(3, 7);
  s->AddXY(4, 9);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Minimum(), 3);
  s->SetYValue(0, -2);
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Minimum(), -2);
}

TEST_F(ChartFixture, BarsAddHalfABarAndIncludeZero) {
  auto* b = chart.AddBarSeries();
  b->Add(5);
  b->Add(8);
  b->Add(6);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Minimum(), -0.5);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Maximum(), 2.5);
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Minimum(), 0);
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Maximum(), 8);
  EXPECT_DOUBLE_EQ(b->BarSpacing(), 1);
}

TEST_F(ChartFixture, FixedEndsInAnyOrderAndTheAutomaticSwitch) {
  auto* s = chart.AddLineSeries();
  s->AddXY(0, 10);
  s->AddXY(10, 30);
  TChartAxis& a = chart.LeftAxis;
  a.SetMinMax(10, 20);
  a.SetMaximum(5);  // below the minimum for now: stored, never refused
  EXPECT_DOUBLE_EQ(a.Maximum(), 5);
  EXPECT_EQ(a.Mapping().Min, 5);  // used the right way round
  EXPECT_EQ(a.Mapping().Max, 10);
  a.SetMinimum(0);
  EXPECT_DOUBLE_EQ(a.Minimum(), 0);
  EXPECT_EQ(a.ValueToPixel(5), a.StartPos());
  a.SetMaximum(kNaN);  // ignored
  a.SetMinimum(-kInf);
  EXPECT_EQ(a.ValueToPixel(0), a.EndPos());

  // Automatic, filled, then fixed: the automatic range stays and can be raised.
  a.SetAutomatic(true);
  EXPECT_DOUBLE_EQ(a.Maximum(), 30);
  a.SetAutomatic(false);
  a.SetMaximum(a.Maximum() + 20);
  EXPECT_DOUBLE_EQ(a.Minimum(), 10);
  s->AddXY(11, 100);  // a fixed axis does not follow
  EXPECT_DOUBLE_EQ(a.Maximum(), 50);

  // An end set while automatic is kept when automatic goes off.
  TChartAxis& b = chart.BottomAxis;
  b.SetMaximum(2000000);
  EXPECT_DOUBLE_EQ(b.Maximum(), 11);  // still automatic
  b.SetAutomatic(false);
  b.SetMinimum(1);
  EXPECT_DOUBLE_EQ(b.Maximum(), 2000000);
  // One end automatic.
  b.SetAutomaticMaximum(true);
  EXPECT_DOUBLE_EQ(b.Maximum(), 11);
  EXPECT_DOUBLE_EQ(b.Minimum(), 1);
}

TEST_F(ChartFixture, DegenerateRangesAndBadValuesNeverBreakTheMapping) {
  auto* s = chart.AddLineSeries();
  // No points: a zero range, widened.
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Maximum(), 1);
  s->AddXY(5, 7);
  s->AddXY(5, 7);
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Minimum(), 6);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Maximum(), 6);
  s->AddXY(kNaN, 100);
  s->AddXY(6, kInf);
  s->AddXY(-kInf, kNaN);
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Maximum(), 8);  // only finite values count
  EXPECT_EQ(chart.LeftAxis.ValueToPixel(kNaN), chart.LeftAxis.StartPos());
  int far = chart.LeftAxis.ValueToPixel(1e300);
  EXPECT_LE(std::abs(far), 10000000);
  // A fixed zero range.
  chart.BottomAxis.SetMinMax(3, 3);
  EXPECT_EQ(chart.BottomAxis.Mapping().Max, 4);
  // Logarithmic with non-positive values and a non-positive minimum.
  s->Clear();
  s->AddXY(-5, 1);
  s->AddXY(0, 2);
  s->AddXY(10, 3);
  s->AddXY(1000, 4);
  chart.BottomAxis.SetAutomatic(true);
  chart.BottomAxis.Logarithmic = true;
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Minimum(), 10);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Maximum(), 1000);
  EXPECT_LT(chart.BottomAxis.ValueToPixel(0), -1000);  // far left of the axis
  chart.BottomAxis.SetMinMax(0, 1000);
  EXPECT_DOUBLE_EQ(chart.BottomAxis.Mapping().Min, 1);
  chart.BottomAxis.SetMinMax(-10, -1);  // nothing positive at all
  EXPECT_GT(chart.BottomAxis.Mapping().Min, 0);
  EXPECT_LT(chart.BottomAxis.Mapping().Min, chart.BottomAxis.Mapping().Max);
  // None of this stops painting.
  TBitmap out(800, 500);
  chart.Paint(out.Canvas());
  chart.BottomAxis.Logarithmic = false;
  chart.BottomAxis.SetMinMax(1e308, -1e308);
  chart.Paint(out.Canvas());
  chart.SetBounds(0, 0, 5, 5);  // too small for anything
  EXPECT_GE(chart.BottomAxis.Length(), 0);
  chart.Paint(out.Canvas());
  // One value so large that adding 1 changes nothing still gets a span, and
  // its points a pixel.
  chart.SetBounds(0, 0, 800, 500);
  chart.BottomAxis.SetAutomatic(true);
  s->Clear();
  for (int i = 0; i < 3; ++i) s->AddXY(1e17, i);
  EXPECT_LT(chart.BottomAxis.Mapping().Min, 1e17);
  EXPECT_GT(chart.BottomAxis.Mapping().Max, 1e17);
  EXPECT_NEAR(chart.BottomAxis.ValueToPixel(1e17), (chart.PlotRect().Left + chart.PlotRect().Right) / 2, 1);
  chart.Paint(out.Canvas());
  // A bitmap without pixels: nothing to paint on, and nothing breaks.
  TBitmap empty;
  chart.Paint(empty.Canvas());
}

TEST_F(ChartFixture, PixelMappingLinearAndLogarithmic) {
  auto* s = chart.AddLineSeries();
  s->AddXY(1, 0);
  s->AddXY(1000, 400);
  TRect plot = chart.PlotRect();
  ASSERT_GT(plot.Width(), 600);
  TChartAxis& x = chart.BottomAxis;
  TChartAxis& y = chart.LeftAxis;
  EXPECT_EQ(x.Length(), plot.Right - 1 - plot.Left);
  EXPECT_EQ(y.Position(), plot.Left);
  EXPECT_EQ(chart.RightAxis.Position(), plot.Right - 1);
  EXPECT_EQ(x.Position(), plot.Bottom - 1);
  EXPECT_EQ(x.ValueToPixel(1), plot.Left);
  EXPECT_EQ(x.ValueToPixel(1000), plot.Right - 1);
  EXPECT_EQ(y.ValueToPixel(0), plot.Bottom - 1);  // vertical axes grow upwards
  EXPECT_EQ(y.ValueToPixel(400), plot.Top);
  // The readout rule of the windows: value = min + pixels * range / length.
  int px = y.EndPos() - 100;
  EXPECT_NEAR(y.PixelToValue(px), 0 + 100 * 400.0 / y.Length(), 1e-9);
  EXPECT_NEAR(x.PixelToValue(x.ValueToPixel(500.5)), 500.5, 1000.0 / x.Length());

  x.Logarithmic = true;
  EXPECT_EQ(x.ValueToPixel(1000), x.EndPos());
  EXPECT_NEAR(x.ValueToPixel(std::sqrt(1000.0)), (x.StartPos() + x.EndPos()) / 2.0, 1.0);
  EXPECT_NEAR(x.ValueToPixel(10), x.StartPos() + x.Length() / 3.0, 1.0);
  double t = x.PixelToValue(x.StartPos() + x.Length() * 2 / 3);
  EXPECT_NEAR(std::log10(t), 2.0, 0.01);
  TAxisMapping m = x.Mapping();
  EXPECT_EQ(m.ToPixel(100), x.ValueToPixel(100));
  EXPECT_NEAR(m.ToValue(m.ToPixelF(123.0)), 123.0, 1e-9);

  // Margins in pixels and percent move the plot.
  chart.MarginLeft = 50;
  EXPECT_EQ(chart.PlotRect().Left, plot.Left + 40);
  chart.MarginUnits = TMarginUnits::muPercent;
  chart.MarginLeft = 10;
  EXPECT_EQ(chart.MarginPixels().Left, 80);
}

TEST_F(ChartFixture, ValueLabelsUseReadableStepsTheIncrementAndTheFormat) {
  auto* s = chart.AddLineSeries();
  s->AddXY(0, 0);
  s->AddXY(1000, 3.7);
  auto labels = chart.LeftAxis.Labels();
  ASSERT_GE(labels.size(), 4u);
  double step = labels[1].Value - labels[0].Value;
  for (size_t i = 1; i < labels.size(); ++i) {
    EXPECT_NEAR(labels[i].Value - labels[i - 1].Value, step, 1e-9);
    EXPECT_LT(labels[i].Pixel, labels[i - 1].Pixel);  // upwards
  }
  double mant = step / std::pow(10.0, std::floor(std::log10(step)));
  EXPECT_TRUE(std::fabs(mant - 1) < 1e-9 || std::fabs(mant - 2) < 1e-9 || std::fabs(mant - 5) < 1e-9) << step;
  // A larger increment is taken as it is; a smaller one cannot crowd the labels.
  chart.LeftAxis.Increment = 1.5;
  labels = chart.LeftAxis.Labels();
  ASSERT_GE(labels.size(), 2u);
  EXPECT_DOUBLE_EQ(labels[1].Value - labels[0].Value, 1.5);
  chart.LeftAxis.Increment = 0.0001;
  labels = chart.LeftAxis.Labels();
  EXPECT_LT(labels.size(), 60u);
  // Formats and the first label.
  chart.LeftAxis.Increment = 0.5;
  chart.LeftAxis.ValueFormat = "###0.00";
  chart.LeftAxis.SetMinMax(0.3, 3.7);
  labels = chart.LeftAxis.Labels();
  EXPECT_EQ(labels[0].Text, "0.50");
  chart.LeftAxis.RoundFirstLabel = false;
  labels = chart.LeftAxis.Labels();
  EXPECT_EQ(labels[0].Text, "0.30");
  EXPECT_EQ(labels[1].Text, "0.80");
  // Horizontal value labels never overlap.
  chart.BottomAxis.SetMinMax(0, 123456789);
  labels = chart.BottomAxis.Labels();
  ASSERT_GE(labels.size(), 2u);
  for (size_t i = 1; i < labels.size(); ++i)
    EXPECT_GT(labels[i].Pixel - MeasureTextWidth(chart.BottomAxis.LabelsFont, labels[i].Text) / 2,
              labels[i - 1].Pixel + MeasureTextWidth(chart.BottomAxis.LabelsFont, labels[i - 1].Text) / 2);
  // Logarithmic labels at powers of ten (and 2, 5 between when there is room).
  chart.BottomAxis.Logarithmic = true;
  chart.BottomAxis.SetMinMax(1, 100000);
  labels = chart.BottomAxis.Labels();
  std::vector<std::string> texts;
  for (auto& l : labels) texts.push_back(l.Text);
  EXPECT_EQ(texts.back(), "100000");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "1000"), texts.end());
  chart.BottomAxis.LabelStyle = TAxisLabelStyle::talNone;
  EXPECT_TRUE(chart.BottomAxis.Labels().empty());
}

TEST_F(ChartFixture, TextLabelsComeFromPointTextsAndAreThinned) {
  auto* carrier = chart.AddLineSeries();
  auto* curve = chart.AddLineSeries();
  curve->HorizAxis = THorizAxis::aTopAxis;
  for (int i = 0; i < 1000; ++i) {
    carrier->AddXY(i, 0, Format("%d:%02d:%02d", i / 3600, i / 60 % 60, i % 60));
    curve->AddXY(i, i * 0.5);
  }
  auto labels = chart.BottomAxis.Labels();
  ASSERT_GT(labels.size(), 5u);
  ASSERT_LT(labels.size(), 200u);
  EXPECT_EQ(labels[0].Text, "0:00:00");
  const TFont& f = chart.BottomAxis.LabelsFont;
  for (size_t i = 1; i < labels.size(); ++i)
    EXPECT_GE(labels[i].Pixel - MeasureTextWidth(f, labels[i].Text) / 2,
              labels[i - 1].Pixel + MeasureTextWidth(f, labels[i - 1].Text) / 2);
  // Turned labels need only their height: more of them fit.
  chart.BottomAxis.LabelsAngle = 90;
  EXPECT_GT(chart.BottomAxis.Labels().size(), labels.size());
  // The top axis has no labelled series: values. Vertical axes show values.
  EXPECT_EQ(chart.TopAxis.Labels()[0].Text, "0");
  EXPECT_EQ(chart.LeftAxis.Labels()[0].Text, "0");
  // A chosen series, also on a vertical axis.
  auto* scale = chart.AddLineSeries();
  scale->VertAxis = TVertAxis::aRightAxis;
  for (int k = 0; k <= 4; ++k) scale->AddXY(0, k * 10.0, Format("%6.1f", k * 2.5));
  chart.RightAxis.LabelStyle = TAxisLabelStyle::talText;
  labels = chart.RightAxis.Labels();
  ASSERT_EQ(labels.size(), 5u);
  EXPECT_EQ(labels[0].Text, "   0.0");
  EXPECT_EQ(labels[0].Pixel, chart.RightAxis.EndPos());
  chart.BottomAxis.LabelsSeries = scale;
  chart.BottomAxis.LabelsAngle = 0;
  EXPECT_EQ(chart.BottomAxis.Labels().size(), 1u);  // all of them at x = 0: one is left
  chart.RemoveSeries(scale);
  EXPECT_EQ(chart.BottomAxis.LabelsSeries, nullptr);
}

TEST_F(ChartFixture, HitTestingOfPointsLinesAndBars) {
  auto* line = chart.AddLineSeries();
  for (int i = 0; i <= 10; ++i) line->AddXY(i, i * 10);
  chart.LeftAxis.SetMinMax(0, 200);
  chart.BottomAxis.SetMinMax(0, 20);
  int x3 = line->CalcXPos(3), y3 = line->CalcYPos(3);
  EXPECT_EQ(line->Clicked(x3 + 2, y3 - 2), 3);
  // On the line between points 3 and 4, nearer to 4.
  int xm = (line->CalcXPos(3) + 3 * line->CalcXPos(4)) / 4, ym = (line->CalcYPos(3) + 3 * line->CalcYPos(4)) / 4;
  EXPECT_EQ(line->Clicked(xm, ym), 4);
  EXPECT_EQ(line->Clicked(x3, y3 - 40), -1);
  EXPECT_EQ(line->Clicked(chart.PlotRect().Right + 5, y3), -1);
  // Point-only: only near the markers.
  line->LinesVisible = false;
  line->PointsVisible = true;
  EXPECT_EQ(line->Clicked(xm, ym), -1);
  EXPECT_EQ(line->Clicked(x3 + 1, y3), 3);

  auto* bars = chart.AddBarSeries();
  bars->AddXY(15, 150);
  bars->AddXY(17, 50);
  int bx = bars->CalcXPos(0);
  EXPECT_EQ(bars->Clicked(bx, chart.LeftAxis.ValueToPixel(100)), 0);
  EXPECT_EQ(bars->Clicked(bx, chart.LeftAxis.ValueToPixel(170)), -1);
  EXPECT_EQ(bars->Clicked(bars->CalcXPos(1) + 5, chart.LeftAxis.ValueToPixel(10)), 1);
  // The topmost active series wins; inactive ones are not hit.
  auto* over = chart.AddPointSeries();
  over->AddXY(3, 30);
  int index = -1;
  EXPECT_EQ(chart.SeriesAt(x3, y3, &index), over);
  EXPECT_EQ(index, 0);
  over->Active = false;
  EXPECT_EQ(chart.SeriesAt(x3, y3, &index), line);
  EXPECT_EQ(index, 3);
}

TEST_F(ChartFixture, MousePressesFireMouseDownThenSeriesOrLegendClicks) {
  chart.Legend.Visible = true;
  auto* a = chart.AddLineSeries();
  a->Title = "A";
  auto* b = chart.AddLineSeries();
  b->Title = "B";
  auto* hidden = chart.AddLineSeries();
  hidden->ShowInLegend = false;
  for (int i = 0; i < 10; ++i) {
    a->AddXY(i, i);
    b->AddXY(i, 20 - i);
  }
  std::vector<std::string> log;
  chart.OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
  chart.OnClickSeries = [&](TControl* sender, TChartSeries* s, int i, TMouseButton button, TShiftState shift, int, int) {
    EXPECT_EQ(sender, &chart);
    EXPECT_EQ(button, TMouseButton::mbRight);
    EXPECT_EQ(shift, ssCtrl);
    log.push_back(s->Title + Format("%d", i));
  };
  chart.OnClickLegend = [&](TControl*, TMouseButton, TShiftState, int, int) { log.push_back("legend"); };
  chart.DoMouseDown(TMouseButton::mbRight, ssCtrl, b->CalcXPos(7), b->CalcYPos(7));
  chart.DoMouseUp(TMouseButton::mbRight, ssCtrl, b->CalcXPos(7), b->CalcYPos(7));
  EXPECT_EQ(log, (std::vector<std::string>{"down", "B7"}));

  // The legend lists the active series that want to be there.
  ASSERT_EQ(chart.LegendItemCount(), 2);
  TRect lr = chart.LegendRect();
  EXPECT_GT(lr.Left, chart.PlotRect().Right);  // on the right by default
  EXPECT_EQ(chart.LegendSeriesAt(lr.Left + 5, lr.Top + 5), a);
  int item1 = -1;
  for (int y = lr.Top; y < lr.Bottom && item1 < 0; ++y)
    if (chart.LegendItemAt(lr.Left + 5, y) == 1) item1 = y;
  ASSERT_GT(item1, 0);
  EXPECT_EQ(chart.LegendSeriesAt(lr.Left + 5, item1), b);
  EXPECT_EQ(chart.LegendItemAt(lr.Left - 5, lr.Top + 5), -1);
  log.clear();
  chart.DoMouseDown(TMouseButton::mbLeft, 0, lr.Left + 5, lr.Top + 5);
  chart.DoMouseUp(TMouseButton::mbLeft, 0, lr.Left + 5, lr.Top + 5);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "legend"}));
  a->Active = false;
  EXPECT_EQ(chart.LegendItemCount(), 1);
  chart.Legend.Alignment = TLegendAlignment::laBottom;
  EXPECT_GT(chart.LegendRect().Top, chart.PlotRect().Bottom);
  chart.Legend.Visible = false;
  EXPECT_EQ(chart.LegendItemAt(lr.Left + 5, lr.Top + 5), -1);
}

TEST_F(ChartFixture, PieSlicesAnglesHitsAndLegend) {
  chart.Legend.Visible = true;
  chart.Legend.Alignment = TLegendAlignment::laBottom;
  auto* pie = chart.AddPieSeries();
  pie->Add(1, "one", clRed);
  pie->Add(kNaN, "bad", clGreen);
  pie->Add(2, "two", clBlue);
  pie->Add(-3, "negative", clYellow);
  pie->Add(1, "three", clLime);
  // From 12 o'clock clockwise; bad and negative values take no room.
  for (auto [slice, start, sweep] : {std::tuple{0, 90.0, -90.0}, {1, 0.0, 0.0}, {2, 0.0, -180.0}, {3, 0.0, 0.0},
                                     {4, -180.0, -90.0}}) {
    if (sweep != 0) {
      EXPECT_DOUBLE_EQ(pie->SliceStartAngle(slice), start) << slice;
    }
    EXPECT_DOUBLE_EQ(pie->SliceSweep(slice), sweep) << slice;
  }
  TRect b = pie->PieBounds();
  ASSERT_GT(b.Width(), 100);
  EXPECT_EQ(b.Width(), b.Height());
  int cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2, r = b.Width() / 4;
  EXPECT_EQ(pie->Clicked(cx + r, cy - r), 0);  // upper right quarter
  EXPECT_EQ(pie->Clicked(cx - r, cy - r), 4);  // upper left quarter
  EXPECT_EQ(pie->Clicked(b.Left + 2, b.Top + 2), -1);  // outside the circle
  // No axes around a pie; its legend lists the slices in their colours.
  EXPECT_FALSE(chart.LeftAxis.Drawn());
  EXPECT_EQ(chart.LegendItemCount(), 5);
  TBitmap out(800, 500);
  chart.Paint(out.Canvas());
  EXPECT_EQ(out.Pixel(cx + r, cy - r), clRed);
  EXPECT_EQ(out.Pixel(cx, cy + r), clBlue);
  EXPECT_EQ(out.Pixel(cx - r, cy - r), clLime);
  // All zero: nothing to draw, nothing to hit, no division by zero.
  pie->Clear();
  pie->Add(0);
  pie->Add(0);
  EXPECT_EQ(pie->Clicked(cx + r, cy - r), -1);
  EXPECT_DOUBLE_EQ(pie->SliceSweep(0), 0);
  chart.Paint(out.Canvas());
}

// Columns a colour covers, with the topmost and lowest row in each.
std::vector<std::pair<int, int>> Coverage(const TBitmap& img, const TRect& r, TColor background) {
  std::vector<std::pair<int, int>> cols;
  for (int x = r.Left; x < r.Right; ++x) {
    int lo = -1, hi = -1;
    for (int y = r.Top; y < r.Bottom; ++y)
      if (img.Pixel(x, y) != background) {
        if (lo < 0) lo = y;
        hi = y;
      }
    cols.emplace_back(lo, hi);
  }
  return cols;
}

TEST_F(ChartFixture, ReducedLinesCoverTheSamePixelsAsAllPoints) {
  chart.BackColor = clWhite;
  chart.Frame.Style = TPenStyle::psClear;
  chart.LeftAxis.GridVisible = chart.BottomAxis.GridVisible = false;
  auto* s = chart.AddLineSeries();
  auto* two = chart.AddLineSeries();
  // Noisy data, 200000 points, and a second series with colour runs.
  uint32_t seed = 12345;
  auto noise = [&] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / (1u << 24) - 0.5;
  };
  for (int i = 0; i < 200000; ++i) {
    s->AddXY(i, std::sin(i / 5000.0) * 100 + noise() * 40);
    two->AddXY(i, std::cos(i / 3000.0) * 50 + noise() * 10 + 300, "", (i / 777) % 2 ? clBlue : clLime);
  }
  s->SeriesColor = clBlack;
  TRect plot = chart.PlotRect();
  auto render = [&](bool all) {
    chart.DrawAllPoints = all;
    TBitmap img(800, 500);
    chart.Paint(img.Canvas());
    img.Canvas().EndPaint();
    return img;
  };
  TBitmap full = render(true);
  TBitmap reduced = render(false);
  // The black curve alone (the other one lies above it).
  TRect lower{plot.Left, chart.LeftAxis.ValueToPixel(200), plot.Right, plot.Bottom};
  EXPECT_EQ(Coverage(full, lower, clWhite), Coverage(reduced, lower, clWhite));
  TRect upper{plot.Left, plot.Top, plot.Right, chart.LeftAxis.ValueToPixel(200)};
  EXPECT_EQ(Coverage(full, upper, clWhite), Coverage(reduced, upper, clWhite));
  int blue_full = 0, blue_reduced = 0;
  for (int x = plot.Left; x < plot.Right; ++x)
    for (int y = upper.Top; y < upper.Bottom; ++y) {
      blue_full += full.Pixel(x, y) == clBlue;
      blue_reduced += reduced.Pixel(x, y) == clBlue;
    }
  EXPECT_GT(blue_full, 100);
  EXPECT_NEAR(blue_reduced, blue_full, blue_full / 50);
}

// The reduction with gaps (NaN breaks the line) and with points beyond a
// fixed range on both sides, where the per-point checks are needed.
TEST_F(ChartFixture, ReducedLinesWithGapsAndPointsOutsideMatchAllPoints) {
  chart.BackColor = clWhite;
  chart.Frame.Style = TPenStyle::psClear;
  chart.LeftAxis.GridVisible = chart.BottomAxis.GridVisible = false;
  auto* s = chart.AddLineSeries();
  s->SeriesColor = clBlack;
  for (int i = 0; i < 50000; ++i)
    s->AddXY(i, i % 9000 < 300 ? std::nan("") : std::sin(i / 700.0) * 100 + (i * 7919 % 13));
  chart.BottomAxis.SetMinMax(10000, 40000);
  auto render = [&](bool all) {
    chart.DrawAllPoints = all;
    TBitmap img(800, 500);
    chart.Paint(img.Canvas());
    img.Canvas().EndPaint();
    return img;
  };
  const TBitmap full = render(true), reduced = render(false);
  const TRect plot = chart.PlotRect();
  const auto columns = Coverage(full, plot, clWhite);
  EXPECT_GT(std::count_if(columns.begin(), columns.end(), [](auto c) { return c.first >= 0; }), 500);
  EXPECT_EQ(columns, Coverage(reduced, plot, clWhite));
}

// Whole arrays added in blocks keep the extremes, the finiteness and the
// order up to date as they are copied: ranges and pixels are those of the
// same points added one by one.
TEST(ChartBlocks, BlocksGiveTheRangesAndPixelsOfSinglePoints) {
  struct Block {
    std::vector<double> x, y;
  };
  auto ramp = [](double from, int n, double dx, double y0) {
    Block b;
    for (int i = 0; i < n; ++i) {
      b.x.push_back(from + i * dx);
      b.y.push_back(y0 + std::sin(i * 0.7) * 40 + (i * 37 % 11));
    }
    return b;
  };
  auto with = [](Block b, size_t i, double x, double y) {
    b.x[i] = x;
    b.y[i] = y;
    return b;
  };
  struct Row {
    const char* name;
    std::vector<Block> blocks;
    // 0: none; a point by AddXY before the blocks at x = first_x, with its
    // extremes asked for (1) or not (2).
    int single_first = 0;
    double first_x = 0;
  };
  auto gap = [](Block b, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i) b.y[i] = kNaN;
    return b;
  };
  std::vector<Row> rows = {
      {"one point", {ramp(3, 1, 1, 5)}},
      {"tails of every length", {ramp(0, 2, 1, 5), ramp(2, 3, 1, 5), ramp(5, 5, 1, 5), ramp(10, 7, 1, 5)}},
      {"rising in one block", {ramp(0, 3000, 1, 100)}},
      {"joined in order", {ramp(0, 1500, 1, 100), ramp(1499, 1500, 1, -50)}},
      {"joined out of order", {ramp(0, 1500, 1, 100), ramp(700, 1500, 1, 300)}},
      {"back into one column", {ramp(0, 1000, 1, 100), ramp(500, 1000, 0.0001, 300)}},
      {"falling at the last pair", {with(ramp(0, 9, 1, 5), 8, 6.5, 5)}},
      {"falling inside", {with(ramp(0, 2001, 1, 5), 1000, 400, 5)}},
      {"falling", {ramp(3000, 3000, -1, 0)}},
      {"NaN y", {ramp(0, 1000, 1, 5), with(ramp(1000, 1000, 1, 5), 500, 1500, kNaN)}},
      {"a gap, then clean", {gap(ramp(0, 1000, 1, 5), 400, 100), ramp(1000, 1000, 1, 5)}},
      {"NaN x", {with(ramp(0, 1000, 1, 5), 999, kNaN, 7)}},
      {"infinite ends", {with(with(ramp(0, 1000, 1, 5), 0, -kInf, 5), 999, kInf, 5)}},
      {"infinite y", {with(ramp(-500, 1000, 1, -20), 10, 10, kInf)}},
      {"after a single point", {ramp(1, 1000, 1, 5)}, 1, 0},
      {"after a later single point", {ramp(1, 1000, 1, 5)}, 1, 5000},
      {"after a point not yet measured", {ramp(1, 1000, 1, 5), ramp(0, 10, 1, 5)}, 2, 3},
  };
  // 300 points at x = 0, 211 at x = 1000 and the last one back at 0: the
  // step back is the block's last, which vector passes leave to the end,
  // and a search for column ends that took the points as rising would
  // reach it from the first point and leave out those at 1000.
  Block back = ramp(0, 512, 0, 5);
  for (size_t i = 300; i < 511; ++i) back.x[i] = 1000;
  rows.push_back({"back to the start at the last point", {back}});
  rows.push_back({"back to the start after a block", {ramp(-10, 10, 1, 5), back}});
  Block head = back, last;
  head.x.pop_back();
  head.y.pop_back();
  last.x = {back.x.back()};
  last.y = {back.y.back()};
  rows.push_back({"back to the start in a block of its own", {head, last}});
  for (const Row& r : rows) {
    TChart blocks, points;
    for (TChart* c : {&blocks, &points}) {
      c->SetBounds(0, 0, 600, 400);
      c->Legend.Visible = false;
      c->BackColor = clWhite;
      c->Frame.Style = TPenStyle::psClear;
      c->LeftAxis.GridVisible = c->BottomAxis.GridVisible = false;
    }
    TChartSeries* a = blocks.AddLineSeries();
    TChartSeries* b = points.AddLineSeries();
    a->SeriesColor = b->SeriesColor = clBlack;
    if (r.single_first > 0) {
      a->AddXY(r.first_x, 1);
      b->AddXY(r.first_x, 1);
      if (r.single_first == 1) a->MaxYValue();  // the extremes known before the blocks come
    }
    for (const Block& k : r.blocks) {
      a->AddXYs(k.x.data(), k.y.data(), static_cast<int>(k.x.size()));
      for (size_t i = 0; i < k.x.size(); ++i) b->AddXY(k.x[i], k.y[i]);
    }
    ASSERT_EQ(a->Count(), b->Count()) << r.name;
    EXPECT_EQ(std::memcmp(a->XValues().data(), b->XValues().data(), a->XValues().size() * sizeof(double)), 0)
        << r.name;
    EXPECT_EQ(std::memcmp(a->YValues().data(), b->YValues().data(), a->YValues().size() * sizeof(double)), 0)
        << r.name;
    const std::string name = std::string(r.name) + " (" + std::to_string(a->Count()) + " points)";
    EXPECT_EQ(a->MinXValue(), b->MinXValue()) << name;
    EXPECT_EQ(a->MaxXValue(), b->MaxXValue()) << name;
    EXPECT_EQ(a->MinYValue(), b->MinYValue()) << name;
    EXPECT_EQ(a->MaxYValue(), b->MaxYValue()) << name;
    EXPECT_EQ(a->MinPositiveXValue(), b->MinPositiveXValue()) << name;
    EXPECT_EQ(a->MinPositiveYValue(), b->MinPositiveYValue()) << name;
    points.DrawAllPoints = true;  // every segment drawn: the reference
    TBitmap img_a(600, 400), img_b(600, 400);
    blocks.Paint(img_a.Canvas());
    points.Paint(img_b.Canvas());
    img_a.Canvas().EndPaint();
    img_b.Canvas().EndPaint();
    const TRect plot = blocks.PlotRect();
    int differing = 0, inked = 0;
    for (int x = plot.Left; x < plot.Right; ++x)
      for (int y = plot.Top; y < plot.Bottom; ++y) {
        differing += img_a.Pixel(x, y) != img_b.Pixel(x, y);
        inked += img_b.Pixel(x, y) != clWhite;
      }
    EXPECT_GT(inked, 0) << name;
    EXPECT_EQ(differing, 0) << name;
  }
}

TEST_F(ChartFixture, DragZoomsAndUndoRestores) {
  auto* s = chart.AddLineSeries();
  for (int i = 0; i <= 100; ++i) s->AddXY(i, i);
  chart.LeftAxis.SetMinMax(0, 100);
  TRect p = chart.PlotRect();
  int x1 = p.Left + 100, y1 = p.Top + 50, x2 = p.Left + 300, y2 = p.Top + 200;
  double want_x1 = chart.BottomAxis.PixelToValue(x1), want_x2 = chart.BottomAxis.PixelToValue(x2);
  double want_y1 = chart.LeftAxis.PixelToValue(y2), want_y2 = chart.LeftAxis.PixelToValue(y1);
  chart.DoMouseDown(TMouseButton::mbLeft, 0, x1, y1);
  chart.DoMouseMove(ssLeft, x2, y2);
  chart.DoMouseUp(TMouseButton::mbLeft, 0, x2, y2);
  ASSERT_TRUE(chart.IsZoomed());
  EXPECT_NEAR(chart.BottomAxis.Minimum(), want_x1, 1e-9);
  EXPECT_NEAR(chart.BottomAxis.Maximum(), want_x2, 1e-9);
  EXPECT_NEAR(chart.LeftAxis.Minimum(), want_y1, 1e-9);
  EXPECT_NEAR(chart.LeftAxis.Maximum(), want_y2, 1e-9);
  // Dragging up and left undoes it.
  chart.DoMouseDown(TMouseButton::mbLeft, 0, x2, y2);
  chart.DoMouseMove(ssLeft, x1, y1);
  chart.DoMouseUp(TMouseButton::mbLeft, 0, x1, y1);
  EXPECT_FALSE(chart.IsZoomed());
  EXPECT_TRUE(chart.BottomAxis.Automatic());
  EXPECT_DOUBLE_EQ(chart.LeftAxis.Maximum(), 100);
  EXPECT_FALSE(chart.LeftAxis.Automatic());
  // UndoZoom does the same; a tiny drag or a disabled zoom does nothing.
  chart.ZoomRect({x1, y1, x2, y2});
  chart.UndoZoom();
  EXPECT_FALSE(chart.IsZoomed());
  chart.DoMouseDown(TMouseButton::mbLeft, 0, x1, y1);
  chart.DoMouseUp(TMouseButton::mbLeft, 0, x1 + 2, y1 + 2);
  EXPECT_FALSE(chart.IsZoomed());
  chart.AllowZoom = false;
  chart.DoMouseDown(TMouseButton::mbLeft, 0, x1, y1);
  chart.DoMouseMove(ssLeft, x2, y2);
  chart.DoMouseUp(TMouseButton::mbLeft, 0, x2, y2);
  EXPECT_FALSE(chart.IsZoomed());
}

TEST_F(ChartFixture, PaintHooksAndTheSeriesLessPanel) {
  auto* bars = chart.AddBarSeries();
  bars->Add(10, "a", clYellow);
  bars->Add(20, "b", clYellow);
  chart.BackColor = clWhite;
  std::vector<std::string> order;
  TRect plot = chart.PlotRect();
  chart.OnBeforeDrawAxes = [&](TControl*, TCanvas& cv) {
    order.push_back("before");
    cv.Brush.Color = clAqua;
    cv.FillRect({plot.Left, plot.Top, plot.Left + 20, plot.Bottom});
  };
  chart.OnAfterDraw = [&](TControl*, TCanvas& cv) {
    order.push_back("after");
    EXPECT_FALSE(cv.HasClipRect());
    cv.Brush.Color = clFuchsia;
    cv.FillRect({0, 0, 3, 3});
  };
  TBitmap out(800, 500);
  chart.Paint(out.Canvas());
  EXPECT_EQ(order, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(out.Pixel(plot.Left + 10, plot.Top + 5), clAqua);  // under the bars' free space
  EXPECT_EQ(out.Pixel(1, 1), clFuchsia);
  EXPECT_EQ(out.Pixel(bars->CalcXPos(1), chart.LeftAxis.ValueToPixel(10)), clYellow);

  TChart panel;
  panel.SetBounds(0, 0, 100, 50);
  panel.Gradient.Visible = true;
  panel.Gradient.StartColor = clWhite;
  panel.Gradient.EndColor = clBlack;
  EXPECT_EQ(panel.SeriesAt(50, 25), nullptr);
  TBitmap p(100, 50);
  panel.Paint(p.Canvas());
  EXPECT_EQ(p.Pixel(50, 0), clWhite);
  EXPECT_EQ(p.Pixel(50, 49), clBlack);
  EXPECT_EQ(p.Pixel(0, 25), p.Pixel(99, 25));  // no axes, no frame
}

// The showcase, saved as a PNG to look at: four axes with logarithmic
// horizontal ones, the bottom one labelled from point texts and turned, a
// legend below, titles and a foot.
TEST(ChartRender, FourAxesLogLabelsAndLegend) {
  TChart c;
  c.SetBounds(0, 0, 800, 500);
  c.Color = 0xF0F0F0;
  c.BackColor = clWhite;
  c.Title.Text.Add("Power / duration");
  c.Foot.Text.Add("foot line");
  c.Legend.Alignment = TLegendAlignment::laBottom;
  auto* labels = c.AddLineSeries();
  labels->ShowInLegend = false;
  for (int t : {1, 2, 5, 10, 30, 60, 120, 300, 600, 1200, 3600})
    labels->AddXY(t, 0, Format("%d:%02d:%02d", t / 3600, t / 60 % 60, t % 60));
  auto* power = c.AddLineSeries();
  power->Title = "Power";
  power->SeriesColor = clRed;
  power->PenWidth = 2;
  power->HorizAxis = THorizAxis::aTopAxis;
  for (int t = 1; t <= 3600; ++t) power->AddXY(t, 200 + 800 / std::sqrt(t));
  auto* hr = c.AddLineSeries();
  hr->Title = "Heart rate";
  hr->SeriesColor = clBlue;
  hr->HorizAxis = THorizAxis::aTopAxis;
  hr->VertAxis = TVertAxis::aRightAxis;
  for (int t = 1; t <= 3600; t += 10) hr->AddXY(t, 120 + 40 * std::log10(t));
  c.BottomAxis.Logarithmic = c.TopAxis.Logarithmic = true;
  c.BottomAxis.LabelsAngle = 90;
  c.BottomAxis.Title = "Time [hh:mm:ss]";
  c.LeftAxis.Title = "Power [W]";
  c.LeftAxis.SetMinMax(0, 1200);
  TBitmap img(800, 500);
  c.Paint(img.Canvas());
  img.Canvas().EndPaint();
  // Left for a look in the temporary folder, never beside the test programs.
  ASSERT_TRUE(img.SaveToPng(std::filesystem::temp_directory_path() / "tavlog_chart_showcase.png"));

  TRect plot = c.PlotRect();
  EXPECT_EQ(img.Pixel(2, 2), 0xF0F0F0u);
  EXPECT_EQ(img.Pixel(c.RightAxis.Position(), (plot.Top + plot.Bottom) / 2), clBlack);
  // The red curve at t = 100 s (top axis, logarithmic), the blue one at 1000 s.
  auto near = [&](int x, int y, TColor colour) {
    for (int dy = -2; dy <= 2; ++dy)
      if (img.Pixel(x, y + dy) == colour) return true;
    return false;
  };
  EXPECT_TRUE(near(c.TopAxis.ValueToPixel(100), c.LeftAxis.ValueToPixel(280), clRed));
  EXPECT_TRUE(near(c.TopAxis.ValueToPixel(1001), c.RightAxis.ValueToPixel(120 + 40 * std::log10(1001.0)), clBlue));
  // Bottom labels are point texts, turned, at logarithmic places.
  auto bottom = c.BottomAxis.Labels();
  ASSERT_FALSE(bottom.empty());
  EXPECT_EQ(bottom.front().Text, "0:00:01");
  EXPECT_EQ(bottom.front().Pixel, plot.Left);
  int ink = 0;
  for (int yy = plot.Bottom + 5; yy < plot.Bottom + 60; ++yy)
    for (int xx = plot.Left - 8; xx <= plot.Left + 8; ++xx) ink += GetRValue(img.Pixel(xx, yy)) < 100;
  EXPECT_GT(ink, 10);
  // The legend shows the two curves in their colours.
  TRect lr = c.LegendRect();
  EXPECT_EQ(c.LegendItemCount(), 2);
  int reds = 0;
  for (int yy = lr.Top; yy < lr.Bottom; ++yy)
    for (int xx = lr.Left; xx < lr.Right; ++xx) reds += img.Pixel(xx, yy) == clRed;
  EXPECT_GT(reds, 50);
}

}  // namespace
}  // namespace tav
