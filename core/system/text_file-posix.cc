#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "error_state.h"
#include "text_file.h"

namespace {
int fd_of(FileHandle f) { return static_cast<int>(f.value); }

// The size of an ordinary file, and its device and file number as one value.
FileStatus status_of(const struct stat& st) {
  return FileStatus{static_cast<std::uint64_t>(st.st_size),
                    static_cast<std::uint64_t>(st.st_dev) * 1000003u ^ static_cast<std::uint64_t>(st.st_ino)};
}
}  // namespace

bool is_existing_file(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<FileStatus> file_status(const std::string& name) {
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return status_of(st);
}

std::vector<FolderFile> ordinary_files_here() {
  std::vector<FolderFile> files;
  DIR* folder = ::opendir(".");
  if (folder == nullptr) {
    set_error(errno);
    return files;
  }
  while (const dirent* entry = ::readdir(folder)) {
    struct stat st {};
    if (::stat(entry->d_name, &st) == 0 && S_ISREG(st.st_mode))
      files.push_back({entry->d_name, static_cast<std::int64_t>(st.st_mtime) * 1000000000 +
                                          st.st_mtim.tv_nsec});
  }
  ::closedir(folder);
  return files;
}

bool is_same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

FileHandle open_for_reading(const std::string& name, Sharing) {
  // O_NONBLOCK: opening a pipe that no program writes would wait for one.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    set_error(errno);
    return FileHandle{};
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    set_error(ENOENT);
    return FileHandle{};
  }
  return FileHandle{fd};
}

bool seek_file(FileHandle file, std::uint64_t offset) {
  if (::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
  set_error(errno);
  return false;
}

std::size_t read_block(FileHandle file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_of(file), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) {
      set_read_error(errno);
      return 0;
    }
  }
}

bool is_other_than_file(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

std::optional<FileStatus> open_file_status(FileHandle file) {
  struct stat st {};
  if (::fstat(fd_of(file), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return status_of(st);
}

OpenedOutput open_output_file(const std::string& name, std::string_view own_start) {
  // A new file, never through a link (O_EXCL refuses any name that is taken,
  // a link to nowhere included).
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) return {FileHandle{fd}, 0, OutputRefusal::none, true};
  if (errno != EEXIST) {
    set_error(errno);
    return {{}, 0, OutputRefusal::cannot_create};
  }
  // O_NONBLOCK: a pipe's name must not make the open wait for a writer.
  fd = ::open(name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    set_error(error);
    if (error == ELOOP) return {{}, 0, OutputRefusal::link};
    return {{}, 0, is_other_than_file(name) ? OutputRefusal::not_a_file : OutputRefusal::cannot_create};
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return {{}, 0, OutputRefusal::not_a_file};
  }
  std::string start(own_start.size(), '\0');
  const ssize_t n = st.st_size == 0 ? 0 : ::pread(fd, start.data(), start.size(), 0);
  if (st.st_size != 0 && (n != static_cast<ssize_t>(start.size()) || start != own_start)) {
    ::close(fd);
    return {{}, 0, OutputRefusal::not_ours};
  }
  return {FileHandle{fd}, static_cast<std::uint64_t>(st.st_size), OutputRefusal::none};
}

bool write_at(FileHandle file, std::uint64_t offset, std::string_view bytes) {
  if (!file) {
    set_error(EBADF);
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_of(file), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      set_error(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool cut_file(FileHandle file, std::uint64_t size) {
  while (::ftruncate(fd_of(file), static_cast<off_t>(size)) != 0) {
    if (errno == EINTR) continue;
    set_error(errno);
    return false;
  }
  return true;
}

bool close_file(FileHandle& file) {
  bool ok = true;
  if (file && ::close(fd_of(file)) != 0) {
    set_error(errno);
    ok = false;
  }
  file = FileHandle{};
  return ok;
}

bool remove_file(const std::string& name) {
  if (::unlink(name.c_str()) == 0) return true;
  set_error(errno);
  return false;
}
