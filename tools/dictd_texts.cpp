// The text rules of the dictd import: where a FreeDict definition's lines
// are cut into headwords and translations, and what of their marks is left.
#include <algorithm>
#include <array>
#include <functional>
#include <span>

#include "dictd_import.h"

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

std::vector<std::string_view> words_of(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    if (blank != 0) words.push_back(text.substr(0, blank));
    if (blank == std::string_view::npos) break;
    text.remove_prefix(blank + 1);
  }
  return words;
}

bool is_open(char c) { return c == '(' || c == '[' || c == '<' || c == '{'; }
bool is_close(char c) { return c == ')' || c == ']' || c == '>' || c == '}'; }

// Splits at ", " where no bracket of any kind is open, so that
// "Eisen(II,III)-oxid" and "<v, refl>" stay whole.
std::vector<std::string_view> split_outside_brackets(std::string_view line) {
  std::vector<std::string_view> pieces;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (is_open(c)) ++depth;
    if (is_close(c) && depth > 0) --depth;
    if (depth == 0 && c == ',' && i + 1 < line.size() && line[i + 1] == ' ') {
      pieces.push_back(line.substr(start, i - start));
      start = i + 2;
    }
  }
  pieces.push_back(line.substr(start));
  return pieces;
}

void count(const TextContext& context, const char* rule, std::size_t n = 1) {
  if (context.mended != nullptr && n > 0) (*context.mended)[rule] += n;
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

// A parenthesis that held only a label ("für ([+ acc])") is empty once the
// label is gone; a bracket with no partner ("Klammer(") is a stray symbol.
std::string drop_empty_and_stray_brackets(std::string text, const TextContext& context) {
  for (std::size_t at; (at = text.find('(')) != std::string::npos;) {
    std::size_t end = at + 1;
    while (end < text.size() && text[end] == ' ') ++end;
    if (end >= text.size() || text[end] != ')') break;
    text.erase(at, end + 1 - at);
    count(context, "empty brackets dropped");
  }
  std::string out;
  std::vector<std::size_t> open;
  std::vector<bool> keep(text.size(), true);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') open.push_back(i);
    if (text[i] == ')') {
      if (open.empty()) {
        keep[i] = false;
      } else {
        open.pop_back();
      }
    }
  }
  for (std::size_t i : open) keep[i] = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (keep[i]) out.push_back(text[i]);
  }
  if (out.size() != text.size()) count(context, "stray brackets dropped");
  return tidy(out);
}

// A pronunciation left inside a text ("reuziad (reuziadoù /ʁøzjadˈu/)"):
// slashes around a text with phonetic (non-ASCII) letters, after a blank.
std::string drop_pronunciations(std::string text, const TextContext& context) {
  for (std::size_t at = text.find(" /"); at != std::string::npos; at = text.find(" /", at + 1)) {
    const std::size_t end = text.find('/', at + 2);
    if (end == std::string::npos || end == at + 2) break;
    const bool closes = end + 1 == text.size() || text[end + 1] == ')' || text[end + 1] == ' ' ||
                        text[end + 1] == ',';
    const bool phonetic = std::any_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 2,
                                      text.begin() + static_cast<std::ptrdiff_t>(end),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (closes && phonetic) {
      text.erase(at, end + 1 - at);
      count(context, "pronunciations inside a text dropped");
    }
  }
  return text;
}

