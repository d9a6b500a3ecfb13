// A manual entry stored through the diary, with the program killed before
// each step that changes the disk (creating, writing, flushing, renaming
// and removing files) and started again: the entry is whole with the values
// typed, or absent, and nothing else of the rider changed; no temporary
// file or journal is left, and no entry shows values that are not its own.
// The same store with a full disk at each step is refused, leaves every
// file as it was and keeps what was typed.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider_program.h"
#include "core/trip_catalog.h"
#include "core/trip_list.h"
#include "diary/diary_window.h"
#include "platform/datetime.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace testing_core;

// What the test types: 12 May 2023, 07:45, kind 5, 1:30 h, 42.5 km,
// 150 bpm, 18 degC, comment "swim".
constexpr const char* kEntryKey = "20230512_0745NR5_DEMO";
constexpr int kTypedSeconds = 5400;
constexpr float kTypedKm = 42.5f, kTypedHeartRate = 150.0f, kTypedDegrees = 18.0f;

constexpr int kKilled = 250, kThrough = 251;

class CrashedStore : public DemoRiderProgram {
 protected:
  void SetUp() override {
    DemoRiderProgram::SetUp();
    FileStepCheck() = nullptr;
  }
  void TearDown() override {
    FileStepCheck() = nullptr;
    if (!backup_.empty()) fs::remove_all(backup_);
    DemoRiderProgram::TearDown();
  }

  enum class Store { New, FreedSlot, Edit };

  // The rider's files as the test starts from them; `Prepare` changes them.
  void Prepare(Store kind) {
    if (kind == Store::FreedSlot) {
      // A trip deleted in the diary and saved: its line gone, its slot on
      // the free-slot line, its statistics still in the database (the
      // delete clears the distribution only).
      TStringList lines = StoredLines();
      for (int i = 0; i < lines.Count(); ++i)
        if (IsTripLine(lines[i]) && !IsManualLine(lines[i]) && !LineHasPF(lines[i])) {
          freed_ = *LineSlot(lines[i]);
          lines.Delete(i);
          break;
        }
      lines[lines.Count() - 1] += std::to_string(freed_) + ";";
      WriteBytes(ListFile(), lines.Text());
    }
    backup_ = fs::path(dir_.string() + "_pristine");
    fs::remove_all(backup_);
    fs::copy(dir_ / "DATA", backup_, fs::copy_options::recursive);
  }
  void Restore() {
    fs::remove_all(dir_ / "DATA");
    fs::copy(backup_, dir_ / "DATA", fs::copy_options::recursive);
  }

  // Starts the program, opens the diary and stores the entry (an edit of
  // the rider's manual entry for Store::Edit).
  void TypeAndStore(Store kind, const std::function<void()>& beforeOk) {
    Start();
    Form1->SB_DBClick(Form1->SB_DB);
    TForm3* f = Form3;
    f->SB_NO_RIDE->DoClick();
    if (kind == Store::Edit) {
      const int row = TripList.IndexOf(ManualLine()) + 2;
      f->DBook->SetRow(row);
      f->DBook->DoClick();
    }
    f->ED_1->DateTime = DateValue(2023, 5, 12);
    f->ED_2->DateTime = EncodeTime(7, 45, 10);
    f->ED_3->DateTime = EncodeTime(1, 30, 0);
    f->ED_4->Text = "42.5";
    f->ED_5->Text = "150";
    f->ED_6->Text = "18";
    f->IB_1->DoClick();  // kind 5
    f->Memo2->SetText("swim");
    beforeOk();
    f->ED_OK->DoClick();
  }

  // The kill shim (tests/tools/kill_shim.cpp) when it is preloaded: then
  // the child is killed at the system calls themselves, not at the file
  // step check.
  static long (*Shim())() { return reinterpret_cast<long (*)()>(::dlsym(RTLD_DEFAULT, "tav_shim_calls")); }

  // Runs TypeAndStore in a child process killed before its file step (or,
  // under the shim, its system call) number n; its exit status.
  int KilledAt(Store kind, int n) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      TypeAndStore(kind, [&] {
        if (Shim()) {
          ::setenv("TAV_KILL_DIR", dir_.c_str(), 1);
          ::setenv("TAV_KILL_AT", std::to_string(n).c_str(), 1);
          return;
        }
        FileStepCheck() = [n, seen = 0](FileStep, const fs::path&) mutable {
          if (++seen == n) ::_exit(kKilled);
          return 0;
        };
      });
      ::_exit(kThrough);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The number of file steps (under the shim: system calls) of the store.
  int CountSteps(Store kind) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      int n = 0;
      TypeAndStore(kind, [&] {
        if (Shim()) {
          ::setenv("TAV_KILL_DIR", dir_.c_str(), 1);
          ::setenv("TAV_KILL_AT", "0", 1);
          return;
        }
        FileStepCheck() = [&](FileStep, const fs::path&) {
          ++n;
          return 0;
        };
      });
      ::_exit(std::min(Shim() ? static_cast<int>(Shim()()) : n, 249));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string ManualLine() const {
    for (const std::string& line : StoredLines())
      if (IsManualEntryKeyLine(line)) return line;
    return {};
  }

