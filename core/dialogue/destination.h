// Naming the track file, the same in both trackers.
#ifndef DIALOGUE_DESTINATION_H
#define DIALOGUE_DESTINATION_H

#include <string>
#include <string_view>

#include "system/clock.h"

// yymmdd_hhmm.KML from the local date and time.
std::string default_destination_name(const LocalTime& now);

// Asks "Destination (.KML) file        [default]     " and returns the name:
// see destination_from_answer.
std::string ask_destination(const std::string& default_name);

// Which part of a destination answer is taken in capitals: where file names
// are case-sensitive, the file name only (folders keep their letters);
// where they are not, all of it.
enum class CapitalsIn { file_name, whole_answer };

// Each system's: which part is taken in capitals, and what separates
// folders in a path ("/", and on Windows also "\\" and the ":" after a
// drive letter).
#ifdef _WIN32
inline constexpr CapitalsIn kDestinationCapitals = CapitalsIn::whole_answer;
inline constexpr std::string_view kFolderSeparators = "\\/:";
#else
inline constexpr CapitalsIn kDestinationCapitals = CapitalsIn::file_name;
inline constexpr std::string_view kFolderSeparators = "/";
#endif

// Where the file name begins in `path`: after its last folder separator,
// 0 when it has none.
std::size_t file_name_start(std::string_view path, std::string_view separators = kFolderSeparators);

// The destination for a typed line: its first field, in capitals as
// `capitals` says; the default when empty; ".KML" appended when its file
// name holds no ".". Folders are kept as typed.
std::string destination_from_answer(std::string_view line, const std::string& default_name,
                                    CapitalsIn capitals = kDestinationCapitals,
                                    std::string_view separators = kFolderSeparators);

#endif  // DIALOGUE_DESTINATION_H
