#include "result_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "dict/cp1252.h"
#include "settings/dictionary_texts.h"

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

int answer_status(const Pages& pages) {
  bool headword = false;
  for (const auto& page : pages) {
    for (const Finding& finding : page) {
      if (finding.kind == Finding::Kind::kError) return 2;
      headword = headword || finding.kind == Finding::Kind::kHeadword;
    }
  }
  return headword ? 0 : 1;
}

std::string answer_json(const Pages& pages, const AnswerInfo& info, bool browse,
                        const InterfaceStrings& strings) {
  std::string error = "null";
  const auto entries_of = [&](const std::vector<Finding>& findings) {
    std::string out = "[";
    bool open = false;
    std::string form_of;  // after a base form line, the query as JSON
    for (const Finding& finding : findings) {
      switch (finding.kind) {
        case Finding::Kind::kBaseForm:
          form_of = json_string(cp1252_to_utf8(finding.inflected));
          break;
        case Finding::Kind::kHeadword:
          if (open) out += "]},";
          out += "{\"headword\":" + json_string(cp1252_to_utf8(finding.text));
          if (!form_of.empty()) out += ",\"form_of\":" + form_of;
          out += ",\"translations\":[";
          open = true;
          break;
        case Finding::Kind::kTranslation:
          if (!open) break;
          if (out.back() != '[') out += ",";
          out += json_string(cp1252_to_utf8(finding.text));
          break;
        case Finding::Kind::kError:
          error = "{\"number\":" + std::to_string(static_cast<int>(finding.error)) + ",\"text\":" +
                  json_string(utf16_to_utf8(
                      dictionary_error_text(finding.error, finding.path(), strings))) +
                  "}";
          break;
        case Finding::Kind::kTitle:
          break;
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

namespace {

// Prints each result line as it is formatted, in one of the three line formats.
class LinePrinter final : public LineSink {
 public:
  LinePrinter(std::string& out, OutputFormat format, bool colour)
      : out_(out), format_(format), colour_(colour) {}
  void start_page() { first_ = true; }
  bool printed() const { return !first_; }
  void append_line(std::u16string_view text, ColourCode colour) override {
    switch (format_) {
      case OutputFormat::kLinesJson:
        out_ += first_ ? "\n  " : ",\n  ";
        out_ += "{\"colour\": " + std::to_string(static_cast<int>(colour)) +
                ", \"text\": " + json_string(utf16_to_utf8(text)) + "}";
        break;
      case OutputFormat::kTsv: {
        const int code = static_cast<int>(colour);
        if (code >= 0 && code <= 9) {
          out_ += static_cast<char>('0' + code);
        } else {
          out_ += std::to_string(code);
        }
        out_ += '\t';
        append_visible(out_, text);
        out_ += '\n';
        break;
      }
      default:
        if (colour_) {
          out_ += coloured(visible(text), colour);
        } else {
          append_visible(out_, text);
        }
        out_ += '\n';
        break;
    }
    first_ = false;
  }

 private:
  std::string& out_;
  OutputFormat format_;
  bool colour_;
  bool first_ = true;
};

}  // namespace

void format_pages(std::string& out, const Pages& pages, OutputFormat format, bool colour,
                  bool several_pages, const InterfaceStrings& strings) {
  LinePrinter printer(out, format, colour);
  const bool json = format == OutputFormat::kLinesJson;
  if (json && several_pages) out += "[";
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (json) {
      out += p == 0 ? "[" : ",\n[";
    } else if (p > 0) {
      out += "--\n";
    }
    printer.start_page();
    for (const Finding& finding : pages[p]) append_finding_line(printer, finding, strings);
    if (json) out += printer.printed() ? "\n]" : "]";
  }
  if (json) out += several_pages ? "]\n" : "\n";
}

}  // namespace lexvia::cli
