// The diary window fixture shared by the diary's window tests: a fresh core
// state, a rider folder in a temporary directory, and helpers to fill the
// trip list, open the diary and act on its grid.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_file.h"
#include "diary/diary_window.h"
#include "platform/canvas.h"
#include "platform/text.h"

namespace tav::diary_test {

namespace fs = std::filesystem;

inline std::string TripLine(int day, int hour, int kind, int slot, const std::string& tail = "*BIKE POWER") {
  return Format("201403%02i_%02i3000%i_TAV;%03i;", day, hour, kind, slot) + tail;
}

inline void PutStats(int slot, float km, int seconds, float power = 200.0f) {
  TripSummary& s = TripSummaryTable[slot];
  s = TripSummary{};
  s.TotalTime = seconds;
  s.Distance = km;
  s.MeanPowerNonZero = power;
  s.MeanPowerAll = power - 20;
  s.MeanHeartRate = 140;
  s.MeanCadence = 90;
  s.MeanSpeed = km / (seconds / 3600.0f);
  s.MeanTemperature = 15;
  s.NP = power + 10;
  s.IF = 0.8f;
  s.TSS = 60;
  s.Ascent = 500;
  s.Work = 1000;
  s.Weight = 70;
  TripDistributionTable[slot].Mark = kTableMark;  // nothing to load
}

class DiaryForm : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreData();
    dir_ = fs::temp_directory_path() / ("tavlog_diary_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    DerivePaths(PathText(dir_));
    RiderDir = PathText(dir_);
    CurrentRiderName = "ANNA";
    TripListPath = JoinPath(RiderDir, "ANNA.T_L");
    TripDatabasePath = JoinPath(RiderDir, "ANNA.T_D");
    form_ = std::make_unique<TForm3>();
    Form3 = f = form_.get();
  }
  void TearDown() override {
    DiaryCalendarPicture = nullptr;
    Form3 = nullptr;
    form_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Lines with statistics in slots 1, 2, ...: trips on March 1, 2, ... of
  // the given kinds, then the free-slot line.
  void Rides(int count, const std::vector<int>& kinds = {0}) {
    std::vector<std::string> lines;
    for (int k = 0; k < count; ++k) {
      PutStats(k + 1, 10.0f, 3600);
      lines.push_back(TripLine(k + 1, 8, kinds[static_cast<std::size_t>(k) % kinds.size()], k + 1));
    }
    lines.push_back("ERASED :");
    TripList.Assign(lines);
  }
  // Activation the way the openers do it.
  void Open(int tag) {
    f->Tag = tag;
    if (f->Visible) f->FormActivate(f);
    else f->Show();
  }
  std::string CellOf(int metric, int row) const { return f->DBook->Cell(DiaryColumnPos[metric], row); }
  using Texts = std::vector<std::string>;
  // The cells of some metrics in one row, or of one metric in rows [from, to).
  Texts RowOf(int row, std::initializer_list<int> metrics) const {
    Texts out;
    for (int m : metrics) out.push_back(CellOf(m, row));
    return out;
  }
  Texts ColumnOf(int metric, int from, int to) const {
    Texts out;
    for (int r = from; r < to; ++r) out.push_back(CellOf(metric, r));
    return out;
  }
  bool Marked(int row) const { return DiaryRowSelected.at(static_cast<std::size_t>(row)) != 0; }
  int MarkedCount() const { return static_cast<int>(std::count(DiaryRowSelected.begin(), DiaryRowSelected.end(), 1)); }
  // Mouse on a cell: 'd'own, 'm'ove or 'u'p.
  void Mouse(char what, int col, int row, TMouseButton b = TMouseButton::mbLeft) {
    const TRect r = f->DBook->CellRect(col, row);
    ASSERT_FALSE(r.Width() == 0) << "cell " << col << "," << row << " not in view";
    if (what == 'd') f->DBook->DoMouseDown(b, 0, r.Left + 3, r.Top + 3);
    if (what == 'm') f->DBook->DoMouseMove(ssLeft, r.Left + 3, r.Top + 3);
    if (what == 'u') f->DBook->DoMouseUp(b, 0, r.Left + 3, r.Top + 3);
  }
  void Drag(int col, int from_row, int to_row) {
    Mouse('d', col, from_row);
    Mouse('m', col, (from_row + to_row) / 2);
    Mouse('m', col, to_row);
    Mouse('u', col, to_row);
  }
  WORD Key(WORD key) {
    f->DoKeyDown(key, 0);
    return key;
  }
  // Every value cell shows its text whole (trailing blanks take no room).
  void ExpectEveryValueFits() {
    TCanvas& m = f->DBook->Canvas();
    for (int col = 0; col < kDiaryColumns; ++col) {
      const int metric = DiaryMetricAtColumn(DiaryColumnOrder, col);
      if (metric == kMetricComment || metric == kMetricRemark2) continue;
      for (int row = 0; row < f->DBook->RowCount(); ++row) {
        const std::string& text = f->DBook->Cell(col, row);
        const std::size_t end = text.find_last_not_of(' ');
        if (end == std::string::npos) continue;
        EXPECT_LE(m.TextWidth(text.substr(0, end + 1)) + 2, f->DBook->ColWidth(col))
            << col << "," << row << " '" << text << "'";
      }
    }
  }
  // A trip file of the rider's folder for the line's key.
  void WriteTrip(const std::string& line, int seconds, int interval = 1, int sport = kSportBikePower) {
    SyntheticRideOptions o;
    o.DurationSeconds = seconds;
    o.Interval = interval;
    o.Sport = sport;
    o.WithPowerMeter = sport == kSportBikePower;
    TripFileData data;
    data.Samples = MakeSyntheticRide(o);
    MakeZoneBlock(data.Samples[0], data.ZoneBlock);
    data.HasZoneBlock = true;
    std::string error;
    ASSERT_TRUE(WriteTripFile(FsPath(TripPath(line)), data, false, &error)) << error;
  }
  static std::string TripPath(const std::string& line) {
    return JoinPath(RiderDir, line.substr(0, line.find(';')) + ".DEO");
  }

  fs::path dir_;
  std::unique_ptr<TForm3> form_;
  TForm3* f = nullptr;
};

}  // namespace tav::diary_test
