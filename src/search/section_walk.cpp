#include "search/section_walk.h"

#include "search/suggestions.h"

namespace lexvia {

namespace {

// Levels of the binary search whose records are asked for at once.
constexpr int kLevelsAhead = 6;

}  // namespace

SectionBound lower_bound(WindowedReader& reader, const OpenDictionary& dict, const PrefixKey& key) {
  const SectionSpan& section = dict.section();
  std::vector<ProbeNode>* const probes = dict.probes();
  if (probes != nullptr && probes->empty()) probes->resize(LentTables::kProbeNodes);
  std::uint64_t lo = section.start;
  std::uint64_t hi = section.end;
  bool hi_matches = false;  // the record at hi begins with the key
  // Levels whose probes were asked for ahead; none when the file is not in
  // memory, where a probe reads through the reader's window.
  int covered = reader.memory().empty() ? -1 : 0;
  // Node n's children are 2n and 2n + 1, as the kept probes are laid out.
  for (std::size_t node = 1; lo < hi;) {
    if (covered > 0) --covered;
    ProbeNode* const kept = probes != nullptr && node < probes->size() ? &(*probes)[node] : nullptr;
    std::uint64_t mid = 0;
    std::uint64_t after = 0;
    int r = 0;
    if (kept != nullptr && kept->known) {
      mid = kept->record;
      after = kept->after;
      r = key.compare_key(kept->key);
    } else {
      // About where this probe and the next ones land, whichever halves
      // they take: asked for together, their waits overlap.
      if (covered == 0) {
        const std::uint64_t step = (hi - lo) >> kLevelsAhead;
        for (std::uint64_t at = lo + step; step != 0 && at < hi; at += step) reader.prefetch(at);
        covered = kLevelsAhead;
      }
      mid = marker_back_to(reader, lo + (hi - lo) / 2, lo);
      const std::uint8_t* record = reader.pointer_at(mid);
      if (record == nullptr) return {section.end, false};
      if (kept != nullptr) {
        DecodedText decoded;
        decode_record(record, dict.own(), decoded);
        after = next_marker(reader, mid + 1);
        *kept = {true, mid, after, prefix_sort_key(decoded.view())};
        r = key.compare_key(kept->key);
      } else {
        r = key.compare_record(record, dict.own());
      }
    }
    if (r > 0) {
      lo = kept != nullptr ? after : next_marker(reader, mid + 1);
      node = 2 * node + 1;
    } else {
      hi = mid;
      hi_matches = r == 0;
      node = 2 * node;
    }
  }
  return {lo, lo == hi && hi_matches};
}

std::vector<std::uint64_t> lower_bounds(WindowedReader& reader, const OpenDictionary& dict,
                                        const std::vector<std::string>& keys) {
  struct Search {
    PrefixKey key;
    std::uint64_t lo;
    std::uint64_t hi;
  };
  std::vector<Search> searches;
  searches.reserve(keys.size());
  for (const std::string& key : keys) {
    searches.push_back({PrefixKey(key), dict.section().start, dict.section().end});
  }
  for (bool open = true; open;) {
    open = false;
    for (const Search& s : searches) {
      if (s.lo < s.hi) reader.prefetch(s.lo + (s.hi - s.lo) / 2);
    }
    for (Search& s : searches) {
      if (s.lo >= s.hi) continue;
      const std::uint64_t mid = marker_back_to(reader, s.lo + (s.hi - s.lo) / 2, s.lo);
      const std::uint8_t* record = reader.pointer_at(mid);
      if (record == nullptr) {
        s.lo = s.hi;
      } else if (s.key.compare_record(record, dict.own()) > 0) {
        s.lo = next_marker(reader, mid + 1);
      } else {
        s.hi = mid;
      }
      open = true;
    }
  }
  std::vector<std::uint64_t> found;
  found.reserve(searches.size());
  for (const Search& s : searches) found.push_back(s.lo);
  return found;
}

std::optional<std::uint64_t> record_before(WindowedReader& reader, const SectionSpan& section,
                                           std::uint64_t record) {
  if (record <= section.start) return std::nullopt;
  const auto before = previous_marker(reader, record - 1);
  if (!before || *before < section.start) return std::nullopt;
  return before;
}

std::vector<std::string> prefix_run(const OpenDictionary& dict, std::string_view query,
                                    std::size_t most) {
  const PrefixKey key(query);
  std::vector<std::string> found;
  const SectionBound bound = lower_bound(dict.index(), dict, key);
  if (!bound.matches) return found;
  DecodedText headword;
  for (std::uint64_t p = bound.record; p < dict.section().end && found.size() < most;
       p = next_marker(dict.index(), p + 1)) {
    const std::uint8_t* record = dict.translation().pointer_at(p);
    if (record == nullptr || key.compare_record(record, dict.own()) != 0) break;
    decode_record(record, dict.own(), headword);
    found.emplace_back(headword.view());
  }
  return found;
}

std::vector<std::string> one_edit_away(const OpenDictionary& dict, std::string_view query,
                                       std::size_t most) {
  const std::string folded = fold_text(query, kFullMode);
  std::vector<std::string> found;
  DecodedText headword;
  for (std::uint64_t p = dict.section().start; p < dict.section().end && found.size() < most;
       p = next_marker(dict.index(), p + 1)) {
    if (!decode_at(dict.index(), p, dict.own(), headword)) break;
    const std::string_view text = headword.view();
    // Folding changes a length by little; a text far longer or shorter is
    // no near miss and need not be folded.
    if (text.size() + 4 < folded.size() || text.size() > folded.size() + 8) continue;
    if (bounded_edit_distance(folded, fold_text(text, kFullMode), 1) <= 1) found.emplace_back(text);
  }
  return found;
}

}  // namespace lexvia
