#include "dictd_import.h"

#include <algorithm>
#include <utility>

#include "dict/cp1252.h"
#include "dict/format.h"
#include "dict/transliteration.h"
#include "search/collation.h"

namespace lexvia {

namespace {

// Several keys may share one definition (one per spelling of its headword):
// which entries are the first with their definition, found by one sort.
class DefinitionsSeen {
 public:
  explicit DefinitionsSeen(const DictdDatabase& db) : first_(db.entries.size(), 0) {
    std::vector<std::uint32_t> order(db.entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    auto range = [&](std::uint32_t i) {
      return std::pair{db.entries[i].offset, db.entries[i].length};
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return range(a) < range(b); });
    for (std::size_t k = 0; k < order.size(); ++k) {
      first_[order[k]] = k == 0 || range(order[k]) != range(order[k - 1]);
    }
  }
  bool first_time(std::size_t entry) const { return first_[entry] != 0; }

 private:
  std::vector<char> first_;
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
    // The older databases write "grown‐up" with the Unicode hyphens; they
    // are the plain hyphen-minus in every other text.
    if (c == U'\u2010' || c == U'\u2011') c = U'-';
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
                        const HeadwordEvidence* evidence, std::vector<std::uint32_t>* examples,
                        const PairFilter& is_known) {
  const DictdStyle style = detect_style(db);
  const std::string& from = reverse ? side.language2 : side.language1;
  const std::string& to = reverse ? side.language1 : side.language2;
  const TextContext context{evidence, &report.mended};
  // Several keys may share one definition; each definition counts once.
  DefinitionsSeen seen(db);
  std::vector<std::string> headwords;
  std::vector<std::string> translations;
  for (std::size_t n = 0; n < db.entries.size(); ++n) {
    const DictdEntry& e = db.entries[n];
    if (!seen.first_time(n)) continue;
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
    // Quoted examples ("      \"...\"  - ...") mark a sense in everyday use.
    std::uint32_t quoted = 0;
    if (examples != nullptr) {
      for (std::size_t at = definition.find("\n      \""); at != std::string_view::npos;
           at = definition.find("\n      \"", at + 1)) {
        ++quoted;
      }
    }
    for (const std::string& headword : headwords) {
      for (const std::string& text : translations) {
        TextPair pair = reverse ? TextPair{text, headword, pairs.size() + 1}
                                : TextPair{headword, text, pairs.size() + 1};
        if (is_known && is_known(pair, quoted)) continue;
        pairs.push_back(std::move(pair));
        if (examples != nullptr) examples->push_back(quoted);
      }
    }
    report.pairs += headwords.size() * translations.size();
    if (translations.empty()) ++report.skipped["entry without a usable translation"];
  }
}

namespace {

HeadwordEvidence headwords_of(const DictdDatabase& db) {
  HeadwordEvidence evidence;
  DefinitionsSeen seen(db);
  for (std::size_t n = 0; n < db.entries.size(); ++n) {
    const DictdEntry& e = db.entries[n];
    if (!seen.first_time(n) || is_meta_key(e.key)) continue;
    const std::string_view definition = db.definition(e);
    for (const std::string& h : extract_headwords(definition.substr(0, definition.find('\n')))) {
      evidence.add(h);
    }
  }
  evidence.seal();
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
  // What each database has, as a search finds it, for the bare forms.
  DatabaseHeadwords lookup_headwords;
  for (const TextPair& p : pairs) lookup_headwords.forward.add(fold_text(p.first, kFullMode));
  lookup_headwords.forward.seal();
  // A reverse pair the forward database gave too is not stored again: it
  // confirms the forward one, with the examples of its own entry.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(forward_pairs);
  for (std::size_t i = 0; i < forward_pairs; ++i) {
    keys[i] = {pair_key(pairs[i]), static_cast<std::uint32_t>(i)};
  }
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint32_t> reverse_examples(forward_pairs, 0);
  std::vector<char> confirmed(forward_pairs, 0);
  const PairFilter given_forward = [&](const TextPair& p, std::uint32_t quoted) {
    lookup_headwords.backward.add(fold_text(p.second, kFullMode));
    const std::uint64_t key = pair_key(p);
    bool known = false;
    for (auto it = std::lower_bound(keys.begin(), keys.end(), std::pair{key, std::uint32_t{0}});
         it != keys.end() && it->first == key; ++it) {
      const TextPair& f = pairs[it->second];
      if (f.first != p.first || f.second != p.second) continue;
      known = true;
      confirmed[it->second] = 1;
      reverse_examples[it->second] = std::max(reverse_examples[it->second], quoted);
    }
    return known;
  };
  {
    auto reverse = read_dictd_database(*reverse_base);
    if (auto* e = std::get_if<DictdError>(&reverse)) return *e;
    import_dictd_pairs(std::get<DictdDatabase>(reverse), true, side, pairs, report,
                       &forward_headwords, &examples, given_forward);
  }
  forward_headwords = {};
  lookup_headwords.backward.seal();
  // Of those both give, the ones whose entries carry the most examples (the
  // everyday senses) come first. Equal pairs are found by sorting on a hash
  // and comparing the texts of equal hashes; only the first of equal pairs
  // is kept, as the compiler would keep it.
  keys.resize(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    keys[i] = {pair_key(pairs[i]), static_cast<std::uint32_t>(i)};
  }
  std::sort(keys.begin(), keys.end());
  constexpr std::uint32_t kDropped = 0xFFFFFFFF;
  // rank 0 for a pair only one database gives, else 1 + its examples.
  std::vector<std::uint32_t> rank(pairs.size(), kDropped);
  std::size_t confirmed_count = 0;
  for (std::size_t g = 0; g < keys.size();) {
    std::size_t end = g;
    while (end < keys.size() && keys[end].first == keys[g].first) ++end;
    for (std::size_t i = g; i < end; ++i) {
      const std::uint32_t first = keys[i].second;
      if (rank[first] != kDropped) continue;
      const TextPair& p = pairs[first];
      bool both = false;
      std::uint32_t most = 0;
      for (std::size_t j = i; j < end; ++j) {
        const std::uint32_t other = keys[j].second;
        if (j > i && (rank[other] != kDropped || pairs[other].first != p.first ||
                      pairs[other].second != p.second)) {
          continue;
        }
        if (other < forward_pairs && confirmed[other]) {
          both = true;
          most = std::max(most, examples[other] + reverse_examples[other]);
        }
        if (j > i) rank[other] = kDropped - 1;  // a later copy of `first`
      }
      confirmed_count += both;
      rank[first] = both ? 1 + std::min<std::uint32_t>(most, 1000000) : 0;
    }
    g = end;
  }
  keys = {};
  std::vector<std::uint32_t> order;
  order.reserve(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (rank[i] < kDropped - 1) order.push_back(static_cast<std::uint32_t>(i));
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return rank[a] > rank[b]; });
  std::vector<TextPair> ordered;
  ordered.reserve(order.size());
  for (std::uint32_t i : order) ordered.push_back(std::move(pairs[i]));
  report.confirmed = confirmed_count;
  add_bare_forms(ordered, lookup_headwords, side.prefix_lists, report);
  return ordered;
}

}  // namespace lexvia
