// The console on Windows: text written cell by cell into the console screen
// buffer of stdout (or of stderr when stdout is not a console), key events
// read from "CONIN$". Text inside the programs is in the ANSI code page; it
// becomes UTF-16 only here. With no console to write to at all, the text goes
// to stderr as plain bytes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console.h"
#include "console/console_platform.h"
#include "console/key_events.h"
#include "console/screen_cells.h"

namespace {

constexpr DWORD kOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;  // 3
constexpr DWORD kInputMode = 0;                  // no line editing, no echo; Ctrl+C is key code 3
constexpr WORD kStartAttribute = kNormalColour;  // light grey on black
constexpr DWORD kWaitPauseMs = 10;

struct Console {
  HANDLE out = nullptr;  // a console screen buffer, or with out_console false a stream
  bool out_console = false;
  HANDLE in = nullptr;  // "CONIN$"; nullptr when no keys can come
  bool out_mode_saved = false;
  DWORD saved_out_mode = 0;
  bool in_mode_saved = false;
  DWORD saved_in_mode = 0;
  bool attribute_set = false;  // SetConsoleTextAttribute changed the console's own
  WORD saved_attribute = kStartAttribute;
  WORD attribute = kStartAttribute;
  COORD size{0, 0};  // the buffer size the cursor was last set for
  Cursor cursor;
  KeyEventReader keys;
  CONSOLE_CURSOR_INFO saved_cursor{};  // while an answer is typed
  bool cursor_shown = false;           // for it: the console had hidden the cursor
};

Console g;

// Gives the keyboard back as it was and closes it: at the end, or when it
// has gone. No more keys come after this.
void end_input() {
  if (!g.in) return;
  if (g.in_mode_saved) SetConsoleMode(g.in, g.saved_in_mode);
  g.in_mode_saved = false;
  CloseHandle(g.in);
  g.in = nullptr;
}

// Puts everything back as it was before console_init. Runs at every end,
// possibly more than once.
void restore_console() {
  if (g.out_mode_saved) SetConsoleMode(g.out, g.saved_out_mode);
  g.out_mode_saved = false;
  if (g.attribute_set) SetConsoleTextAttribute(g.out, g.saved_attribute);
  g.attribute_set = false;
  end_input();
}

BOOL WINAPI on_control_event(DWORD event) {
  // Ctrl+C, Ctrl+Break and the close button are handled (by doing nothing);
  // logoff and shutdown go to the system.
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT;
}

void on_out_of_memory() {
  // An internal failure: no message, exit code 255.
  restore_console();
  std::_Exit(255);
}

// ---- Code page conversion -------------------------------------------------

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX / 2));
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
  wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return wide;
}

std::string to_ansi(std::wstring_view text) {
  if (text.empty()) return {};
  // A character the code page lacks becomes its default character, not a
  // look-alike (UTF-8 code pages take no flags).
  const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX / 4));
  const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

// ---- Output into the screen buffer ----------------------------------------

// Takes the buffer's size; after a change (the user resized the buffer, the
// console may have moved the text) the cursor is taken from the console.
void refresh_size() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(g.out, &info)) return;
  if (info.dwSize.X == g.size.X && info.dwSize.Y == g.size.Y) return;
  g.size = info.dwSize;
  g.cursor.set_size(info.dwSize.X, info.dwSize.Y);
  g.cursor.move_to(g.cursor.top() + info.dwCursorPosition.Y, info.dwCursorPosition.X);
}

void show_cursor_position() {
  const Cell cell = cursor_cell(g.cursor);
  const COORD at{static_cast<SHORT>(cell.col), static_cast<SHORT>(cell.row)};
  SetConsoleCursorPosition(g.out, at);  // a failure leaves the cursor where it was
}

void scroll_up(int rows) {
  const int width = g.cursor.width();
  const int height = g.cursor.height();
  CHAR_INFO fill;
  fill.Char.UnicodeChar = L' ';
  fill.Attributes = g.attribute;
  if (rows >= height) {  // everything goes
    const DWORD cells = static_cast<DWORD>(width) * static_cast<DWORD>(height);
    DWORD done = 0;
    if (FillConsoleOutputCharacterW(g.out, L' ', cells, COORD{0, 0}, &done))
      FillConsoleOutputAttribute(g.out, g.attribute, cells, COORD{0, 0}, &done);
    return;
  }
  // The rows below the first `rows` move to the top; the rows they leave at
  // the bottom are filled. (A destination above the buffer, the other way to
  // say this, is not taken by every console.)
  const SMALL_RECT moved{0, static_cast<SHORT>(rows), static_cast<SHORT>(width - 1),
                         static_cast<SHORT>(height - 1)};
  ScrollConsoleScreenBufferW(g.out, &moved, nullptr, COORD{0, 0}, &fill);
}

