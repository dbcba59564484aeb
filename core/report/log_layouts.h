// The decode lines that WSJT-X has written into its logs since 2013, beyond
// the fixed columns of the first releases (decode_record.h), and those of
// JTDX, its fork, each drawn as a picture of its columns, one character a
// column:
//
//   h  a digit of the time, hhmm or hhmmss (UTC); the first four are the
//      report's time
//   9  another digit (the date)
//   s  the SNR, a number right-aligned in its columns
//   a  the audio offset, a number right-aligned in its columns
//   d  DT, a number right-aligned in its columns (read only by the tools)
//   n  another number right-aligned in its columns (sync, dial frequency,
//      drift), not kept
//   m  the mode label, padded with blanks to its columns; a longer label
//      (Q65-30A, Q65-120E) is written whole and moves what follows
//   @  the mode symbol: a punctuation character (# JT65, @ JT9, ~ FT8, ...)
//   M  the message: a position message is its 13 characters, then the end of
//      the line or a blank (a tag such as a1 or q3 may follow)
//   anything else stands for itself.
//
// A number is blanks, an optional "-", digits, and an optional "." with more
// digits; it fills its columns to the last. A line fits a layout only when
// every column of the picture is as drawn: nothing is guessed.
#ifndef REPORT_LOG_LAYOUTS_H
#define REPORT_LOG_LAYOUTS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The longest mode label: Q65-120E, two columns past its padding.
inline constexpr std::size_t kLongestModeLabel = 8;
inline constexpr std::size_t kModeLabelColumns = 6;
// A position message: 13 characters.
inline constexpr std::size_t kMessageLength = 13;

struct LogLayout {
  std::string_view written_by;  // the file, the program's versions and modes
  std::string_view picture;
  // Where its message starts, and how many columns a long mode label may
  // move it on: read from the picture once.
  std::size_t message_index = picture.find('M');
  std::size_t most_shift =
      picture.find('m') == std::string_view::npos ? 0 : kLongestModeLabel - kModeLabelColumns;
};

inline constexpr LogLayout kLogLayouts[] = {
    // yyMMdd_hhmmss, dial MHz %10.3f, Rx, mode padded to 6, SNR %4d, DT %5.1f,
    // audio %5d, blank, message. Tx lines are our own transmissions.
    {"ALL.TXT, WSJT-X 2.0.1 to 3.x", "999999_hhhhhhnnnnnnnnnn Rx mmmmmmssssdddddaaaaa M"},
    // hhmm, SNR, DT, audio, blank, mode symbol, blank, message from 22.
    {"ALL.TXT, WSJT-X 1.4 to 1.6, JT65 and JT9", "hhhhssssdddddaaaaa @ M"},
    // The same with two blanks after the symbol: message from 23.
    {"ALL.TXT, WSJT-X 1.7 to 2.0.0, JT65, JT9 and QRA64", "hhhhssssdddddaaaaa @  M"},
    // hhmmss: message from 25.
    {"ALL.TXT, WSJT-X 1.8 to 2.0.0, FT8", "hhhhhhssssdddddaaaaa @  M"},
    // WSJT 9 and 10 (2013), the program before WSJT-X, JT65: hhmmss, sync,
    // SNR, DT, audio offset (DF), width, mode symbol (* JT65), six blanks,
    // message from 36 padded to 22, then two counters. Its averaged lines
    // ("162200  1   1/1") have no SNR, DT or offset of their own and fit no
    // layout: their "/" keeps them out of the fixed columns too.
    {"ALL.TXT, WSJT 9 and 10, JT65", "hhhhhhnnnsssssdddddaaaaannn @      M"},
    // hhmm, sync, SNR %5d, DT %6.2f, frequency "1234.", drift, message from 35.
    {"decoded.txt, WSJT-X 2.x, JT65, JT9 and the 60 s and longer modes",
     "hhhhnnnnsssssddddddaaaaaaaannnn   M"},
    // JTDX: the date yyyyMMdd, "_", then its decoder's line without leading
    // or trailing blanks: hhmmss, SNR %4d, DT %5.1f, audio %5d, blank, mode
    // symbol (~ FT8, : FT4), one blank, message from 33 padded to 26, then
    // a mark (. , * ^ ? 1) when there is one.
    {"yyyyMM_ALL.TXT, JTDX 2.1 and later, FT8 and FT4", "99999999_hhhhhhssssdddddaaaaa @ M"},
    // The same with hhmm (# JT65, @ JT9, + T10): message from 31.
    {"yyyyMM_ALL.TXT, JTDX 2.1 and later, JT65, JT9 and T10", "99999999_hhhhssssdddddaaaaa @ M"},
    // JTDX 18: a blank after the date; message from 31, padded to 22.
    {"ALL.TXT, JTDX 18, JT65, JT9 and T10", "99999999 hhhhssssdddddaaaaa @ M"},
};

