// Which decode log log_lister and log_tracker read in one pass: the name
// from the command line or the source question, checked and opened.
#ifndef DIALOGUE_SOURCE_QUESTION_H
#define DIALOGUE_SOURCE_QUESTION_H

#include <optional>
#include <string>

#include "dialogue/dialogue.h"
#include "system/file.h"

// The command tail when there is one; otherwise the answer to
// "Source file  [ALL.TXT]  " (the default_log_name in the brackets: a path
// in the data folder of WSJT-X or JTDX when the current folder holds no log) taken as
// typed but for blanks around it, that name when empty.
std::string ask_source_name();

// Opens the log into `file`, or gives the failure: a name that is missing
// is said with " Does not exist", a folder, a pipe or a device with
// " Is not a file", a file that cannot be opened with " Cannot be read".
std::optional<Failure> open_source(const std::string& name, FileHandle& file);

#endif  // DIALOGUE_SOURCE_QUESTION_H
