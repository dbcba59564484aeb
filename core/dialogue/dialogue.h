// What the three programs say alike: the colours of their lines, the Esc
// instruction, how a failure ends a run, and what they say of the files
// they read and write.
#ifndef DIALOGUE_DIALOGUE_H
#define DIALOGUE_DIALOGUE_H

#include <initializer_list>
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

// Says `line`, then ends the run with status 1 after the closing wait.
[[noreturn]] void end_with_failure(std::string_view line);
// Ends the run with one line when `name` cannot be a destination: its file
// name is empty ("/"), or it is the name of a decode log that these
// programs read or follow (a track there would be taken for the log).
void refuse_unfit_destination(const std::string& name);
// Opens the track file (see open_track), or ends the run with one line
// that says why not: a link, not a file, a file that is no track of ours,
// or one that cannot be created. Nothing in the file is changed yet.
void open_track_or_end(KmlTrack& track, const std::string& name);
// Ends the run with that line unless `out` was opened.
void end_unless_opened(const OutputFile& out);

// The file's name and `done`, or " Was not completely written" in place of
// `done` when some of its lines were lost.
std::string written_text(const OutputFile& file, std::string_view done);
// After reading the log `name`: says " Was not completely read" unless it
// was read `whole` (a read failed: a failing disk, a share gone). Returns
// `whole`.
bool tell_whether_read_whole(const std::string& name, bool whole);

#endif  // DIALOGUE_DIALOGUE_H
