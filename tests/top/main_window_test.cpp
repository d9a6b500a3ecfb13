// The main window headless: start-up on a program folder, riders, the
// language choice and marker, the opening commands and closing.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/overview_charts.h"
#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/settings.h"
#include "core/trip_file.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "mail/mail_form.h"
#include "platform/eventloop.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "top/forms.h"
#include "top/info_form.h"
#include "top/language_form.h"
#include "top/main_window.h"
#include "viewing/form_snapshot.h"
#include "viewing/trip_view.h"

namespace fs = std::filesystem;
using tav::testing_core::FileBytes;
using tav::testing_core::WriteBytes;

namespace {

const std::string kTripLine = "20240301_0800000_X;001;*BIKE POWER";

// A trip file of `records` records (header included).
void WriteTrip(const fs::path& p, int records) {
  std::vector<tav::TripSample> ride = tav::testing_core::DemoRide(1, records - 1);
  ride.resize(static_cast<std::size_t>(records));
  float zones[tav::kZoneBlockWords] = {};
  tav::MakeZoneBlock(ride[0], zones);
  WriteBytes(p, tav::EncodeDeoBytes(ride.data(), records, zones, nullptr, "", false, nullptr));
}

int LanguageByte(const fs::path& settings) { return static_cast<unsigned char>(FileBytes(settings).at(2100)); }

class MainWindow : public tav::testing_core::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    tav::CommandLineTrip.clear();
    tav::Application().ShownMessages.clear();
  }
  void TearDown() override {
    tav::DestroyAllForms();
    TempFolderTest::TearDown();
  }
  void Start(bool show = true) {
    tav::CreateAllForms();
    ASSERT_NE(Form1, nullptr);
    if (show) Form1->Show();
  }
  // Closes every window, then runs `between` and starts again.
  void Restart(const std::function<void()>& between = {}, bool show = true) {
    tav::DestroyAllForms();
    tav::ResetCoreData();
    if (between) between();
    Start(show);
  }
  fs::path Data() const { return dir_ / "DATA"; }
  fs::path SettingsFile() const { return Data() / "GRD_DATA" / "GRD_DATA_01.GRD"; }
  // Writes a rider folder with a trip list of the given lines.
  void MakeRider(const std::string& name, const std::vector<std::string>& lines) {
    tav::TStringList list;
    for (const auto& l : lines) list.Add(l);
    fs::create_directories(Data() / name);
    ASSERT_TRUE(list.SaveToFile(Data() / name / (name + ".T_L")));
  }
  // A settings file naming `name` as the current rider (after `more` has
  // changed the default settings), and that rider's folder with `lines`.
  void WriteSettingsFor(const std::string& name, const std::vector<std::string>& lines,
                        const std::function<void()>& more = {}) {
    tav::ResetSettingsToDefaults();
    tav::RiderTable[0].SetName(name);
    if (more) more();
    tav::CurrentRider = 0;
    tav::CurrentRiderName = name;
    WriteBytes(SettingsFile(), tav::EncodeSettings());
    tav::ResetCoreData();
    MakeRider(name, lines);
  }
  static void CancelMailWindowWhenItRuns() {
    Form80->OnActivate = [](tav::TControl*) { Form80->ModalResult = tav::mrCancel; };
  }

};

