// TStringList: an ordered list of Windows-1252 lines with an optional sorted
// mode, as the trip list, selection lists, memo lines and combo items use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include <filesystem>
#include <functional>

namespace tav {

class TStringList {
 public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

  int Count() const { return static_cast<int>(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  // Unchecked like the lines of a list; use At() where an index may be bad.
  std::string& operator[](int i) { return lines_[static_cast<std::size_t>(i)]; }
  const std::string& operator[](int i) const { return lines_[static_cast<std::size_t>(i)]; }
  // Line i, or an empty string when i is out of range.
  const std::string& At(int i) const;

  // In sorted mode the line is inserted at its place in byte order; returns its index.
  int Add(std::string line);
  void Insert(int index, std::string line);  // index clamped to 0..Count()
  void Delete(int index);                    // out of range: nothing happens
  void Clear() { lines_.clear(); ++version_; }
  void Exchange(int a, int b);
  int IndexOf(std::string_view line) const;  // -1 when missing
  void Assign(const TStringList& other) { lines_ = other.lines_; ++version_; }
  void Assign(std::vector<std::string> lines) { lines_ = std::move(lines); ++version_; }

  // Switching the sorted mode on sorts the whole list (stable, byte order);
  // later additions are inserted in order. Switching it off keeps the order.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool on);
  void Sort();

  // Lines joined with CR LF, each line ended by CR LF (as Windows writes them).
  std::string Text() const;
  // Splits on CR LF, LF or CR; a final line break does not add an empty line.
  void SetText(std::string_view text);
  // Windows-1252 bytes, CR LF. Load returns false (list unchanged) when the
  // file cannot be read; Save writes a temporary file and renames it into place.
  bool LoadFromFile(const std::filesystem::path& path);
  bool SaveToFile(const std::filesystem::path& path) const;

  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>::const_iterator begin() const { return lines_.begin(); }
  std::vector<std::string>::const_iterator end() const { return lines_.end(); }
  // Bumped by every change through the list's own operations.
  unsigned Version() const { return version_; }

 private:
  std::vector<std::string> lines_;
  bool sorted_ = false;
  unsigned version_ = 0;
};

// Writes bytes to a temporary file beside path and renames it into place.
// Returns false (and leaves any old file untouched) on failure, with the
// errno of the failing step in *error_number when given. A file that is
// replaced keeps its permissions. With owner_only the file is readable by
// its owner alone from its creation on (for secrets such as passwords).
// The temporary file ("<path>.tmp<process id>") is flushed to disk (fsync)
// before the rename and the folder after it, so a power cut leaves the old
// file or the new one whole.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool owner_only = false,
                         int* error_number = nullptr);
// fsync of an open file descriptor (path only names it for the observer);
// false on failure.
bool SyncFile(int fd, const std::filesystem::path& path);
// fsync of the folder that holds path, so a rename or a new name in it is
// on disk.
bool SyncFolderOf(const std::filesystem::path& path);
// Called with the path after every successful SyncFile (tests watch it).
using FileSyncHook = std::function<void(const std::filesystem::path&)>;
FileSyncHook& FileSyncObserver();

// The steps that change what lies on disk. Each is announced to the file
// step check (when one is set) before it is taken; a result other than 0
// makes the step fail with that errno, as a full or read-only disk would.
// Tests set it to make a step fail or to stop the program at a step.
enum class FileStep { Create, Write, Sync, Rename, Remove, SyncFolder };
using FileStepHook = std::function<int(FileStep, const std::filesystem::path&)>;
FileStepHook& FileStepCheck();
// Creates `path` for writing only when no file of that name exists, with
// the rights `mode` (narrowed by the umask); the descriptor, or -1 with errno set.
int CreateNewFile(const std::filesystem::path& path, unsigned mode);
// Writes all bytes to fd (a file at `path`); false with errno set on failure.
bool WriteAllBytes(int fd, std::string_view bytes, const std::filesystem::path& path);
// Removes a file; true when it is gone (also when there was none). On
// failure the errno is in *error_number when given.
bool RemoveFile(const std::filesystem::path& path, int* error_number = nullptr);
// Renames a file, replacing `to`.
bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to,
                int* error_number = nullptr);
// Renames a file only when no file is named `to` (EEXIST otherwise).
bool RenameFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                         int* error_number = nullptr);
// True for the name of a temporary file WriteFileAtomically writes
// ("<name>.tmp<digits>"); *process gets the id of the process that wrote it.
bool IsTemporaryFileName(std::string_view name, long* process = nullptr);
// Removes the temporary files in `folder` that a process which ended left
// behind (a crash between writing and renaming); those of this process and
// of processes still running stay. Returns how many were removed.
int RemoveLeftTemporaryFiles(const std::filesystem::path& folder);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& out);

}  // namespace tav
