#include "dialogue/dialogue.h"

#include "console/answers.h"
#include "console/console.h"
#include "dialogue/destination.h"
#include "logs/log_names.h"

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

void refuse_unfit_destination(const std::string& name) {
  const std::string_view file_name = std::string_view(name).substr(file_name_start(name));
  if (file_name.empty() || file_name == ".KML") end_with_failure(name + " Is not a file name");
  if (is_decode_log_name(to_upper(file_name)))
    end_with_failure(name + " Is the name of a decode log and cannot be the destination");
}

void end_unless_opened(const OutputFile& out) {
  switch (out.refusal) {
    case OutputRefusal::none: return;
    case OutputRefusal::link: end_with_failure(out.name + " Is a link and cannot be the destination");
    case OutputRefusal::not_a_file: end_with_failure(out.name + " Is not a file");
    case OutputRefusal::not_ours:
      end_with_failure(out.name + " Exists and was not made by this program: it is left as it is");
    case OutputRefusal::cannot_create: end_with_failure(out.name + " Cannot be created");
  }
}

void open_track_or_end(KmlTrack& track, const std::string& name) {
  open_track(track, name);
  end_unless_opened(track.out);
}

std::string written_text(const OutputFile& file, std::string_view done) {
  return file.name + std::string(file.lost_lines ? " Was not completely written" : done);
}

bool tell_whether_read_whole(const std::string& name, bool whole) {
  if (whole) return true;
  print_line(name + " Was not completely read");
  return false;
}