std::string clean_piece(std::string_view piece, const TextContext& context) {
  std::string text =
      drop_empty_and_stray_brackets(drop_pronunciations(drop_marks(piece), context), context);
  while (!text.empty() && (text.back() == ',' || text.back() == ';')) {
    text.pop_back();
    text = tidy(text);
  }
  return text;
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

// "1." alone: some databases put the text of a numbered sense on the next line.
bool is_bare_number(std::string_view line) {
  return line.size() >= 2 && line.back() == '.' &&
         std::all_of(line.begin(), line.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

bool starts_lower(std::string_view text) {
  return !text.empty() && ((text[0] >= 'a' && text[0] <= 'z') ||
                           // UTF-8 lower-case Latin-1 letters: U+00DF..U+00FF
                           (static_cast<unsigned char>(text[0]) == 0xC3 && text.size() > 1 &&
                            static_cast<unsigned char>(text[1]) >= 0x9F));
}

bool starts_upper(std::string_view text) {
  return !text.empty() && ((text[0] >= 'A' && text[0] <= 'Z') ||
                           (static_cast<unsigned char>(text[0]) == 0xC3 && text.size() > 1 &&
                            static_cast<unsigned char>(text[1]) >= 0x80 &&
                            static_cast<unsigned char>(text[1]) < 0x9F));
}

bool ends_sentence(std::string_view text) {
  return !text.empty() && (text.back() == '.' || text.back() == '!' || text.back() == '?');
}

bool is_ellipsis(std::string_view text) { return text == "\xE2\x80\xA6" || text == "..."; }

template <std::size_t N>
bool one_of(std::string_view word, const std::array<std::string_view, N>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Words that open a subordinate or relative clause that cannot stand alone:
// a comma before them continues the text ("sicherstellen, dass …",
// "someone, who …").
constexpr std::array<std::string_view, 30> kSubordinators = {
    "dass",   "daß",    "ob",      "was",    "wo",     "wobei",  "wodurch", "womit",
    "wonach", "woran",  "worauf",  "woraus", "worin",  "worüber", "wovon",  "wozu",
    "wofür",  "wohin",  "woher",   "wer",    "wem",    "wen",    "who",     "whom",
    "whose",  "whether", "que",    "qui",    "dont",   "sodass"};

// English words that open a clause or a translation of their own ("that is
// to say"): only a clause left open ("so many, that …") continues the text.
constexpr std::array<std::string_view, 6> kOpenClauseWords = {"that", "which", "when",
                                                              "if",   "where", "as"};

// Conjunctions whose clause may also be a translation of its own ("zur Not,
// wenn es sein muss"): a comma before them continues a sentence only.
constexpr std::array<std::string_view, 14> kAdverbialConjunctions = {
    "wenn",   "weil",  "damit",   "falls",   "sofern",  "indem",   "nachdem",
    "bevor",  "obwohl", "obgleich", "because", "unless", "whereas", "quand"};

// What stands before "zu" in an infinitive clause that goes on a text
// ("jdn. drängen, etw. zu tun", "…, um es zu sagen").
constexpr std::array<std::string_view, 10> kInfinitiveOpeners = {
    "etw.", "jdn.", "jdm.", "jds.", "etwas", "sich", "es", "ihn", "ihm", "das"};

// German relative pronouns; a clause they open ends with its verb.
constexpr std::array<std::string_view, 13> kRelatives = {
    "der", "die",     "das",     "dem",     "den",     "deren",  "dessen",
    "denen", "welche", "welcher", "welches", "welchem", "welchen"};

constexpr std::array<std::string_view, 14> kSomebody = {
    "jemand", "jemandem", "jemanden", "etwas", "etw.",  "jd.",    "jdm.",
    "jdn.",   "einer",    "eine",     "eines", "alles", "nichts", "derjenige"};

// A translation that is only one of these tells nothing.
constexpr std::array<std::string_view, 40> kFunctionWords = {
    "der", "die",  "das", "den",  "dem",  "des", "ein",   "eine",  "einen", "einem",
    "und", "oder", "zu",  "von",  "mit",  "in",  "dass",  "daß",   "ob",    "wenn",
    "the", "a",    "an",  "and",  "or",   "of",  "to",    "that",  "which", "who",
    "le",  "la",   "les", "et",   "ou",   "de",  "el",    "los",   "y",     "il"};

// Does the comma between the texts `before` and `next` (with `later`
// following it) continue one text? The rule's name, or nothing.
const char* continuation(std::string_view before, std::string_view next,
                         std::span<const std::string> later, const TextContext& context) {
  if (next.empty() || before.empty()) return nullptr;
  if (before.back() == '-' && before.size() >= 2 && before[before.size() - 2] != ' ') {
    // "Hals-, Nasen- und Ohrenheilkunde"; "Luxus-, Nobel-" are two words.
    for (std::size_t i = 0; i <= later.size(); ++i) {
      const std::string_view piece = i == 0 ? next : std::string_view(later[i - 1]);
      if (!piece.empty() && piece.back() == '-') continue;
      for (std::string_view joint : {" und ", " oder ", " and ", " or ", " et ", " ou "}) {
        if (piece.find(joint) != std::string_view::npos) return "comma kept: after a compound's hyphen";
      }
      break;
    }
  }
  if (is_ellipsis(next)) return "comma kept: before a lone ellipsis";
  const auto words = words_of(next);
  const auto words_before = words_of(before);
  if (one_of(words.front(), kSubordinators) ||
      (one_of(words.front(), kAdverbialConjunctions) && starts_upper(before)) ||
      (one_of(words.front(), kOpenClauseWords) && is_ellipsis(words.back()))) {
    return "comma kept: before a subordinate clause";
  }
  // "etw. zu tun", "um es zu sagen"; not "etw. anfangen zu mögen".
  const bool object_zu_verb =
      words.size() == 3 && words[1] == "zu" && one_of(words.front(), kInfinitiveOpeners);
  const bool um_zu = words.size() >= 3 && words.front() == "um" && words[words.size() - 2] == "zu";
  if (object_zu_verb || um_zu) return "comma kept: before an infinitive clause";
  if (one_of(words.front(), kRelatives) && words.size() >= 3 && starts_lower(words.back()) &&
      (one_of(words_before.back(), kSomebody) || starts_upper(words_before.back()))) {
    return "comma kept: before a relative clause";
  }
  if (starts_lower(next) && starts_upper(before) && !ends_sentence(before)) {
    // A sentence goes on when a later lower-case piece ends it (looked for
    // among the next few dozen pieces: a hostile line could hold millions).
    if (ends_sentence(next)) return "comma kept: the sentence goes on";
    for (const std::string& text : later.first(std::min<std::size_t>(later.size(), 64))) {
      if (!starts_lower(text)) break;
      if (ends_sentence(text)) return "comma kept: the sentence goes on";
    }
  }
  // The other database writing the phrase as one headword keeps it whole
  // when it reads as one: a sentence, a list closed by "und" ("Blut, Schweiß
  // und Tränen"), or pieces that share a word ("Waste not, want not"). Its
  // headwords are often lists of alternatives too ("Uferschutzverbauung,
  // Uferverbauung"), and so is a phrase whose last piece is a headword of
  // its own ("jährlich, pro Jahr").
  auto reads_as_one = [&] {
    if (ends_sentence(next)) return true;
    for (std::string_view joint : {" und ", " oder ", " and ", " or ", " nor ", " noch "}) {
      if (next.find(joint) != std::string_view::npos) return true;
    }
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) {
      return std::find(words_before.begin(), words_before.end(), w) != words_before.end();
    });
  };
  if (context.evidence != nullptr && reads_as_one() &&
      context.evidence->has(std::string(before) + ", " + std::string(next)) &&
      !context.evidence->has(next)) {
    return "comma kept: the other database has the phrase";
  }
  return nullptr;
}

// "nach Christusn. Chr.": where an abbreviation starts that is glued to the
// two or more words it abbreviates with nothing between them, its words
// having the initials of some of theirs in order. npos when the text from
// `start` does not end so.
std::size_t glued_without_label(std::string_view text, std::size_t start) {
  if (text.size() < 2) return std::string_view::npos;
  auto letter = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
  };
  auto initial = [](std::string_view word) {
    const char c = word[0];
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  };
  // From the end: "Zeitrechnungu. Z." is cut before "u.", not before "ungu.".
  for (std::size_t at = text.size() - 1; at > start; --at) {
    if (!letter(text[at - 1]) || !letter(text[at])) continue;
    const auto abbreviation = words_of(text.substr(at));
    const auto words = words_of(text.substr(start, at - start));
    // "house air waybillH.A.W.B.": a dotted acronym after a lower-case
    // letter, its first letter the initial of the words' first.
    const std::string_view acronym = abbreviation.size() == 1 ? abbreviation[0] : "";
    const bool dotted = acronym.size() >= 4 && acronym.size() % 2 == 0 && !words.empty() &&
                        text[at - 1] >= 'a' && text[at - 1] <= 'z' &&
                        initial(acronym) == initial(words.front());
    bool letters_and_dots = dotted;
    for (std::size_t k = 0; letters_and_dots && k < acronym.size(); ++k) {
      letters_and_dots = k % 2 == 0 ? acronym[k] >= 'A' && acronym[k] <= 'Z' : acronym[k] == '.';
    }
    if (letters_and_dots) return at;
    if (abbreviation.empty() || words.empty() || abbreviation.back().back() != '.' ||
        initial(abbreviation.back()) != initial(words.back())) {
      continue;
    }
    if (abbreviation.size() == 1 && text[at - 1] != ' ') {
      // "eventuellevtl.": the letters of one word, in order, glued to it.
      const std::string_view word = words.back();
      const std::string_view letters = abbreviation[0].substr(0, abbreviation[0].size() - 1);
      std::size_t i = 0;
      for (char c : word) i += i < letters.size() && c == letters[i];
      if (letters.size() >= 2 && i == letters.size() && word.size() > letters.size() &&
          std::all_of(letters.begin(), letters.end(), letter)) {
        return at;
      }
    }
    if (words.size() < 2) continue;
    // "Magister der ArchitekturMag. Arch.": the initials in order.
    std::size_t w = 0;
    for (std::string_view a : abbreviation) {
      while (w < words.size() && initial(words[w]) != initial(a)) ++w;
      if (w++ == words.size()) break;
    }
    if (w <= words.size()) return at;
  }
  return std::string_view::npos;
}

// Pieces glued to a label with their pronunciation ("eigentlich
// <adv>eigtl.,  /x/", "Rn,  /x/ Rdnr.,  /x/") become pieces of their own.
std::string split_off_glued_abbreviations(std::string_view line, const TextContext& context) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::size_t end = line.compare(i, 4, ",  /") == 0 ? line.find('/', i + 4) : line.npos;
    if (end == std::string_view::npos) {
      out.push_back(line[i]);
      continue;
    }
    // The abbreviation starts after the label it is glued to, unless a
    // comma comes later.
    const std::size_t label = out.find_last_of(">]");
    const std::size_t comma = out.rfind(", ");
    const bool after_label = label != std::string::npos &&
                             (comma == std::string::npos || comma < label);
    const std::size_t from = after_label ? label + 1 : comma == out.npos ? 0 : comma + 2;
    if (const std::size_t at = glued_without_label(out, from); at != std::string::npos) {
      out.insert(at, ", ");
    } else if (after_label) {
      out.insert(label + 1, ", ");
    }
    out += ", ";
    i = end;
    while (i + 1 < line.size() && line[i + 1] == ' ') ++i;
    if (i + 1 < line.size() && line[i + 1] == ',') ++i;
    count(context, "glued abbreviations split off");
  }
  return out;
}

