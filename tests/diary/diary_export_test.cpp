// The diary's CSV export and zone sums.
#include "diary/diary_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/distribution_charts.h"
#include "core/core_data.h"
#include "core/trip_list.h"
#include "diary/calendar_window.h"
#include "diary/diary_fixture.h"
#include "diary/diary_window.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace diary_test;

std::vector<std::string> CsvLines(const std::string& text) {
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  TStringList lines;
  lines.SetText(text);
  EXPECT_EQ(lines.Text(), text) << "every line ends with CR LF";
  return lines.Lines();
}

class PickFileBackend : public WindowBackend {
 public:
  explicit PickFileBackend(std::string path) : path_(std::move(path)) {}
  bool FileDialog(TFileDialogRequest& r) override {
    request = r;
    r.FileName = path_;
    return !path_.empty();
  }
  TFileDialogRequest request;

 private:
  std::string path_;
};

class DiaryExport : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    // 1 March two power trips (1 h, 30 min) and a heart-rate trip, a manual
    // entry on 2 March, a power trip on 9 March.
    TripList.Assign(std::vector<std::string>{
        "20140301_0830000_TAV;001;*long; with semicolons", "20140301_0930000_TAV;002;*short|~\xA7r;2",
        "20140301_1030001_TAV;003;*hr", "20140302_1900NR3_ANNA;004;*gym", "20140309_0830000_TAV;005;*later",
        "ERASED :"});
    const int seconds[6] = {0, 3600, 1800, 2400, 3000, 600};
    for (int s = 1; s <= 5; ++s) {
      PutStats(s, 12.5f * s, seconds[s]);
      DistributionData& d = TripDistributionTable[s].Data;
      d.TotalTime = seconds[s];
      for (int k = 0; k < 4; ++k) d.Peaks[k] = 100 * s + k;
      d.CadenceHist[3] = static_cast<uint32_t>(seconds[s]);
      d.PowerHist[10] = static_cast<uint32_t>(s);
      d.ZoneLimits[2] = s == 2 ? 250 : 0;
    }
    Form34 = new TForm34();
  }
  void TearDown() override {
    snapshot::DeleteForm(Form34);
    DiaryForm::TearDown();
  }
};

TEST_F(DiaryExport, CsvLayoutInEveryDateAndClockForm) {
  for (int flags : {0, kUnitUsDate, kUnit12Hour, kUnitUsDate | kUnit12Hour | kUnitMiles}) {
    UnitFlags = flags;
    Open(1);
    const std::vector<std::string> lines = CsvLines(
        DiaryCsvText(*f->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos, f->ShownLineCount()));
    ASSERT_EQ(lines.size(), 3u + 5u) << flags;  // titles, units, column map, five rows; no total
    EXPECT_EQ(lines[0].substr(0, 18), "Trip; Datum / Zeit");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 15), "[W];[W];[W];[W]");
    EXPECT_EQ(lines[2], "  ;0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21 ");
    const std::string prefixes[5] = {"20140301-0830;", "20140301-0930;", "20140301-1030;", "20140302-1900;",
                                      "20140309-0830;"};
    for (int r = 0; r < 5; ++r) EXPECT_EQ(lines[3 + r].substr(0, 14), prefixes[r]) << flags;
    // Row of trip 1: its cells, no ';' inside a cell, '.' in columns 2 and 3,
    // ',' from column 4 on, then its peaks.
    const std::string expected_start = "20140301-0830;" + f->DBook->Cell(0, 2) + ";long, with semicolons;" +
                                       f->DBook->Cell(2, 2) + ";" + f->DBook->Cell(3, 2) + ";";
    EXPECT_EQ(lines[3].substr(0, expected_start.size()), expected_start) << flags;
    EXPECT_NE(lines[3].find(";   0,800 ;"), std::string::npos) << lines[3];  // IF in column 11
    EXPECT_EQ(lines[3].substr(lines[3].size() - 16), "100;101;102;103;");
    EXPECT_NE(lines[4].find(";r,2;"), std::string::npos);  // the remark's ';'
    EXPECT_EQ(lines[6].substr(lines[6].size() - 8), "0;0;0;0;");  // manual entry
  }
  UnitFlags = 0;
}

