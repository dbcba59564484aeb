// Files through the Win32 API. Names are text in the ANSI code page, as all
// text inside the programs; the system takes them as UTF-16.
#include <windows.h>

#include <limits>

#include "system/file.h"

namespace {

HANDLE handle_of(const FileHandle& f) { return reinterpret_cast<HANDLE>(f.native()); }

FileHandle from_handle(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) return FileHandle{};
  return FileHandle{reinterpret_cast<std::intptr_t>(h)};
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), n);
  return out;
}

std::string narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

// Largest single read or write the API takes.
constexpr std::size_t kMaxChunk = std::numeric_limits<DWORD>::max() / 2;

// The volume and file number of an existing file; false when it cannot be
// had. Asks for no access, so a file held without sharing still answers.
bool file_identity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE h = CreateFileW(wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return known;
}

// The size of a file, and its volume and file number as one value.
FileStatus status_of(const BY_HANDLE_FILE_INFORMATION& info) {
  const ULARGE_INTEGER size{{info.nFileSizeLow, info.nFileSizeHigh}};
  const ULARGE_INTEGER index{{info.nFileIndexLow, info.nFileIndexHigh}};
  return FileStatus{size.QuadPart, index.QuadPart ^ (std::uint64_t{info.dwVolumeSerialNumber} << 32)};
}

}  // namespace

bool is_existing_file(const std::string& name) {
  if (name.empty()) return false;
  // A directory search: the name may hold wildcards; one entry that is an
  // ordinary file, neither hidden nor a system file, is enough.
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(wide(name).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do {
    any = (found.dwFileAttributes & kNotOrdinary) == 0;
  } while (!any && FindNextFileW(search, &found));
  FindClose(search);
  return any;
}

std::optional<FileStatus> file_status(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (name.empty() || !GetFileAttributesExW(wide(name).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & kNotOrdinary) != 0)
    return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file_identity(name, info)) return std::nullopt;
  return status_of(info);
}

namespace {
// Each entry of `folder` ("" the current one): visit(found).
template <typename Visit>
void for_each_entry(const std::string& folder, Visit visit) {
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = folder.empty() ? std::wstring(L"*") : wide(folder) + L"\\*";
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    visit(found);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}
}  // namespace

std::vector<FolderFile> ordinary_files_in(const std::string& folder) {
  std::vector<FolderFile> files;
  for_each_entry(folder, [&](const WIN32_FIND_DATAW& found) {
    if ((found.dwFileAttributes & kNotOrdinary) != 0) return;
    const ULARGE_INTEGER written{{found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime}};
    files.push_back({narrow(found.cFileName), static_cast<std::int64_t>(written.QuadPart)});
  });
  return files;
}

std::vector<std::string> folder_names_in(const std::string& folder) {
  std::vector<std::string> names;
  for_each_entry(folder, [&](const WIN32_FIND_DATAW& found) {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return;
    const std::string name = narrow(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  });
  return names;
}

bool is_same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  return file_identity(a, ia) && file_identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

FileHandle open_for_reading(const std::string& name, Sharing sharing) {
  const DWORD share = sharing == Sharing::read_write_delete
                          ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                          : FILE_SHARE_READ | FILE_SHARE_WRITE;
  FileHandle file = from_handle(CreateFileW(wide(name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file && GetFileType(handle_of(file)) != FILE_TYPE_DISK) return FileHandle{};  // a pipe or a device
  return file;
}

bool seek_file(const FileHandle& file, std::uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handle_of(file), to, nullptr, FILE_BEGIN) != 0;
}

BlockRead read_block(const FileHandle& file, char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_of(file), buffer, static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk), &got,
                nullptr))
    return {0, true};
  return {got, false};
}

bool is_other_than_file(const std::string& name) {
  const DWORD attributes = name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

std::optional<FileStatus> open_file_status(const FileHandle& file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle_of(file), &info)) return std::nullopt;
  return status_of(info);
}