// The translations of a comma-list line: pieces at commas outside brackets,
// joined again where the comma continues a text.
void comma_list_translations(std::string_view line, const TextContext& context,
                             std::vector<std::string>& texts) {
  const std::string prepared = split_off_glued_abbreviations(line, context);
  std::vector<std::string> pieces;
  for (std::string_view piece : split_outside_brackets(prepared)) {
    pieces.push_back(clean_piece(piece, context));
  }
  std::string group;
  auto flush = [&] {
    const std::string lower = [&] {
      std::string l = group;
      for (char& c : l) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      return l;
    }();
    if (group.empty() || is_pronunciation(group)) {
    } else if (is_ellipsis(group) || (pieces.size() > 1 && one_of(lower, kFunctionWords))) {
      count(context, "bare function words or ellipses dropped");
    } else {
      texts.push_back(group);
    }
    group.clear();
  };
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].empty()) continue;
    const std::span<const std::string> later(pieces.data() + i + 1, pieces.size() - i - 1);
    if (const char* rule = continuation(group, pieces[i], later, context)) {
      group += ", " + pieces[i];
      count(context, rule);
      continue;
    }
    flush();
    group = pieces[i];
  }
  flush();
}

// "to take, took, taken", "woman, women": a word and its forms.
std::optional<std::vector<std::string>> word_forms(std::string_view text) {
  const auto pieces = split_outside_brackets(text);
  if (pieces.size() < 2 || pieces.size() > 3) return std::nullopt;
  const bool verb = pieces[0].starts_with("to ");
  const std::string_view first = verb ? pieces[0].substr(3) : pieces[0];
  auto is_word = [](std::string_view w) {
    return !w.empty() && std::all_of(w.begin(), w.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || c == '-' || c == '\'' || c == '`' || c == '/' ||
             static_cast<unsigned char>(c) >= 0x80;
    });
  };
  // "night watchman, night watchmen": the forms of a compound's last word.
  std::string_view shared;
  if (!verb && pieces.size() == 2) {
    const std::size_t blank = first.rfind(' ');
    if (blank != std::string_view::npos && pieces[1].starts_with(first.substr(0, blank + 1))) {
      shared = first.substr(0, blank + 1);
    }
  }
  if (!is_word(first.substr(shared.size()))) return std::nullopt;
  std::vector<std::string> forms{std::string(pieces[0])};
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    // "to press, to prest": a verb's forms may repeat the "to".
    const std::string_view form = verb && pieces[i].starts_with("to ") ? pieces[i].substr(3)
                                                                       : pieces[i].substr(shared.size());
    // "sometimes this, sometimes that" is one phrase.
    constexpr std::array<std::string_view, 8> kCorrelatives = {"this", "that", "these", "those",
                                                               "here", "there", "now",  "then"};
    if (!is_word(form) || one_of(form, kCorrelatives)) return std::nullopt;
    // Nouns and their plurals begin alike; a verb's past may not ("go, went").
    if (!verb && form[0] != first[shared.size()]) return std::nullopt;
    forms.emplace_back(verb || shared.empty() ? form : pieces[i]);
  }
  if (!verb && pieces.size() != 2) return std::nullopt;
  return forms;
}

