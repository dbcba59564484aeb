// One decoded WSJT-X message, and the position code carried in its text.
//
// A position message is 13 characters: six letters of latitude, "-", six
// letters of longitude. Each letter is a base-25 digit from "A" to "Y" (code
// minus 65, "A" is 0); a first letter from "M" on (value 12 or more) means
// south or west and has 12 taken off. The six digits count units of 1/600000
// degree. The sender writes nothing else: any other text is an ordinary
// message, and so is a place that cannot exist (beyond 90 degrees of
// latitude or 180 of longitude).
#ifndef REPORT_DECODE_RECORD_H
#define REPORT_DECODE_RECORD_H

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "report/log_layouts.h"
#include "report/mark_filter.h"

struct Position {
  double latitude = 0;   // decimal degrees, north positive
  double longitude = 0;  // decimal degrees, east positive
};

struct DecodeRecord {
  std::string time_text;    // "1234" from a log line, "12:34" from a datagram
  int snr_db = 0;           // dB
  double dt_s = 0;          // seconds; datagrams only
  int audio_offset_hz = 0;  // Hz
  std::string message;      // decoded message text
  double latitude = 0;      // filled by set_position
  double longitude = 0;
};

// Columns of a log line (1-based) that the fixed columns read: the decode
// line of the first WSJT-X releases. The layouts of later ones are in
// log_layouts.h.
inline constexpr std::size_t kTimeColumn = 1, kTimeLength = 4;
inline constexpr std::size_t kSnrColumn = 11, kSnrLength = 4;
inline constexpr std::size_t kSlashColumn = 11, kSlashLength = 5;
inline constexpr std::size_t kOffsetColumn = 21, kOffsetLength = 5;
inline constexpr std::size_t kMessageColumn = 37;  // kMessageLength characters
// No column past this one matters: a reader may drop the rest of a line. In
// the fixed columns too, the column after the message must be a blank or
// the end of the line.
inline constexpr std::size_t kLastUsedColumn = std::max(kMessageColumn + kMessageLength, kLastLayoutColumn);

// The "-" of a position message, and the places where a log line holding one
// has it (0-based, bit i for place i): in the fixed columns and in each
// layout. A line without it in one of them holds no report.
inline constexpr char kPositionMark = '-';
inline constexpr std::size_t kPositionMarkInMessage = 6;
inline constexpr std::size_t kPositionMarkIndex = kMessageColumn - 1 + kPositionMarkInMessage;
inline constexpr std::uint64_t kReportMarkPlaces =
    (std::uint64_t{1} << kPositionMarkIndex) | log_layout_detail::mark_places(kPositionMarkInMessage);
// Of those, the places where only JTDX's lines have it, after their date and
// "_": WSJT-X's lines have the sign of a negative DT at one of them, so a
// fast scan must see the "_" too.
inline constexpr std::uint64_t kJtdxReportMarkPlaces =
    log_layout_detail::mark_places(kPositionMarkInMessage, log_layout_detail::Layouts::with_jtdx_date_end) &
    ~log_layout_detail::mark_places(kPositionMarkInMessage, log_layout_detail::Layouts::without_it) &
    ~(std::uint64_t{1} << kPositionMarkIndex);
// The lines of a log that may hold a report: the columns that matter, with
// the mark at one of its places; at JTDX's own places only after its "_"
// (the "-" stands there where WSJT-X's lines have the sign of a negative DT).
inline constexpr MarkFilter kReportFilter{kLastUsedColumn,
                                          kReportMarkPlaces,
                                          kPositionMark,
                                          {kJtdxReportMarkPlaces, kJtdxDateEndIndex, kJtdxDateEnd}};

// True when the message is exactly six letters A to Y, "-", six letters A
// to Y.
bool is_position_message(std::string_view message);

// The message of a Decode datagram as the sender wrote it: JTDX pads its
// messages with blanks to 23 characters, which are no part of them.
std::string_view sent_message(std::string_view datagram_message);

// Latitude and longitude of a position message, or nothing when `message` is
// not one or its place cannot exist: a latitude beyond 90 degrees either way
// (90 itself passes), a longitude beyond 180.
std::optional<Position> decode_position(std::string_view message);

// Fills in the latitude and longitude of `record` from its message; false,
// with the record left as it was, when decode_position gives nothing.
bool set_position(DecodeRecord& record);

// A log line (without its line end) as a decoded report, or nothing when the
// line holds no position report. A line that has the shape of one of the
// layouts of log_layouts.h is read by those layouts alone; any other line
// by the fixed columns.
std::optional<DecodeRecord> parse_log_line(std::string_view line);

// A column group read leniently as a number (leading blanks skipped, reading
// stops at the first character that cannot continue it, none gives 0),
// rounded to the nearest integer, halves to even.
int read_column_number(std::string_view group);

#endif  // REPORT_DECODE_RECORD_H
