#include "search/search_engine.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "dict/coding.h"
#include "dict/cp1252.h"
#include "dict/transliteration.h"
#include "search/collation.h"
#include "search/open_dictionary.h"
#include "search/section_walk.h"

namespace lexvia {

namespace {

// The queries of the passes of Phrase and Full Search: each item of the
// prefix list in front of the query, in the list's order. A list is bounded,
// and an item given twice runs once: a stored list of a hundred thousand
// commas would otherwise search for minutes.
std::vector<std::string> prefixed_queries(std::string list, std::string_view query) {
  if (list.size() > kMaxPrefixListBytes) list.resize(kMaxPrefixListBytes);
  std::vector<std::string_view> done;
  std::vector<std::string> queries;
  std::string_view rest = list;
  for (bool last = false; !last && done.size() < kMaxPrefixItems;) {
    // A comma takes precedence over a semicolon, wherever each stands.
    std::size_t cut = rest.find(',');
    if (cut == std::string_view::npos) cut = rest.find(';');
    last = cut == std::string_view::npos;
    const std::string_view piece = last ? rest : rest.substr(0, cut);
    if (std::find(done.begin(), done.end(), piece) == done.end()) {
      done.push_back(piece);
      queries.push_back(std::string(piece).append(query));
    }
    if (!last) rest.remove_prefix(cut + 1);
  }
  return queries;
}

}  // namespace

std::string prepare_query(std::u16string_view typed, std::vector<Replacement>* replaced) {
  std::string query = utf16_to_cp1252_transliterated(
      typed.substr(0, std::min(typed.size(), kQueryUnits)), replaced);
  if (query.size() > kQueryUnits) query.resize(kQueryUnits);  // a fallback may be longer
  const auto first = query.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return query.substr(first, query.find_last_not_of(' ') - first + 1);
}

SearchEngine::SearchEngine(Services services) : s_(services) {}
SearchEngine::~SearchEngine() = default;

void SearchEngine::lend_file(FileSource* file) {
  lent_ = file;
  if (file != nullptr && !kept_) kept_ = std::make_unique<LentTables>();
  if (kept_) kept_->file = nullptr;  // another file's tables, or none
}

bool SearchEngine::open(OpenDictionary& dict, Direction direction) {
  const auto result = dict.open(s_.path, direction, lent_, kept_.get());
  OpenDictionary::report(result, s_.path, s_.out);
  return result == OpenDictionary::Result::kOpen;
}

void SearchEngine::search_dictionary(std::string_view query, SearchMethod method,
                                     Direction direction) {
  s_.state.browse_position = -1;
  if (method != SearchMethod::kBrowse) s_.out.title_line(method, query);
  OpenDictionary dict(s_.index_reader, s_.translation_reader);
  if (!open(dict, direction)) return;
  if (method != SearchMethod::kPhrase && method != SearchMethod::kFull) {
    // Extended Search may list only phrases that begin with the query
    // ("kutyát érõ" for "kutyát"): the word itself was still not found.
    const std::size_t found = search_pass(dict, query, method);
    if (found == 0 && method != SearchMethod::kBrowse && forms_ != nullptr &&
        !s_.cancel.is_set()) {
      list_base_forms(dict, query);
    }
    return;
  }
  for (const std::string& pass : prefixed_queries(
           utf16_to_cp1252(s_.prefixes.get_prefix_list(direction)), query)) {
    if (s_.cancel.is_set()) return;
    search_pass(dict, pass, method);
  }
}

std::size_t SearchEngine::search_pass(const OpenDictionary& dict, std::string_view query,
                                      SearchMethod method, std::string_view form_of) {
  const PrefixKey key(query);
  const SectionBound bound = lower_bound(s_.index_reader, dict, key);
  if (!bound.matches) return 0;
  if (method == SearchMethod::kBrowse) {
    list_browse_page(dict, bound.record);
    return 1;  // a page, never followed by base forms
  }
  return list_matches(dict, query, key, method, bound.record, form_of);
}

void SearchEngine::list_base_forms(const OpenDictionary& dict, std::string_view query) {
  if (dict.language().empty()) return;
  const auto same = [](std::string_view a, std::string_view b) {
    return compare_query(a, b, kFullMode, SearchMethod::kExact) == 0;
  };
  // Hunspell proposes stems that are no word of the dictionary (en_US takes
  // "replies" for a form of "ply"), and the same stem in two letter cases:
  // only a base that is a headword is listed, in Hunspell's order, once.
  std::vector<std::string> shown;
  for (const std::string& base : forms_->base_forms(dict.language(), query)) {
    if (s_.cancel.is_set() || shown.size() >= kMaxBaseForms) return;
    if (same(base, query) || std::any_of(shown.begin(), shown.end(), [&](const std::string& s) {
          return same(base, s);
        })) {
      continue;
    }
    if (search_pass(dict, base, SearchMethod::kExact, query) > 0) shown.push_back(base);
  }
}

std::size_t SearchEngine::list_matches(const OpenDictionary& dict, std::string_view query,
                                       const PrefixKey& key, SearchMethod method,
                                       std::uint64_t first, std::string_view form_of) {
  const SectionSpan& section = dict.section();
  s_.state.result_count = 0;
  s_.state.result_limit = 0xFFFFFFFF;
  // The walk stays within the headwords the query is a prefix of: the
  // folded query tells each of them from the first beyond with the first
  // letters that differ, so no headword is decoded further than that.
  const auto in_range = [&](std::uint64_t position) {
    const std::uint8_t* record = s_.translation_reader.pointer_at(position);
    return record != nullptr && key.compare_record(record, dict.own()) == 0;
  };
  // A section is sorted by the key, so the headwords whose key is the
  // query's whole come first in the run; where Exact and Phrase Search can
  // match no other, the walk ends after them.
  const bool whole_key_only = method == SearchMethod::kExact || method == SearchMethod::kPhrase;
  DecodedText headword;
  std::size_t listed = 0;
  std::size_t whole = 0;  // of those, headwords that are the query itself
  std::uint64_t p = first;
  if (p >= section.end || !decode_at(s_.translation_reader, p, dict.own(), headword)) return 0;
  for (;;) {
    if (s_.cancel.is_set() || s_.state.result_count >= s_.state.result_limit) return whole;
    if (whole_key_only && !key.is_key_of(headword.view())) return whole;
    if (compare_query(query, headword.view(), kFullMode, method) == 0) {
      // The headword found names the base, not Hunspell's spelling of it
      // ("haus" for "Haus").
      if (listed == 0 && !form_of.empty()) s_.out.base_form_line(form_of, headword.view());
      s_.out.headword_line(headword.view());
      ++listed;
      if (method == SearchMethod::kExact ||
          compare_query(query, headword.view(), kFullMode, SearchMethod::kExact) == 0) {
        ++whole;
      }
      list_translations(dict, p);
    }
    p = next_marker(s_.index_reader, p + 1);
    // A headword with the query's whole key is in the run: Exact and Phrase
    // Search learn that from the key check above.
    if (p >= section.end || (!whole_key_only && !in_range(p))) return whole;
    if (!decode_at(s_.translation_reader, p, dict.own(), headword)) return whole;
  }
}

void SearchEngine::list_translations(const OpenDictionary& dict, std::uint64_t record) {
  const std::uint64_t other_start = dict.section().other_start;
  const auto length = static_cast<std::uint8_t>(s_.index_reader.byte_at(record + 1));
  if (const std::span<const std::uint8_t> memory = s_.index_reader.memory(); !memory.empty()) {
    // Past the end of the file a read fails, which ends the scan as a marker would.
    for (std::uint64_t r = record + 2 + length; r < memory.size() && memory[r] != kMarker;
         r += kReferenceSize) {
      s_.translation_reader.prefetch(other_start + get_reference(memory.data() + r));
    }
  }
  DecodedText translation;
  for (std::uint64_t r = record + 2 + length; s_.index_reader.byte_at(r) != -1;
       r += kReferenceSize) {
    if (s_.state.result_count >= s_.state.result_limit) return;
    const std::uint8_t* digits = s_.index_reader.pointer_at(r);
    if (digits == nullptr) return;
    const std::uint64_t target = other_start + get_reference(digits);
    // A reference that leads out of the file lists nothing.
    if (!decode_at(s_.translation_reader, target, dict.other(), translation)) continue;
    s_.out.translation_line(translation.view());
    ++s_.state.result_count;
  }
}

}  // namespace lexvia
