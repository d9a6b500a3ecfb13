// The program on damaged copies of the demo rider: nothing the rider has is
// lost, every damaged file is reported and kept as a numbered .BAD copy, and
// trips whose records are no samples are refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/core_data.h"
#include "core/demo_rider_program.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "diary/diary_rows.h"
#include "diary/diary_window.h"
#include "platform/text.h"
#include "viewing/trip_view.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace testing_core;

using DamagedRider = DemoRiderProgram;

bool Mentions(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// Record i of a trip file's bytes.
unsigned char* Record(std::string& bytes, int i) { return Bytes(bytes) + 4 + 40 * static_cast<std::size_t>(i); }

std::string Messages() {
  std::string all;
  for (const std::string& m : Application().ShownMessages) all += m + "\n";
  return all;
}

TEST_F(DamagedRider, SettingsKeepTheirRidersAndACopy) {
  const std::string good = FileBytes(SettingsFile());
  std::string flipped = good;
  flipped[1] ^= 0x04;  // one bit of the version word
  for (const std::string& damaged : {flipped, good.substr(0, good.size() - 1)}) {
    SCOPED_TRACE(damaged.size());
    WriteBytes(SettingsFile(), damaged);
    fs::remove(SettingsFile().string() + ".BAD");
    Start();
    EXPECT_TRUE(Mentions(Messages(), SettingsFile().string() + ".BAD")) << Messages();
    EXPECT_TRUE(FileHolds(SettingsFile().string() + ".BAD", damaged));
    EXPECT_EQ(CurrentRiderName, "DEMO");
    EXPECT_EQ(RiderTable[0].Weight, 72.0f);
    EXPECT_EQ(RiderZones[0][kZoneRowPower][0], 265);
    // Written back whole at start, the rider still in it.
    EXPECT_TRUE(FileHolds(SettingsFile(), good));
    Stop();
    Application().ShownMessages.clear();
  }
}

TEST_F(DamagedRider, DatabaseOneByteShortKeepsManualEntries) {
  const std::string good = FileBytes(DatabaseFile());
  const std::string damaged = good.substr(0, good.size() - 1);
  WriteBytes(DatabaseFile(), damaged);
  int manualSlot = -1;
  for (const std::string& line : StoredLines())
    if (IsManualLine(line) && IsTripLine(line)) manualSlot = *LineSlot(line);
  ASSERT_GT(manualSlot, 0);
  auto summaryIn = [](const std::string& db, int slot) {
    return TripSummary::Load(Bytes(db) + 8 + static_cast<std::size_t>(slot) * TripSummary::kBytes);
  };
  Start();
  EXPECT_TRUE(Mentions(Messages(), DatabaseFile().string() + ".BAD")) << Messages();
  Form1->SB_DBClick(Form1->SB_DB);
  Stop();
  const std::string saved = FileBytes(DatabaseFile());
  ASSERT_EQ(saved.size(), good.size());
  EXPECT_EQ(summaryIn(saved, manualSlot), summaryIn(good, manualSlot));
  EXPECT_GT(summaryIn(saved, manualSlot).TotalTime, 0);
  EXPECT_TRUE(FileHolds(DatabaseFile().string() + ".BAD", damaged));
}

TEST_F(DamagedRider, RecomputedStatisticsAreSavedSoTheDamageIsMetOnce) {
  // No statistics due: the list never changes, only the database does.
  std::string list = FileBytes(ListFile());
  for (std::size_t p; (p = list.find("PF;")) != std::string::npos;) list.replace(p, 2, "__");
  WriteBytes(ListFile(), list);
  const std::string good = FileBytes(DatabaseFile());
  WriteBytes(DatabaseFile(), good.substr(0, 8 + 1000 * 108 + 500 * 80));  // zones from slot 500 on, no distributions
  Start();
  EXPECT_EQ(Application().ShownMessages.size(), 1u);
  Form1->SB_DBClick(Form1->SB_DB);  // computes the missing distributions
  Stop();
  Application().ShownMessages.clear();
  Start();
  EXPECT_TRUE(Application().ShownMessages.empty()) << Messages();
  EXPECT_EQ(FileBytes(DatabaseFile()).size(), good.size());
  EXPECT_FALSE(fs::exists(DatabaseFile().string() + ".BAD1"));
}

TEST_F(DamagedRider, TruncatedTripListIsReportedAndEachCopyKept) {
  const std::string text = FileBytes(ListFile());
  // Cut in the middle of the tenth line: nine trips stay listed.
  std::size_t tenth = 0;
  for (int i = 0; i < 9; ++i) tenth = text.find("\r\n", tenth) + 2;
  const std::string first = text.substr(0, tenth + 20);
  WriteBytes(ListFile(), first);
  Start();
  EXPECT_TRUE(Mentions(Messages(), Format("%i trip file(s)", kTrips - 9))) << Messages();
  EXPECT_TRUE(Mentions(Messages(), ListFile().string() + ".BAD")) << Messages();
  EXPECT_EQ(TripList.Count(), 10);
  EXPECT_TRUE(IsFreeSlotListLine(TripList[9]));
  Stop();
  // Closing saved the list as read; damaged again, it gets a copy of its own.
  EXPECT_EQ(StoredLines().Count(), 10);
  const std::string second = FileBytes(ListFile()).substr(0, 30);
  WriteBytes(ListFile(), second);
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(ListFile().string() + ".BAD", first));
  EXPECT_TRUE(FileHolds(ListFile().string() + ".BAD1", second));
}