  // The summaries of the manual lines of a list, from the tables loaded.
  static std::vector<std::pair<std::string, TripSummary>> ManualSummaries() {
    std::vector<std::pair<std::string, TripSummary>> out;
    for (const std::string& line : TripList)
      if (IsManualEntryKeyLine(line)) out.emplace_back(line, TripSummaryTable[*LineSlot(line)]);
    return out;
  }

  fs::path backup_;
  int freed_ = -1;
};

// Killed before each file step of the store, then started again.
TEST_F(CrashedStore, EntryIsWholeOrAbsentAfterAKillAtAnyStep) {
  int points = 0, whole = 0, absent = 0, consistent = 0;
  auto parts = [] { return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count(); };
  for (Store kind : {Store::New, Store::FreedSlot, Store::Edit}) {
    SCOPED_TRACE(static_cast<int>(kind));
    fs::remove_all(dir_ / "DATA");
    ASSERT_TRUE(MakeDemoRider(dir_, kTrips, &summary_, nullptr));
    ResetCoreData();
    Prepare(kind);
    // The three states a restart may find: the files as they were, the list
    // the diary holds before the store (its due statistics computed), and
    // the list after the store.
    const std::vector<std::string> original = StoredLines().Lines();
    Start();
    const std::vector<std::pair<std::string, TripSummary>> manualBefore = ManualSummaries();
    Stop();
    std::vector<std::string> before;
    TypeAndStore(kind, [&] { before = TripList.Lines(); });
    const std::vector<std::string> after = TripList.Lines();
    Stop();
    Restore();
    const int steps = CountSteps(kind);
    ASSERT_GT(steps, 10);
    ASSERT_LT(steps, 249);

    for (int n = 1; n <= steps + 1; ++n) {
      SCOPED_TRACE(n);
      const int status = KilledAt(kind, n);
      ASSERT_EQ(status, n <= steps ? kKilled : kThrough);
      ++points;
      const int failures = parts();
      Application().ShownMessages.clear();
      Start();
      for (const std::string& m : Application().ShownMessages) ADD_FAILURE() << m;
      const std::vector<std::string> now = TripList.Lines();
      EXPECT_TRUE(now == original || now == before || now == after);
      int entries = 0;
      for (const std::string& line : now) {
        if (line.rfind(kEntryKey, 0) != 0) continue;
        ++entries;
        const TripSummary& s = TripSummaryTable[*LineSlot(line)];
        EXPECT_EQ(s.TotalTime, kTypedSeconds);
        EXPECT_EQ(s.Distance, kTypedKm);
        EXPECT_EQ(s.MeanHeartRate, kTypedHeartRate);
        EXPECT_EQ(s.MeanTemperature, kTypedDegrees);
        if (kind == Store::FreedSlot) {
          EXPECT_EQ(*LineSlot(line), freed_);
        }
      }
      EXPECT_LE(entries, 1);
      // Every other manual entry keeps its own values.
      for (const auto& [line, summary] : manualBefore)
        if (TripList.IndexOf(line) >= 0) {
          EXPECT_EQ(TripSummaryTable[*LineSlot(line)], summary) << line;
        }
      if (kind == Store::Edit) {
        EXPECT_EQ(entries + (TripList.IndexOf(manualBefore.at(0).first) >= 0 ? 1 : 0), 1);
      }
      (entries == 1 ? whole : absent) += 1;
      if (n > steps) {
        EXPECT_EQ(entries, 1);
      }
      Stop();
      for (const auto& e : fs::directory_iterator(Rider())) {
        const std::string name = e.path().filename().string();
        EXPECT_FALSE(IsTemporaryFileName(name) || name.ends_with(".ENTRY")) << name;
      }
      if (parts() == failures) ++consistent;
      Restore();
    }
  }
  std::printf("[ figures  ] %s: %i kill points of storing a manual entry (new, in a freed slot, an edit): "
              "consistent after the restart %i times (the entry whole %i times, absent %i times)\n",
              Shim() ? "system calls (kill shim)" : "file steps", points, consistent, whole, absent);
  EXPECT_EQ(consistent, points);
}

