#include "platform/strings.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tav {

namespace {
const std::string kEmpty;
}

const std::string& TStringList::At(int i) const {
  if (i < 0 || i >= Count()) return kEmpty;
  return lines_[static_cast<std::size_t>(i)];
}

int TStringList::Add(std::string line) {
  ++version_;
  if (sorted_) {
    auto it = std::upper_bound(lines_.begin(), lines_.end(), line);
    auto pos = it - lines_.begin();
    lines_.insert(it, std::move(line));
    return static_cast<int>(pos);
  }
  lines_.push_back(std::move(line));
  return Count() - 1;
}

void TStringList::Insert(int index, std::string line) {
  index = std::clamp(index, 0, Count());
  lines_.insert(lines_.begin() + index, std::move(line));
  ++version_;
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  lines_.erase(lines_.begin() + index);
  ++version_;
}

void TStringList::Exchange(int a, int b) {
  if (a < 0 || b < 0 || a >= Count() || b >= Count()) return;
  std::swap(lines_[static_cast<std::size_t>(a)], lines_[static_cast<std::size_t>(b)]);
  ++version_;
}

int TStringList::IndexOf(std::string_view line) const {
  for (int i = 0; i < Count(); ++i)
    if (lines_[static_cast<std::size_t>(i)] == line) return i;
  return -1;
}

void TStringList::SetSorted(bool on) {
  if (on && !sorted_) Sort();
  sorted_ = on;
}

void TStringList::Sort() {
  std::stable_sort(lines_.begin(), lines_.end());
  ++version_;
}

std::string TStringList::Text() const {
  std::string out;
  std::size_t n = 0;
  for (const auto& l : lines_) n += l.size() + 2;
  out.reserve(n);
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(std::string_view text) {
  lines_.clear();
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines_.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) lines_.emplace_back(text.substr(start));
  ++version_;
}

bool TStringList::LoadFromFile(const std::filesystem::path& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  SetText(bytes);
  if (sorted_) Sort();
  return true;
}

bool TStringList::SaveToFile(const std::filesystem::path& path) const {
  return WriteFileAtomically(path, Text());
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& out) {
  // A folder opens as a stream on Linux and reports a huge size: only plain
  // files are read.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) return false;
  out = std::move(bytes);
  return true;
}

FileSyncHook& FileSyncObserver() {
  static FileSyncHook hook;
  return hook;
}

FileStepHook& FileStepCheck() {
  static FileStepHook hook;
  return hook;
}

namespace {
// 0 when the step may be taken, else the errno it fails with.
int StepRefused(FileStep step, const std::filesystem::path& path) {
  return FileStepCheck() ? FileStepCheck()(step, path) : 0;
}
bool Refused(FileStep step, const std::filesystem::path& path) {
  const int err = StepRefused(step, path);
  if (err != 0) errno = err;
  return err != 0;
}
void Keep(int* error_number, int err) {
  if (error_number) *error_number = err != 0 ? err : EIO;
}
}  // namespace

int CreateNewFile(const std::filesystem::path& path, unsigned mode) {
  if (Refused(FileStep::Create, path)) return -1;
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
}

bool WriteAllBytes(int fd, std::string_view bytes, const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (Refused(FileStep::Write, path)) return false;
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

namespace {
// fsync through interruptions; a flushed file or folder is told to the observer.
bool Fsync(int fd, const std::filesystem::path& path) {
  int rc;
  do rc = ::fsync(fd);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  if (FileSyncObserver()) FileSyncObserver()(path);
  return true;
}
}  // namespace

bool SyncFile(int fd, const std::filesystem::path& path) {
  return !Refused(FileStep::Sync, path) && Fsync(fd, path);
}

bool SyncFolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (Refused(FileStep::SyncFolder, folder)) return false;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = Fsync(fd, folder);
  ::close(fd);
  return synced;
}

bool RemoveFile(const std::filesystem::path& path, int* error_number) {
  if (Refused(FileStep::Remove, path) || (::unlink(path.c_str()) != 0 && errno != ENOENT)) {
    Keep(error_number, errno);
    return false;
  }
  return true;
}

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, int* error_number) {
  if (Refused(FileStep::Rename, to) || ::rename(from.c_str(), to.c_str()) != 0) {
    Keep(error_number, errno);
    return false;
  }
  return true;
}

bool RenameFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to, int* error_number) {
  if (Refused(FileStep::Rename, to)) {
    Keep(error_number, errno);
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) {
    Keep(error_number, errno);
    return false;
  }
  // A file system without the no-replace rename: a second name, then the
  // first one goes (link fails when the name is taken).
  if (::link(from.c_str(), to.c_str()) != 0) {
    Keep(error_number, errno);
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool owner_only,
                         int* error_number) {
  namespace fs = std::filesystem;
  fs::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  // The new file keeps the rights of the one it replaces; a new one gets the
  // usual rights, or the owner's alone for secrets (from its creation on).
  struct stat old {};
  const bool replaces = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  mode_t mode = owner_only ? 0600 : 0666;
  if (replaces) mode = old.st_mode & (owner_only ? 0700 : 07777);
  std::error_code ec;
  fs::remove(tmp, ec);  // a temporary file this process left
  const int fd = CreateNewFile(tmp, owner_only ? 0600 : 0666);
  if (fd < 0) {
    Keep(error_number, errno);
    return false;
  }
  // Open rights are narrowed by the umask; the old file's are set exactly.
  bool ok = (!replaces || ::fchmod(fd, mode) == 0) && WriteAllBytes(fd, bytes, tmp);
  // On disk before the rename, so a power cut never leaves a cut file.
  ok = ok && SyncFile(fd, tmp);
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && !RenameFile(tmp, path, &err)) ok = false;
  if (!ok) {
    RemoveFile(tmp);
    Keep(error_number, err);
    return false;
  }
  // The rename itself on disk.
  SyncFolderOf(path);
  return true;
}

bool IsTemporaryFileName(std::string_view name, long* process) {
  const std::size_t at = name.rfind(".tmp");
  if (at == std::string_view::npos || at == 0 || at + 4 == name.size() || name.size() - at > 4 + 9) return false;
  long id = 0;
  for (std::size_t i = at + 4; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    id = id * 10 + (name[i] - '0');
  }
  if (process) *process = id;
  return true;
}

int RemoveLeftTemporaryFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> left;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    long id = 0;
    std::error_code e2;
    if (!it->is_regular_file(e2) || it->is_symlink(e2) || !IsTemporaryFileName(it->path().filename().string(), &id))
      continue;
    // A process of that id that still runs may be writing it.
    if (id == ::getpid() || id <= 0 || ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM) continue;
    left.push_back(it->path());
  }
  int removed = 0;
  for (const fs::path& p : left)
    if (RemoveFile(p)) ++removed;
  return removed;
}

}  // namespace tav