TEST_F(DiaryExport, CsvFileFromTheSaveDialog) {
  Open(1);
  const std::string path = PathText(dir_ / "out.csv");
  auto backend = std::make_unique<PickFileBackend>(path);
  PickFileBackend* b = backend.get();
  Application().SetBackend(std::move(backend));
  f->SB_STAT->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);  // the statistics button exports
  f->SB_STAT->DoClick();
  EXPECT_EQ(b->request.FileName, "ANNA");
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(FsPath(path), bytes));
  EXPECT_EQ(bytes, DiaryCsvText(*f->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos, 5));
  // A folder that cannot take the file: a message, no file.
  Application().SetBackend(std::make_unique<PickFileBackend>(PathText(dir_ / "missing" / "out.csv")));
  Application().ShownMessages.clear();
  testing::internal::CaptureStderr();
  f->SB_STAT->DoClick();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot open output file."), std::string::npos);
  EXPECT_EQ(Application().ShownMessages.size(), 1u);
  Application().SetBackend(nullptr);
}

TEST_F(DiaryExport, ZoneSumsTakeTheirTripsFromTheListEvenWhenSorted) {
  Open(1);
  f->SB_SOZA->Flat = false;  // descending distance: the rows are reordered
  f->CB_SORT->DoSelect(4);
  ASSERT_EQ(DiarySorted, 1);
  ASSERT_NE(DiaryRowLine[0], 0);
  BuildTripDateIndex();

  SumZoneStatsForDay(f, DateValue(2014, 3, 1) + 0.7);
  ASSERT_TRUE(Form34->Visible);
  EXPECT_EQ(f->Tag, 5);
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 01:30:00   01.03.2014 - 08:30 + 01.03.2014 - 09:30");
  EXPECT_EQ(Form34->OpenerCaption, Form34->Caption);
  const DistributionData& v = DistributionView;
  EXPECT_TRUE(v.TotalTime == 5400 && v.Peaks[3] == 203 && v.CadenceHist[3] == 5400u && v.PowerHist[10] == 3u);
  EXPECT_EQ(v.ZoneLimits[2], 250);  // from the trip that has limits
  Form34->Hide();

  // The calendar's kind of sport: heart-rate trips.
  Form33 = new TForm33();
  TSpeedButton kind;
  kind.Tag = 1;
  Form33->SB_SEL = &kind;
  SumZoneStatsForDay(f, DateValue(2014, 3, 1));
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 00:40:00   01.03.2014 - 10:30");
  Form33->SB_SEL = nullptr;
  snapshot::DeleteForm(Form33);
  Form34->Hide();

  // Nothing of the kind, a manual entry's day, no time: nothing shown.
  SumZoneStatsForDay(f, DateValue(2014, 3, 2));
  SumZoneStatsForDay(f, DateValue(2014, 3, 20));
  TripDistributionTable[5].Data.TotalTime = 0;
  SumZoneStatsForTrip(f, 5);
  SumZoneStatsForTrip(f, 1234);
  EXPECT_FALSE(Form34->Visible);

  SumZoneStatsForTrip(f, 2);
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 00:30:00   01.03.2014 - 09:30");
  SumZoneStatsForPeriod(f, DateValue(2014, 3, 3));
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 00:30:00   01.03.2014 - 09:30");  // no trip in the week: unchanged
  SumZoneStatsForPeriod(f, DateValue(2014, 2, 24));
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 01:30:00   24.02.2014  -  02.03.2014");
}

// A day's sum takes the zone limits of the trip that has them, in either
// order; a trip's own sum takes its limits whatever they are.
TEST_F(DiaryExport, SumTakesTheZoneLimitsOfTheTripThatHasThem) {
  struct Row { std::vector<int> slots; bool any_limits; int limit; };
  for (const Row& r : {Row{{2, 1}, false, 250}, Row{{1, 2, 3}, false, 250}, Row{{4}, false, -7},
                       Row{{1}, true, 0}}) {
    DistributionData view;
    view.ZoneLimits[2] = -7;  // kept when no trip has limits
    std::vector<ZoneSumTrip> trips;
    for (int s : r.slots) trips.push_back({s, ""});
    EXPECT_EQ(SumDistributions(trips, r.any_limits, view), static_cast<int>(r.slots.size()));
    EXPECT_EQ(view.ZoneLimits[2], r.limit) << r.slots.front();
  }
}

}  // namespace
}  // namespace tav
