// What the three programs say alike: the colours of their lines, the Esc
// instruction, how a failure ends a run, and what they say of the files
// they read and write.
#ifndef DIALOGUE_DIALOGUE_H
#define DIALOGUE_DIALOGUE_H

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "outputs/kml_track.h"
#include "outputs/output_file.h"

// Colours of the programs' lines (console palette indexes, console.h).
inline constexpr int kPlainDecodeColour = 3;  // dark cyan: a decode without a report
inline constexpr int kMessageColour = 5;      // dark magenta: what the run will do
inline constexpr int kReportColour = 6;       // dark yellow: a position report
inline constexpr int kHostColour = 8;         // dark grey: the host and its port
inline constexpr int kClosingColour = 11;     // light cyan: the files made

// A line in `colour`, then the normal colour again.
void print_coloured_line(int colour, std::string_view text);
// A program's opening: three empty lines, then its own lines.
void print_opening(std::initializer_list<std::string_view> lines);
// "Press [esc] to finish" between empty lines, where the person at the
// keyboard sees it.
void print_esc_instruction();
// "Will generate  " and the names of the files, in the message colour.
void print_will_generate(std::string_view names);

// Why a run cannot go on: the line that says so, and whether a beep
// follows it. Returned to the program's run, which ends with failed_run.
struct Failure {
  std::string line;
  bool beep = false;
};
// Says the failure, then the closing wait; returns the status of a failed
// run (1).
int failed_run(const Failure& failure);

// The failure that says why `out` was not opened (open_output): a link,
// not a file, a file that is none of ours, or one that cannot be created;
// none when it was opened.
std::optional<Failure> refusal_of(const OutputFile& out);

// A file of the run that its track must not be, and the line said when the
// destination named is that file.
struct OtherFile {
  std::string name;
  std::string line;
};
// The destination of a tracker's run, `name`: says "Will generate  " and
// `generated`, then opens the track there (open_track: nothing in the file
// is changed yet). The failure when `name` is `other`'s file, when its file
// name is empty ("/") or that of a decode log these programs read or follow
// (a track there would be taken for the log), or when refusal_of the track
// says why it cannot be opened.
std::optional<Failure> open_destination(KmlTrack& track, const std::string& name, std::string_view generated,
                                        const OtherFile& other);

// The file's name and `done`, or " Was not completely written" in place of
// `done` when some of its lines were lost.
std::string written_text(const OutputFile& file, std::string_view done);
// After reading the log `name`: says " Was not completely read" unless it
// was read `whole` (a read failed: a failing disk, a share gone). Returns
// `whole`.
bool tell_whether_read_whole(const std::string& name, bool whole);

#endif  // DIALOGUE_DIALOGUE_H
