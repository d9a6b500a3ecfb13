#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/strings.h"
#include "platform/text.h"

using namespace tav;
using namespace tav::literals;
namespace fs = std::filesystem;

namespace {

fs::path TempDir(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("tavlog_strings_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string Bytes(const fs::path& path) {
  std::string out;
  EXPECT_TRUE(ReadWholeFile(path, out));
  return out;
}

}  // namespace

TEST(StringList, TextUsesCrLfAndReadsEveryLineBreak) {
  TStringList l;
  l.SetText("eins\r\nzwei\ndrei\rvier\r\n");
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"eins", "zwei", "drei", "vier"}));
  EXPECT_EQ(l.Text(), "eins\r\nzwei\r\ndrei\r\nvier\r\n");
  l.SetText("a\r\n\r\nb");  // an empty line in between stays, no final break needed
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"a", "", "b"}));
  l.SetText("");
  EXPECT_TRUE(l.Empty());
  EXPECT_EQ(l.Text(), "");

  TMemo memo;
  memo.SetText("Zeile 1\nZeile 2");
  EXPECT_EQ(memo.Lines.Count(), 2);
  EXPECT_EQ(memo.Text(), "Zeile 1\r\nZeile 2\r\n");
}

TEST(StringList, SortedListsInsertInOrderAndBadIndexesAreHarmless) {
  TStringList l{"b", "a"};
  EXPECT_EQ(l.Add("c"), 2) << "unsorted: appended";
  l.SetSorted(true);
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(l.Add("bb"), 2);
  EXPECT_EQ(l.Add("\xC4rger"), 4) << "byte order: 0xC4 after ASCII";
  EXPECT_EQ(l.IndexOf("bb"), 2);
  EXPECT_EQ(l.IndexOf("zz"), -1);
  l.SetSorted(false);
  l.Insert(99, "end");  // clamped
  l.Insert(-5, "start");
  EXPECT_EQ(l[0], "start");
  EXPECT_EQ(l[l.Count() - 1], "end");
  const unsigned before = l.Version();
  l.Delete(-1);
  l.Delete(l.Count());
  l.Exchange(0, 99);
  EXPECT_EQ(l.Version(), before) << "nothing changed";
  EXPECT_EQ(l.At(-1), "");
  EXPECT_EQ(l.At(l.Count()), "");
  l.Exchange(0, 1);
  EXPECT_EQ(l[1], "start");
  EXPECT_GT(l.Version(), before);
}

TEST(StringList, FilesAreWindowsBytesWithCrLfAndWrittenWhole) {
  const fs::path dir = TempDir("files");
  TStringList l;
  l.Add("Übernehmen"_w);
  l.Add("TSS™ 100%"_w);
  ASSERT_TRUE(l.SaveToFile(dir / "memo.txt"));
  EXPECT_EQ(Bytes(dir / "memo.txt"), "\xDC" "bernehmen\r\nTSS\x99 100%\r\n");
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename(), "memo.txt") << "no temporary file is left behind";

  TMemo memo;
  ASSERT_TRUE(memo.Lines.LoadFromFile(dir / "memo.txt"));
  EXPECT_EQ(memo.Lines.Lines(), l.Lines());

  // A file that cannot be read leaves the lines as they were; a file that
  // cannot be written leaves the old one untouched.
  EXPECT_FALSE(memo.Lines.LoadFromFile(dir / "missing.txt"));
  fs::create_directory(dir / "blocked.txt");  // a folder where a file should be
  EXPECT_FALSE(memo.Lines.LoadFromFile(dir / "blocked.txt"));
  EXPECT_EQ(memo.Lines.Count(), 2);
  EXPECT_FALSE(l.SaveToFile(dir / "no such folder" / "memo.txt"));
  TStringList other{"other"};
  EXPECT_FALSE(other.SaveToFile(dir / "blocked.txt"));
  EXPECT_TRUE(fs::is_directory(dir / "blocked.txt"));
  EXPECT_EQ(Bytes(dir / "memo.txt"), "\xDC" "bernehmen\r\nTSS\x99 100%\r\n");

  // Sorted lists sort what they load.
  TStringList sorted;
  sorted.SetSorted(true);
  ASSERT_TRUE(sorted.LoadFromFile(dir / "memo.txt"));
  EXPECT_EQ(sorted[0], "TSS\x99 100%");
  fs::remove_all(dir);
}

