#include "search/section_walk.h"

#include "search/suggestions.h"

namespace lexvia {

namespace {

// Levels of the binary search whose records are asked for at once.
constexpr int kLevelsAhead = 6;

}  // namespace

namespace {

// One probe of a binary search over [lo, hi): the record in the middle,
// the one after it (known only when the key sorts after it) and how the
// key compares with it. A kept node answers without reading the record, and
// an unknown kept node is filled in. Nothing when the record cannot be read.
struct Probe {
  std::uint64_t mid = 0;
  std::uint64_t after = 0;
  int compared = 0;
};

// Inlined: a lookup's search runs it at every level, where a call costs
// as much as comparing with a kept key.
[[gnu::always_inline]] inline std::optional<Probe> probe_at(WindowedReader& reader,
                                                            const OpenDictionary& dict,
                                                            const PrefixKey& key, std::uint64_t lo,
                                                            std::uint64_t hi, ProbeNode* kept) {
  Probe probe;
  if (kept != nullptr && kept->known) {
    probe = {kept->record, kept->after, key.compare_key(kept->key)};
    return probe;
  }
  probe.mid = marker_back_to(reader, lo + (hi - lo) / 2, lo);
  const std::uint8_t* record = reader.pointer_at(probe.mid);
  if (record == nullptr) return std::nullopt;
  if (kept != nullptr) {
    DecodedText decoded;
    decode_record(record, dict.own(), decoded);
    *kept = {true, probe.mid, next_marker(reader, probe.mid + 1), prefix_sort_key(decoded.view())};
    probe.after = kept->after;
    probe.compared = key.compare_key(kept->key);
  } else {
    probe.compared = key.compare_record(record, dict.own());
    if (probe.compared > 0) probe.after = next_marker(reader, probe.mid + 1);
  }
  return probe;
}

// The kept node `node` of the lent file's probes, or null past them or
// without any. Node n's children are 2n and 2n + 1.
ProbeNode* kept_node(std::vector<ProbeNode>* probes, std::size_t node) {
  return probes != nullptr && node < probes->size() ? &(*probes)[node] : nullptr;
}

std::vector<ProbeNode>* kept_probes(const OpenDictionary& dict) {
  std::vector<ProbeNode>* const probes = dict.probes();
  if (probes != nullptr && probes->empty()) probes->resize(LentTables::kProbeNodes);
  return probes;
}

}  // namespace

SectionBound lower_bound(WindowedReader& reader, const OpenDictionary& dict, const PrefixKey& key) {
  const SectionSpan& section = dict.section();
  std::vector<ProbeNode>* const probes = kept_probes(dict);
  std::uint64_t lo = section.start;
  std::uint64_t hi = section.end;
  bool hi_matches = false;  // the record at hi begins with the key
  // Levels whose probes were asked for ahead; none when the file is not in
  // memory, where a probe reads through the reader's window.
  int covered = reader.memory().empty() ? -1 : 0;
  for (std::size_t node = 1; lo < hi;) {
    if (covered > 0) --covered;
    ProbeNode* const kept = kept_node(probes, node);
    // About where this probe and the next ones land, whichever halves they
    // take: asked for together, their waits overlap.
    if (covered == 0 && (kept == nullptr || !kept->known)) {
      const std::uint64_t step = (hi - lo) >> kLevelsAhead;
      for (std::uint64_t at = lo + step; step != 0 && at < hi; at += step) reader.prefetch(at);
      covered = kLevelsAhead;
    }
    const auto probe = probe_at(reader, dict, key, lo, hi, kept);
    if (!probe) return {section.end, false};
    if (probe->compared > 0) {
      lo = probe->after;
      node = 2 * node + 1;
    } else {
      hi = probe->mid;
      hi_matches = probe->compared == 0;
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
    std::size_t node;
  };
  std::vector<ProbeNode>* const probes = kept_probes(dict);
  std::vector<Search> searches;
  searches.reserve(keys.size());
  for (const std::string& key : keys) {
    searches.push_back({PrefixKey(key), dict.section().start, dict.section().end, 1});
  }
  for (bool open = true; open;) {
    open = false;
    for (const Search& s : searches) {
      const ProbeNode* kept = kept_node(probes, s.node);
      if (s.lo < s.hi && (kept == nullptr || !kept->known)) reader.prefetch(s.lo + (s.hi - s.lo) / 2);
    }
    for (Search& s : searches) {
      if (s.lo >= s.hi) continue;
      open = true;
      const auto probe = probe_at(reader, dict, s.key, s.lo, s.hi, kept_node(probes, s.node));
      if (!probe) {
        s.lo = s.hi;
      } else if (probe->compared > 0) {
        s.lo = probe->after;
        s.node = 2 * s.node + 1;
      } else {
        s.hi = probe->mid;
        s.node = 2 * s.node;
      }
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
