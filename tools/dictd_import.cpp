#include "dictd_import.h"

#include <algorithm>
#include <set>
#include <utility>

#include "dict/cp1252.h"
#include "dict/format.h"
#include "dict/transliteration.h"

namespace lexvia {

namespace {

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  // Lines break at LF only: U+0085 inside a text stands for "…".
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    lines.push_back(text.substr(0, eol));
    if (eol == std::string_view::npos) break;
    text.remove_prefix(eol + 1);
  }
  return lines;
}

// Trims blanks and folds every run of white space into one blank.
std::string tidy(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Splits at ", " where no bracket of any kind is open, so that
// "Eisen(II,III)-oxid" and "<v, refl>" stay whole.
std::vector<std::string_view> split_outside_brackets(std::string_view line) {
  std::vector<std::string_view> pieces;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '(' || c == '[' || c == '<' || c == '{') ++depth;
    if ((c == ')' || c == ']' || c == '>' || c == '}') && depth > 0) --depth;
    if (depth == 0 && c == ',' && i + 1 < line.size() && line[i + 1] == ' ') {
      pieces.push_back(line.substr(start, i - start));
      start = i + 2;
    }
  }
  pieces.push_back(line.substr(start));
  return pieces;
}

// Drops grammar marks <...>, labels [...] and references {...}; parentheses
// are part of the text ("(allein) im Haus bleiben").
std::string drop_marks(std::string_view piece) {
  std::string out;
  char closing = 0;
  int depth = 0;
  for (char c : piece) {
    if (depth == 0 && (c == '<' || c == '[' || c == '{')) {
      closing = c == '<' ? '>' : c == '[' ? ']' : '}';
      depth = 1;
      out.push_back(' ');
      continue;
    }
    if (depth > 0) {
      if (c == closing) --depth;
      continue;
    }
    out.push_back(c);
  }
  return tidy(out);
}

bool is_pronunciation(std::string_view text) {
  return text.size() >= 2 && text.front() == '/' && text.back() == '/';
}

// "12. text" -> "text"; nothing when the line is not numbered.
std::optional<std::string_view> numbered_text(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && line[i] == ' ') ++i;
  const std::size_t digits = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == digits || i + 1 >= line.size() || line[i] != '.' || line[i + 1] != ' ') {
    return std::nullopt;
  }
  return line.substr(i + 2);
}

bool is_meta_key(std::string_view key) {
  return key.starts_with("00database") || key.starts_with("00-database-");
}

void hungarian_spelling(std::u32string& text) {
  for (char32_t& c : text) {
    switch (c) {
      case U'\u0151':
      case U'\u00F4':
        c = U'\u00F5';
        break;  // ő, ô -> õ
      case U'\u0150':
      case U'\u00D4':
        c = U'\u00D5';
        break;  // Ő, Ô -> Õ
      case U'\u0171':
        c = U'\u00FB';
        break;  // ű -> û
      case U'\u0170':
        c = U'\u00DB';
        break;  // Ű -> Û
      default:
        break;
    }
  }
}

}  // namespace

DictdStyle detect_style(const DictdDatabase& db) {
  std::size_t seen = 0;
  std::size_t numbered = 0;
  for (const DictdEntry& e : db.entries) {
    if (is_meta_key(e.key)) continue;
    const auto lines = split_lines(db.definition(e));
    if (lines.size() >= 2 && numbered_text(lines[1])) ++numbered;
    if (++seen == 5000) break;
  }
  return numbered * 10 >= seen && numbered > 0 ? DictdStyle::kNumbered : DictdStyle::kCommaList;
}

std::string extract_headword(std::string_view first_line) {
  std::size_t cut = first_line.find(" /");
  if (cut == std::string_view::npos) cut = first_line.find(" <");
  return tidy(first_line.substr(0, cut));
}

