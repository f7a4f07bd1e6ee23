#include "dictd_import.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "dict/cp1252.h"
#include "dict/format.h"
#include "dict/transliteration.h"

namespace lexvia {

namespace {

// Several keys may share one definition (one per spelling of its headword).
class DefinitionsSeen {
 public:
  explicit DefinitionsSeen(const DictdDatabase& db) { seen_.reserve(db.entries.size()); }
  bool first_time(const DictdEntry& e) {
    return seen_.insert((std::uint64_t{e.offset} << 32) ^ std::uint64_t{e.length}).second;
  }

 private:
  std::unordered_set<std::uint64_t> seen_;
};

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
                        std::vector<TextPair>& pairs, ImportReport& report,
                        const HeadwordEvidence* evidence, std::vector<std::uint32_t>* examples) {
  const DictdStyle style = detect_style(db);
  const std::string& from = reverse ? side.language2 : side.language1;
  const std::string& to = reverse ? side.language1 : side.language2;
  const TextContext context{evidence, &report.mended};
  // Several keys may share one definition; each definition counts once.
  DefinitionsSeen seen(db);
  std::vector<std::string> headwords;
  std::vector<std::string> translations;
  for (const DictdEntry& e : db.entries) {
    if (!seen.first_time(e)) continue;
    if (is_meta_key(e.key)) {
      ++report.skipped["database information entry"];
      continue;
    }
    ++report.entries;
    const std::string_view definition = db.definition(e);
    headwords.clear();
    bool unencodable = false;
    for (const std::string& h : extract_headwords(definition.substr(0, definition.find('\n')),
                                                  context)) {
      auto headword = to_dictionary_text(h, from, side.transliterate);
      if (!headword) {
        unencodable = true;
      } else if (headword->size() > kMaxCompressedHeadword) {
        ++report.skipped["headword longer than 254 bytes"];
      } else if (!headword->empty()) {
        headwords.push_back(std::move(*headword));
      }
    }
    if (headwords.empty()) {
      ++report.skipped[unencodable ? "headword without a Windows-1252 form" : "empty headword"];
      continue;
    }
    translations.clear();
    for (const std::string& t : extract_translations(definition, style, context)) {
      auto text = to_dictionary_text(t, to, side.transliterate);
      if (!text) {
        ++report.skipped["translation without a Windows-1252 form"];
      } else if (text->size() > kMaxCompressedHeadword) {
        ++report.skipped["translation longer than 254 bytes"];
      } else {
        translations.push_back(std::move(*text));
      }
    }
    for (const std::string& headword : headwords) {
      for (const std::string& text : translations) {
        pairs.push_back(reverse ? TextPair{text, headword, pairs.size() + 1}
                                : TextPair{headword, text, pairs.size() + 1});
      }
    }
    report.pairs += headwords.size() * translations.size();
    if (examples != nullptr) {
      // Quoted examples ("      \"...\"  - ...") mark a sense in everyday use.
      std::uint32_t quoted = 0;
      for (std::size_t at = definition.find("\n      \""); at != std::string_view::npos;
           at = definition.find("\n      \"", at + 1)) {
        ++quoted;
      }
      examples->resize(pairs.size(), quoted);
    }
    if (translations.empty()) ++report.skipped["entry without a usable translation"];
  }
}

namespace {

HeadwordEvidence headwords_of(const DictdDatabase& db) {
  HeadwordEvidence evidence;
  DefinitionsSeen seen(db);
  for (const DictdEntry& e : db.entries) {
    if (!seen.first_time(e) || is_meta_key(e.key)) continue;
    const std::string_view definition = db.definition(e);
    for (const std::string& h : extract_headwords(definition.substr(0, definition.find('\n')))) {
      evidence.add(h);
    }
  }
  return evidence;
}

std::uint64_t pair_key(const TextPair& p) {
  const std::size_t a = std::hash<std::string>{}(p.first);
  const std::size_t b = std::hash<std::string>{}(p.second);
  return a ^ (b + 0x9E3779B97F4A7C15ULL + (a << 6) + (a >> 2));
}

}  // namespace

std::variant<std::vector<TextPair>, DictdError> import_dictd_dictionary(
    const std::string& forward_base, const std::optional<std::string>& reverse_base,
    const ImportSide& side, ImportReport& report) {
  // Only one database is in memory at a time: the reverse one is read twice,
  // once for its headwords and once for its pairs.
  std::vector<TextPair> pairs;
  HeadwordEvidence reverse_headwords;
  if (reverse_base) {
    auto reverse = read_dictd_database(*reverse_base);
    if (auto* e = std::get_if<DictdError>(&reverse)) return *e;
    reverse_headwords = headwords_of(std::get<DictdDatabase>(reverse));
  }
  std::vector<std::uint32_t> examples;
  HeadwordEvidence forward_headwords;
  {
    auto forward = read_dictd_database(forward_base);
    if (auto* e = std::get_if<DictdError>(&forward)) return *e;
    const auto& db = std::get<DictdDatabase>(forward);
    if (!reverse_base) {
      import_dictd_pairs(db, false, side, pairs, report);
      return pairs;
    }
    forward_headwords = headwords_of(db);
    import_dictd_pairs(db, false, side, pairs, report, &reverse_headwords, &examples);
  }
  reverse_headwords = {};
  const std::size_t forward_pairs = pairs.size();
  {
    auto reverse = read_dictd_database(*reverse_base);
    if (auto* e = std::get_if<DictdError>(&reverse)) return *e;
    import_dictd_pairs(std::get<DictdDatabase>(reverse), true, side, pairs, report,
                       &forward_headwords, &examples);
  }
  forward_headwords = {};
  // A pair given by both databases is the surest; of those, the ones whose
  // entries carry the most examples (the everyday senses) come first. Keys
  // are compared by hash: a rare collision only moves a pair up its list.
  std::unordered_map<std::uint64_t, std::uint32_t> from_reverse;
  from_reverse.reserve(pairs.size() - forward_pairs);
  for (std::size_t i = forward_pairs; i < pairs.size(); ++i) {
    auto [it, added] = from_reverse.try_emplace(pair_key(pairs[i]), examples[i]);
    if (!added) it->second = std::max(it->second, examples[i]);
  }
  std::unordered_map<std::uint64_t, std::uint32_t> confirmed;
  for (std::size_t i = 0; i < forward_pairs; ++i) {
    const std::uint64_t key = pair_key(pairs[i]);
    if (auto it = from_reverse.find(key); it != from_reverse.end()) {
      auto [c, added] = confirmed.try_emplace(key, 0);
      c->second = std::max(c->second, examples[i] + it->second);
    }
  }
  from_reverse = {};
  std::size_t confirmed_count = 0;
  // rank 0 for a pair only one database gives, else 1 + its examples.
  std::vector<std::uint32_t> rank(pairs.size(), 0);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (auto it = confirmed.find(pair_key(pairs[i])); it != confirmed.end()) {
      rank[i] = 1 + std::min<std::uint32_t>(it->second, 1000000);
    }
  }
  std::vector<std::uint32_t> order(pairs.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return rank[a] > rank[b]; });
  confirmed_count = confirmed.size();
  confirmed = {};
  std::vector<TextPair> ordered;
  ordered.reserve(pairs.size());
  for (std::uint32_t i : order) ordered.push_back(std::move(pairs[i]));
  for (std::size_t i = 0; i < ordered.size(); ++i) ordered[i].line = i + 1;
  report.confirmed = confirmed_count;
  return ordered;
}

}  // namespace lexvia
