#include "log_source.h"

#include "console.h"
#include "split_logs.h"

std::optional<std::string> existing_log_name() {
  if (is_existing_file(kDefaultLogName)) return kDefaultLogName;
  std::string split = newest_split_log(ordinary_files_here());
  if (split.empty()) return std::nullopt;
  return split;
}

std::string default_log_name() { return existing_log_name().value_or(kDefaultLogName); }

std::string ask_source_name() {
  std::string name = command_tail();
  if (!name.empty()) return name;
  const std::string proposed = default_log_name();
  print_text("Source file  [" + proposed + "]  ");
  name = read_line();
  return name.empty() ? proposed : name;
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