TEST_F(MainWindow, FirstStartOnAnEmptyFolderCreatesWhatItNeeds) {
  WriteBytes(dir_ / "LANG.TXT", "EN_US");  // the installer's language marker
  Start(false);
  EXPECT_EQ(tav::LanguageIndex, 1);
  EXPECT_EQ(tav::UnitFlags, 31);
  EXPECT_FALSE(fs::exists(dir_ / "LANG.TXT"));
  // The settings are written at once, before the window shows.
  const std::string settings = FileBytes(SettingsFile());
  ASSERT_EQ(settings.size(), tav::kSettingsFileBytes);
  EXPECT_EQ(tav::le::GetI32(tav::testing_core::Bytes(settings)), 2001);
  EXPECT_EQ(fs::current_path(), fs::canonical(dir_));
  Form1->Show();
  EXPECT_TRUE(tav::Application().ShownMessages.empty());
  EXPECT_TRUE(Form1->Visible);
  EXPECT_EQ(tav::Application().MainForm(), Form1);
  // A placeholder rider: the label says so, and no folder was made for it.
  EXPECT_NE(Form1->L_Rider->Caption.find(tav::CurrentRiderName), std::string::npos);
  EXPECT_NE(Form1->L_Rider->Caption.find(Form1->MsgText[17]), std::string::npos);
  EXPECT_FALSE(fs::exists(Data() / tav::CurrentRiderName));
  EXPECT_EQ(Form1->CB_Rider->Items.Count(), 0);
  // The usable commands are enabled, the device ones are not.
  tav::snapshot::ExpectControls(*Form1, {"SB_DB", "SB_KAL", "SB_DEF_MAIL"}, tav::snapshot::kEnabled);
  tav::snapshot::ExpectControls(*Form1, {"SB_D1", "SB_UPDATE"}, tav::snapshot::kDisabled);
  // The free-slot line is there, so the diary can open an empty list.
  ASSERT_EQ(Form1->TripList.Count(), 1);
  EXPECT_EQ(Form1->TripList[0].rfind("ER", 0), 0u);

  // Damaged settings are reported once and replaced by a whole file of defaults.
  Restart([&] { WriteBytes(SettingsFile(), "this is not a settings file"); }, false);
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_EQ(FileBytes(SettingsFile()).size(), tav::kSettingsFileBytes);
  Form1->Show();
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
}

TEST_F(MainWindow, EveryNamedWindowExistsAndButtonsDoNotOverlap) {
  Start(false);
  for (tav::TForm* f : std::initializer_list<tav::TForm*>{Form3, Form11, Form12, Form30, Form33, Form35, Form80})
    EXPECT_NE(f, nullptr);
  const std::vector<const char*> buttons = {
      "SB_User", "SB_DB", "SB_D1", "SB_Service", "SB_Language", "SB_Help", "SB_U_DATA", "SB_DATA",
      "SB_DATA_PC", "SB_KAL", "SB_SETTIME", "SB_KILLTRIP", "SB_UPDATE", "SB_DEO", "SB_CSV", "SB_DR",
      "SB_DB_CSV", "SB_TO_COL", "SB_DEO_DB", "SB_DEO_DEO", "SB_RESETCOM", "SB_CAL_NEW", "SB_G6",
      "SB_DEF_MAIL", "SB_SET_COL", "SB_GLS"};
  for (const char* b : buttons) {
    auto* sb = Form1->Find<tav::TSpeedButton>(b);
    ASSERT_NE(sb, nullptr) << b;
    EXPECT_FALSE(sb->Hint.empty()) << b;
    EXPECT_FALSE(sb->Caption.empty()) << b;
    // Inside the window, not under another button.
    EXPECT_GE(sb->Left, 0) << b;
    EXPECT_LE(sb->Left + sb->Width, Form1->ClientWidth()) << b;
    EXPECT_LE(sb->Top + sb->Height, Form1->ClientHeight()) << b;
    for (const char* o : buttons) {
      const tav::TRect a = sb->BoundsRect(), c = Form1->Find<tav::TSpeedButton>(o)->BoundsRect();
      EXPECT_TRUE(o == b || !(a.Left < c.Right && c.Left < a.Right && a.Top < c.Bottom && c.Top < a.Bottom))
          << b << " overlaps " << o;
    }
  }
  // The published lists are the core's.
  EXPECT_EQ(&Form1->TripList, &tav::TripList);
  EXPECT_EQ(Form1->ScanList, &tav::SelectedTrips);
}

TEST_F(MainWindow, DamagedTripListAndDatabaseAreReportedNotFatal) {
  WriteSettingsFor("ANNA", {"garbage line", kTripLine, "ERASED :"});
  WriteBytes(Data() / "ANNA" / "ANNA.T_D", "short");
  Start();
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_EQ(tav::CurrentRiderName, "ANNA");
  // The good line survives, the bad one is skipped.
  EXPECT_EQ(Form1->TripList.IndexOf("garbage line"), -1);
  EXPECT_GE(Form1->TripList.IndexOf(kTripLine), 0);
}

