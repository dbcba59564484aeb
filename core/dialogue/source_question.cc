#include "dialogue/source_question.h"

#include "console/console.h"
#include "dialogue/dialogue.h"
#include "logs/log_names.h"

std::string ask_source_name() {
  std::string name = command_tail();
  if (!name.empty()) return name;
  const std::string proposed = default_log_name();
  print_text("Source file  [" + proposed + "]  ");
  name = read_line();
  // Blanks around the name are no part of it (inside it they are).
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return proposed;
  return name.substr(first, name.find_last_not_of(' ') + 1 - first);
}

FileHandle open_source_or_end(const std::string& name) {
  if (!is_existing_file(name))
    end_with_failure(name + (is_other_than_file(name) ? " Is not a file" : " Does not exist"));
  FileHandle file = open_for_reading(name);
  if (!file) end_with_failure(name + " Cannot be read");
  return file;
}
