// Loaded with LD_PRELOAD under a program: reads of ordinary files fail with
// EIO once READ_FAILS_AFTER bytes of the file lie before them, as on a
// failing disk or a network share that has gone. Reads of anything else are
// left alone.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static const Read real_read = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  static const char* const limit_text = std::getenv("READ_FAILS_AFTER");
  struct stat st {};
  if (limit_text != nullptr && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const off_t limit = std::atoll(limit_text);
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at >= limit) {
      errno = EIO;
      return -1;
    }
    if (static_cast<off_t>(count) > limit - at) count = static_cast<size_t>(limit - at);
  }
  return real_read(fd, buffer, count);
}