TEST_F(MainWindow, RiderListComesFromTheDataSubFolders) {
  for (const char* f : {"BERT", "ANNA", "COLLECTION"}) fs::create_directories(Data() / f);
  WriteBytes(Data() / "NOT_A_FOLDER", "x");
  Start();
  EXPECT_EQ(Form1->CB_Rider->Items.Lines(), (std::vector<std::string>{"ANNA", "BERT"}));
  EXPECT_EQ(Form1->CB_Rider->ItemIndex, -1);  // the placeholder rider is not listed
  // A folder made while the program runs appears at the next activation.
  fs::create_directories(Data() / "CARL");
  Form1->FormActivate(Form1);
  EXPECT_EQ(Form1->CB_Rider->Items.Count(), 3);
}

TEST_F(MainWindow, ChoosingARiderSavesTheOldListAndLoadsTheNewOne) {
  WriteSettingsFor("ANNA", {"ERASED :"});
  MakeRider("BERT", {kTripLine, "ERASED :"});
  Start();
  ASSERT_EQ(tav::CurrentRiderName, "ANNA");
  EXPECT_EQ(Form1->CB_Rider->ItemIndex, 0);
  // An unsaved edit of ANNA's list.
  Form1->TripList.Insert(0, "20240201_0900000_X;001;*BIKE POWER");
  Form1->TripListChanged = true;

  Form1->CB_Rider->DoSelect(1);
  EXPECT_EQ(tav::CurrentRiderName, "BERT");
  EXPECT_EQ(Form1->TripList.Lines(), (std::vector<std::string>{kTripLine, "ERASED :"}));
  EXPECT_FALSE(Form1->TripListChanged);
  EXPECT_NE(Form1->L_Rider->Caption.find("BERT"), std::string::npos);
  EXPECT_NE(FileBytes(Data() / "ANNA" / "ANNA.T_L").find("20240201_0900000_X"), std::string::npos);
  // The choice survives a restart.
  Restart();
  EXPECT_EQ(tav::CurrentRiderName, "BERT");
}

TEST_F(MainWindow, NewRiderGetsAFolderAndBecomesCurrent) {
  Start();
  Form1->SB_User->DoClick();
  EXPECT_TRUE(Form1->P_RIDER->Visible);
  EXPECT_FALSE(Form1->CreateRider("../X"));
  EXPECT_FALSE(Form1->CreateRider("RIDER_05"));
  EXPECT_FALSE(fs::exists(dir_ / "X"));
  Form1->E_NewRider->DoSetText("eva");
  Form1->B_NewRider->DoClick();
  EXPECT_EQ(tav::CurrentRiderName, "EVA");
  EXPECT_TRUE(fs::is_directory(Data() / "EVA"));
  EXPECT_FALSE(Form1->P_RIDER->Visible);
  ASSERT_EQ(Form1->CB_Rider->Items.Count(), 1);
  EXPECT_EQ(Form1->CB_Rider->ItemIndex, 0);
}

