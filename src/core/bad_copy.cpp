#include "core/bad_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "core/file_paths.h"
#include "platform/strings.h"

namespace tav {

namespace {
// Creates `path` only when no file of that name exists and writes all bytes
// with the rights `mode` (exactly, whatever the umask) and flushed to disk.
// 0 when written, EEXIST when the name is taken, another errno on failure.
int WriteNew(const std::filesystem::path& path, std::string_view bytes, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  std::size_t done = 0;
  int err = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
  if (err == 0 && !SyncFile(fd, path)) err = errno != 0 ? errno : EIO;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) ::unlink(path.c_str());
  return err;
}

std::set<std::filesystem::path>& Uncopied() {
  static std::set<std::filesystem::path> paths;
  return paths;
}

std::filesystem::path Key(const std::filesystem::path& p) { return p.lexically_normal(); }
}  // namespace

bool MayReplace(const std::filesystem::path& original) { return !Uncopied().count(Key(original)); }

std::string RefusedOverwriteMessage(const std::filesystem::path& original) {
  return "The file " + PathText(original) +
         " was read damaged and no .BAD copy of it could be kept, so it was not written over.";
}

void ForgetUncopiedFiles() { Uncopied().clear(); }

std::filesystem::path KeepBadCopy(const std::filesystem::path& original, std::string_view bytes) {
  constexpr int kMaxCopies = 10000;
  // The copy is readable by whom the original is (it may hold a password);
  // owner-only when the original's rights cannot be read.
  struct stat st {};
  const mode_t mode = ::stat(original.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0600;
  for (int n = 0; n < kMaxCopies; ++n) {
    std::filesystem::path copy = original;
    copy += n == 0 ? std::string(".BAD") : ".BAD" + std::to_string(n);
    const int err = WriteNew(copy, bytes, mode);
    if (err == 0) {
      SyncFolderOf(copy);
      Uncopied().erase(Key(original));
      return copy;
    }
    if (err != EEXIST) break;
  }
  Uncopied().insert(Key(original));
  return {};
}

std::filesystem::path KeepBadCopyOfFile(const std::filesystem::path& original) {
  std::string bytes;
  if (!ReadRegularFile(original, bytes)) return {};
  return KeepBadCopy(original, bytes);
}

}  // namespace tav
