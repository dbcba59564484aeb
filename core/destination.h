// Naming the track file, the same in both trackers.
#ifndef CORE_DESTINATION_H
#define CORE_DESTINATION_H

#include <string>
#include <string_view>

#include "clock.h"

// yymmdd_hhmm.KML from the local date and time.
std::string default_destination_name(const LocalTime& now);

// Asks "Destination (.KML) file        [default]     " and returns the name:
// see destination_from_answer.
std::string ask_destination(const std::string& default_name);

// Which part of a destination answer is taken in capitals: where file names
// are case-sensitive, the file name only (folders keep their letters);
// where they are not, all of it.
enum class CapitalsIn { file_name, whole_answer };
#ifdef _WIN32
inline constexpr CapitalsIn kDestinationCapitals = CapitalsIn::whole_answer;
#else
inline constexpr CapitalsIn kDestinationCapitals = CapitalsIn::file_name;
#endif

// The destination for a typed line: its first field, in capitals as
// `capitals` says (the file name is the part after the last "/"); the
// default when empty; ".KML" appended when it holds no "." anywhere.
std::string destination_from_answer(std::string_view line, const std::string& default_name,
                                    CapitalsIn capitals = kDestinationCapitals);

#endif  // CORE_DESTINATION_H