OpenedOutput open_output_file(const std::string& name, std::string_view own_start) {
  const std::wstring path = wide(name);
  // Others may read it while it is open (a viewer, a copy, a backup), not
  // write it.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return {from_handle(h), 0, OutputRefusal::none, true};
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
    return {{}, 0, is_other_than_file(name) ? OutputRefusal::not_a_file : OutputRefusal::cannot_create};
  // The name itself, not what a link leads to.
  FileHandle file =
      from_handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file)
    return {{}, 0, is_other_than_file(name) ? OutputRefusal::not_a_file : OutputRefusal::cannot_create};
  const HANDLE existing = handle_of(file);
  BY_HANDLE_FILE_INFORMATION info{};
  OutputRefusal refusal = OutputRefusal::none;
  if (!GetFileInformationByHandle(existing, &info))
    refusal = OutputRefusal::cannot_create;
  else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    refusal = OutputRefusal::link;
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(existing) != FILE_TYPE_DISK)
    refusal = OutputRefusal::not_a_file;
  const ULARGE_INTEGER size{{info.nFileSizeLow, info.nFileSizeHigh}};
  if (refusal == OutputRefusal::none && size.QuadPart != 0) {
    std::string start(own_start.size(), '\0');
    DWORD got = 0;
    if (!ReadFile(existing, start.data(), static_cast<DWORD>(start.size()), &got, nullptr) ||
        got != start.size() || start != own_start)
      refusal = OutputRefusal::not_ours;
  }
  if (refusal != OutputRefusal::none) return {{}, 0, refusal};
  return {std::move(file), size.QuadPart, OutputRefusal::none};
}

bool write_at(const FileHandle& file, std::uint64_t offset, std::string_view bytes) {
  if (!file) return false;
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!WriteFile(handle_of(file), bytes.data(), chunk, &written, &at) || written == 0) return false;
    bytes.remove_prefix(written);
    offset += written;
  }
  return true;
}

bool cut_file(const FileHandle& file, std::uint64_t size) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(handle_of(file), to, nullptr, FILE_BEGIN) && SetEndOfFile(handle_of(file));
}

bool close_file_handle(std::intptr_t native) { return CloseHandle(reinterpret_cast<HANDLE>(native)) != 0; }

bool remove_file(const std::string& name) { return DeleteFileW(wide(name).c_str()) != 0; }

bool copy_file_start(const FileHandle& from, const FileHandle& to, std::uint64_t size) {
  std::string block(1 << 20, '\0');
  for (std::uint64_t at = 0; at < size;) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD want = static_cast<DWORD>(size - at < block.size() ? size - at : block.size());
    DWORD got = 0;
    if (!ReadFile(handle_of(from), block.data(), want, &got, &where) || got == 0 ||
        !write_at(to, at, {block.data(), got}))
      return false;
    at += got;
  }
  return true;
}

bool move_file_over(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool is_free_name(const std::string& name) {
  // The attributes of a link are its own: a link to nowhere has them.
  return !name.empty() && GetFileAttributesW(wide(name).c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool give_free_name(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0) != 0;  // no MOVEFILE_REPLACE_EXISTING
}

namespace {
// The moves for an end from outside.
struct MoveAtEnd {
  std::string from;
  std::wstring wide_from, wide_to;
};
MoveAtEnd g_moves[4];
}  // namespace

void add_move_at_end(const std::string& from, const std::string& to) {
  for (MoveAtEnd& m : g_moves) {
    if (!m.from.empty()) continue;
    m = {from, wide(from), wide(to)};
    return;
  }
}

void remove_move_at_end(const std::string& from) {
  for (MoveAtEnd& m : g_moves)
    if (m.from == from) m = {};
}

void move_at_end() {
  for (MoveAtEnd& m : g_moves) {
    if (m.from.empty()) continue;
    MoveFileExW(m.wide_from.c_str(), m.wide_to.c_str(), MOVEFILE_REPLACE_EXISTING);
    m = {};
  }
}
