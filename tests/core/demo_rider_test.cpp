#include "core/demo_rider.h"

#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/settings.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "core_test_util.h"

namespace tav {
namespace {

using namespace testing_core;

class DemoRiderTest : public CoreFixture {};

TEST(SyntheticRide, DeterministicAndShapedByItsKind) {
  SyntheticRideOptions o;
  o.Seed = 99;
  o.DurationSeconds = 1800;
  o.Interval = 2;
  auto a = MakeSyntheticRide(o);
  auto b = MakeSyntheticRide(o);
  ASSERT_EQ(a.size(), 901u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[3].Time - a[2].Time, 2);
  EXPECT_EQ(HeaderSport(a[0]), kSportBikePower);
  o.Seed = 100;
  EXPECT_NE(MakeSyntheticRide(o), a);
  o.Sport = kSportBikeHeartRate;
  o.WithPowerMeter = false;
  auto hr = MakeSyntheticRide(o);
  bool anyCadence = false;
  for (std::size_t i = 1; i < hr.size(); ++i) {
    ASSERT_EQ(hr[i].Power, 0.0f);
    anyCadence |= hr[i].Cadence > 5.0f;
  }
  EXPECT_TRUE(anyCadence);
  o.Sport = kSportRun;
  auto run = MakeSyntheticRide(o);
  for (std::size_t i = 1; i < run.size(); ++i) ASSERT_EQ(run[i].Cadence, 0.0f);
  EXPECT_GT(run.back().Distance, 3.0f);

  // An hour's ride gives plausible statistics.
  const std::vector<TripSample> ride = DemoRide(7, 3600);
  TripInput in{ride.data(), static_cast<int>(ride.size()), 1, 250.0f, 2.0f, 0.0f};
  TripSummary s;
  ASSERT_TRUE(SummarizeTrip(in, s));
  EXPECT_EQ(s.TotalTime, 3600);
  EXPECT_GT(s.Distance, 20.0f);
  EXPECT_LT(s.Distance, 45.0f);
  EXPECT_GT(s.NP, s.MeanPowerAll);
  EXPECT_GT(s.IF, 0.5f);
  EXPECT_LT(s.IF, 1.1f);
  EXPECT_GT(s.MeanHeartRate, 100.0f);
  EXPECT_LT(s.MeanHeartRate, 180.0f);
  EXPECT_GT(s.MeanCadence, 70.0f);
  EXPECT_GT(s.MaxPower, 500.0f);  // sprints
}

TEST_F(DemoRiderTest, SmallDemoRiderIsReadableByTheCore) {
  DemoRiderSummary summary;
  std::string err;
  auto prog = dir_ / "prog";
  ASSERT_TRUE(MakeDemoRider(prog, 26, &summary, &err)) << err;
  EXPECT_EQ(summary.Trips, 26);
  EXPECT_EQ(summary.ManualEntries, 1);
  EXPECT_EQ(summary.PendingLines, 1);

  ResetCoreData();
  std::vector<std::string> messages;
  StartCore(PathText(prog), &messages);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(CurrentRiderName, "DEMO");
  EXPECT_EQ(UnitFlags, 0);
  ASSERT_EQ(TripList.Count(), 26 + 1 + 1);
  EXPECT_EQ(TripList[TripList.Count() - 1], "ERASED :");
  int pf = 0, manual = 0;
  for (int i = 0; i + 1 < TripList.Count(); ++i) {
    const std::string& line = TripList[i];
    ASSERT_TRUE(IsTripLine(line)) << line;
    if (i > 0) {
      EXPECT_LT(TripList[i - 1], line);  // date order
    }
    pf += LineHasPF(line);
    if (IsManualLine(line)) {
      ++manual;
      continue;
    }
    int slot = *LineSlot(line);
    if (!LineHasPF(line)) {
      EXPECT_GT(TripSummaryTable[slot].TotalTime, 0);
    } else {
      EXPECT_EQ(TripSummaryTable[slot].TotalTime, 0);
    }
  }
  EXPECT_EQ(pf, 1);
  EXPECT_EQ(manual, 1);
  TStringList& list = TripList;
  EXPECT_EQ(LoadTripByListIndex(list, 0), 1);
  EXPECT_GE(TripSampleCount, 60);
  EXPECT_EQ(TripZoneBlock[0], 5555.0f);
}

}  // namespace
}  // namespace tav
