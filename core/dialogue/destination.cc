#include "dialogue/destination.h"

#include "console/answers.h"
#include "console/console.h"
#include "report/mask_format.h"
#include "system/clock.h"

std::string default_destination_name(const LocalTime& now) {
  return format_digits(now.year % 100) + format_digits(now.month) + format_digits(now.day) + "_" +
         format_digits(now.hour) + format_digits(now.minute) + ".KML";
}

std::size_t file_name_start(std::string_view path, std::string_view separators) {
  return path.find_last_of(separators) + 1;  // npos + 1 is 0
}

std::string destination_from_answer(std::string_view line, const std::string& default_name,
                                    CapitalsIn capitals, std::string_view separators) {
  std::string name = first_field(line);
  if (name.empty()) return default_name;
  const std::size_t file_part = file_name_start(name, separators);
  const std::size_t upper_from = capitals == CapitalsIn::whole_answer ? 0 : file_part;
  name = name.substr(0, upper_from) + to_upper(std::string_view(name).substr(upper_from));
  if (name.find('.', file_part) == std::string::npos) name += ".KML";
  return name;
}

std::string ask_destination(const std::string& default_name) {
  print_text("Destination (.KML) file        [" + default_name + "]     ");
  return destination_from_answer(read_line(), default_name);
}