// Writes `cells` (already visible characters) into one row, from `col` on.
void write_cells(int row, int col, std::wstring_view cells) {
  if (cells.empty()) return;
  std::vector<CHAR_INFO> buffer(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    buffer[i].Char.UnicodeChar = cells[i];
    buffer[i].Attributes = g.attribute;
  }
  SMALL_RECT region{static_cast<SHORT>(col), static_cast<SHORT>(row),
                    static_cast<SHORT>(col + static_cast<int>(cells.size()) - 1), static_cast<SHORT>(row)};
  WriteConsoleOutputW(g.out, buffer.data(), COORD{static_cast<SHORT>(cells.size()), 1}, COORD{0, 0}, &region);
}

// Writes the text at the cursor; returns where its first character went.
Placement write_to_screen(std::string_view text) {
  refresh_size();
  std::wstring cells = to_wide(text);
  for (wchar_t& c : cells) c = static_cast<wchar_t>(visible_character(static_cast<char16_t>(c)));
  const std::vector<CellWrite> writes = place_cells(g.cursor, cells.size());
  for (const CellWrite& w : writes) {
    if (w.scroll_before > 0) scroll_up(w.scroll_before);
    write_cells(w.row, w.col, std::wstring_view(cells).substr(w.first, w.count));
  }
  show_cursor_position();
  if (writes.empty()) return {};
  const CellWrite& w = writes.front();
  return {w.line, w.col, static_cast<int>(cells.size())};
}

void newline_on_screen() {
  refresh_size();
  if (const int rows = end_line(g.cursor); rows > 0) scroll_up(rows);
  show_cursor_position();
}

// ---- Output as a byte stream (no console) ---------------------------------

void write_bytes(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(g.out, bytes.data(), size, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

void write_to_stream(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  write_bytes(out);
}

// ---- Key input ------------------------------------------------------------

KeyEvent key_event_of(const KEY_EVENT_RECORD& k) {
  return {k.bKeyDown != FALSE, k.wVirtualKeyCode, k.wVirtualScanCode,
          static_cast<char16_t>(k.uChar.UnicodeChar)};
}

// The event at the front of the input queue, without taking it. A console
// only gathers key events while its input queue is polled, so this is the
// one way to look for keys.
std::optional<INPUT_RECORD> front_event() {
  if (!g.in) return std::nullopt;
  INPUT_RECORD record;
  DWORD count = 0;
  if (!PeekConsoleInputW(g.in, &record, 1, &count)) {
    end_input();
    return std::nullopt;
  }
  if (count == 0) return std::nullopt;
  return record;
}

void drop_front_event() {
  INPUT_RECORD record;
  DWORD count = 0;
  if (!ReadConsoleInputW(g.in, &record, 1, &count)) end_input();
}

// Takes the front event; the key it completes, if any.
std::optional<std::u16string> take_front_event(const INPUT_RECORD& front) {
  drop_front_event();
  if (front.EventType != KEY_EVENT) return std::nullopt;
  return g.keys.take(key_event_of(front.Event.KeyEvent));
}

// A typed character in the code page: one default character when the code
// page lacks it, also for a character made of a surrogate pair.
std::string typed_character(std::u16string_view key) {
  const std::wstring wide(key.begin(), key.end());
  if (GetACP() == CP_UTF8) return to_ansi(wide);
  char bytes[16];
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                    bytes, sizeof bytes, nullptr, &used_default);
  if (n > 0 && !used_default) return std::string(bytes, static_cast<std::size_t>(n));
  CPINFO info;
  if (!GetCPInfo(CP_ACP, &info)) return "?";
  return std::string(reinterpret_cast<const char*>(info.DefaultChar), info.DefaultChar[1] ? 2 : 1);
}

std::string key_text(const std::u16string& key) {
  if (key[0] == 0) return std::string{'\0', static_cast<char>(key[1])};
  return typed_character(key);
}

// The keys whose events are waiting, appended to `keys`. Usually one event
// a key; two for the halves of a surrogate pair. Key releases, other events
// and modifier keys alone are taken too; they are no key press.
void take_waiting_keys(std::deque<std::string>& keys) {
  while (const std::optional<INPUT_RECORD> front = front_event()) {
    const std::optional<std::u16string> key = take_front_event(*front);
    if (!key) continue;
    std::string text = key_text(*key);
    if (!text.empty()) keys.push_back(std::move(text));
  }
}

bool is_screen_buffer(HANDLE h, CONSOLE_SCREEN_BUFFER_INFO& info) {
  return h && h != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(h, &info);
}

}  // namespace