TEST_F(MainWindow, AnEleventhRiderIsRefusedAndChangesNothing) {
  WriteSettingsFor("ANNA", {kTripLine, "ERASED :"}, [] {
    const char* names[tav::kRiderCount] = {"ANNA", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9"};
    for (int r = 0; r < tav::kRiderCount; ++r) tav::RiderTable[r].SetName(names[r]);
    tav::RiderTable[0].Weight = 61.0f;
  });
  MakeRider("ZED", {"ERASED :"});
  Start();
  ASSERT_EQ(tav::CurrentRiderName, "ANNA");
  EXPECT_FALSE(Form1->ChooseRider("ZED"));
  EXPECT_EQ(tav::CurrentRiderName, "ANNA");
  EXPECT_EQ(tav::CurrentRider, 0);
  EXPECT_EQ(Form1->TripList.Count(), 2);
  EXPECT_FALSE(Form1->PB->Message.empty());
  EXPECT_FALSE(Form1->CreateRider("NEUE"));  // placeholder names are refused anyway
  EXPECT_FALSE(Form1->CreateRider("OTTO"));
  EXPECT_FALSE(fs::exists(Data() / "OTTO"));
  // A rider of the table is still chosen as before.
  MakeRider("B3", {"ERASED :"});
  EXPECT_TRUE(Form1->ChooseRider("B3"));
  EXPECT_EQ(tav::CurrentRider, 3);
  EXPECT_FLOAT_EQ(tav::RiderTable[0].Weight, 61.0f);
}

TEST_F(MainWindow, CalendarCommandChecksRiderAndListAndGoesThroughTheDiary) {
  // Placeholder rider: the rider choice opens instead.
  Start();
  Form1->SB_KAL->DoClick();
  EXPECT_TRUE(Form1->P_RIDER->Visible);
  EXPECT_FALSE(Form33->Visible);
  EXPECT_EQ(Form1->SB_KAL->Tag, 0);

  // A rider without trips: a note under the picture, no calendar.
  Restart([&] { WriteSettingsFor("ANNA", {"ERASED :"}); });
  Form1->SB_KAL->DoClick();
  EXPECT_EQ(Form1->PB->Message, Form1->MsgText[24]);
  EXPECT_FALSE(Form33->Visible);
  EXPECT_EQ(Form1->SB_KAL->Tag, 0);

  // With trips: the diary makes one pass first (unseen), then the calendar opens.
  Restart([&] { WriteSettingsFor("ANNA", {kTripLine, "ERASED :"}); });
  EXPECT_FALSE(Form3->WasActivated);
  int diary = 0;
  auto activate = Form3->OnActivate;
  Form3->OnActivate = [&](tav::TControl* c) {
    ++diary;
    activate(c);
  };
  Form1->SB_KAL->DoClick();
  EXPECT_EQ(diary, 1);
  EXPECT_TRUE(Form3->WasActivated);
  EXPECT_FALSE(Form3->Visible);
  EXPECT_TRUE(Form33->Visible);
  EXPECT_EQ(Form1->SB_KAL->Tag, 0);  // the calendar's activation took the mark
  Form33->Hide();
  Form1->SB_KAL->DoClick();  // diary seen, rows in list order: straight on
  EXPECT_EQ(diary, 1);
  EXPECT_TRUE(Form33->Visible);
  Form33->Hide();
  tav::DiarySorted = 1;  // rows sorted: the diary rebuilds TripDates first
  tav::TripDates.clear();
  Form1->SB_KAL->DoClick();
  EXPECT_EQ(diary, 2);
  EXPECT_FALSE(Form3->Visible);
  EXPECT_EQ(tav::TripDates.size(), 2u);
  EXPECT_TRUE(Form33->Visible);
}

TEST_F(MainWindow, OpenersSetTheTagsTheirWindowsExpect) {
  Start();
  Form1->SB_DB->DoClick();
  EXPECT_TRUE(Form3->Visible);
  Form3->Hide();
  Form1->SB_G6->DoClick();
  EXPECT_TRUE(Form35->Visible);
  EXPECT_EQ(Form35->Tag, 6);  // 5 from the opener; the settings step has run
  Form35->Hide();
  Form1->SB_DEO->DoClick();
  EXPECT_TRUE(Form3->SB_DEO_CSV->Visible);
  EXPECT_EQ(Form3->SB_DEO_CSV->Tag, 1);  // 0 from the opener, counted by the diary's activation
  EXPECT_TRUE(Form3->Visible);
  Form3->Hide();
  Form1->SB_TO_COL->DoClick();
  EXPECT_TRUE(Form3->SB_COLLEC->Visible);
  Form3->Hide();
  Form1->SB_DEO_DEO->DoClick();
  EXPECT_TRUE(Form3->SB_DEO_DEO->Visible);
  Form3->Hide();
  Form1->SB_CAL_NEW->DoClick();
  EXPECT_TRUE(Form33->Visible);
}

TEST_F(MainWindow, HelpTopicShowsItsFileOnlyWhenItExists) {
  Start(false);
  EXPECT_EQ(tav::HelpTopicPath("P_", 2, 12), "P_EN12.RTF");  // no Spanish help: English
  tav::LanguageIndex = 0;
  tav::ShowHelpTopic(3);
  EXPECT_FALSE(Form12->Visible);
  // A missing file is named in a message, in the chosen language.
  ASSERT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_NE(tav::Application().ShownMessages[0].find("HILFE_DE03.RTF"), std::string::npos);
  EXPECT_NE(tav::Application().ShownMessages[0].find("Keine Hilfe"), std::string::npos);
  tav::Application().ShownMessages.clear();
  WriteBytes(Data() / "GRD_DATA" / "HILFE" / "HILFE_DE03.RTF", "Hilfe zum Thema drei\r\n");
  tav::ShowHelpTopic(3);
  EXPECT_TRUE(Form12->Visible);
  EXPECT_NE(Form12->RichEdit1->Text().find("Hilfe zum Thema drei"), std::string::npos);
  Form12->Hide();
  EXPECT_TRUE(tav::Application().ShownMessages.empty());
  tav::LanguageIndex = 1;  // English: the German file is not taken
  tav::ShowHelpTopic(3);
  EXPECT_FALSE(Form12->Visible);
  ASSERT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_NE(tav::Application().ShownMessages[0].find("HILFE_EN03.RTF"), std::string::npos);
}

// The message of a missing help file in each language names the file.
TEST(HelpMissingText, NamesTheFileInEachLanguage) {
  const std::pair<int, const char*> rows[] = {
      {0, "Keine Hilfe vorhanden: die Datei X/H_DE01.RTF fehlt."},
      {1, "No help available: the file X/H_DE01.RTF is missing."},
      {2, "No hay ayuda: falta el archivo X/H_DE01.RTF."},
      {7, "No help available: the file X/H_DE01.RTF is missing."},
  };
  for (const auto& [language, want] : rows) EXPECT_EQ(tav::HelpMissingText(language, "X/H_DE01.RTF"), want);
}

// The trip view's calendar button opens a hidden calendar as the main
// window's button does, and raises a visible one.
TEST_F(MainWindow, TripViewCalendarButtonOpensTheCalendar) {
  WriteSettingsFor("ANNA", {kTripLine, "ERASED :"});
  Start();
  ASSERT_FALSE(Form33->Visible);
  Form30->SB_KAL->DoClick();
  EXPECT_TRUE(Form33->Visible);
  Form30->SB_KAL->DoClick();
  EXPECT_TRUE(Form33->Visible);
}

TEST_F(MainWindow, LanguageChoiceIsStoredAppliedAndRelabelsTheRider) {
  Start();  // activation applies the current language (English by default)
  EXPECT_EQ(Form1->SB_DB->Hint, "Open daybook");
  EXPECT_EQ(Form1->L_Rider->Caption.rfind("Rider: ", 0), 0u) << Form1->L_Rider->Caption;
  Form1->SB_Language->DoClick();
  ASSERT_TRUE(Form1->P_SPR_WAHL->Visible);
  Form1->CB_LG->DoSelect(0);
  EXPECT_EQ(tav::LanguageIndex, 0);
  EXPECT_EQ(LanguageByte(SettingsFile()), 0);
  EXPECT_FALSE(Form1->P_SPR_WAHL->Visible);
  EXPECT_EQ(Form1->SB_DB->Caption, "Tagebuch");
  EXPECT_EQ(Form1->SB_DB->Hint, "Tagebuch \xF6" "ffnen");
  EXPECT_EQ(Form1->L_Rider->Caption.rfind("Fahrer : ", 0), 0u) << Form1->L_Rider->Caption;
  Form1->CB_LG->DoSelect(2);
  EXPECT_EQ(Form1->SB_DB->Hint, "Abrir diario");
  EXPECT_EQ(Form1->L_Rider->Caption.rfind("Ciclista: ", 0), 0u) << Form1->L_Rider->Caption;
  EXPECT_EQ(LanguageByte(SettingsFile()), 2);
}

// The settings saved on each activation of the main window: a failed save
// is said once, not at every activation, and tried again when the settings
// change (the language choice); once the disk takes it, the choice is kept.
TEST_F(MainWindow, AFailedSettingsSaveIsSaidOnceAndTriedAgainAtTheNextChange) {
  Start();
  int tries = 0;
  tav::FileStepCheck() = [&](tav::FileStep s, const fs::path& p) {
    if (s != tav::FileStep::Create || p.string().find("GRD_DATA_01.GRD.tmp") == std::string::npos) return 0;
    ++tries;
    return EROFS;
  };
  tav::Application().ShownMessages.clear();
  Form1->FormActivate(Form1);
  Form1->FormActivate(Form1);
  Form1->FormActivate(Form1);
  EXPECT_EQ(tries, 1);
  ASSERT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_EQ(tav::Application().ShownMessages[0],
            "The file " + SettingsFile().string() + " cannot be written: the disk is read-only.");
  Form1->CB_LG->DoSelect(2);  // a change: tried again, not said again
  Form1->FormActivate(Form1);
  EXPECT_EQ(tries, 2);
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_EQ(LanguageByte(SettingsFile()), 1);
  tav::FileStepCheck() = nullptr;
  Form1->FormActivate(Form1);  // nothing changed since the failure: not tried
  EXPECT_EQ(LanguageByte(SettingsFile()), 1);
  Form1->CB_LG->DoSelect(0);
  EXPECT_EQ(LanguageByte(SettingsFile()), 0);
  // Failing again after a save went through is said again (in the language chosen).
  tav::FileStepCheck() = [&](tav::FileStep s, const fs::path&) { return s == tav::FileStep::Create ? ENOSPC : 0; };
  Form1->CB_LG->DoSelect(2);
  tav::FileStepCheck() = nullptr;
  ASSERT_EQ(tav::Application().ShownMessages.size(), 2u);
  EXPECT_EQ(tav::Application().ShownMessages[1],
            "No se puede escribir el archivo " + SettingsFile().string() + ": el disco est\xE1 lleno.");
  // A start on a read-only disk says it once, not again at its activation
  // (in German: the settings on disk still hold that choice).
  tav::FileStepCheck() = [&](tav::FileStep s, const fs::path&) { return s == tav::FileStep::Create ? EROFS : 0; };
  tav::Application().ShownMessages.clear();
  Restart();
  tav::FileStepCheck() = nullptr;
  ASSERT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_EQ(tav::Application().ShownMessages[0], "Die Datei " + SettingsFile().string() +
                                                      " kann nicht geschrieben werden: der Datentr\xE4ger ist "
                                                      "schreibgesch\xFCtzt.\n");
}

// Esc closes the language and the rider panel as their own closing does:
// from whichever of their controls has the keys, nothing chosen, stored or
// created; other keys leave them open.
TEST_F(MainWindow, EscClosesTheLanguageAndTheRiderPanelChangingNothing) {
  WriteSettingsFor("ANNA", {"ERASED :"});
  MakeRider("BERT", {kTripLine, "ERASED :"});
  Start();
  const std::string settings = FileBytes(SettingsFile());
  const int language = tav::LanguageIndex;
  struct Case {
    tav::TSpeedButton* opener;
    tav::TPanel* panel;
    tav::TControl* focus;
  };
  const Case cases[] = {{Form1->SB_Language, Form1->P_SPR_WAHL, Form1->CB_LG},
                        {Form1->SB_User, Form1->P_RIDER, Form1->E_NewRider},
                        {Form1->SB_User, Form1->P_RIDER, Form1->LB_Riders}};
  for (const Case& c : cases) {
    c.opener->DoClick();
    ASSERT_TRUE(c.panel->Visible) << c.panel->Name;
    Form1->E_NewRider->DoSetText("eva");
    tav::WORD other = tav::VK_RETURN;
    c.focus->DoKeyDown(other, 0);
    EXPECT_TRUE(c.panel->Visible) << c.focus->Name;
    tav::WORD esc = tav::VK_ESCAPE;
    c.focus->DoKeyDown(esc, 0);
    EXPECT_EQ(esc, 0) << c.focus->Name;  // consumed
    EXPECT_FALSE(c.panel->Visible) << c.focus->Name;
    EXPECT_EQ(tav::LanguageIndex, language);
    EXPECT_EQ(tav::CurrentRiderName, "ANNA");
    EXPECT_FALSE(fs::exists(Data() / "EVA"));
    EXPECT_EQ(FileBytes(SettingsFile()), settings);
  }
  // With no panel open Esc is left to the control.
  tav::WORD esc = tav::VK_ESCAPE;
  Form1->CB_Rider->DoKeyDown(esc, 0);
  EXPECT_EQ(esc, tav::VK_ESCAPE);
}

TEST_F(MainWindow, CommandLineTripRelativeToTheStartFolderOpensTheView) {
  // Started from another folder with a quoted relative name: the program
  // folder becomes the current directory, the argument still names the file.
  const fs::path start = dir_ / "rides";
  WriteTrip(start / "sub" / "LONG TRIP.DEO", 90);
  fs::current_path(start);
  tav::CommandLineTrip = tav::StripArgumentQuotes("\"sub/../sub/LONG TRIP.DEO\"");
  Start(false);
  EXPECT_EQ(fs::current_path(), dir_);
  Form1->Show();
  EXPECT_TRUE(Form30->Visible);
  EXPECT_EQ(tav::TripSampleCount, 90);
  EXPECT_EQ(tav::ApplyDefaultChannels, 1);
  EXPECT_EQ(tav::CurrentTripPath, (start / "sub" / "LONG TRIP.DEO").string());
  EXPECT_TRUE(tav::Application().ShownMessages.empty());
}

TEST_F(MainWindow, CommandLineTripTooShortIsReportedOnceAndDropped) {
  WriteTrip(dir_ / "SHORT.DEO", 30);
  tav::CommandLineTrip = (dir_ / "SHORT.DEO").string();
  Start();
  EXPECT_FALSE(Form30->Visible);
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
  EXPECT_TRUE(tav::CommandLineTrip.empty());
  Form1->FormActivate(Form1);
  EXPECT_EQ(tav::Application().ShownMessages.size(), 1u);
}

TEST_F(MainWindow, ClosingSavesAChangedTripList) {
  WriteSettingsFor("ANNA", {"ERASED :007;"});
  Start();
  EXPECT_EQ(Form1->NextTripNumber(), 7);  // from the loaded list's free slots
  EXPECT_EQ(tav::CurrentTripSlot, 7);
  Form1->TripList.Insert(0, "20240201_0900000_X;007;*BIKE POWER");
  Form1->TripListChanged = true;
  Form3->Show();
  Form33->Show();
  Form1->ShowPictureMessage("note");
  EXPECT_TRUE(Form1->Timer1->Enabled());
  Form1->Close();
  EXPECT_FALSE(Form1->Visible);
  EXPECT_FALSE(Form3->Visible);
  EXPECT_FALSE(Form33->Visible);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->TripListChanged);
  EXPECT_NE(FileBytes(Data() / "ANNA" / "ANNA.T_L").find("20240201_0900000_X"), std::string::npos);
  EXPECT_TRUE(fs::exists(Data() / "ANNA" / "ANNA.T_D"));
}

