// Every window at its smallest size, in German, English and Spanish, over
// the demo rider: opened the way the user opens it, no two controls on top
// of each other, none outside the window, no caption cut, no chart title
// wider than its chart or its plot.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../core/demo_rider_program.h"
#include "../viewing/form_layout_check.h"
#include "../viewing/form_snapshot.h"
#include "analysis/distribution_charts.h"
#include "analysis/evaluation_window.h"
#include "analysis/grade_scan.h"
#include "analysis/heart_rate_power_scan.h"
#include "analysis/overview_charts.h"
#include "analysis/power_cadence_scan.h"
#include "analysis/power_duration_scan.h"
#include "analysis/time_above_scan.h"
#include "analysis/zone_pie.h"
#include "analysis/zone_time_scan.h"
#include "core/trip_file.h"
#include "core/trip_line.h"
#include "core/trip_list.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "openers/openers.h"
#include "top/info_form.h"
#include "top/main_window.h"
#include "viewing/sample_table.h"
#include "viewing/trip_comparison.h"
#include "viewing/trip_view.h"

namespace tav {
namespace {

namespace lc = layout_check;

// One state of one window: how the user gets there, and what lies in front
// of other controls by design.
struct Scene {
  std::string name;
  std::function<TForm*()> open;
  std::set<std::string> overlays;
  std::set<std::string> backgrounds = {};
};

class WindowSizes : public testing_core::DemoRiderProgram {
 protected:
  void SetUp() override {
    DemoRiderProgram::SetUp();
    Start();
  }
  // The lines of the trip list of one kind of sport (manual entries left out).
  std::vector<std::string> LinesOfKind(int kind, std::size_t most = 100) const {
    std::vector<std::string> out;
    for (const std::string& l : TripList)
      if (IsTripLine(l) && !IsManualLine(l) && LineSportDigit(l) == kind && out.size() < most) out.push_back(l);
    return out;
  }
  void Select(const std::vector<std::string>& lines) {
    SelectedTrips.Assign(lines);
    ScanList = &SelectedTrips;
  }
  // Loads a power trip into the current buffer (and into the second one).
  void LoadPowerTrip(int which = 0) {
    const std::vector<std::string> lines = LinesOfKind(kSportBikePower);
    TStringList list;
    list.Assign(lines);
    ASSERT_EQ(LoadTripByListIndex(list, which), 1);
  }
  void CopyToSecondBuffer() {
    std::copy(TripSamples, TripSamples + TripSampleCount, TripSamples2);
    TripSampleCount2 = TripSampleCount;
  }

