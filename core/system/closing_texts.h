// What is still written to the output files when the program is ended from
// outside (SIGTERM, or SIGHUP when its terminal is closed): the closing
// part of each document still open, so that every file is complete however
// the run ends. The console's handlers for those signals write it, then the
// program ends by the signal.
//
// A file's lines and its closing text change together while an
// EndSignalsHeld (thread_signals.h) lives, so that the handler finds them
// in step.
#ifndef SYSTEM_CLOSING_TEXTS_H
#define SYSTEM_CLOSING_TEXTS_H

#include <string>
#include <string_view>

#include "text_file.h"

// The text written to `file` at such an end; replaces the one before (in
// the room it had: no allocation once the room suffices).
void set_closing_text(FileHandle file, std::string_view text);
// Nothing is written to `file` at such an end any more.
void clear_closing_text(FileHandle file);

// For the signal handlers: writes each closing text once, with nothing but
// write calls.
void write_closing_texts();

#endif  // SYSTEM_CLOSING_TEXTS_H
