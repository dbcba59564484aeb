#include "closing_texts.h"

#include <array>

#include "thread_signals.h"

namespace {

struct ClosingText {
  FileHandle file;
  std::string text;
};
// The KML document; room for one more.
std::array<ClosingText, 2> g_texts;

}  // namespace

void set_closing_text(FileHandle file, std::string_view text) {
  const EndSignalsHeld held;
  ClosingText* slot = nullptr;
  for (ClosingText& t : g_texts) {
    if (t.file.value == file.value) {
      slot = &t;
      break;
    }
    if (!t.file && slot == nullptr) slot = &t;
  }
  if (slot == nullptr) return;
  slot->file = file;
  slot->text.assign(text);
}

void clear_closing_text(FileHandle file) {
  const EndSignalsHeld held;
  for (ClosingText& t : g_texts)
    if (t.file && t.file.value == file.value) t.file = FileHandle{};
}

void write_closing_texts() {
  for (ClosingText& t : g_texts) {
    if (!t.file) continue;
    write_bytes(t.file, t.text);
    t.file = FileHandle{};
  }
}
