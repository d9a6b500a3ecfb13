// The whole program, headless, on a copy of the demo rider that a test
// damages first: the demo rider is made in a temporary program folder, the
// test changes its files, then every window is created and the main window
// shown, as at a real start.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_list.h"
#include "core_test_util.h"
#include "platform/controls.h"
#include "platform/strings.h"
#include "top/forms.h"
#include "top/main_window.h"

namespace tav::testing_core {

// Answers every message box with "No" and keeps its text.
class AnswerNoBackend : public WindowBackend {
 public:
  int MessageBox(const std::string&, const std::string&, unsigned flags) override {
    const unsigned kind = flags & 0x0F;
    return kind == MB_YESNO || kind == MB_YESNOCANCEL ? IDNO : IDOK;
  }
};

// Whether a file holds exactly `bytes`; a failure names the sizes only.
inline ::testing::AssertionResult FileHolds(const std::filesystem::path& p, const std::string& bytes) {
  std::string now;
  if (!ReadWholeFile(p, now)) return ::testing::AssertionFailure() << p << " cannot be read";
  if (now == bytes) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << p << " holds " << now.size() << " other bytes, not the "
                                       << bytes.size() << " expected";
}

class DemoRiderProgram : public TempFolderTest {
 protected:
  // Trips of the demo rider: enough for a manual entry (the 13th) and a
  // line whose statistics are still due (the last).
  static constexpr int kTrips = 24;

  void SetUp() override {
    TempFolderTest::SetUp();
    CommandLineTrip.clear();
    std::string error;
    ASSERT_TRUE(MakeDemoRider(dir_, kTrips, &summary_, &error)) << error;
    ResetCoreData();
    Application().ShownMessages.clear();
  }
  void TearDown() override {
    DestroyAllForms();
    Application().SetBackend(nullptr);
    TempFolderTest::TearDown();
  }
  void Start() {
    CreateAllForms();
    ASSERT_NE(Form1, nullptr);
    Form1->Show();
  }
  // Closes the program the way the user does.
  void Stop() {
    Form1->Close();
    DestroyAllForms();
    ResetCoreData();
  }

  std::filesystem::path Rider() const { return dir_ / "DATA" / "DEMO"; }
  std::filesystem::path ListFile() const { return Rider() / "DEMO.T_L"; }
  std::filesystem::path DatabaseFile() const { return Rider() / "DEMO.T_D"; }
  std::filesystem::path SettingsFile() const { return dir_ / "DATA" / "GRD_DATA" / "GRD_DATA_01.GRD"; }
  // The trip list lines as stored.
  TStringList StoredLines() const {
    TStringList list;
    list.SetText(FileBytes(ListFile()));
    return list;
  }
  // The trip file of a stored line.
  std::filesystem::path TripFileOf(const std::string& line) const {
    return Rider() / (std::string(LineKey(line)) + ".DEO");
  }
  // The first stored line that names a trip file and whose statistics are
  // due ("PF").
  std::string DueLine() const {
    for (const std::string& line : StoredLines())
      if (IsTripLine(line) && !IsManualLine(line) && LineHasPF(line)) return line;
    ADD_FAILURE() << "the demo rider has no line with statistics due";
    return {};
  }
  // Damages a trip file the way a cut copy does: its count word says fewer
  // records than it holds. With `dropNote` the header no longer says that
  // the file holds a note.
  void ShrinkCountWord(const std::filesystem::path& trip, int32_t count, bool dropNote) {
    std::string bytes = FileBytes(trip);
    le::PutI32(Bytes(bytes), count);
    if (dropNote) le::PutI32(Bytes(bytes) + 4, le::GetI32(Bytes(bytes) + 4) & ~kHeaderFlagNote);
    WriteBytes(trip, bytes);
  }

  DemoRiderSummary summary_;
};

}  // namespace tav::testing_core
