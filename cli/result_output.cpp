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

}  // namespace

std::string visible(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = code_point_at(text, i);
    char escape[8];
    if (c < 0x20 || c == 0x7F || (c >= 0xDC80 && c <= 0xDCFF)) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c & 0xFF));
      out += escape;
    } else if (c >= 0x80 && c <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out += encode_utf8(std::u32string_view(&c, 1));
    }
  }
  return out;
}

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
      const std::string text = visible(line.text);
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
