// Loaded with LD_PRELOAD under a program: every write to the ordinary file
// whose path ends with WRITE_FAILS_FOR ("/NAME"), or to its working copy
// beside it ("/.~NAME"), fails with ENOSPC, as on a full disk. Writes to
// anything else are left alone.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

bool fails(int fd) {
  static const char* const suffix = std::getenv("WRITE_FAILS_FOR");
  struct stat st {};
  if (suffix == nullptr || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char path[4096];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  const std::string file(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::string name = suffix;
  const std::string working = name.empty() || name[0] != '/' ? name : "/.~" + name.substr(1);
  const auto ends_with = [&](const std::string& end) {
    return file.size() >= end.size() && file.compare(file.size() - end.size(), end.size(), end) == 0;
  };
  return ends_with(name) || ends_with(working);
}

template <typename Function>
Function real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
  static const auto real_write = real<ssize_t (*)(int, const void*, size_t)>("write");
  if (fails(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return real_write(fd, buffer, count);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  static const auto real_pwrite = real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  if (fails(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return real_pwrite(fd, buffer, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
  return pwrite(fd, buffer, count, offset);
}
