#include "search/search_engine.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "dict/coding.h"
#include "dict/cp1252.h"
#include "dict/transliteration.h"
#include "search/collation.h"
#include "search/open_dictionary.h"

namespace lexvia {

namespace {

constexpr int kLevelsAhead = 6;

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

void SearchEngine::search_dictionary(std::string_view query, SearchMethod method,
                                     Direction direction) {
  s_.state.browse_position = -1;
  if (method != SearchMethod::kBrowse) s_.out.title_line(method, query);

  OpenDictionary dict(s_.index_reader, s_.translation_reader);
  if (auto result = dict.open(s_.path, direction, lent_, kept_.get());
      result != OpenDictionary::Result::kOpen) {
    OpenDictionary::report(result, s_.path, s_.out);
    return;
  }

  const SectionSpan& section = dict.section();
  std::vector<ProbeNode>* const probes = dict.probes();
  if (probes != nullptr && probes->empty()) probes->resize(LentTables::kProbeNodes);
  DecodedText decoded;
  auto run_pass = [&](std::string_view pass_query) {
    std::uint64_t lo = section.start;
    std::uint64_t hi = section.end;
    const PrefixKey key(pass_query);
    // lo only grows and hi only shrinks at every probe, and the pass ends as
    // soon as they meet or cross, so a damaged section cannot make it loop.
    // Levels whose probes were asked for ahead; none when the file is not
    // in memory, where a probe reads through the reader's window.
    int covered = s_.index_reader.memory().empty() ? -1 : 0;
    for (std::size_t node = 1; lo < hi;) {
      if (covered > 0) --covered;
      ProbeNode* const kept =
          probes != nullptr && node < probes->size() ? &(*probes)[node] : nullptr;
      std::uint64_t mid = 0;
      int r = 0;
      if (kept != nullptr && kept->known) {
        mid = kept->record;
        r = key.compare_key(kept->key);
      } else {
        // About where this probe and the next ones land, whichever halves
        // they take: asked for together, their waits overlap.
        if (covered == 0) {
          const std::uint64_t step = (hi - lo) >> kLevelsAhead;
          for (std::uint64_t at = lo + step; step != 0 && at < hi; at += step) {
            s_.index_reader.prefetch(at);
          }
          covered = kLevelsAhead;
        }
        mid = marker_back_to(s_.index_reader, lo + (hi - lo) / 2, lo);
        const std::uint8_t* record = s_.index_reader.pointer_at(mid);
        if (record == nullptr) return;
        if (kept != nullptr) {
          decode_record(record, dict.own(), decoded);
          *kept = {true, mid, next_marker(s_.index_reader, mid + 1),
                   prefix_sort_key(decoded.view())};
          r = key.compare_key(kept->key);
        } else {
          r = key.compare_record(record, dict.own());
        }
      }
      if (r == 0) {
        enumerate_matches(pass_query, key, method, mid, section, dict.own(), dict.other());
        return;
      }
      if (r > 0) {
        lo = kept != nullptr ? kept->after : next_marker(s_.index_reader, mid + 1);
        node = 2 * node + 1;
      } else {
        hi = mid;
        node = 2 * node;
      }
      if (s_.cancel.is_set()) return;
    }
  };

  if (method == SearchMethod::kPhrase || method == SearchMethod::kFull) {
    std::string list = utf16_to_cp1252(s_.prefixes.get_prefix_list(direction));
    // A list is bounded, and an item given twice runs once: a stored list of
    // a hundred thousand commas would otherwise search for minutes.
    if (list.size() > kMaxPrefixListBytes) list.resize(kMaxPrefixListBytes);
    std::vector<std::string_view> done;
    std::string_view rest = list;
    for (bool last = false; !last && done.size() < kMaxPrefixItems && !s_.cancel.is_set();) {
      // A comma takes precedence over a semicolon, wherever each stands.
      std::size_t cut = rest.find(',');
      if (cut == std::string_view::npos) cut = rest.find(';');
      last = cut == std::string_view::npos;
      const std::string_view piece = last ? rest : rest.substr(0, cut);
      if (std::find(done.begin(), done.end(), piece) == done.end()) {
        done.push_back(piece);
        run_pass(std::string(piece).append(query));
      }
      if (!last) rest.remove_prefix(cut + 1);
    }
  } else {
    run_pass(query);
  }
  dict.close();
}

void SearchEngine::enumerate_matches(std::string_view query, const PrefixKey& key,
                                     SearchMethod method, std::uint64_t hit,
                                     const SectionSpan& section, const DecodingTable& own,
                                     const DecodingTable& other) {
  // The walk stays within the headwords the query is a prefix of: the
  // folded query tells each of them from the first beyond with the first
  // letters that differ, so no headword is decoded further than that.
  const auto in_range = [&](std::uint64_t position) {
    const std::uint8_t* record = s_.translation_reader.pointer_at(position);
    if (record == nullptr) return false;
    return key.compare_record(record, own) == 0;
  };
  DecodedText headword;
  std::uint64_t p = hit;
  while (p > section.start && !s_.cancel.is_set()) {
    auto q = previous_marker(s_.index_reader, p - 1);
    if (!q || !in_range(*q)) break;
    p = *q;
  }
  if (method == SearchMethod::kBrowse) {
    list_browse_page(p, section, own, other);
    return;
  }
  s_.state.result_count = 0;
  s_.state.result_limit = 0xFFFFFFFF;
  // A section is sorted by the key, so the headwords whose key is the
  // query's whole come first in the run; where Exact and Phrase Search can
  // match no other, the walk ends after them.
  const bool whole_key_only = method == SearchMethod::kExact || method == SearchMethod::kPhrase;
  if (p >= section.end || !decode_at(s_.translation_reader, p, own, headword)) return;
  for (;;) {
    if (s_.cancel.is_set() || s_.state.result_count >= s_.state.result_limit) return;
    if (whole_key_only && !key.is_key_of(headword.view())) return;
    if (compare_query(query, headword.view(), kFullMode, method) == 0) {
      s_.out.headword_line(headword.view());
      list_translations(p, section.other_start, other);
    }
    p = next_marker(s_.index_reader, p + 1);
    // A headword with the query's whole key is in the run: Exact and Phrase
    // Search learn that from the key check above.
    if (p >= section.end || (!whole_key_only && !in_range(p))) return;
    if (!decode_at(s_.translation_reader, p, own, headword)) return;
  }
}

void SearchEngine::list_translations(std::uint64_t record, std::uint64_t other_start,
                                     const DecodingTable& other) {
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
    if (!decode_at(s_.translation_reader, target, other, translation)) continue;
    s_.out.translation_line(translation.view());
    ++s_.state.result_count;
  }
}

}  // namespace lexvia