  std::vector<Scene> Scenes();
  // Opens the scene, sizes its window to its smallest and returns what is wrong.
  std::vector<std::string> Check(const Scene& scene, const std::string& language);
};

std::vector<Scene> WindowSizes::Scenes() {
  auto hide_all = [] {
    for (TForm* f : std::initializer_list<TForm*>{Form3, Form4, Form5, Form8, Form10, Form12, Form16, Form30, Form31,
                                                   Form33, Form34, Form35, Form40, Form51, Form52, Form56})
      if (f->Visible) f->Close();
  };
  std::vector<Scene> s;
  s.push_back({"main", [] { return static_cast<TForm*>(Form1); }, {}});
  s.push_back({"main_language",
               [] {
                 Form1->SB_LanguageClick(Form1->SB_Language);
                 return static_cast<TForm*>(Form1);
               },
               {"P_SPR_WAHL"}});
  s.push_back({"main_rider",
               [] {
                 Form1->SB_UserClick(Form1->SB_User);
                 return static_cast<TForm*>(Form1);
               },
               {"P_RIDER"}});
  s.push_back({"diary",
               [hide_all] {
                 hide_all();
                 Form1->SB_DBClick(Form1->SB_DB);
                 return static_cast<TForm*>(Form3);
               },
               {}});
  s.push_back({"calendar",
               [hide_all] {
                 hide_all();
                 Form1->SB_KALClick(Form1->SB_KAL);
                 return static_cast<TForm*>(Form33);
               },
               {}});
  s.push_back({"calendar_settings",
               [hide_all] {
                 hide_all();
                 Form1->SB_KALClick(Form1->SB_KAL);
                 Form33->DO_1Click(Form33->DO_1);
                 return static_cast<TForm*>(Form33);
               },
               {"Cal_Edit"}});
  s.push_back({"overview_settings",
               [hide_all] {
                 hide_all();
                 Form1->SB_G6Click(Form1->SB_G6);
                 return static_cast<TForm*>(Form35);
               },
               {"P_G6"}});
  s.push_back({"overview",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 12));
                 OpenOverview(20, 0, SelectedTrips.Count());
                 return static_cast<TForm*>(Form35);
               },
               {}});
  for (const char* view : {"SB_AWZ", "SB_PGRAF", "SB_SGRAF", "SB_DGRAF", "SB_TGRAF"})
    s.push_back({std::string("evaluation_") + view,
                 [this, hide_all, view] {
                   hide_all();
                   Select(LinesOfKind(kSportBikePower, 12));
                   Form3->SB_SEL_ALL->Tag = kSportBikePower;
                   Form4->Evaluated = false;
                   Form4->Show();
                   Form4->Find<TSpeedButton>(view)->DoClick();
                   return static_cast<TForm*>(Form4);
                 },
                 {"ZDP", "LBox"}});
  s.push_back({"zone_pie",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 12));
                 Form3->SB_SEL_ALL->Tag = kSportBikePower;
                 Form4->Evaluated = false;
                 Form4->Show();
                 Form4->SB_PGRAF->DoClick();
                 TChartSeries* s = Form4->Series[1];
                 Form4->Chart->DoMouseDown(TMouseButton::mbLeft, 0, s->CalcXPos(2), s->CalcYPos(2));
                 Form4->Chart->DoMouseUp(TMouseButton::mbLeft, 0, s->CalcXPos(2), s->CalcYPos(2));
                 return static_cast<TForm*>(Form10);
               },
               {}});
  s.push_back({"distribution",
               [this, hide_all] {
                 hide_all();
                 const std::string line = LinesOfKind(kSportBikePower).front();
                 OpenTripZoneSums(std::stoi(line.substr(line.find(';') + 1, 3)));
                 return static_cast<TForm*>(Form34);
               },
               {}});
  s.push_back({"power_duration",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 3));
                 LoadTripByListIndex(SelectedTrips, 0);
                 OpenPowerDuration();
                 return static_cast<TForm*>(Form5);
               },
               {}});
  s.push_back({"time_above",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 3));
                 OpenTimeAbove();
                 return static_cast<TForm*>(Form8);
               },
               {}});
  s.push_back({"grade",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 3));
                 OpenGradeScan();
                 return static_cast<TForm*>(Form51);
               },
               {}});
  s.push_back({"grade_profile",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 1));
                 OpenGradeScan();
                 Form51->SB_ALT->DoClick();
                 Form51->SB_SP->DoClick();
                 return static_cast<TForm*>(Form51);
               },
               {}});
  s.push_back({"power_cadence_torque",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip();
                 OpenPowerCadenceScan();
                 Form52->SB_PR->DoClick();
                 return static_cast<TForm*>(Form52);
               },
               {}});
  s.push_back({"time_above_heart_rate",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 3));
                 OpenTimeAbove();
                 Form8->SB_PU->DoClick();
                 Form8->SB_UMST->DoClick();
                 return static_cast<TForm*>(Form8);
               },
               {}});
  for (const char* view : {"SB_01", "SB_02", "SB_04"})
    s.push_back({std::string("heart_rate_") + view,
                 [this, hide_all, view] {
                   hide_all();
                   LoadPowerTrip();
                   CopyToSecondBuffer();
                   OpenHeartRatePower(0, "TRIP");
                   Form16->Find<TSpeedButton>(view)->DoClick();
                   return static_cast<TForm*>(Form16);
                 },
                 {}});
  s.push_back({"overview_calendar",
               [hide_all] {
                 hide_all();
                 Form1->SB_KALClick(Form1->SB_KAL);
                 Form33->SB_G6->DoClick();
                 return static_cast<TForm*>(Form35);
               },
               {}});
  s.push_back({"power_cadence",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip();
                 OpenPowerCadenceScan();
                 return static_cast<TForm*>(Form52);
               },
               {}});
  s.push_back({"zone_time",
               [this, hide_all] {
                 hide_all();
                 Select(LinesOfKind(kSportBikePower, 3));
                 OpenZoneTimeScan();
                 return static_cast<TForm*>(Form56);
               },
               {},
               {"Show1"}});
  s.push_back({"heart_rate",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip();
                 CopyToSecondBuffer();
                 OpenHeartRatePower(0, "TRIP");
                 return static_cast<TForm*>(Form16);
               },
               {}});
  s.push_back({"trip_view",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip();
                 ApplyDefaultChannels = 1;
                 OpenTripView();
                 return static_cast<TForm*>(Form30);
               },
               {}});
  s.push_back({"sample_table",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip();
                 OpenSampleTable(true);
                 return static_cast<TForm*>(Form40);
               },
               {}});
  s.push_back({"comparison",
               [this, hide_all] {
                 hide_all();
                 LoadPowerTrip(1);
                 CopyToSecondBuffer();
                 LoadPowerTrip(0);
                 OpenComparison("TRIP 1", "TRIP 2");
                 return static_cast<TForm*>(Form31);
               },
               {}});
  s.push_back({"help",
               [hide_all] {
                 hide_all();
                 Form12->Show();
                 return static_cast<TForm*>(Form12);
               },
               {}});
  return s;
}

