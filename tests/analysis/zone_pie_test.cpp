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
  EXPECT_TRUE(ShowZonePie(pie, fill));
  EXPECT_TRUE(pie.Visible);
  ASSERT_EQ(pie.Pie->Count(), 3);
  EXPECT_EQ(pie.Pie->Label(1), "REKOM 00:00:00 /  0.0% ");

  // Filled again while visible: in place, where the user dragged it.
  auto mouse = [&](int x, int y) { Application().CursorPos = {x, y}; };
  mouse(1600, 200);
  pie.SB_MOVE->DoMouseDown(TMouseButton::mbLeft, 0, 5, 5);
  mouse(1630, 220);
  pie.SB_MOVE->DoMouseMove(ssLeft, 0, 0);
  EXPECT_EQ(pie.Top, 140);
  EXPECT_EQ(pie.Left, Screen().Width - 390);
  // A move that would take the top edge to 0 or above is not made.
  mouse(1630, 80);
  pie.SB_MOVE->DoMouseMove(ssLeft, 0, 0);
  EXPECT_EQ(pie.Top, 140);
  pie.SB_MOVE->DoMouseUp(TMouseButton::mbLeft, 0, 5, 5);
  mouse(1700, 400);
  pie.SB_MOVE->DoMouseMove(0, 0, 0);  // no drag after the release
  EXPECT_EQ(pie.Top, 140);
  fill.seconds = {600, 1800, 1200};
  fill.foot.clear();
  EXPECT_TRUE(ShowZonePie(pie, fill));
  EXPECT_EQ(pie.Top, 140);
  EXPECT_EQ(pie.Pie->Label(1), "REKOM 00:30:00 / 50.0% ");
  EXPECT_EQ(pie.C_Detail->Foot.Text.Count(), 0);
  EXPECT_EQ(pie.C_Detail->Title.Font.Color, RGBColor(255, 251, 240));
  EXPECT_NE(snapshot::SaveFormPng(pie, "zone_pie"), "");
  pie.SB_Close->DoClick();
  EXPECT_FALSE(pie.Visible);
}

}  // namespace
}  // namespace tav