// decoded.txt of WSJT-X 2.x for FT8, FT4, Q65 and FST4 below 60 s: hhmmss,
// sync, SNR %5d, DT, frequency "1234." ending in column 29, drift, message
// from 37. The fixed columns take its time and message; its SNR and audio
// offset stand here, where the fixed columns read only part of them.
inline constexpr LogLayout kDecodedSixDigitLayout = {
    "decoded.txt, WSJT-X 2.x, FT8, FT4, Q65 and FST4 below 60 s", "hhhhhhnnnnsssssddddddaaaaaaaannnn   M"};

// What a line that fits a layout holds, as views into the line.
struct LayoutFields {
  std::string_view time;   // the first four digits of its time
  std::string_view snr;    // the SNR's columns
  std::string_view audio;  // the audio offset's columns
  std::string_view dt;     // DT's columns
  std::size_t message_at;  // 0-based column where the message starts
};

// The fields of `line` when it fits `picture` up to its message (what stands
// from the message on is not looked at).
std::optional<LayoutFields> fit_layout(std::string_view line, std::string_view picture);

// Whether `line` has the shape of a line of these layouts: it fits one of
// them up to its message, or begins with a date as every line of WSJT-X
// 2.0.1 and later does (yyMMdd_hhmmss, its transmissions and those of 1.x
// too) and every line of JTDX (yyyyMMdd and "_" or a blank). Such a line is
// read by these layouts alone, never by the fixed columns, whose "-" may
// fall on the report of an ordinary message there.
bool has_layout_shape(std::string_view line);

// Whether `line` begins as every line of WSJT-X 2.0.1 and later does
// (yyMMdd_hhmmss): such a line fits that layout, the first of kLogLayouts,
// or none (the others have a digit or a number where its "_" stands), and
// the fixed columns never read it (has_layout_shape).
bool begins_with_wsjtx2_date(std::string_view line);

// Whether `mark` stands at place `in_message` of a message where `layout`
// may put it (a long mode label moving it): a quick test before fit_layout.
inline bool has_mark_at_message(std::string_view line, const LogLayout& layout, std::size_t in_message,
                                char mark) {
  const std::size_t first = layout.message_index + in_message;
  for (std::size_t at = first; at <= first + layout.most_shift && at < line.size(); ++at)
    if (line[at] == mark) return true;
  return false;
}

// The 13 characters from `at` when the end of the line or a blank follows
// them (a position message is always a whole message); empty otherwise.
std::string_view whole_message_at(std::string_view line, std::size_t at);

// JTDX 2.1 and later put "_" after the date that begins each line.
inline constexpr std::size_t kJtdxDateEndIndex = 8;
inline constexpr char kJtdxDateEnd = '_';

constexpr bool has_jtdx_date_end(const LogLayout& layout) {
  return layout.picture.substr(0, kJtdxDateEndIndex) == "99999999" &&
         layout.picture.size() > kJtdxDateEndIndex && layout.picture[kJtdxDateEndIndex] == kJtdxDateEnd;
}

namespace log_layout_detail {

enum class Layouts { all, with_jtdx_date_end, without_it };

// The places of the mark in the layouts picked.
constexpr std::uint64_t mark_places(std::size_t mark_in_message, Layouts which = Layouts::all) {
  std::uint64_t places = 0;
  for (const LogLayout& layout : kLogLayouts)
    if (which == Layouts::all || has_jtdx_date_end(layout) == (which == Layouts::with_jtdx_date_end))
      for (std::size_t shift = 0; shift <= layout.most_shift; ++shift)
        places |= std::uint64_t{1} << (layout.message_index + shift + mark_in_message);
  return places;
}

constexpr std::size_t last_column() {
  std::size_t last = 0;
  for (const LogLayout& layout : kLogLayouts) {
    // The message and the column after it, where a blank or the end must be.
    const std::size_t end = layout.message_index + layout.most_shift + kMessageLength + 1;
    if (end > last) last = end;
  }
  return last;
}

}  // namespace log_layout_detail

// The last column that any of these layouts looks at (1-based).
inline constexpr std::size_t kLastLayoutColumn = log_layout_detail::last_column();

#endif  // REPORT_LOG_LAYOUTS_H