// A replaced file keeps its rights (owner-only stays owner-only); a new one
// gets the usual rights or, for secrets, the owner's alone. The temporary
// file is flushed before the rename, the folder after it.
TEST(StringList, WrittenFilesKeepTheirRightsAndAreFlushedBeforeAndAfterTheRename) {
  const fs::path dir = TempDir("rights");
  const mode_t mask = ::umask(022);
  struct Row {
    int old_mode;  // -1: no file yet
    bool owner_only;
    fs::perms expected;
  };
  using fs::perms;
  const Row rows[] = {
      {-1, false, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read},
      {-1, true, perms::owner_read | perms::owner_write},
      {0600, false, perms::owner_read | perms::owner_write},
      {0640, false, perms::owner_read | perms::owner_write | perms::group_read},
      {0664, false, perms::owner_read | perms::owner_write | perms::group_read | perms::group_write | perms::others_read},
      {0644, true, perms::owner_read | perms::owner_write},
  };
  std::vector<fs::path> synced;
  std::vector<bool> targetNewWhenSynced;
  const fs::path file = dir / "file.txt";
  FileSyncObserver() = [&](const fs::path& p) {
    synced.push_back(p);
    std::string now;
    targetNewWhenSynced.push_back(ReadWholeFile(file, now) && now == "new");
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.old_mode);
    fs::remove(file);
    if (row.old_mode >= 0) {
      ASSERT_TRUE(WriteFileAtomically(file, "old"));
      ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(row.old_mode)), 0);
    }
    synced.clear();
    targetNewWhenSynced.clear();
    ASSERT_TRUE(WriteFileAtomically(file, "new", row.owner_only));
    EXPECT_EQ(Bytes(file), "new");
    EXPECT_EQ(fs::status(file).permissions(), row.expected);
    ASSERT_EQ(synced.size(), 2u);
    EXPECT_EQ(synced[0].parent_path(), dir);
    EXPECT_NE(synced[0], file);
    EXPECT_FALSE(targetNewWhenSynced[0]) << "flushed before the rename";
    EXPECT_EQ(synced[1], dir);
    EXPECT_TRUE(targetNewWhenSynced[1]) << "the folder flushed after the rename";
  }
  FileSyncObserver() = nullptr;
  ::umask(mask);
  fs::remove_all(dir);
}

namespace {

// A step that fails (as on a full or read-only disk) leaves the old file
// whole, no temporary file, and the step's errno for the message.
TEST(StringList, AFailingStepLeavesTheOldFileAndSaysWhy) {
  const fs::path dir = TempDir("steps");
  const fs::path file = dir / "list.T_L";
  ASSERT_TRUE(WriteFileAtomically(file, "old"));
  struct Row {
    FileStep step;
    int error;
  } rows[] = {{FileStep::Create, ENOSPC}, {FileStep::Write, ENOSPC}, {FileStep::Sync, EIO}, {FileStep::Rename, EROFS}};
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.step));
    std::vector<FileStep> taken;
    FileStepCheck() = [&](FileStep s, const fs::path&) {
      taken.push_back(s);
      return s == row.step ? row.error : 0;
    };
    int error = 0;
    EXPECT_FALSE(WriteFileAtomically(file, "new", false, &error));
    FileStepCheck() = nullptr;
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(Bytes(file), "old");
    for (const auto& entry : fs::directory_iterator(dir)) EXPECT_EQ(entry.path().filename(), "list.T_L");
    // Every step up to the failing one, in order; then the cleanup.
    const std::vector<FileStep> order = {FileStep::Create, FileStep::Write, FileStep::Sync, FileStep::Rename};
    const std::size_t upto = static_cast<std::size_t>(std::find(order.begin(), order.end(), row.step) - order.begin());
    std::vector<FileStep> expected(order.begin(), order.begin() + static_cast<long>(upto) + 1);
    if (row.step != FileStep::Create) expected.push_back(FileStep::Remove);
    EXPECT_EQ(taken, expected);
  }
  int error = 0;
  EXPECT_TRUE(WriteFileAtomically(file, "new", false, &error));
  EXPECT_EQ(Bytes(file), "new");
  fs::remove_all(dir);
}

// Temporary files of a process that ended go; those of this process, of a
// running one and files that only look alike stay.
TEST(StringList, TemporaryFilesOfEndedProcessesAreRemoved) {
  const fs::path dir = TempDir("left");
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string gone = "DEMO.T_D.tmp" + std::to_string(ended), mine = "DEMO.T_L.tmp" + std::to_string(::getpid());
  const std::string running = "x.BAD.tmp1";  // process 1 always runs
  const std::vector<std::string> kept = {mine, running, "a.tmp", "b.tmpx1", "c.DEO.JOIN", "d.DEO", ".tmp12"};
  for (const std::string& name : kept) std::ofstream(dir / name) << "x";
  std::ofstream(dir / gone) << std::string(1000, 'x');
  fs::create_directory(dir / ("folder.tmp" + std::to_string(ended)));
  EXPECT_EQ(RemoveLeftTemporaryFiles(dir), 1);
  EXPECT_FALSE(fs::exists(dir / gone));
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
  fs::remove_all(dir);
}

}  // namespace
