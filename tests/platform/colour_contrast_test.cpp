// Readable colours: the contrast measure against hand-worked values, and
// curves drawn on a chart in colours that read on its plot.
#include "platform/colour_contrast.h"

#include <gtest/gtest.h>

#include "contrast_reference.h"
#include "platform/canvas.h"
#include "platform/chart.h"

namespace tav {
namespace {

using testing_contrast::Contrast;

TEST(ColourContrast, RatiosOfKnownPairs) {
  // Worked out from the definition: black on white 21, yellow on white
  // 1.07, red on white 4.0, navy on white 16.0 (to two places).
  EXPECT_NEAR(ContrastRatio(clBlack, clWhite), 21.0, 0.005);
  EXPECT_NEAR(ContrastRatio(clWhite, clYellow), 1.07, 0.005);
  EXPECT_NEAR(ContrastRatio(clRed, clWhite), 4.00, 0.005);
  EXPECT_NEAR(ContrastRatio(clWhite, clNavy), 16.01, 0.005);
  EXPECT_NEAR(ContrastRatio(clGray, clGray), 1.0, 1e-9);
}

TEST(ColourContrast, ColoursAreKeptWhereTheyReadAndChangedJustEnoughWhereNot) {
  struct Row {
    TColor colour, background;
    bool kept;
  } rows[] = {
      {clYellow, clWhite, false}, {clLime, clWhite, false},  {clAqua, clWhite, false},
      {clWhite, clWhite, false},  {clSilver, clWhite, false}, {clRed, clWhite, true},
      {clBlue, clWhite, true},    {clNavy, clBlack, false},  {clYellow, clBlack, true},
      {clBlack, clBlack, false},  {clYellow, clBtnFace, false},
  };
  for (const Row& r : rows) {
    const TColor c = ReadableOn(r.colour, r.background);
    EXPECT_EQ(c == r.colour, r.kept) << std::hex << r.colour << " on " << r.background;
    EXPECT_GE(Contrast(c, r.background), 3.0) << std::hex << r.colour << " on " << r.background;
    if (r.kept) continue;
    // Just enough: the colour is not simply black or white.
    EXPECT_LT(Contrast(c, r.background), 3.3) << std::hex << r.colour << " on " << r.background;
  }
  // Yellow on white stays a yellow: equal red and green, no blue.
  const TColor dark_yellow = ReadableOn(clYellow, clWhite);
  EXPECT_EQ(dark_yellow & 0xFF, (dark_yellow >> 8) & 0xFF);
  EXPECT_EQ(dark_yellow >> 16, 0u);
  EXPECT_EQ(ReadableOn(clNone, clWhite), clNone);
}

TEST(ColourContrast, TextOnABoxIsThePreferredColourWhereItReadsElseBlackOrWhite) {
  for (TColor box : {clNavy, clPurple, TColor{0xC08000}, clSilver, clYellow, TColor{0x00A000}, clMaroon, clBlack,
                     clWhite}) {
    const TColor text = TextColourOn(box, clBlack);
    EXPECT_GE(Contrast(text, box), 4.5) << std::hex << box;
    EXPECT_TRUE(text == clBlack || text == clWhite);
    if (Contrast(clBlack, box) >= 4.5) {
      EXPECT_EQ(text, clBlack) << std::hex << box;
    }
  }
  EXPECT_EQ(TextColourOn(clNavy, clYellow), clYellow);  // the preferred colour reads there
}

// A chart draws a yellow line darker on its white plot, a red one as it is,
// and a navy one lighter on a black plot; the legend shows what is drawn.
TEST(ColourContrast, ChartCurvesReadOnTheirPlot) {
  struct Row {
    TColor plot, curve;
  } rows[] = {{clWhite, clYellow}, {clWhite, clRed}, {clBlack, clNavy}};
  for (const Row& r : rows) {
    TChart c;
    c.SetBounds(0, 0, 300, 200);
    c.Color = r.plot;
    auto* s = c.AddLineSeries();
    s->SeriesColor = r.curve;
    s->PenWidth = 3;
    s->Title = "curve";
    for (int x = 0; x <= 10; ++x) s->AddXY(x, 5);
    TBitmap img(300, 200);
    c.Paint(img.Canvas());
    img.Canvas().EndPaint();
    const TRect plot = c.PlotRect();
    const TColor drawn = img.Pixel((plot.Left + plot.Right) / 2, c.LeftAxis.ValueToPixel(5));
    EXPECT_GE(Contrast(drawn, r.plot), 3.0) << std::hex << r.curve;
    EXPECT_EQ(drawn == r.curve, Contrast(r.curve, r.plot) >= 3.0) << std::hex << r.curve;
    EXPECT_EQ(drawn, c.CurveColour(r.curve));
    int in_legend = 0;
    const TRect legend = c.LegendRect();
    for (int y = legend.Top; y < legend.Bottom; ++y)
      for (int x = legend.Left; x < legend.Right; ++x) in_legend += img.Pixel(x, y) == drawn;
    EXPECT_GT(in_legend, 4) << std::hex << r.curve;
  }
}

}  // namespace
}  // namespace tav