TEST_F(DamagedRider, FreeSlotEntriesOfTenDigitsAreSkipped) {
  std::string list = FileBytes(ListFile());
  list.insert(list.rfind("\r\n"), "12345678901;30;");
  WriteBytes(ListFile(), list);
  Start();
  EXPECT_EQ(Form1->NextTripNumber(), 30);
}

// Trips whose records are no samples: opened from the command line they are
// refused with a message naming the file; the diary leaves their statistics
// uncomputed instead of storing negative times or "inf".
TEST_F(DamagedRider, TripsWhoseRecordsAreNoSamplesAreRefused) {
  const std::string line = DueLine();
  const fs::path trip = TripFileOf(line);
  const std::string good = FileBytes(trip);
  struct Damage {
    const char* what;
    void (*apply)(std::string&);
  };
  const Damage damages[] = {
      {"interval beyond int", [](std::string& b) {
         le::PutI32(Record(b, 2), -2000000000);
         le::PutI32(Record(b, 3), 2000000000);
       }},
      {"records x interval beyond int", [](std::string& b) { le::PutI32(Record(b, 3), 600000000); }},
      {"times that run away", [](std::string& b) {
         for (int i = 1; i < le::GetI32(Bytes(b)); ++i) le::PutI32(Record(b, i), i * 5000);
       }},
      {"power not a number", [](std::string& b) { le::PutF32(Record(b, 40) + 8, std::nanf("")); }},
      {"random records", [](std::string& b) {
         std::mt19937 g(7);
         for (int i = 1; i < le::GetI32(Bytes(b)); ++i)
           for (int k = 0; k < 40; ++k) Record(b, i)[k] = static_cast<unsigned char>(g());
       }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    std::string bytes = good;
    d.apply(bytes);
    WriteBytes(trip, bytes);
    CommandLineTrip = trip.string();
    Start();
    EXPECT_FALSE(Form30->Visible);
    EXPECT_TRUE(Mentions(Messages(), trip.string())) << Messages();
    ::testing::internal::CaptureStderr();  // the diary's "Cannot open output file."
    Form1->SB_DBClick(Form1->SB_DB);
    ::testing::internal::GetCapturedStderr();
    const int slot = *LineSlot(line);
    EXPECT_EQ(TripSummaryTable[slot].TotalTime, 0);
    EXPECT_TRUE(LineHasPF(TripList.At(TripList.IndexOf(line))));
    Stop();
    Application().ShownMessages.clear();
  }
}

// A damaged file's copy is readable by whom the original was (the settings
// may be the owner's alone), and the file written in its place keeps the
// original's rights too.
TEST_F(DamagedRider, CopiesAndRewrittenFilesKeepTheOriginalsRights) {
  const mode_t mask = ::umask(022);
  struct Row {
    fs::path file;
    mode_t mode;
  };
  const Row rows[] = {{SettingsFile(), 0600}, {ListFile(), 0640}, {DatabaseFile(), 0600}};
  for (const Row& row : rows) {
    const fs::path& file = row.file;
    SCOPED_TRACE(file.string());
    const std::string good = FileBytes(file);
    // A trip list cut in its first line, the others one byte short.
    const std::string damaged = file == ListFile() ? good.substr(0, 20) : good.substr(0, good.size() - 1);
    WriteBytes(file, damaged);
    ASSERT_EQ(::chmod(file.c_str(), row.mode), 0);
    Start();
    Form1->SB_DBClick(Form1->SB_DB);
    Stop();
    Application().ShownMessages.clear();
    EXPECT_TRUE(FileHolds(file.string() + ".BAD", damaged));
    EXPECT_EQ(fs::status(file.string() + ".BAD").permissions(), static_cast<fs::perms>(row.mode));
    EXPECT_NE(FileBytes(file), damaged) << "written back";
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(row.mode));
  }
  ::umask(mask);
}

