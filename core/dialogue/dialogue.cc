#include "dialogue/dialogue.h"

#include "console/answers.h"
#include "console/console.h"
#include "dialogue/destination.h"
#include "logs/log_names.h"
#include "system/file.h"

namespace {

// The failure when the file name of `name` cannot be a track's.
std::optional<Failure> unfit_destination(const std::string& name) {
  const std::string_view file_name = std::string_view(name).substr(file_name_start(name));
  if (file_name.empty() || file_name == ".KML") return Failure{name + " Is not a file name"};
  if (is_decode_log_name(to_upper(file_name)))
    return Failure{name + " Is the name of a decode log and cannot be the destination"};
  return std::nullopt;
}

}  // namespace

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

int failed_run(const Failure& failure) {
  print_line(failure.line);
  if (failure.beep) beep();
  wait_for_key();
  return 1;
}

std::optional<Failure> refusal_of(const OutputFile& out) {
  switch (out.refusal) {
    case OutputRefusal::none: break;
    case OutputRefusal::link: return Failure{out.name + " Is a link and cannot be the destination"};
    case OutputRefusal::not_a_file: return Failure{out.name + " Is not a file"};
    case OutputRefusal::not_ours:
      return Failure{out.name + " Exists and was not made by this program: it is left as it is"};
    case OutputRefusal::cannot_create: return Failure{out.name + " Cannot be created"};
  }
  return std::nullopt;
}

std::optional<Failure> open_destination(KmlTrack& track, const std::string& name, std::string_view generated,
                                        const OtherFile& other) {
  print_will_generate(generated);
  if (is_same_file(name, other.name)) return Failure{other.line};
  if (std::optional<Failure> unfit = unfit_destination(name)) return unfit;
  open_track(track, name);
  return refusal_of(track.out);
}

std::string written_text(const OutputFile& file, std::string_view done) {
  return file.name + std::string(file.lost_lines ? " Was not completely written" : done);
}

bool tell_whether_read_whole(const std::string& name, bool whole) {
  if (whole) return true;
  print_line(name + " Was not completely read");
  return false;
}
