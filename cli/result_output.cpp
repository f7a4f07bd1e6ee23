#include "result_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "dict/cp1252.h"

namespace lexvia::cli {

namespace {

// Black is the terminal's own text colour: drawn as 0,0,0 it would vanish on
// a dark terminal.
std::string coloured(const std::string& text, int colour) {
  const Rgb rgb = text_colour(colour);
  if (rgb == Rgb{0, 0, 0}) return text;
  char escape[32];
  std::snprintf(escape, sizeof escape, "\x1b[38;2;%d;%d;%dm", rgb.r, rgb.g, rgb.b);
  return escape + text + "\x1b[0m";
}

// Control characters in a dictionary's texts or the query would reach the
// terminal as escape sequences, or forge lines and fields of tsv output:
// they are shown as \xNN (C0 and DEL) or \uNNNN (C1).
std::string visible(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char escape[8];
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(utf8[++i]));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string json_string(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

bool colour_wanted() {
  const char* no_colour = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0');
}

std::string format_pages(const std::vector<std::vector<Line>>& pages, OutputFormat format,
                         bool colour, bool several_pages) {
  std::string out;
  if (format == OutputFormat::kJson) {
    if (several_pages) out += "[";
    for (std::size_t p = 0; p < pages.size(); ++p) {
      out += p == 0 ? "[" : ",\n[";
      for (std::size_t i = 0; i < pages[p].size(); ++i) {
        const Line& line = pages[p][i];
        out += (i == 0 ? "\n  " : ",\n  ");
        out += "{\"colour\": " + std::to_string(line.colour) +
               ", \"text\": " + json_string(utf16_to_utf8(line.text)) + "}";
      }
      out += pages[p].empty() ? "]" : "\n]";
    }
    if (several_pages) out += "]";
    return out + "\n";
  }
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) out += "--\n";
    for (const Line& line : pages[p]) {
      const std::string text = visible(utf16_to_utf8(line.text));
      if (format == OutputFormat::kTsv) {
        out += std::to_string(line.colour) + "\t" + text + "\n";
      } else {
        out += (colour ? coloured(text, line.colour) : text) + "\n";
      }
    }
  }
  return out;
}

}  // namespace lexvia::cli
