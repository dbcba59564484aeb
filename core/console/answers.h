// How typed answers to the programs' questions are taken.
#ifndef CONSOLE_ANSWERS_H
#define CONSOLE_ANSWERS_H

#include <string>
#include <string_view>

// The answer field of a typed line: leading blanks skipped; a double-quoted
// field is the text up to the closing quote (or the end of the line);
// otherwise the text up to the first comma, trailing blanks dropped.
std::string first_field(std::string_view line);

// How the programs' text is written: UTF-8, as POSIX terminals speak it, or
// a single-byte ANSI code page, as on the Windows console.
enum class TextEncoding { utf8, ansi };
#ifdef _WIN32
inline constexpr TextEncoding kProgramText = TextEncoding::ansi;
#else
inline constexpr TextEncoding kProgramText = TextEncoding::utf8;
#endif

// Upper-casing of answers: a-z, and the accented letters ä ö ü é ñ å ç
// become capitals; every other character, and every byte of any other
// multi-byte character, stays as it is. In an ANSI code page the accented
// letters are the single bytes of their Latin-1 positions.
std::string to_upper(std::string_view text, TextEncoding encoding = kProgramText);

// A field answer: to_upper(first_field(line)).
std::string field_answer(std::string_view line);

// Whether a typed line answers a yes/no question with no: its field answer
// begins with N ("n", "no", "No", "nein").
bool answers_no(std::string_view line);

#endif  // CONSOLE_ANSWERS_H
