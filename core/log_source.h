// The decode log that log_lister and log_tracker read in one pass: its name
// from the command line or the source question, checked and opened.
#ifndef CORE_LOG_SOURCE_H
#define CORE_LOG_SOURCE_H

#include <string>

#include "line_reader.h"
#include "text_file.h"

inline constexpr const char* kDefaultLogName = "ALL.TXT";

// The command tail when there is one; otherwise the answer to
// "Source file  [ALL.TXT]  " taken as typed, "ALL.TXT" when empty.
std::string ask_source_name();

// Opens the log. A name that is not an ordinary file is reported with
// " Does not exist" and ends the program (status 0); one that cannot be
// opened with " Cannot be read" (status 1).
FileHandle open_source_or_end(const std::string& name);

#endif  // CORE_LOG_SOURCE_H