std::vector<std::string> WindowSizes::Check(const Scene& scene, const std::string& language) {
  TForm* f = scene.open();
  if (f == nullptr || !f->Visible) return {scene.name + " did not open"};
  std::vector<std::string> out;
  if (f->BorderStyle == TFormBorderStyle::bsSizeable) {
    if (f->MinClientWidth <= 0 || f->MinClientHeight <= 0) out.push_back(scene.name + " has no smallest size");
    f->SetClientSize(f->MinClientWidth, f->MinClientHeight);
  }
  for (const auto& c : f->Controls())
    if (auto* l = dynamic_cast<TLabel*>(c.get())) l->AutoSizeIfChanged();
  lc::Options opt;
  opt.overlays = scene.overlays;
  opt.backgrounds = scene.backgrounds;
  for (const std::string& p : lc::Problems(*f, opt)) out.push_back(p);
  snapshot::SaveFormPng(*f, "smallest_" + scene.name + "_" + language);
  return out;
}

TEST_F(WindowSizes, EveryWindowAtItsSmallestOverlapsAndCutsNothing) {
  const char* const names[3] = {"de", "en", "es"};
  const std::vector<Scene> scenes = Scenes();
  for (int language : {0, 1, 2}) {
    LanguageIndex = static_cast<uint8_t>(language);
    ApplyChosenLanguage();
    for (const Scene& scene : scenes) {
      const std::vector<std::string> problems = Check(scene, names[language]);
      EXPECT_TRUE(problems.empty()) << scene.name << " in " << names[language] << ":" << lc::Joined(problems);
    }
  }
}