void add_text(std::string text, const TextContext& context, std::vector<std::string>& texts) {
  if (auto forms = word_forms(text)) {
    count(context, "word forms split");
    texts.insert(texts.end(), forms->begin(), forms->end());
  } else if (!text.empty()) {
    texts.push_back(std::move(text));
  }
}

}  // namespace

DictdStyle detect_style(const DictdDatabase& db) {
  std::size_t seen = 0;
  std::size_t numbered = 0;
  std::size_t glossed = 0;
  for (const DictdEntry& e : db.entries) {
    if (e.key.starts_with("00database") || e.key.starts_with("00-database-")) continue;
    const auto lines = split_lines(db.definition(e));
    if (lines.size() >= 2 && numbered_text(lines[1])) ++numbered;
    // A second plain line after the translations is a gloss.
    std::size_t plain = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      plain += !lines[i].empty() && lines[i].front() != ' ' && !numbered_text(lines[i]) &&
               !is_bare_number(lines[i]) && !(i > 1 && is_bare_number(lines[i - 1]));
    }
    glossed += plain >= 2 || (plain == 1 && lines.size() >= 2 && numbered_text(lines[1]));
    if (++seen == 5000) break;
  }
  if (glossed * 3 >= seen && glossed > 0) return DictdStyle::kGlossed;
  return numbered * 10 >= seen && numbered > 0 ? DictdStyle::kNumbered : DictdStyle::kCommaList;
}

