#include "destination.h"

#include "answers.h"
#include "console.h"
#include "mask_format.h"

std::string default_destination_name(const LocalTime& now) {
  return format_digits(now.year % 100) + format_digits(now.month) + format_digits(now.day) + "_" +
         format_digits(now.hour) + format_digits(now.minute) + ".KML";
}

std::string destination_from_answer(std::string_view line, const std::string& default_name,
                                    CapitalsIn capitals) {
  std::string name = first_field(line);
  if (name.empty()) return default_name;
  const std::size_t file_part =
      capitals == CapitalsIn::whole_answer ? 0 : name.rfind('/') + 1;  // 0: no folder
  name = name.substr(0, file_part) + to_upper(std::string_view(name).substr(file_part));
  if (name.find('.') == std::string::npos) name += ".KML";
  return name;
}

std::string ask_destination(const std::string& default_name) {
  print_text("Destination (.KML) file        [" + default_name + "]     ");
  return destination_from_answer(read_line(), default_name);
}