// The main window's picture at the window's smallest size shows its texts
// whole (the program's name in 40 pt bold from x 36, the subtitle in 13 pt
// and the rider's line in 11 pt from x 40, a note in 10 pt bold in a box
// from x 20 with 12 pixels inside, on as many lines as it needs), in each
// language, also with the note that a rider has no trips and with a long
// one (a folder that cannot be read, say), which widens nothing.
TEST_F(WindowSizes, TheMainPictureShowsItsTextsWholeAtTheSmallestSize) {
  auto face = [](int size, unsigned style) {
    TFont f;
    f.Name = "DejaVu Sans";
    f.Size = size;
    f.Style = style;
    return f;
  };
  for (int language : {0, 1, 2}) {
    LanguageIndex = static_cast<uint8_t>(language);
    ApplyChosenLanguage();
    const std::string long_note = "Cannot read " + (dir_ / "DATA" / "A_RIDER_WITH_A_LONG_NAME" / "TRIPS.T_L").string();
    Form1->ShowPictureMessage("");
    const int least_width = Form1->MinClientWidth;
    for (const std::string& note : {std::string(), Form1->MsgText[24], long_note}) {
      Form1->ShowPictureMessage(note);
      EXPECT_EQ(Form1->MinClientWidth, least_width);  // a note wraps, it widens nothing
      Form1->SetClientSize(Form1->MinClientWidth, Form1->MinClientHeight);
      const TMainPicture& pb = *Form1->PB;
      EXPECT_LE(36 + MeasureTextWidth(face(40, fsBold), pb.Title), pb.Width);
      EXPECT_LE(40 + MeasureTextWidth(face(13, 0), pb.Subtitle), pb.Width) << pb.Subtitle;
      EXPECT_LE(40 + MeasureTextWidth(face(11, 0), pb.Detail), pb.Width) << pb.Detail;
      for (const std::string& line : WrapToWidth(face(10, fsBold), note, pb.Width - 64, true))
        EXPECT_LE(20 + 12 + MeasureTextWidth(face(10, fsBold), line) + 12, pb.Width - 20) << line;
      EXPECT_TRUE(lc::Problems(*Form1).empty()) << lc::Joined(lc::Problems(*Form1));
    }
  }
}

// Another language, chosen while a window is open or closed, at the size
// the window has (not resized by the test): its smoothing label stands
// beside its box, whole, in the power/cadence/speed window and in the grade
// window; the calendar's settings boxes show their items whole.
TEST_F(WindowSizes, AnotherLanguageLaysEachWindowOutForItsTexts) {
  auto power_cadence = [this] {
    LoadPowerTrip();
    OpenPowerCadenceScan();
    return static_cast<TForm*>(Form52);
  };
  auto grade = [this] {
    Select(LinesOfKind(kSportBikePower, 1));
    OpenGradeScan();
    Form51->SB_ALT->DoClick();
    return static_cast<TForm*>(Form51);
  };
  auto calendar = [] {
    Form1->SB_KALClick(Form1->SB_KAL);
    Form33->DO_1Click(Form33->DO_1);
    return static_cast<TForm*>(Form33);
  };
  auto language = [](int index) {
    LanguageIndex = static_cast<uint8_t>(index);
    ApplyChosenLanguage();
  };
  lc::Options opt;
  opt.overlays = {"Cal_Edit"};
  for (const std::function<TForm*()>& open : {std::function<TForm*()>(power_cadence), std::function<TForm*()>(grade),
                                              std::function<TForm*()>(calendar)}) {
    language(0);
    TForm* f = open();
    f->SetClientSize(1000, 640);
    f->Close();
    language(2);  // while it is closed
    open();
    EXPECT_TRUE(lc::Problems(*f, opt).empty()) << f->Name << " opened in Spanish:" << lc::Joined(lc::Problems(*f, opt));
    language(0);
    language(2);  // while it is open
    EXPECT_TRUE(lc::Problems(*f, opt).empty()) << f->Name << " in Spanish:" << lc::Joined(lc::Problems(*f, opt));
    f->Close();
  }
  // The labels in Spanish as the user reads them.
  EXPECT_EQ(Form52->L_G_PO->Caption, "Suavizar curva");
  EXPECT_EQ(Form51->L_GLA->Caption, "Suavizar curva");
}

}  // namespace
}  // namespace tav
