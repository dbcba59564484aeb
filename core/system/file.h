// Files as the programs use them: an existence test, a log read in blocks,
// and output files whose every line reaches the file at once. A call that
// fails says so in what it returns.
#ifndef SYSTEM_FILE_H
#define SYSTEM_FILE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/owned_handle.h"

// Platform: closes a file handle; false when the system reports that the
// file could not be completed.
bool close_file_handle(std::intptr_t native);

// An open file, closed when its handle goes (close() to learn whether the
// system completed it).
using FileHandle = OwnedHandle<close_file_handle>;

// True when `name`, taken literally, is an ordinary file (a link to one
// counts); folders, devices, pipes and sockets do not.
bool is_existing_file(const std::string& name);

// The size of an ordinary file, and what tells it from a file that took its
// name later (its device and file number).
struct FileStatus {
  std::uint64_t size = 0;
  std::uint64_t identity = 0;
};
// Nothing when `name` is not an ordinary file.
std::optional<FileStatus> file_status(const std::string& name);

// An ordinary file of a folder, and when it was last written (a count of
// seconds or finer: only the order matters).
struct FolderFile {
  std::string name;
  std::int64_t modified = 0;
};

// The ordinary files of `folder` ("" the current folder), by their names
// alone (not hidden ones on Windows).
std::vector<FolderFile> ordinary_files_in(const std::string& folder);
inline std::vector<FolderFile> ordinary_files_here() { return ordinary_files_in(""); }

// The names of the folders in `folder` ("" the current folder), "." and
// ".." left out.
std::vector<std::string> folder_names_in(const std::string& folder);

// What other programs may do with a file while it is open for reading: read
// and write it always, so that WSJT-X goes on appending to the log that a
// pass reads. A log that is followed as it grows is also shared for
// deletion, so that WSJT-X can erase it meanwhile. Systems without share
// modes ignore it.
enum class Sharing { read_write, read_write_delete };

// Opens an ordinary file (a link to one counts) without waiting: a pipe, a
// device or a folder is refused as a missing file is.
FileHandle open_for_reading(const std::string& name, Sharing sharing = Sharing::read_write);

// Moves to `offset` bytes from the start; false on a failure.
bool seek_file(const FileHandle& file, std::uint64_t offset);

// What a read gave: `size` bytes, none at the end of the file; `failed`
// when the system could not read (which ends the text as well).
struct BlockRead {
  std::size_t size = 0;
  bool failed = false;
};
// Reads up to `size` bytes.
BlockRead read_block(const FileHandle& file, char* buffer, std::size_t size);

// The size and identity of an open file; nothing on a failure.
std::optional<FileStatus> open_file_status(const FileHandle& file);

// True when the two names are spelled alike or reach one existing file
// (the same device and file number, through links or other spellings).
bool is_same_file(const std::string& a, const std::string& b);

// True when `name` is there but is no ordinary file: a folder, a device, a
// pipe (a missing name or an ordinary file gives false).
bool is_other_than_file(const std::string& name);

// A file the programs write (a track, a table), opened for writing without
// following a link: created when missing; an existing one is taken only
// when it is an ordinary file that is empty or begins with `own_start`,
// what these programs write at its start. Nothing in it is changed here.
// Other programs may read it meanwhile (a viewer that refreshes the
// track), but not write it.
enum class OutputRefusal { none, link, not_a_file, not_ours, cannot_create };
struct OpenedOutput {
  FileHandle file;
  std::uint64_t size = 0;  // of what it holds
  OutputRefusal refusal = OutputRefusal::none;
  bool created = false;  // it was not there before
};
OpenedOutput open_output_file(const std::string& name, std::string_view own_start);

// Removes the file `name`; false on a failure.
bool remove_file(const std::string& name);

// Writes all of `bytes` at `offset` from the start, with one call where the
// system allows, whatever the file position; false when any of it could not
// be written (some of it may have been).
bool write_at(const FileHandle& file, std::uint64_t offset, std::string_view bytes);

// Makes the file `size` bytes long, dropping what lies beyond; false on a
// failure.
bool cut_file(const FileHandle& file, std::uint64_t size);

// Copies the first `size` bytes of `from` to the start of `to`; false when
// any of them could not be read or written.
bool copy_file_start(const FileHandle& from, const FileHandle& to, std::uint64_t size);

// Puts the file `from` in the place of `to` (same folder) in one step: a
// program that opens `to` meanwhile gets the old file or the new one, each
// whole. False on a failure, `from` then left as it was: on Windows while
// another program holds `to` without sharing its deletion.
bool move_file_over(const std::string& from, const std::string& to);

// True when no file of any kind has the name `name`, a link to nowhere
// included; false too when the system cannot tell.
bool is_free_name(const std::string& name);

// Gives the file `from` the name `to` (same folder) in one step, only while
// no file has that name: one that took it meanwhile is never replaced.
// False when the name is taken, or the file system gives no such step;
// `from` is then left as it was.
bool give_free_name(const std::string& from, const std::string& to);

// While added, an end from outside (an ending signal) moves `from` over
// `to` before the program goes: `from` is a working copy that holds a whole
// state, which `to` may lack. A few at a time (four). Added and removed only
// where those ends wait (EndSignalsHeld).
void add_move_at_end(const std::string& from, const std::string& to);
void remove_move_at_end(const std::string& from);
// For those ends: does the moves added. Async-signal-safe.
void move_at_end();

#endif  // SYSTEM_FILE_H
