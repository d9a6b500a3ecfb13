#include "platform/strings.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <fcntl.h>
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

namespace {
// Writes all bytes to fd; false on failure.
bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace

bool SyncFile(int fd, const std::filesystem::path& path) {
  int rc;
  do rc = ::fsync(fd);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  if (FileSyncObserver()) FileSyncObserver()(path);
  return true;
}

bool SyncFolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = SyncFile(fd, folder);
  ::close(fd);
  return ok;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool owner_only) {
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
  fs::remove(tmp, ec);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, owner_only ? 0600 : 0666);
  if (fd < 0) return false;
  // Open rights are narrowed by the umask; the old file's are set exactly.
  bool ok = (!replaces || ::fchmod(fd, mode) == 0) && WriteAll(fd, bytes);
  // On disk before the rename, so a power cut never leaves a cut file.
  ok = SyncFile(fd, tmp) && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) {
    fs::rename(tmp, path, ec);
    ok = !ec;
  }
  if (!ok) {
    fs::remove(tmp, ec);
    return false;
  }
  // The rename itself on disk.
  SyncFolderOf(path);
  return true;
}

}  // namespace tav
