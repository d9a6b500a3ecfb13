// The help key every window shares, and the help the program ships: every
// topic a window opens with F5 exists beside the built program in German
// and English and opens in the info window under its title.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/distribution_charts.h"
#include "analysis/evaluation_window.h"
#include "analysis/grade_scan.h"
#include "analysis/heart_rate_power_scan.h"
#include "analysis/overview_charts.h"
#include "analysis/power_cadence_scan.h"
#include "analysis/power_duration_scan.h"
#include "analysis/time_above_scan.h"
#include "analysis/zone_time_scan.h"
#include "core/core_data.h"
#include "core/core_test_util.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "openers/openers.h"
#include "platform/text.h"
#include "top/forms.h"
#include "top/info_form.h"

namespace fs = std::filesystem;

namespace tav {
namespace {

TEST(HelpKeyTest, ConsumesOnlyF5) {
  WORD key = VK_F5;
  EXPECT_TRUE(HandleHelpKey(key, 17));
  EXPECT_EQ(key, 0);
  key = VK_F1;
  EXPECT_FALSE(HandleHelpKey(key, 17));
  EXPECT_EQ(key, VK_F1);
}

// Each help topic, the window whose F5 opens it (null: chosen by the
// power-duration window's mode, asked for directly) and its title in German
// and English.
struct Topic {
  int number;
  TForm* (*window)();
  const char* german;
  const char* english;
};
const Topic kTopics[] = {
    {1, []() -> TForm* { return Form3; }, "Tagebuch", "Diary"},
    {2, []() -> TForm* { return Form33; }, "Kalender", "Calendar"},
    {13, []() -> TForm* { return Form56; }, "Zeit in den Trainingsbereichen", "Time in training zones"},
    {14, []() -> TForm* { return Form4; }, "Auswertung", "Evaluation"},
    {15, nullptr, "Mittlere Maximalleistung", "Mean maximal power"},
    {16, []() -> TForm* { return Form51; }, "Steigungsanalyse", "Gradient analysis"},
    {17, []() -> TForm* { return Form52; }, "Power, Trittfrequenz und Geschwindigkeit", "Power, cadence and speed"},
    {18, []() -> TForm* { return Form5; }, "Wie lange wurde die Power getreten", "How long a power was held"},
    {19, []() -> TForm* { return Form16; }, "Puls und Power", "Heart rate and power"},
    {20, []() -> TForm* { return Form34; }, "Verteilungen", "Distribution charts"},
    {21, []() -> TForm* { return Form35; }, "Sechs Charts", "Six-chart overview"},
    {31, []() -> TForm* { return Form8; }, "Zeit \xFC" "ber einem Wert", "Time above a value"},
};

// The built program's help folder, as the program finds it beside itself.
fs::path BuiltHelpFolder() { return fs::path(TAVLOG_PROGRAM_DIR) / "DATA" / "GRD_DATA" / "HILFE"; }

TEST(ShippedHelp, EveryTopicLiesBesideTheBuiltProgramInGermanAndEnglish) {
  for (const Topic& t : kTopics)
    for (const char* language : {"DE", "EN"}) {
      const fs::path file = BuiltHelpFolder() / Format("HILFE_%s%02i.RTF", language, t.number);
      EXPECT_TRUE(fs::is_regular_file(file)) << file;
      EXPECT_GT(fs::file_size(file), 300u) << file;
    }
}

// The program folder of these tests holds the built help, as the build
// puts it beside the program.
class ShippedHelpWindows : public testing_core::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    const fs::path help = dir_ / "DATA" / "GRD_DATA" / "HILFE";
    fs::create_directories(help);
    for (const auto& entry : fs::directory_iterator(BuiltHelpFolder()))
      fs::copy_file(entry.path(), help / entry.path().filename());
    CreateAllForms();
    Application().ShownMessages.clear();
  }
  void TearDown() override {
    DestroyAllForms();
    TempFolderTest::TearDown();
  }
};

TEST_F(ShippedHelpWindows, F5InEveryWindowOpensItsTopicUnderItsTitle) {
  // German, English, and Spanish (which shows the English help).
  for (const int language : {0, 1, 2}) {
    LanguageIndex = static_cast<uint8_t>(language);
    for (const Topic& t : kTopics) {
      Form12->Hide();
      Form12->RichEdit1->Clear();
      if (t.window != nullptr) {
        WORD key = VK_F5;
        t.window()->DoKeyDown(key, {});
        EXPECT_EQ(key, 0) << t.number;
      } else {
        ShowHelpTopic(t.number);
      }
      const std::string title = language == 0 ? t.german : t.english;
      ASSERT_TRUE(Form12->Visible) << t.number << " " << language;
      const TStringList& lines = Form12->RichEdit1->Lines;
      ASSERT_GT(lines.Count(), 4) << t.number << " " << language;
      EXPECT_EQ(lines[0], title) << t.number << " " << language;
      EXPECT_EQ(lines[1], "") << t.number << " " << language;
      EXPECT_GT(lines[2].size(), 40u) << t.number << " " << language;
      EXPECT_EQ(Form12->Caption, title) << t.number << " " << language;
      // Plain text: no RTF syntax left over, nothing the reader could not map.
      const std::string text = Form12->RichEdit1->Text();
      EXPECT_EQ(text.find_first_of("\\{}"), std::string::npos) << t.number << " " << language;
      EXPECT_EQ(text.find('?'), std::string::npos) << t.number << " " << language;
      // The window shows the topic from its start.
      EXPECT_EQ(Form12->RichEdit1->SelStart(), 0) << t.number;
    }
  }
  EXPECT_TRUE(Application().ShownMessages.empty());
}

// German umlauts arrive as their Windows-1252 bytes, list items with a bullet.
TEST_F(ShippedHelpWindows, GermanLettersAndBulletsAreReadAsTheyAreWritten) {
  LanguageIndex = 0;
  ShowHelpTopic(1);
  const std::string text = Form12->RichEdit1->Text();
  EXPECT_NE(text.find("Das Tagebuch listet die Fahrten und Eintr\xE4ge des aktuellen Fahrers"), std::string::npos);
  EXPECT_NE(text.find("\r\n\x95 Entf: entfernt nach einer R\xFC" "ckfrage die aktuelle Zeile"), std::string::npos);
  LanguageIndex = 1;
  ShowHelpTopic(31);
  EXPECT_NE(Form12->RichEdit1->Text().find("\r\n\x95 Time / %: shows the share of the trip"), std::string::npos);
}

}  // namespace
}  // namespace tav
