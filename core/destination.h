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

// The destination for a typed line: its first field, with the file name (the
// part after the last "/") in capitals and the folder part as typed, since
// folder names are case-sensitive here; the default when empty; ".KML"
// appended when it holds no "." anywhere.
std::string destination_from_answer(std::string_view line, const std::string& default_name);

#endif  // CORE_DESTINATION_H
