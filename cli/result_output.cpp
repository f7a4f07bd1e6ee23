#include "result_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "dict/cp1252.h"

namespace lexvia::cli {

namespace {

// Black is the terminal's own text colour: drawn as 0,0,0 it would vanish on
// a dark terminal.
std::string coloured(const std::string& text, ColourCode colour) {
  const Rgb rgb = text_colour(colour);
  if (rgb == Rgb{0, 0, 0}) return text;
  char escape[32];
  std::snprintf(escape, sizeof escape, "\x1b[38;2;%d;%d;%dm", rgb.r, rgb.g, rgb.b);
  return escape + text + "\x1b[0m";
}

}  // namespace

void append_visible(std::string& out, std::u16string_view text) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Printable ASCII, most of every dictionary's text, as it stands.
    if (text[i] >= 0x20 && text[i] < 0x7F) {
      out.push_back(static_cast<char>(text[i]));
      continue;
    }
    const char32_t c = code_point_at(text, i);
    char escape[8];
    if (c < 0x20 || c == 0x7F || (c >= 0xDC80 && c <= 0xDCFF)) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c & 0xFF));
      out += escape;
    } else if (c >= 0x80 && c <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += encode_utf8(std::u32string_view(&c, 1));
    }
  }
}

std::string visible(std::u16string_view text) {
  std::string out;
  append_visible(out, text);
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

std::string answer_json(const std::vector<std::vector<Line>>& pages, const AnswerInfo& info,
                        bool browse) {
  std::string error = "null";
  const auto entries_of = [&error](const std::vector<Line>& lines) {
    std::string out = "[";
    bool open = false;
    for (const Line& line : lines) {
      const std::string text = utf16_to_utf8(line.text);
      const auto unindented = [&text](std::size_t blanks) {
        return json_string(text.compare(0, blanks, std::string(blanks, ' ')) == 0
                               ? std::string_view(text).substr(blanks)
                               : std::string_view(text));
      };
      if (line.colour == ColourCode::kHeadword) {
        if (open) out += "]},";
        out += "{\"headword\":" + unindented(2) + ",\"translations\":[";
        open = true;
      } else if (line.colour == ColourCode::kTranslation && open) {
        if (out.back() != '[') out += ",";
        out += unindented(4);
      } else if (line.colour == ColourCode::kError) {
        // The number stands after "#" in every language's error text.
        const std::size_t hash = text.find('#');
        const std::string number =
            hash == std::string::npos ? "0" : std::to_string(std::atoi(text.c_str() + hash + 1));
        error = "{\"number\":" + number + ",\"text\":" + json_string(text) + "}";
      }
    }
    return out + (open ? "]}]" : "]");
  };
  std::string out = "{\"query\":" + json_string(info.query) + ",\"method\":" +
                    json_string(info.method) + ",\"direction\":" + std::to_string(info.direction) +
                    ",\"dictionary\":" + (info.dictionary ? json_string(*info.dictionary) : "null");
  if (browse) {
    out += ",\"pages\":[";
    for (std::size_t p = 0; p < pages.size(); ++p) out += (p == 0 ? "" : ",") + entries_of(pages[p]);
    out += "]";
  } else {
    out += ",\"entries\":" + (pages.empty() ? std::string("[]") : entries_of(pages.front()));
  }
  out += ",\"suggestions\":[";
  for (std::size_t i = 0; i < info.suggestions.size(); ++i) {
    out += (i == 0 ? "" : ",") + json_string(info.suggestions[i]);
  }
  return out + "],\"error\":" + error + "}\n";
}

bool colour_wanted() {
  const char* no_colour = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && (no_colour == nullptr || *no_colour == '\0');
}

void format_pages(std::string& out, const std::vector<std::vector<Line>>& pages,
                  OutputFormat format, bool colour, bool several_pages) {
  if (format == OutputFormat::kLinesJson) {
    if (several_pages) out += "[";
    for (std::size_t p = 0; p < pages.size(); ++p) {
      out += p == 0 ? "[" : ",\n[";
      for (std::size_t i = 0; i < pages[p].size(); ++i) {
        const Line& line = pages[p][i];
        out += (i == 0 ? "\n  " : ",\n  ");
        out += "{\"colour\": " + std::to_string(static_cast<int>(line.colour)) +
               ", \"text\": " + json_string(utf16_to_utf8(line.text)) + "}";
      }
      out += pages[p].empty() ? "]" : "\n]";
    }
    if (several_pages) out += "]";
    out += "\n";
    return;
  }
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) out += "--\n";
    for (const Line& line : pages[p]) {
      if (format == OutputFormat::kTsv) {
        out += std::to_string(static_cast<int>(line.colour));
        out += '\t';
        append_visible(out, line.text);
      } else {
        const std::string text = visible(line.text);
        out += colour ? coloured(text, line.colour) : text;
      }
      out += '\n';
    }
  }
}

}  // namespace lexvia::cli
