// A preloaded library for crash checks at the level of the system calls:
// it counts every call that changes a file below $TAV_KILL_DIR (opening
// for writing or creating, write, fsync, rename, link, unlink, truncate,
// chmod, mkdir) once $TAV_KILL_AT is set, and ends the process with
// _exit(250) just before the call numbered $TAV_KILL_AT (0: count only).
// tav_shim_calls() tells how many were counted.
//
//   LD_PRELOAD=<build>/tools/libtav_kill_shim.so tav_app_tests --gtest_filter='CrashedStore.*'
//
// (with the sanitizer build also ASAN_OPTIONS=verify_asan_link_order=0).
// The program's own file step check sees the same steps from inside; the
// crash test kills at these calls instead when the library is loaded.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<long> g_calls{0};
constexpr int kMaxFd = 65536;
std::atomic<unsigned char> g_below[kMaxFd];  // the descriptor names a file below the folder

template <class F>
F Real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// Whether a path (relative ones against the current folder) lies below
// $TAV_KILL_DIR.
bool Below(int dirfd, const char* path) {
  const char* dir = ::getenv("TAV_KILL_DIR");
  if (dir == nullptr || *dir == '\0' || path == nullptr) return false;
  char full[8192];
  if (path[0] == '/') {
    ::snprintf(full, sizeof full, "%s", path);
  } else {
    char base[4096];
    if (dirfd != AT_FDCWD) {
      char link[64];
      ::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
      const ssize_t n = ::readlink(link, base, sizeof base - 1);
      if (n < 0) return false;
      base[n] = '\0';
    } else if (::getcwd(base, sizeof base) == nullptr) {
      return false;
    }
    ::snprintf(full, sizeof full, "%s/%s", base, path);
  }
  const size_t n = ::strlen(dir);
  return ::strncmp(full, dir, n) == 0 && (full[n] == '/' || full[n] == '\0');
}

bool FdBelow(int fd) { return fd >= 0 && fd < kMaxFd && g_below[fd].load() != 0; }

// One call that changes the disk: counted while armed, and the process
// ends before the one numbered $TAV_KILL_AT.
void Step() {
  const char* at = ::getenv("TAV_KILL_AT");
  if (at == nullptr) return;
  const long n = ++g_calls;
  const long kill = ::atol(at);
  if (kill > 0 && n == kill) ::_exit(250);
}

bool Writing(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }

int Opened(int fd, int dirfd, const char* path) {
  if (fd >= 0 && fd < kMaxFd) g_below[fd] = Below(dirfd, path) ? 1 : 0;
  return fd;
}

}  // namespace

extern "C" {

long tav_shim_calls() { return g_calls.load(); }

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = static_cast<mode_t>(va_arg(ap, int));
    va_end(ap);
  }
  if (Writing(flags) && Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, int, ...)>("open");
  return Opened(real(path, flags, mode), AT_FDCWD, path);
}

int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = static_cast<mode_t>(va_arg(ap, int));
    va_end(ap);
  }
  if (Writing(flags) && Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, int, ...)>("open64");
  return Opened(real(path, flags, mode), AT_FDCWD, path);
}

int openat(int dirfd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = static_cast<mode_t>(va_arg(ap, int));
    va_end(ap);
  }
  if (Writing(flags) && Below(dirfd, path)) Step();
  static auto real = Real<int (*)(int, const char*, int, ...)>("openat");
  return Opened(real(dirfd, path, flags, mode), dirfd, path);
}

int creat(const char* path, mode_t mode) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, mode_t)>("creat");
  return Opened(real(path, mode), AT_FDCWD, path);
}

FILE* fopen(const char* path, const char* mode) {
  if (mode != nullptr && ::strpbrk(mode, "wa+") != nullptr && Below(AT_FDCWD, path)) Step();
  static auto real = Real<FILE* (*)(const char*, const char*)>("fopen");
  FILE* f = real(path, mode);
  if (f != nullptr) Opened(::fileno(f), AT_FDCWD, path);
  return f;
}

FILE* fopen64(const char* path, const char* mode) {
  if (mode != nullptr && ::strpbrk(mode, "wa+") != nullptr && Below(AT_FDCWD, path)) Step();
  static auto real = Real<FILE* (*)(const char*, const char*)>("fopen64");
  FILE* f = real(path, mode);
  if (f != nullptr) Opened(::fileno(f), AT_FDCWD, path);
  return f;
}

ssize_t write(int fd, const void* buf, size_t n) {
  if (FdBelow(fd)) Step();
  static auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
  return real(fd, buf, n);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
  if (FdBelow(fd)) Step();
  static auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return real(fd, buf, n, at);
}

ssize_t writev(int fd, const struct iovec* v, int count) {
  if (FdBelow(fd)) Step();
  static auto real = Real<ssize_t (*)(int, const struct iovec*, int)>("writev");
  return real(fd, v, count);
}

int fsync(int fd) {
  if (FdBelow(fd)) Step();
  static auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}

int fdatasync(int fd) {
  if (FdBelow(fd)) Step();
  static auto real = Real<int (*)(int)>("fdatasync");
  return real(fd);
}

int ftruncate(int fd, off_t size) {
  if (FdBelow(fd)) Step();
  static auto real = Real<int (*)(int, off_t)>("ftruncate");
  return real(fd, size);
}

int fchmod(int fd, mode_t mode) {
  if (FdBelow(fd)) Step();
  static auto real = Real<int (*)(int, mode_t)>("fchmod");
  return real(fd, mode);
}

int close(int fd) {
  if (fd >= 0 && fd < kMaxFd) g_below[fd] = 0;
  static auto real = Real<int (*)(int)>("close");
  return real(fd);
}

int rename(const char* from, const char* to) {
  if (Below(AT_FDCWD, from) || Below(AT_FDCWD, to)) Step();
  static auto real = Real<int (*)(const char*, const char*)>("rename");
  return real(from, to);
}

int renameat(int fd1, const char* from, int fd2, const char* to) {
  if (Below(fd1, from) || Below(fd2, to)) Step();
  static auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
  return real(fd1, from, fd2, to);
}

int renameat2(int fd1, const char* from, int fd2, const char* to, unsigned flags) {
  if (Below(fd1, from) || Below(fd2, to)) Step();
  static auto real = Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  return real(fd1, from, fd2, to, flags);
}

int link(const char* from, const char* to) {
  if (Below(AT_FDCWD, to)) Step();
  static auto real = Real<int (*)(const char*, const char*)>("link");
  return real(from, to);
}

int unlink(const char* path) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*)>("unlink");
  return real(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
  if (Below(dirfd, path)) Step();
  static auto real = Real<int (*)(int, const char*, int)>("unlinkat");
  return real(dirfd, path, flags);
}

int remove(const char* path) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*)>("remove");
  return real(path);
}

int rmdir(const char* path) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*)>("rmdir");
  return real(path);
}

int truncate(const char* path, off_t size) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, off_t)>("truncate");
  return real(path, size);
}

int chmod(const char* path, mode_t mode) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, mode_t)>("chmod");
  return real(path, mode);
}

int mkdir(const char* path, mode_t mode) {
  if (Below(AT_FDCWD, path)) Step();
  static auto real = Real<int (*)(const char*, mode_t)>("mkdir");
  return real(path, mode);
}

}  // extern "C"