std::vector<std::string> extract_translations(std::string_view definition, DictdStyle style) {
  const auto lines = split_lines(definition);
  std::vector<std::string> texts;
  if (lines.size() < 2) return texts;
  if (style == DictdStyle::kNumbered) {
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const auto numbered = numbered_text(lines[i]);
      const bool plain = !numbered && !lines[i].empty() && lines[i].front() != ' ';
      if (!numbered && !plain) continue;
      std::string text = tidy(numbered ? *numbered : lines[i]);
      if (!text.empty()) texts.push_back(std::move(text));
    }
    return texts;
  }
  // The second line holds the translations (a [label] may open it); the
  // indented lines after it are examples, notes and cross-references.
  for (std::string_view piece : split_outside_brackets(lines[1])) {
    std::string text = drop_marks(piece);
    while (!text.empty() && (text.back() == ',' || text.back() == ';')) {
      text.pop_back();
      text = tidy(text);
    }
    if (!text.empty() && !is_pronunciation(text)) texts.push_back(std::move(text));
  }
  return texts;
}

std::optional<std::string> to_dictionary_text(std::string_view utf8, std::string_view language,
                                              bool transliterate) {
  auto decoded = decode_utf8(utf8);
  if (std::holds_alternative<Utf8Error>(decoded)) return std::nullopt;
  std::u32string text = std::move(std::get<std::u32string>(decoded));
  for (char32_t& c : text) {
    // The databases carry Windows-1252 characters as the C1 controls of the
    // same number (U+0085 for "…").
    if (c >= 0x80 && c <= 0x9F) c = cp1252_to_unicode(static_cast<std::uint8_t>(c));
  }
  if (language == "hu") hungarian_spelling(text);
  auto converted = to_cp1252(text, transliterate);
  if (std::holds_alternative<UnencodableChar>(converted)) return std::nullopt;
  return std::get<std::string>(std::move(converted));
}

std::string default_prefix_list(std::string_view language) {
  static const std::map<std::string_view, std::string_view> kLists = {
      {"en", ",to "}, {"de", ",sich "}, {"fr", ",se ,s'"}, {"es", ",se "}, {"it", ",si "}};
  const auto it = kLists.find(language);
  return it == kLists.end() ? std::string() : std::string(it->second);
}

void import_dictd_pairs(const DictdDatabase& db, bool reverse, const ImportSide& side,
                        std::vector<TextPair>& pairs, ImportReport& report) {
  const DictdStyle style = detect_style(db);
  const std::string& from = reverse ? side.language2 : side.language1;
  const std::string& to = reverse ? side.language1 : side.language2;
  // Several keys may share one definition; each definition counts once.
  std::set<std::pair<std::size_t, std::size_t>> seen;
  for (const DictdEntry& e : db.entries) {
    if (!seen.insert({e.offset, e.length}).second) continue;
    if (is_meta_key(e.key)) {
      ++report.skipped["database information entry"];
      continue;
    }
    ++report.entries;
    const std::string_view definition = db.definition(e);
    const auto lines = split_lines(definition);
    const auto headword = to_dictionary_text(extract_headword(lines.empty() ? "" : lines[0]), from,
                                             side.transliterate);
    if (!headword || headword->empty()) {
      ++report.skipped[headword ? "empty headword" : "headword without a Windows-1252 form"];
      continue;
    }
    if (headword->size() > kMaxCompressedHeadword) {
      ++report.skipped["headword longer than 254 bytes"];
      continue;
    }
    std::size_t produced = 0;
    for (const std::string& t : extract_translations(definition, style)) {
      auto text = to_dictionary_text(t, to, side.transliterate);
      if (!text) {
        ++report.skipped["translation without a Windows-1252 form"];
      } else if (text->size() > kMaxCompressedHeadword) {
        ++report.skipped["translation longer than 254 bytes"];
      } else {
        pairs.push_back(reverse ? TextPair{*text, *headword, pairs.size() + 1}
                                : TextPair{*headword, *text, pairs.size() + 1});
        ++produced;
      }
    }
    report.pairs += produced;
    if (produced == 0) ++report.skipped["entry without a usable translation"];
  }
}

}  // namespace lexvia
