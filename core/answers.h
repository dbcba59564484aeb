// How typed answers to the programs' questions are taken.
#ifndef CORE_ANSWERS_H
#define CORE_ANSWERS_H

#include <string>
#include <string_view>

// The answer field of a typed line: leading blanks skipped; a double-quoted
// field is the text up to the closing quote (or the end of the line);
// otherwise the text up to the first comma, trailing blanks dropped.
std::string first_field(std::string_view line);

// Upper-casing of answers: a-z, and the accented letters of the console's
// character set (ä ö ü é ñ å ç) become capitals; every other character, and
// every byte of any other multi-byte character, stays as it is.
std::string to_upper(std::string_view text);

// A field answer: to_upper(first_field(line)).
std::string field_answer(std::string_view line);

#endif  // CORE_ANSWERS_H