// Killed once the journal was written, then killed again at each file step
// of the next start, which was finishing the entry: the start after that
// finishes it whole.
TEST_F(CrashedStore, StartKilledWhileFinishingTheEntryFinishesItNextTime) {
  Prepare(Store::New);
  const fs::path journal = Rider() / "DEMO.T_L.ENTRY";
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    TypeAndStore(Store::New, [&] {
      FileStepCheck() = [&](FileStep s, const fs::path& p) {
        if (s == FileStep::Create && p.string().find(".T_D.tmp") != std::string::npos && fs::exists(journal))
          ::_exit(kKilled);
        return 0;
      };
    });
    ::_exit(kThrough);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), kKilled);
  ASSERT_TRUE(fs::exists(journal));
  fs::remove_all(backup_);
  fs::copy(dir_ / "DATA", backup_, fs::copy_options::recursive);  // the state the kill left
  int killed = 0;
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    std::fflush(nullptr);
    pid = ::fork();
    if (pid == 0) {
      FileStepCheck() = [n, seen = 0](FileStep, const fs::path&) mutable {
        if (++seen == n) ::_exit(kKilled);
        return 0;
      };
      Start();
      ::_exit(kThrough);
    }
    ::waitpid(pid, &status, 0);
    Application().ShownMessages.clear();
    Start();
    for (const std::string& m : Application().ShownMessages) ADD_FAILURE() << m;
    int entries = 0;
    for (const std::string& line : TripList)
      if (line.rfind(kEntryKey, 0) == 0) {
        ++entries;
        EXPECT_EQ(TripSummaryTable[*LineSlot(line)].TotalTime, kTypedSeconds);
        EXPECT_EQ(TripSummaryTable[*LineSlot(line)].Distance, kTypedKm);
      }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(StoredLines().Lines(), TripList.Lines());
    EXPECT_FALSE(fs::exists(journal));
    Stop();
    Restore();
    if (WEXITSTATUS(status) == kThrough) break;
    ++killed;
  }
  std::printf("[ figures  ] the start finishing a stored entry killed at %i file steps: the entry whole at the "
              "next start every time\n", killed);
  EXPECT_GE(killed, 10);  // the database, the list and the journal's removal at least
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// The file a step works on: the temporary file's own name without its
// ".tmp<process>" end.
std::string FileOfStep(const fs::path& path) {
  const std::string name = path.string();
  const std::size_t at = name.rfind(".tmp");
  return at != std::string::npos && name.find_first_not_of("0123456789", at + 4) == std::string::npos
             ? name.substr(0, at)
             : name;
}

// A full disk at each file step of the store: refused with the file named
// and why, every file as it was, what was typed still in the panel; or,
// where only a folder flush or the journal's removal failed, stored whole.
TEST_F(CrashedStore, FullDiskAtAnyStepRefusesAndKeepsWhatWasTyped) {
  // Due statistics computed and saved first, so nothing waits to be saved.
  Start();
  Form1->SB_DBClick(Form1->SB_DB);
  Stop();
  Prepare(Store::New);
  const std::string list = FileBytes(ListFile()), database = FileBytes(DatabaseFile());
  int refused = 0, stored = 0;
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    int seen = 0;
    FileStep step{};
    std::string file;
    Application().ShownMessages.clear();
    TypeAndStore(Store::New, [&] {
      FileStepCheck() = [&](FileStep s, const fs::path& p) {
        if (++seen != n) return 0;
        step = s;
        file = FileOfStep(p);
        return ENOSPC;
      };
    });
    FileStepCheck() = nullptr;
    if (seen < n) {  // every step passed: the store needs n - 1 steps
      Stop();
      break;
    }
    if (step == FileStep::SyncFolder || step == FileStep::Remove) {
      // Nothing lost: the file is whole in its place (a journal left is
      // removed at the next opening).
      EXPECT_FALSE(Form3->P_LSD->Visible);
      EXPECT_GE(TripList.IndexOf(std::string(kEntryKey) + ";026;*swim"), 0);
      ++stored;
    } else {
      ASSERT_EQ(Application().ShownMessages.size(), 1u);
      EXPECT_EQ(Application().ShownMessages[0], "The entry was not stored: The file " + file +
                                                    " cannot be written: the disk is full. What you typed "
                                                    "stays here; please try again.");
      EXPECT_TRUE(FileHolds(ListFile(), list));
      EXPECT_TRUE(FileHolds(DatabaseFile(), database));
      EXPECT_TRUE(Form3->P_LSD->Visible);
      EXPECT_EQ(Form3->ED_4->Text, "42.5");
      EXPECT_EQ(Form3->Memo2->Text(), "swim\r\n");
      for (const auto& e : fs::directory_iterator(Rider()))
        EXPECT_FALSE(IsTemporaryFileName(e.path().filename().string())) << e.path();
      // The same OK once there is room.
      Form3->ED_OK->DoClick();
      EXPECT_FALSE(Form3->P_LSD->Visible);
      ++refused;
    }
    Stop();
    Start();
    const int at = TripList.IndexOf(std::string(kEntryKey) + ";026;*swim");
    ASSERT_GE(at, 0);
    EXPECT_EQ(TripSummaryTable[26].Distance, kTypedKm);
    EXPECT_FALSE(fs::exists(EntryJournalPath()));
    Stop();
    Restore();
  }
  EXPECT_EQ(refused, 12);  // create, write, flush and rename of journal, database and list
  EXPECT_EQ(stored, 4);    // three folder flushes and the journal's removal
}

