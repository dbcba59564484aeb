#include "log_source.h"

#include "console.h"

std::string ask_source_name() {
  std::string name = command_tail();
  if (name.empty()) {
    print_text("Source file  [ALL.TXT]  ");
    name = read_line();
  }
  return name.empty() ? kDefaultLogName : name;
}

FileHandle open_source_or_end(const std::string& name) {
  if (!is_existing_file(name)) {
    print_line(name + " Does not exist");
    end_after_closing_wait(1);
  }
  FileHandle file = open_for_reading(name);
  if (!file) {
    print_line(name + " Cannot be read");
    end_after_closing_wait(1);
  }
  return file;
}
