// Which decode log log_lister and log_tracker read in one pass: the name
// from the command line or the source question, checked and opened.
#ifndef DIALOGUE_SOURCE_QUESTION_H
#define DIALOGUE_SOURCE_QUESTION_H

#include <string>

#include "system/file.h"

// The command tail when there is one; otherwise the answer to
// "Source file  [ALL.TXT]  " (the default_log_name in the brackets: a path
// in the data folder of WSJT-X or JTDX when the current folder holds no log) taken as
// typed but for blanks around it, that name when empty.
std::string ask_source_name();

// Opens the log. A name that is missing is reported with " Does not exist",
// a folder, a pipe or a device with " Is not a file", a file that cannot be
// opened with " Cannot be read";
// either ends the program with status 1 after the closing wait.
FileHandle open_source_or_end(const std::string& name);

#endif  // DIALOGUE_SOURCE_QUESTION_H