TEST_F(MainWindow, SendModeListsTheExistingTripFiles) {
  WriteSettingsFor("ANNA", {"ERASED :"});
  WriteTrip(Data() / "ANNA" / "20240101_0800000_X.DEO", 80);
  WriteTrip(Data() / "ANNA" / "20240103_0800000_X.DEO", 80);
  Start();
  tav::SelectedTrips = tav::TStringList{"20240101_0800000_X;001;*BIKE POWER",
                                        "20240102_0800000_X;002;*BIKE POWER",  // no file
                                        "20240102_0900NR3_ANNA;003;*RUN",      // manual entry
                                        "20240103_0800000_X;004;*BIKE POWER"};
  Form1->Z_INFO->Lines.Add("old line");
  CancelMailWindowWhenItRuns();
  tav::ListTripFiles();
  EXPECT_EQ(Form80->Tag, 20);
  ASSERT_EQ(Form1->Z_INFO->Lines.Count(), 2);
  EXPECT_NE(Form1->Z_INFO->Lines[0].find("20240101_0800000_X.DEO"), std::string::npos);
  EXPECT_NE(Form1->Z_INFO->Lines[1].find("20240103_0800000_X.DEO"), std::string::npos);
  EXPECT_EQ(Form80->Display_Files->Lines.Lines(), Form1->Z_INFO->Lines.Lines());
}

TEST(MainHelpers, ArgumentQuotesAndBlanks) {
  for (auto [arg, path] : {std::pair{"\"C:\\a b.DEO\"", "C:\\a b.DEO"}, {"  /x/y.DEO \r\n", "/x/y.DEO"}, {"\"", ""}, {"", ""}})
    EXPECT_EQ(tav::StripArgumentQuotes(arg), path) << arg;
  EXPECT_TRUE(tav::IsBlank(""));
  EXPECT_TRUE(tav::IsBlank(" \t"));
  EXPECT_FALSE(tav::IsBlank(" a"));
}

}  // namespace
