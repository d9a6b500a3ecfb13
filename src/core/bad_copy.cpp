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
// Writes all bytes to the temporary file `tmp` with the rights `mode`
// (exactly, whatever the umask), flushed to disk. 0 when written, else the
// errno; a file that was not written whole is removed.
int WriteTemporary(const std::filesystem::path& tmp, std::string_view bytes, mode_t mode) {
  std::error_code ec;
  std::filesystem::remove(tmp, ec);  // one this process left
  const int fd = CreateNewFile(tmp, 0600);
  if (fd < 0) return errno != 0 ? errno : EIO;
  int err = 0;
  if (!WriteAllBytes(fd, bytes, tmp) || ::fchmod(fd, mode) != 0 || !SyncFile(fd, tmp)) err = errno != 0 ? errno : EIO;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) RemoveFile(tmp);
  return err;
}

std::set<std::filesystem::path>& Uncopied() {
  static std::set<std::filesystem::path> paths;
  return paths;
}

std::filesystem::path Key(const std::filesystem::path& p) { return p.lexically_normal(); }
}  // namespace

bool MayReplace(const std::filesystem::path& original) { return !Uncopied().count(Key(original)); }

void KeepUnreadableFile(const std::filesystem::path& original) { Uncopied().insert(Key(original)); }

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
  // The copy is written whole under a temporary name and only then takes
  // its name (never one that is taken), so a crash while it is written
  // leaves no cut or empty copy, only a temporary file that the next
  // opening of the rider removes.
  std::filesystem::path tmp = original;
  tmp += ".BAD.tmp" + std::to_string(::getpid());
  if (WriteTemporary(tmp, bytes, mode) == 0) {
    for (int n = 0; n < kMaxCopies; ++n) {
      std::filesystem::path copy = original;
      copy += n == 0 ? std::string(".BAD") : ".BAD" + std::to_string(n);
      int err = 0;
      if (RenameFileNoReplace(tmp, copy, &err)) {
        SyncFolderOf(copy);
        Uncopied().erase(Key(original));
        return copy;
      }
      if (err != EEXIST) break;
    }
    RemoveFile(tmp);
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