// When the list cannot be written after the database was, and the
// database cannot be put back either, an edit is kept: the journal
// completes it at the next opening.
TEST_F(CrashedStore, EditThatCannotBeUndoneIsCompletedAtTheNextOpening) {
  Start();
  Form1->SB_DBClick(Form1->SB_DB);
  Stop();
  Prepare(Store::Edit);
  const std::string old = ManualLine();
  int creates = 0;
  TypeAndStore(Store::Edit, [&] {
    FileStepCheck() = [&](FileStep s, const fs::path& p) {
      if (s != FileStep::Create) return 0;
      ++creates;
      // The list's first try, then the database's way back.
      return (p.string().find(".T_L.tmp") != std::string::npos || creates > 3) ? ENOSPC : 0;
    };
  });
  FileStepCheck() = nullptr;
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_EQ(Application().ShownMessages[0].rfind("The entry is in the list but not yet saved whole: The file " +
                                                     ListFile().string() + " cannot be written: the disk is full.",
                                                 0),
            0u)
      << Application().ShownMessages[0];
  EXPECT_FALSE(Form3->P_LSD->Visible);
  EXPECT_TRUE(fs::exists(EntryJournalPath()));
  const std::string list = FileBytes(ListFile());
  // Killed here: the next opening finds the old line on disk and completes the edit.
  DestroyAllForms();
  ResetCoreData();
  Application().ShownMessages.clear();
  EXPECT_NE(list.find(old), std::string::npos);
  Start();
  EXPECT_TRUE(Application().ShownMessages.empty());
  EXPECT_EQ(TripList.IndexOf(old), -1);
  const int at = TripList.IndexOf(std::string(kEntryKey) + ";" + old.substr(old.find(';') + 1, 3) + ";*swim");
  ASSERT_GE(at, 0);
  EXPECT_EQ(TripSummaryTable[*LineSlot(TripList[at])].TotalTime, kTypedSeconds);
  EXPECT_FALSE(fs::exists(EntryJournalPath()));
  EXPECT_EQ(StoredLines().Lines(), TripList.Lines());
}

// An entry kept for completion and deleted before the program closes stays
// deleted: the save on closing ends the journal's work.
TEST_F(CrashedStore, KeptEntryDeletedBeforeClosingStaysDeleted) {
  Start();
  Form1->SB_DBClick(Form1->SB_DB);
  Stop();
  Prepare(Store::New);
  int creates = 0;
  TypeAndStore(Store::New, [&] {
    FileStepCheck() = [&](FileStep s, const fs::path& p) {
      if (s == FileStep::Remove && p.string().ends_with(".ENTRY")) return EIO;
      if (s != FileStep::Create) return 0;
      ++creates;
      return (p.string().find(".T_L.tmp") != std::string::npos || creates > 3) ? ENOSPC : 0;
    };
  });
  FileStepCheck() = nullptr;
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_EQ(Application().ShownMessages[0].rfind("The entry is in the list but not yet saved whole:", 0), 0u);
  ASSERT_TRUE(fs::exists(EntryJournalPath()));
  const int row = TripList.IndexOf(std::string(kEntryKey) + ";026;*swim") + 2;
  ASSERT_GE(row, 2);
  Form3->DBook->SetRow(row);
  Form3->SB_TRIP_KILL->DoClick();
  Form3->B_CL_Trip->DoClick();
  EXPECT_EQ(TripList.IndexOf(std::string(kEntryKey) + ";026;*swim"), -1);
  Stop();
  EXPECT_FALSE(fs::exists(Rider() / "DEMO.T_L.ENTRY"));
  Start();
  EXPECT_EQ(TripList.IndexOf(std::string(kEntryKey) + ";026;*swim"), -1);
}

}  // namespace
}  // namespace tav
