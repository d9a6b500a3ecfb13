#include "analysis/zone_pie.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../viewing/form_snapshot.h"
#include "core/core_data.h"

namespace tav {
namespace {

TEST(ZonePie, SliceLabels) {
  EXPECT_EQ(ZonePieSliceLabel("GA1", 3725, 7450), "GA1   01:02:05 / 50.0% ");
  EXPECT_EQ(ZonePieSliceLabel("LONGNAME", 59.9, 0), "LONGN 00:00:59 /  0.0% ");  // no total: 0 %
  EXPECT_EQ(ZonePieSliceLabel("X", -5, 10), "X     00:00:00 /  0.0% ");
}

// Where the popup opens for a click: worked out by hand for a 400 x 340
// popup on a 1920 x 1080 screen, 12 px from the click.
TEST(ZonePie, OpensBesideTheClickInsideTheScreenClearOfCaptionBars) {
  const TRect screen{0, 0, 1920, 1080};
  struct Row {
    const char* what;
    TPoint click;
    std::vector<TRect> bars;
    TPoint at;
  } rows[] = {
      {"right below", {600, 300}, {}, {612, 312}},
      {"left below at the right edge", {1800, 300}, {}, {1388, 312}},
      {"left above in the bottom right corner", {1800, 1000}, {}, {1388, 648}},
      {"right above at the bottom", {600, 1000}, {}, {612, 648}},
      // A window's caption bar where it would open: just over the bar.
      {"over a caption bar below", {600, 300}, {{500, 400, 1300, 431}}, {612, 400 - 340}},
      // Caption bars above and below: between them.
      {"between caption bars", {600, 300}, {{0, 0, 1920, 31}, {0, 380, 1920, 411}, {0, 600, 1920, 631}},
       {612, 31}},
      // No room between them: over the least caption area (one bar of 31
      // rows level with the click; right of it, where it was asked first).
      {"least caption area", {600, 300}, {{0, 100, 1920, 131}, {0, 400, 1920, 431}, {0, 560, 1920, 591}},
       {612, 131}},
  };
  for (const Row& r : rows) {
    const TPoint at = ZonePiePlace(r.click, 400, 340, screen, r.bars);
    EXPECT_EQ(at.X, r.at.X) << r.what;
    EXPECT_EQ(at.Y, r.at.Y) << r.what;
  }
}

TEST(ZonePie, FillsShowsAndLeavesEmptyPiesToTheCaller) {
  ResetCoreData();
  std::strcpy(ZoneNames[1], "REKOM");
  TForm10 pie;
  ZonePieFill fill;
  fill.title = {"Portion in %", "training zones power"};
  fill.foot = {"24.12.2013 - 14:05  Ride"};
  fill.zoneCount = 3;
  // No time in any zone: the calendar shows nothing, the evaluation shows 0 %.
  fill.showWhenEmpty = false;
  EXPECT_FALSE(ShowZonePie(pie, fill));
  EXPECT_FALSE(pie.Visible);
  EXPECT_EQ(pie.Pie->Count(), 0);
  fill.showWhenEmpty = true;
  auto mouse = [&](int x, int y) { Application().CursorPos = {x, y}; };
  mouse(600, 300);  // where the user clicked: the popup opens beside it
  EXPECT_TRUE(ShowZonePie(pie, fill));
  EXPECT_TRUE(pie.Visible);
  EXPECT_EQ(pie.Left, 612);
  EXPECT_EQ(pie.Top, 312);
  ASSERT_EQ(pie.Pie->Count(), 3);
  EXPECT_EQ(pie.Pie->Label(1), "REKOM 00:00:00 /  0.0% ");

  // Filled again while visible: in place, where the user dragged it.
  mouse(1600, 200);
  pie.SB_MOVE->DoMouseDown(TMouseButton::mbLeft, 0, 5, 5);
  mouse(1630, 220);
  pie.SB_MOVE->DoMouseMove(ssLeft, 0, 0);
  EXPECT_EQ(pie.Top, 332);
  EXPECT_EQ(pie.Left, 642);
  // A move that would take the top edge to 0 or above is not made.
  mouse(1630, 200 - 332);
  pie.SB_MOVE->DoMouseMove(ssLeft, 0, 0);
  EXPECT_EQ(pie.Top, 332);
  pie.SB_MOVE->DoMouseUp(TMouseButton::mbLeft, 0, 5, 5);
  mouse(1700, 400);
  pie.SB_MOVE->DoMouseMove(0, 0, 0);  // no drag after the release
  EXPECT_EQ(pie.Top, 332);
  fill.seconds = {600, 1800, 1200};
  fill.foot.clear();
  EXPECT_TRUE(ShowZonePie(pie, fill));
  EXPECT_EQ(pie.Top, 332);
  EXPECT_EQ(pie.Left, 642);
  EXPECT_EQ(pie.Pie->Label(1), "REKOM 00:30:00 / 50.0% ");
  EXPECT_EQ(pie.C_Detail->Foot.Text.Count(), 0);
  EXPECT_EQ(pie.C_Detail->Title.Font.Color, RGBColor(255, 251, 240));
  EXPECT_NE(snapshot::SaveFormPng(pie, "zone_pie"), "");
  pie.SB_Close->DoClick();
  EXPECT_FALSE(pie.Visible);
}

}  // namespace
}  // namespace tav
