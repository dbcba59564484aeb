#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "system/file.h"

namespace {
int fd_of(const FileHandle& f) { return static_cast<int>(f.native()); }

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

namespace {
// Each entry of `folder` ("" the current one) with what stat says of it
// (through a link): visit(name, st).
template <typename Visit>
void for_each_entry(const std::string& folder, Visit visit) {
  DIR* entries = ::opendir(folder.empty() ? "." : folder.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries)) {
    struct stat st {};
    if (::fstatat(::dirfd(entries), entry->d_name, &st, 0) == 0) visit(entry->d_name, st);
  }
  ::closedir(entries);
}
}  // namespace

std::vector<FolderFile> ordinary_files_in(const std::string& folder) {
  std::vector<FolderFile> files;
  for_each_entry(folder, [&](const char* name, const struct stat& st) {
    if (S_ISREG(st.st_mode))
      files.push_back({name, static_cast<std::int64_t>(st.st_mtime) * 1000000000 + st.st_mtim.tv_nsec});
  });
  return files;
}

std::vector<std::string> folder_names_in(const std::string& folder) {
  std::vector<std::string> names;
  for_each_entry(folder, [&](const std::string& name, const struct stat& st) {
    if (S_ISDIR(st.st_mode) && name != "." && name != "..") names.push_back(name);
  });
  return names;
}

bool is_same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

FileHandle open_for_reading(const std::string& name, Sharing) {
  // O_NONBLOCK: opening a pipe that no program writes would wait for one.
  FileHandle file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!file || ::fstat(fd_of(file), &st) != 0 || !S_ISREG(st.st_mode)) return FileHandle{};
  return file;
}

bool seek_file(const FileHandle& file, std::uint64_t offset) {
  return ::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

BlockRead read_block(const FileHandle& file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_of(file), buffer, size);
    if (n >= 0) return {static_cast<std::size_t>(n), false};
    if (errno != EINTR) return {0, true};
  }
}

bool is_other_than_file(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

std::optional<FileStatus> open_file_status(const FileHandle& file) {
  struct stat st {};
  if (::fstat(fd_of(file), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return status_of(st);
}

OpenedOutput open_output_file(const std::string& name, std::string_view own_start) {
  // A new file, never through a link (O_EXCL refuses any name that is taken,
  // a link to nowhere included).
  FileHandle file(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (file) return {std::move(file), 0, OutputRefusal::none, true};
  if (errno != EEXIST) return {{}, 0, OutputRefusal::cannot_create};
  // O_NONBLOCK: a pipe's name must not make the open wait for a writer.
  file = FileHandle(::open(name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file) {
    if (errno == ELOOP) return {{}, 0, OutputRefusal::link};
    return {{}, 0, is_other_than_file(name) ? OutputRefusal::not_a_file : OutputRefusal::cannot_create};
  }
  struct stat st {};
  if (::fstat(fd_of(file), &st) != 0 || !S_ISREG(st.st_mode)) return {{}, 0, OutputRefusal::not_a_file};
  std::string start(own_start.size(), '\0');
  const ssize_t n = st.st_size == 0 ? 0 : ::pread(fd_of(file), start.data(), start.size(), 0);
  if (st.st_size != 0 && (n != static_cast<ssize_t>(start.size()) || start != own_start))
    return {{}, 0, OutputRefusal::not_ours};
  return {std::move(file), static_cast<std::uint64_t>(st.st_size), OutputRefusal::none};
}

bool write_at(const FileHandle& file, std::uint64_t offset, std::string_view bytes) {
  if (!file) return false;
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd_of(file), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool cut_file(const FileHandle& file, std::uint64_t size) {
  while (::ftruncate(fd_of(file), static_cast<off_t>(size)) != 0)
    if (errno != EINTR) return false;
  return true;
}

bool close_file_handle(std::intptr_t native) { return ::close(static_cast<int>(native)) == 0; }

bool remove_file(const std::string& name) { return ::unlink(name.c_str()) == 0; }

bool copy_file_start(const FileHandle& from, const FileHandle& to, std::uint64_t size) {
  // In the kernel where it can (no copy through our memory), else by blocks.
  off_t in = 0, out = 0;
  while (static_cast<std::uint64_t>(in) < size) {
    const ssize_t n = ::copy_file_range(fd_of(from), &in, fd_of(to), &out,
                                        static_cast<std::size_t>(size - static_cast<std::uint64_t>(in)), 0);
    if (n > 0) continue;
    if (n == 0) return false;  // `from` is shorter
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    std::vector<char> block(1 << 20);
    while (static_cast<std::uint64_t>(in) < size) {
      const std::size_t want = static_cast<std::size_t>(
          std::min<std::uint64_t>(block.size(), size - static_cast<std::uint64_t>(in)));
      const ssize_t got = ::pread(fd_of(from), block.data(), want, in);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 ||
          !write_at(to, static_cast<std::uint64_t>(in), {block.data(), static_cast<std::size_t>(got)}))
        return false;
      in += got;
    }
    return true;
  }
  return true;
}

bool move_file_over(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool is_free_name(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::lstat(name.c_str(), &st) != 0 && errno == ENOENT;
}

bool give_free_name(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;  // taken, or a failure a link meets as well
#endif
  // A file system without that rename: a second name, which link() refuses
  // when it is taken, then the first name goes.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) == 0) return true;
  ::unlink(to.c_str());  // never two names for one file of ours
  return false;
}

namespace {
// The moves for an end from outside; read by the signal handlers.
struct MoveAtEnd {
  char from[4096];
  char to[4096];
  volatile sig_atomic_t set;
};
MoveAtEnd g_moves[4];
}  // namespace

void add_move_at_end(const std::string& from, const std::string& to) {
  if (from.size() >= sizeof g_moves[0].from || to.size() >= sizeof g_moves[0].to) return;
  for (MoveAtEnd& m : g_moves) {
    if (m.set) continue;
    std::memcpy(m.from, from.c_str(), from.size() + 1);
    std::memcpy(m.to, to.c_str(), to.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    m.set = 1;
    return;
  }
}

void remove_move_at_end(const std::string& from) {
  for (MoveAtEnd& m : g_moves)
    if (m.set && from == m.from) m.set = 0;
}

void move_at_end() {
  for (MoveAtEnd& m : g_moves) {
    if (!m.set) continue;
    m.set = 0;
    ::rename(m.from, m.to);
  }
}