// With every .BAD name taken (.BAD to .BAD9999) no copy can be kept: the
// damaged file is not written over, and both the damage and the refused
// save name it.
TEST_F(DamagedRider, NoFreeCopyNameLeavesTheDamagedFileAlone) {
  for (const fs::path& file : {SettingsFile(), ListFile(), DatabaseFile()}) {
    SCOPED_TRACE(file.string());
    const std::string good = FileBytes(file);
    const std::string damaged = file == ListFile() ? good.substr(0, 20) : good.substr(0, good.size() - 1);
    WriteBytes(file, damaged);
    for (int n = 0; n < 10000; ++n) std::ofstream(file.string() + (n == 0 ? ".BAD" : ".BAD" + std::to_string(n))) << "x";
    Start();
    Form1->SB_DBClick(Form1->SB_DB);
    Stop();
    EXPECT_TRUE(FileHolds(file, damaged));
    EXPECT_TRUE(Mentions(Messages(), "The file " + file.string() + " was read damaged and no .BAD copy")) << Messages();
    EXPECT_FALSE(fs::exists(file.string() + ".BAD10000"));
    Application().ShownMessages.clear();
    for (int n = 0; n < 10000; ++n) fs::remove(file.string() + (n == 0 ? ".BAD" : ".BAD" + std::to_string(n)));
    WriteBytes(file, good);
  }
}

// A list cut exactly at a line end has lost its free-slot line (always the
// last one written): it is damaged like a list cut in a line.
TEST_F(DamagedRider, TripListWithoutItsFreeSlotLineIsReportedAndKept) {
  const std::string text = FileBytes(ListFile());
  std::size_t end = 0;
  for (int i = 0; i < 10; ++i) end = text.find("\r\n", end) + 2;
  const std::string cut = text.substr(0, end);
  WriteBytes(ListFile(), cut);
  Start();
  EXPECT_TRUE(Mentions(Messages(), "its free-slot line is missing")) << Messages();
  EXPECT_TRUE(Mentions(Messages(), Format("%i trip file(s)", kTrips - 10))) << Messages();
  EXPECT_TRUE(Mentions(Messages(), ListFile().string() + ".BAD")) << Messages();
  EXPECT_EQ(TripList.Count(), 11);
  Stop();
  EXPECT_TRUE(FileHolds(ListFile().string() + ".BAD", cut));
}

// A highest-slot word beyond the slots is damage like any other: reported,
// the file kept as read.
TEST_F(DamagedRider, DatabaseHighestSlotWordBeyondTheSlotsIsReportedAndKept) {
  std::string damaged = FileBytes(DatabaseFile());
  le::PutI32(Bytes(damaged), 5000);
  WriteBytes(DatabaseFile(), damaged);
  Start();
  EXPECT_TRUE(Mentions(Messages(), "highest-slot word 5000")) << Messages();
  EXPECT_TRUE(Mentions(Messages(), DatabaseFile().string() + ".BAD")) << Messages();
  Stop();
  EXPECT_TRUE(FileHolds(DatabaseFile().string() + ".BAD", damaged));
  EXPECT_EQ(FileBytes(DatabaseFile()).size(), damaged.size());
}