void HeadwordEvidence::add(std::string_view headword) {
  hashes_.push_back(key(headword));
  sorted_ = false;
}

void HeadwordEvidence::seal() {
  std::sort(hashes_.begin(), hashes_.end());
  hashes_.erase(std::unique(hashes_.begin(), hashes_.end()), hashes_.end());
  sorted_ = true;
}

bool HeadwordEvidence::has(std::string_view text) const {
  return sorted_ && std::binary_search(hashes_.begin(), hashes_.end(), key(text));
}

std::uint64_t HeadwordEvidence::key(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return std::hash<std::string>{}(folded);
}

std::vector<std::string> extract_headwords(std::string_view first_line,
                                           const TextContext& context) {
  // The pronunciation starts at the first " /" followed by a non-blank; an
  // inner " / " separates alternatives.
  std::size_t cut = std::string_view::npos;
  for (std::size_t at = first_line.find(" /"); at != std::string_view::npos;
       at = first_line.find(" /", at + 1)) {
    if (at + 2 < first_line.size() && first_line[at + 2] != ' ') {
      cut = at;
      break;
    }
  }
  if (cut == std::string_view::npos) cut = first_line.find(" <");
  std::string line = drop_empty_and_stray_brackets(tidy(first_line.substr(0, cut)), context);
  // "(colère/fièvre) accès": the context goes after the word, so that a
  // search for the word finds it.
  if (line.starts_with('(')) {
    const std::size_t close = line.find(')');
    if (close != std::string::npos && close + 2 < line.size() && line[close + 1] == ' ' &&
        line.find('(', 1) > close) {
      line = line.substr(close + 2) + ' ' + line.substr(0, close + 1);
      count(context, "leading context moved after the headword");
    }
  }
  std::vector<std::string> headwords;
  std::vector<std::string> alternatives;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (is_open(line[i])) ++depth;
    if (is_close(line[i]) && depth > 0) --depth;
    if (depth == 0 && line.compare(i, 3, " / ") == 0) {
      alternatives.push_back(tidy(std::string_view(line).substr(start, i - start)));
      start = i + 3;
    }
  }
  alternatives.push_back(tidy(std::string_view(line).substr(start)));
  // Alternatives that do not line up ("Die Linien kreuzen sich / schneiden
  // sich.") would leave fragments: such a line stays one headword.
  auto word_count = [](const std::string& a) { return words_of(a).size(); };
  const bool parallel =
      alternatives.size() > 1 &&
      (std::all_of(alternatives.begin(), alternatives.end() - 1,
                   [&](const std::string& a) { return word_count(a) == 1; }) ||
       std::all_of(alternatives.begin() + 1, alternatives.end(),
                   [&](const std::string& a) { return word_count(a) == 1; }) ||
       std::all_of(alternatives.begin(), alternatives.end(), [&](const std::string& a) {
         return word_count(a) == word_count(alternatives.front());
       }));
  if (parallel) {
    count(context, "headword alternatives split");
    // "take / claim / seize the high ground": single words before the last
    // alternative share its tail.
    const auto last = words_of(alternatives.back());
    const bool shared_tail =
        last.size() > 1 && std::all_of(alternatives.begin(), alternatives.end() - 1,
                                       [](const std::string& a) { return words_of(a).size() == 1; });
    const std::string tail =
        shared_tail ? alternatives.back().substr(last.front().size()) : std::string();
    // "boiler blow down tank / vessel": single words after the first
    // alternative replace its last word.
    const auto first = words_of(alternatives.front());
    const bool shared_head =
        !shared_tail && first.size() > 1 &&
        alternatives.front().find_first_of("()[]") == std::string::npos &&
        std::all_of(alternatives.begin() + 1, alternatives.end(),
                    [](const std::string& a) { return words_of(a).size() == 1; });
    const std::string head = shared_head ? alternatives.front().substr(
                                               0, alternatives.front().size() - first.back().size())
                                         : std::string();
    for (std::size_t i = 0; i < alternatives.size(); ++i) {
      std::string headword = alternatives[i];
      if (shared_tail && i + 1 < alternatives.size()) headword += tail;
      if (shared_head && i > 0) headword = head + headword;
      add_text(std::move(headword), context, headwords);
    }
  } else {
    add_text(line, context, headwords);
  }
  headwords.erase(std::remove(headwords.begin(), headwords.end(), std::string()), headwords.end());
  return headwords;
}