void print_text(std::string_view text) {
  if (text.empty()) return;
  if (g.out_console)
    write_to_screen(text);
  else
    write_to_stream(text);
}

void print_newline() {
  if (g.out_console)
    newline_on_screen();
  else
    write_bytes("\r\n");
}

void print_line(std::string_view text) {
  print_text(text);
  print_newline();
}

void set_text_colour(int colour) {
  if (colour < 0 || colour >= 16) return;
  g.attribute = static_cast<WORD>((g.attribute & 0xF0) | colour);
  if (g.out_console) {
    if (SetConsoleTextAttribute(g.out, g.attribute)) g.attribute_set = true;
  }
}

void beep() { MessageBeep(MB_OK); }

KeyWake key_wake() { return KeyWake{g.in != nullptr, -1}; }

namespace console_platform {

void start() {
  const HANDLE std_out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE std_err = GetStdHandle(STD_ERROR_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (is_screen_buffer(std_out, info)) {
    g.out = std_out;
    g.out_console = true;
  } else {
    g.out = std_err;
    g.out_console = is_screen_buffer(std_err, info);
  }

  const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  g.in = in == INVALID_HANDLE_VALUE ? nullptr : in;

  std::set_new_handler(on_out_of_memory);
  if (g.out_console) {
    g.saved_attribute = info.wAttributes;
    if (GetConsoleMode(g.out, &g.saved_out_mode)) g.out_mode_saved = true;
    SetConsoleMode(g.out, kOutputMode);
    refresh_size();
  }
  if (g.in) {
    if (GetConsoleMode(g.in, &g.saved_in_mode)) g.in_mode_saved = true;
    SetConsoleMode(g.in, kInputMode);
  }
  SetConsoleCtrlHandler(on_control_event, TRUE);
  std::atexit(restore_console);
}

// The tail comes from the command line as typed, not from argv, so that
// quotes and blanks stay as they were.
std::string arguments_text(int, char**) {
  return to_ansi(command_line_tail(std::wstring_view(GetCommandLineW())));
}

void flush() {}

bool output_failed() { return false; }

// The text always goes to the console the person watches, when there is one.
void show_to_person(std::string_view) {}

// The cursor shows where typing goes, also when the console hides it.
void begin_answer() {
  g.cursor_shown = false;
  if (g.out_console && GetConsoleCursorInfo(g.out, &g.saved_cursor) && !g.saved_cursor.bVisible) {
    CONSOLE_CURSOR_INFO visible = g.saved_cursor;
    visible.bVisible = TRUE;
    g.cursor_shown = SetConsoleCursorInfo(g.out, &visible) != FALSE;
  }
}

Placement show_typed(std::string_view character) {
  if (g.out_console) return write_to_screen(character);
  write_to_stream(character);
  return {};
}

// Takes the last typed character off the screen: blanks over its cells and
// leaves the cursor on the first of them.
void erase_typed(const Placement& p) {
  if (!g.out_console) return;
  refresh_size();
  const int row = g.cursor.screen_row(p.row);
  const int col = std::min(p.col, g.cursor.width() - 1);
  const int cells = std::clamp(p.cells, 1, g.cursor.width() - col);
  write_cells(row, col, std::wstring(static_cast<std::size_t>(cells), L' '));
  g.cursor.move_to(g.cursor.top() + row, col);
  show_cursor_position();
}

// The console keeps the cells; a change of the buffer's size moves the
// cursor as the console says (refresh_size).
void redraw_if_resized(LineEditor&) {}

// The answer is in the console's cells already.
void end_answer(std::string_view) {
  print_newline();
  if (g.cursor_shown) SetConsoleCursorInfo(g.out, &g.saved_cursor);
  g.cursor_shown = false;
}

void abandon_answer() { end_answer({}); }

void read_keys(std::deque<std::string>& keys, bool wait) {
  const std::size_t before = keys.size();
  take_waiting_keys(keys);
  while (wait && keys.size() == before && g.in) {
    Sleep(kWaitPauseMs);
    take_waiting_keys(keys);
  }
}

bool keys_can_come() { return g.in != nullptr; }

// Ctrl+C is no key here: the console's control handler passes it over.
bool interrupt_is_a_key() { return false; }

void finish() { restore_console(); }

}  // namespace console_platform
