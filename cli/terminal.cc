#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace corvala4::cli {

namespace {

bool Dumb() {
  const char* term = std::getenv("TERM");
  return term && std::strcmp(term, "dumb") == 0;
}

bool Terminal(std::FILE* out) {
  return out && isatty(fileno(out)) == 1;
}

/// The code point at `at` and the bytes it takes; a broken sequence counts as one byte.
char32_t Decode(const std::string& s, size_t at, size_t& len) {
  unsigned char c = static_cast<unsigned char>(s[at]);
  int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  if (at + static_cast<size_t>(n) > s.size()) n = 1;
  char32_t cp = n == 1 ? c : n == 2 ? c & 0x1f : n == 3 ? c & 0x0f : c & 0x07;
  for (int i = 1; i < n; ++i) {
    unsigned char cc = static_cast<unsigned char>(s[at + i]);
    if ((cc >> 6) != 2) {
      n = 1;
      cp = c;
      break;
    }
    cp = (cp << 6) | (cc & 0x3f);
  }
  len = static_cast<size_t>(n);
  return cp;
}

int Columns(char32_t cp) {
  if (cp < 0x20 || cp == 0x7f) return 0;
  // East Asian wide and full-width ranges, as terminals draw them.
  if ((cp >= 0x1100 && cp <= 0x115f) || (cp >= 0x2e80 && cp <= 0xa4cf) || (cp >= 0xac00 && cp <= 0xd7a3) ||
      (cp >= 0xf900 && cp <= 0xfaff) || (cp >= 0xfe30 && cp <= 0xfe4f) || (cp >= 0xff00 && cp <= 0xff60) ||
      (cp >= 0xffe0 && cp <= 0xffe6) || (cp >= 0x20000 && cp <= 0x3fffd))
    return 2;
  return 1;
}

}  // namespace

bool UseColor(ColorChoice choice, std::FILE* out) {
  if (choice != ColorChoice::Auto) return choice == ColorChoice::Always;
  const char* no_color = std::getenv("NO_COLOR");
  if (no_color && *no_color) return false;
  return Terminal(out) && !Dumb();
}

bool LiveLineAllowed(std::FILE* out) {
  return Terminal(out) && !Dumb();
}

int TerminalWidth(std::FILE* out, int fallback) {
  winsize ws{};
  if (!Terminal(out) || ioctl(fileno(out), TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return fallback;
  return ws.ws_col;
}

int DisplayWidth(const std::string& text) {
  int width = 0;
  for (size_t at = 0, len = 0; at < text.size(); at += len) width += Columns(Decode(text, at, len));
  return width;
}

std::string CutToWidth(const std::string& text, int columns) {
  int width = 0;
  for (size_t at = 0, len = 0; at < text.size(); at += len) {
    int w = Columns(Decode(text, at, len));
    if (width + w > columns) return text.substr(0, at);
    width += w;
  }
  return text;
}

std::string Wrap(const std::string& text, int columns, int indent) {
  std::string out, pad(static_cast<size_t>(indent), ' ');
  size_t start = 0;
  bool first_line = true;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string para = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string line = first_line ? "" : pad;
    int width = indent;
    bool empty = true;
    for (size_t at = 0; at <= para.size();) {
      size_t space = para.find(' ', at);
      std::string word = para.substr(at, space == std::string::npos ? std::string::npos : space - at);
      int w = DisplayWidth(word);
      if (!empty && width + 1 + w > columns) {
        out += line + "\n";
        line = pad;
        width = indent;
        empty = true;
      }
      if (!empty) {
        line += ' ';
        ++width;
      }
      line += word;
      width += w;
      empty = false;
      if (space == std::string::npos) break;
      at = space + 1;
    }
    out += line;
    first_line = false;
    if (end == std::string::npos) break;
    out += "\n";
    start = end + 1;
  }
  return out;
}

std::string Paint(const std::string& text, const char* code, bool color) {
  if (!color || text.empty()) return text;
  return std::string("\033[") + code + "m" + text + "\033[0m";
}

}  // namespace corvala4::cli