std::vector<std::string> extract_translations(std::string_view definition, DictdStyle style,
                                              const TextContext& context) {
  const auto lines = split_lines(definition);
  std::vector<std::string> texts;
  if (lines.size() < 2) return texts;
  if (style != DictdStyle::kCommaList) {
    // Numbered lines, or else the first plain line: the plain lines after a
    // translation are glosses in the headword's language.
    std::vector<std::string_view> translation_lines;
    std::string_view first_plain;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (const auto numbered = numbered_text(lines[i])) {
        translation_lines.push_back(*numbered);
      } else if (first_plain.empty() && !lines[i].empty() && lines[i].front() != ' ') {
        first_plain = lines[i];
      }
    }
    if (translation_lines.empty() && !first_plain.empty()) translation_lines.push_back(first_plain);
    for (std::string_view line : translation_lines) {
      if (style == DictdStyle::kGlossed) {
        comma_list_translations(line, context, texts);
      } else {
        add_text(drop_empty_and_stray_brackets(tidy(line), context), context, texts);
      }
    }
    return texts;
  }
  // The second line holds the translations (a [label] may open it); the
  // indented lines after it are examples, notes and cross-references. A note
  // may go on with further translations: from its first piece with a grammar
  // mark onward ("Note: vor etw., Verabscheuen <neut>").
  // Some databases leave a blank line before it.
  std::size_t first = 1;
  while (first + 1 < lines.size() && lines[first].empty()) ++first;
  if (is_bare_number(lines[first])) {
    // "1.\nstrangeness\n2.\nforeign parts": each number on a line of its own.
    for (std::size_t i = first; i + 1 < lines.size(); ++i) {
      if (is_bare_number(lines[i])) comma_list_translations(lines[i + 1], context, texts);
    }
  } else if (lines[first].starts_with(" Plural of {") &&
             lines[first].find("}: ") != std::string_view::npos) {
    // " Plural of {kidude}: thingamajig": the plural's own translations.
    comma_list_translations(lines[first].substr(lines[first].find("}: ") + 3), context, texts);
  } else if (lines[first].empty() || lines[first].front() != ' ' || lines[first].starts_with(" [")) {
    comma_list_translations(lines[first], context, texts);
  }
  for (std::size_t i = first + 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    const std::size_t note = line.find_first_not_of(' ');
    if (note == std::string_view::npos || line.compare(note, 6, "Note: ") != 0) continue;
    line.remove_prefix(note + 6);
    std::size_t from = 0;
    for (std::string_view piece : split_outside_brackets(line)) {
      if (piece.find('<') != std::string_view::npos) {
        from = static_cast<std::size_t>(piece.data() - line.data());
        const std::size_t before = texts.size();
        comma_list_translations(line.substr(from), context, texts);
        count(context, "translations taken from notes", texts.size() - before);
        break;
      }
    }
  }
  return texts;
}

}  // namespace lexvia
