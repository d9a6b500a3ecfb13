// What the zone pie says: each slice's value, colour and legend text, the
// title and foot lines with their fonts, filled once and again, and the
// popup's size and drag bounds.
#include "analysis/zone_pie.h"

#include <gtest/gtest.h>

#include "core/core_data.h"

namespace tav {
namespace {

TEST(ZonePieReadouts, SliceTextsOfTimesAndShares) {
  struct Case {
    const char* name;
    double seconds, total;
    const char* text;
  } cases[] = {
      {"REKOM", 36061, 72122, "REKOM 10:01:01 / 50.0% "},
      {"GA1", 3599, 3599, "GA1   00:59:59 / 100.0% "},
      {"K-SB", 59, 177, "K-SB  00:00:59 / 33.3% "},
      {"SB", 754, 1000, "SB    00:12:34 / 75.4% "},
      {"ABCDEF", 7200.9, 7200.9, "ABCDE 02:00:00 / 100.0% "},  // five characters; whole seconds
      {"", 0, 100, "      00:00:00 /  0.0% "},
  };
  for (const Case& c : cases) EXPECT_EQ(ZonePieSliceLabel(c.name, c.seconds, c.total), c.text) << c.name;
}

class ZonePieFillTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCoreData(); }
  void TearDown() override {
    Screen() = saved_;
    ResetCoreData();
  }
  TScreen saved_ = Screen();
};

// Seven zones of 400, 600, 1000 and 2000 s (4000 s: 10, 15, 25 and 50 %);
// the eighth zone's time is beyond the rider's zones and counts not.
TEST_F(ZonePieFillTest, EverySliceTitleAndFoot) {
  TForm10 pie;
  ZonePieFill fill;
  fill.title = {"Portion in %", "training zones power"};
  fill.foot = {"10.03.2014 - 09:00  Intervals", "Time = 01:02:05    Distance [km] =   42.500"};
  fill.seconds = {400, 600, 1000, 0, 0, 0, 2000, 777, 0, 0};
  fill.zoneCount = 7;
  ASSERT_TRUE(ShowZonePie(pie, fill));
  const char* const labels[7] = {"NULL  00:06:40 / 10.0% ", "REKOM 00:10:00 / 15.0% ", "GA1   00:16:40 / 25.0% ",
                                 "GA2   00:00:00 /  0.0% ", "EB    00:00:00 /  0.0% ", "SB    00:00:00 /  0.0% ",
                                 "K-SB  00:33:20 / 50.0% "};
  auto expectSlices = [&](const char* what) {
    ASSERT_EQ(pie.Pie->Count(), 7) << what;
    for (int z = 0; z < 7; ++z) {
      EXPECT_EQ(pie.Pie->YValue(z), fill.seconds[static_cast<std::size_t>(z)]) << what << " " << z;
      EXPECT_EQ(pie.Pie->Label(z), labels[z]) << what << " " << z;
      EXPECT_EQ(pie.Pie->ValueColor(z), ZoneColors[z]) << what << " " << z;
    }
  };
  expectSlices("first fill");
  const TChart& chart = *pie.C_Detail;
  ASSERT_EQ(chart.Title.Text.Count(), 2);
  EXPECT_EQ(chart.Title.Text[0], "Portion in %");
  EXPECT_EQ(chart.Title.Text[1], "training zones power");
  ASSERT_EQ(chart.Foot.Text.Count(), 2);
  EXPECT_EQ(chart.Foot.Text[0], "10.03.2014 - 09:00  Intervals");
  EXPECT_EQ(chart.Foot.Text[1], "Time = 01:02:05    Distance [km] =   42.500");
  EXPECT_EQ(chart.Title.Font.Color, RGBColor(255, 251, 240));
  EXPECT_EQ(chart.Foot.Font.Color, RGBColor(255, 251, 240));
  EXPECT_EQ(chart.Title.Font.Size, 11);
  EXPECT_EQ(chart.Foot.Font.Size, 8);

  // Filled again while open: the same slices and lines, not twice.
  ASSERT_TRUE(ShowZonePie(pie, fill));
  expectSlices("second fill");
  EXPECT_EQ(chart.Title.Text.Count(), 2);
  EXPECT_EQ(chart.Foot.Text.Count(), 2);
}

TEST_F(ZonePieFillTest, TenZonesAtMost) {
  TForm10 pie;
  ZonePieFill fill;
  fill.seconds = {0, 0, 0, 0, 0, 0, 0, 0, 0, 300};
  for (const int zones : {10, 12}) {
    fill.zoneCount = zones;
    ASSERT_TRUE(ShowZonePie(pie, fill));
    ASSERT_EQ(pie.Pie->Count(), 10) << zones;
    EXPECT_EQ(pie.Pie->Label(9), "ZONE9 00:05:00 / 100.0% ") << zones;
    EXPECT_EQ(pie.Pie->ValueColor(9), ZoneColors[9]) << zones;
  }
  // Nine zones: the tenth zone's time is none of them.
  fill.zoneCount = 9;
  fill.seconds[8] = 100;
  ASSERT_TRUE(ShowZonePie(pie, fill));
  ASSERT_EQ(pie.Pie->Count(), 9);
  EXPECT_EQ(pie.Pie->Label(8), "ZONE8 00:01:40 / 100.0% ");
}

// Narrower screens than 1100 pixels get the smaller popup; on a low screen
// the popup moves to the top edge.
TEST_F(ZonePieFillTest, SizeByScreenWidthAndPlaceOnALowScreen) {
  struct Case {
    int width, height;
    int clientHeight, top;
  } cases[] = {{1099, 1080, 300, 120}, {1100, 1080, 340, 120}, {1920, 1080, 340, 120}, {1920, 400, 340, 1}};
  for (const Case& c : cases) {
    Screen().Width = c.width;
    Screen().Height = c.height;
    TForm10 pie;
    EXPECT_EQ(pie.ClientWidth(), 400) << c.width << " x " << c.height;
    EXPECT_EQ(pie.ClientHeight(), c.clientHeight) << c.width << " x " << c.height;
    EXPECT_EQ(pie.Top, c.top) << c.width << " x " << c.height;
    EXPECT_EQ(pie.C_Detail->Height, c.clientHeight - 2) << c.width << " x " << c.height;
  }
}

// A drag moves the popup with the mouse, but never so that its top edge
// reaches 0.
TEST_F(ZonePieFillTest, DragStopsAboveTheTopEdge) {
  TForm10 pie;
  pie.SetBounds(500, 100, pie.Width, pie.Height);
  Application().CursorPos = {600, 110};
  pie.SB_MOVE->DoMouseDown(TMouseButton::mbLeft, 0, 5, 5);
  struct Move {
    int x, y;
    int left, top;
  } moves[] = {{640, 60, 540, 50}, {620, 11, 520, 1}, {630, 10, 520, 1}, {700, -50, 520, 1}, {580, 30, 480, 20}};
  for (const Move& m : moves) {
    Application().CursorPos = {m.x, m.y};
    pie.SB_MOVE->DoMouseMove(ssLeft, 5, 5);
    EXPECT_EQ(pie.Left, m.left) << m.x << "," << m.y;
    EXPECT_EQ(pie.Top, m.top) << m.x << "," << m.y;
  }
  pie.SB_MOVE->DoMouseUp(TMouseButton::mbLeft, 0, 5, 5);
}

}  // namespace
}  // namespace tav
