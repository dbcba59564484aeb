#include "dialogue.h"

#include "console.h"

void print_coloured_line(int colour, std::string_view text) {
  set_text_colour(colour);
  print_line(text);
  set_text_colour(kNormalColour);
}

void print_opening(std::initializer_list<std::string_view> lines) {
  for (int i = 0; i < 3; ++i) print_newline();
  for (std::string_view line : lines) print_line(line);
}

void print_esc_instruction() {
  print_newline();
  print_instruction("Press [esc] to finish");
  print_newline();
}

void print_will_generate(std::string_view names) {
  print_coloured_line(kMessageColour, "Will generate  " + std::string(names));
}

void end_with_failure(std::string_view line) {
  print_line(line);
  end_after_closing_wait(1);
}

void open_track_or_end(KmlTrack& track, const std::string& name) {
  open_track(track, name);
  if (!track.out.file) end_with_failure(name + " Cannot be created");
}

std::string written_text(const OutputFile& file, std::string_view done) {
  return file.name + std::string(file.lost_lines ? " Was not completely written" : done);
}

bool tell_whether_read_whole(const std::string& name) {
  if (!read_error_seen()) return true;
  print_line(name + " Was not completely read");
  return false;
}