// A manual entry whose slot lost its values (a crash between the list and
// the database, a restored database): said once at the start, shown
// without values instead of the slot's.
TEST_F(DamagedRider, ManualEntryWhoseSlotLostItsValuesShowsNone) {
  std::string line;
  for (const std::string& l : StoredLines())
    if (IsManualEntryKeyLine(l)) line = l;
  ASSERT_FALSE(line.empty());
  const int slot = *LineSlot(line);
  std::string db = FileBytes(DatabaseFile());
  std::fill_n(db.begin() + 8 + slot * 108, 108, '\0');
  WriteBytes(DatabaseFile(), db);
  Start();
  EXPECT_TRUE(Mentions(Messages(), "does not hold the values of 1 manual entry (" + FormatTripDateTime(line) + ")"))
      << Messages();
  Form1->SB_DBClick(Form1->SB_DB);
  const int row = TripList.IndexOf(line.substr(0, line.find(';') + 4) + "PF" + line.substr(line.find(';') + 4)) + 2;
  ASSERT_GE(row, 2);
  for (int metric : {kMetricTime, kMetricDistance, kMetricHeartRate, kMetricTemperature})
    EXPECT_EQ(Form3->DBook->Cell(DiaryColumnPos[metric], row), "") << metric;
  EXPECT_EQ(Form3->DBook->Cell(DiaryColumnPos[kMetricComment], row), "manual entry");
  // Edited, it offers no values; typed again, they are its own.
  Form3->SB_NO_RIDE->DoClick();
  Form3->DBook->SetRow(row);
  Form3->DBook->DoClick();
  EXPECT_EQ(Form3->ED_4->Text, " ");
  EXPECT_EQ(Form3->ED_5->Text, " ");
  Form3->ED_4->Text = "3.5";
  Form3->ED_OK->DoClick();
  EXPECT_EQ(TripList.IndexOf(line), row - 2);
  EXPECT_EQ(TripSummaryTable[slot].Distance, 3.5f);
  Stop();
  Application().ShownMessages.clear();
  Start();
  EXPECT_TRUE(Application().ShownMessages.empty()) << Messages();
}

// A database that is there but cannot be read says nothing of the manual
// entries' slots: none is marked, and neither file is written over.
TEST_F(DamagedRider, UnreadableDatabaseMarksNoEntryAndIsNotWrittenOver) {
  const std::string list = FileBytes(ListFile());
  fs::remove(DatabaseFile());
  ASSERT_EQ(::mkfifo(DatabaseFile().c_str(), 0600), 0);
  Start();
  EXPECT_TRUE(Mentions(Messages(), "Cannot read the trip database")) << Messages();
  EXPECT_FALSE(Mentions(Messages(), "does not hold the values")) << Messages();
  Stop();
  EXPECT_EQ(FileBytes(ListFile()), list);
  EXPECT_EQ(fs::status(DatabaseFile()).type(), fs::file_type::fifo);
}

// What a crash left is dealt with when the rider opens: a join its journal
// names is finished with its records, and temporary files of the ended
// program go (from the rider's and the settings folder).
TEST_F(DamagedRider, TemporaryFilesOfACrashGoOnceTheJoinIsFinished) {
  const TStringList lines = StoredLines();
  const std::string first = lines[0], second = lines[1];
  const std::string joined = FileBytes(TripFileOf(second));
  WriteBytes(fs::path(TripFileOf(first).string() + ".JOIN"), joined);
  WriteBytes(Rider() / "DEMO.T_L.JOIN", std::string(LineKey(first)) + ".DEO\n" + second + "\n");
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string tmp = ".tmp" + std::to_string(ended);
  const std::vector<fs::path> left = {Rider() / ("DEMO.T_D" + tmp), Rider() / ("DEMO.T_L.ENTRY" + tmp),
                                      fs::path(TripFileOf(first).string() + ".BAD" + tmp),
                                      SettingsFile().string() + tmp};
  for (const fs::path& p : left) WriteBytes(p, std::string(1180008, 'x'));
  Start();
  for (const fs::path& p : left) EXPECT_FALSE(fs::exists(p)) << p;
  EXPECT_TRUE(FileHolds(TripFileOf(first), joined));
  EXPECT_EQ(TripList.IndexOf(second), -1);
  EXPECT_FALSE(fs::exists(Rider() / "DEMO.T_L.JOIN"));
}

}  // namespace
}  // namespace tav
