#include "source_question.h"

#include "console.h"
#include "dialogue.h"
#include "log_source.h"

std::string ask_source_name() {
  std::string name = command_tail();
  if (!name.empty()) return name;
  const std::string proposed = default_log_name();
  print_text("Source file  [" + proposed + "]  ");
  name = read_line();
  return name.empty() ? proposed : name;
}

FileHandle open_source_or_end(const std::string& name) {
  if (!is_existing_file(name)) end_with_failure(name + " Does not exist");
  FileHandle file = open_for_reading(name);
  if (!file) end_with_failure(name + " Cannot be read");
  return file;
}
