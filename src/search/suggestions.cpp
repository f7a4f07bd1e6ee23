#include "search/suggestions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <tuple>
#include <utility>
#include <cstdlib>

#include "search/collation.h"
#include "search/near_index.h"
#include "search/open_dictionary.h"
#include "search/section_walk.h"

namespace lexvia {

namespace {

// Records read before and after each probed place.
constexpr int kBefore = 4;
constexpr int kAfter = 12;
// The probes for a first letter changed or added, and the records read at each.
constexpr int kFirstLetterProbes = 2 * 26;
constexpr int kFirstLetterReads = 2;

struct Candidate {
  std::uint64_t position;
  int distance;
  std::string text;
};

// Whether a headword of this (unfolded) text can be within `bound` edits of
// a folded query of `folded` bytes. Full folding stops at a NUL and turns a
// byte into one or two (only ß becomes two), so the folded headword is at
// least as long as the text and at most twice; one whose length alone puts
// it too far away need not be folded.
bool may_be_near(std::string_view text, std::size_t folded, std::size_t bound) {
  const std::size_t length = std::min(text.size(), text.find('\0'));
  return length <= folded + bound && 2 * length + bound >= folded;
}

// The distance by the table itself, for texts too long for DistanceFrom's
// machine words.
int banded_edit_distance(std::string_view a, std::string_view b, int bound) {
  const auto m = static_cast<int>(a.size());
  const auto n = static_cast<int>(b.size());
  const int over = bound + 1;
  if (std::abs(m - n) > bound) return over;
  // Three rows of the table: two back for a swap. A cell (i, j) holds at
  // least |i - j|, so only those within `bound` of the diagonal are worked
  // out; the ones just outside that band read as `over`.
  constexpr int kOnStack = 64;
  std::array<int, 3 * (kOnStack + 1)> on_stack;
  std::vector<int> on_heap;
  int* cells = on_stack.data();
  if (n > kOnStack) {
    on_heap.resize(3 * static_cast<std::size_t>(n + 1));
    cells = on_heap.data();
  }
  int* before = cells;
  int* previous = cells + n + 1;
  int* row = previous + n + 1;
  for (int j = 0; j <= n; ++j) previous[j] = std::min(j, over);
  for (int i = 1; i <= m; ++i) {
    const int first = std::max(1, i - bound);
    const int last = std::min(n, i + bound);
    row[first - 1] = first == 1 ? std::min(i, over) : over;
    int smallest = row[first - 1];
    for (int j = first; j <= last; ++j) {
      const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
      smallest = std::min(smallest, row[j]);
    }
    if (last < n) row[last + 1] = over;
    if (smallest > bound) return over;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return std::min(previous[n], over);
}

// The edit distance from one text to many others by the bit-vector method
// (Hyyrö's, with neighbour swaps): a column of the table is held in a few
// machine words as the steps between its cells, so a byte of the other
// text costs a dozen operations where the table's band costs dozens. A
// text longer than a machine word has bits is measured by the table.
class DistanceFrom {
 public:
  static constexpr std::size_t kLongest = 64;
  explicit DistanceFrom(std::string_view a) : a_(a) {
    if (a.size() > kLongest) return;
    for (std::size_t i = 0; i < a.size(); ++i) {
      positions_[static_cast<std::uint8_t>(a[i])] |= std::uint64_t{1} << i;
    }
  }

  int bounded(std::string_view b, int bound) const {
    const auto m = static_cast<int>(a_.size());
    const auto n = static_cast<int>(b.size());
    const int over = bound + 1;
    if (std::abs(m - n) > bound) return over;
    if (a_.size() > kLongest) return banded_edit_distance(a_, b, bound);
    if (m == 0) return std::min(n, over);
    const std::uint64_t last = std::uint64_t{1} << (m - 1);
    // The column's vertical steps up (vp) and down (vn); d0: the cells
    // that stayed on the diagonal.
    std::uint64_t vp = ~std::uint64_t{0};
    std::uint64_t vn = 0;
    std::uint64_t d0 = 0;
    std::uint64_t previous = 0;  // the positions of the other text's byte before
    int score = m;
    for (int j = 0; j < n; ++j) {
      const std::uint64_t pm = positions_[static_cast<std::uint8_t>(b[j])];
      const std::uint64_t swap = ((~d0 & pm) << 1) & previous;
      d0 = (((pm & vp) + vp) ^ vp) | pm | vn | swap;
      std::uint64_t hp = vn | ~(d0 | vp);
      std::uint64_t hn = d0 & vp;
      if ((hp & last) != 0) {
        ++score;
      } else if ((hn & last) != 0) {
        --score;
      }
      // The bottom cell changes by one a column at most.
      if (score - (n - j - 1) > bound) return over;
      hp = (hp << 1) | 1;
      hn <<= 1;
      vp = hn | ~(d0 | hp);
      vn = d0 & hp;
      previous = pm;
    }
    return std::min(score, over);
  }

 private:
  std::string_view a_;
  std::array<std::uint64_t, 256> positions_{};  // bit i of byte c's: a[i] is c
};

// The records of the section reached by its walks: a place is a record's
// position. The records a call has read are kept in an open addressing
// table sized to the most it can read, so that each is weighed once.
class WalkedPlaces {
 public:
  WalkedPlaces(const OpenDictionary& dict, std::size_t most)
      : dict_(dict), seen_(std::bit_ceil(4 * most + 16), kEmpty) {}
  std::vector<std::uint64_t> bounds(const std::vector<std::string>& keys) {
    return lower_bounds(dict_.index(), dict_, keys);
  }
  std::optional<std::uint64_t> before(std::uint64_t place) {
    return record_before(dict_.index(), dict_.section(), place);
  }
  std::uint64_t next(std::uint64_t place) { return next_marker(dict_.index(), place + 1); }
  bool at_end(std::uint64_t place) const { return place >= dict_.section().end; }
  std::uint64_t position(std::uint64_t place) const { return place; }
  // False when the record was read already.
  bool first_visit(std::uint64_t place) {
    const std::size_t mask = seen_.size() - 1;
    for (std::size_t i = (place * 0x9E3779B97F4A7C15u) >> 20 & mask;; i = (i + 1) & mask) {
      if (seen_[i] == place) return false;
      if (seen_[i] == kEmpty) {
        seen_[i] = place;
        return true;
      }
    }
  }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  const OpenDictionary& dict_;
  std::vector<std::uint64_t> seen_;
};

// Sort keys one after another in one string, so that a search's steps
// stay in few cache lines.
struct KeyList {
  std::string bytes;
  std::vector<std::uint32_t> ends;

  void add(std::string_view key) {
    bytes += key;
    ends.push_back(static_cast<std::uint32_t>(bytes.size()));
  }
  std::string_view operator[](std::size_t n) const {
    const std::uint32_t start = n == 0 ? 0 : ends[n - 1];
    return std::string_view(bytes).substr(start, ends[n] - start);
  }
  std::size_t size() const { return ends.size(); }
};

// Every record's position in a section of a file in memory, the sort key of
// every kStep-th record and of every kStep-th of those: a search runs over
// the few coarse keys (which stay in the cache from one search to the
// next), then over the kStep finer ones between two of them, then over the
// kStep records between two of those.
struct SectionTable {
  static constexpr std::size_t kStep = 8;
  const FileSource* file = nullptr;  // whose section this is; null for none
  Direction direction = Direction::kFrom1;
  bool usable = false;  // false when a record could not be read
  std::vector<std::uint32_t> records;
  KeyList fine;    // of records 0, kStep, 2 kStep, ...
  KeyList coarse;  // of records 0, kStep^2, 2 kStep^2, ...
  std::vector<std::uint32_t> stamps;  // the call that last read each record
  std::uint32_t call = 0;

  // Made once for the file and direction; a section with a record that
  // cannot be read is left to the walks.
  void build(const OpenDictionary& dict, const FileSource* lent, Direction d) {
    file = lent;
    direction = d;
    usable = false;
    records.clear();
    fine = {};
    coarse = {};
    WindowedReader& index = dict.index();
    DecodedText text;
    for (std::uint64_t p = dict.section().start; p < dict.section().end;
         p = next_marker(index, p + 1)) {
      if (records.size() % kStep == 0) {
        if (!decode_at(index, p, dict.own(), text)) return;
        const std::string key = prefix_sort_key(text.view());
        if (records.size() % (kStep * kStep) == 0) coarse.add(key);
        fine.add(key);
      }
      records.push_back(static_cast<std::uint32_t>(p));
    }
    stamps.assign(records.size(), 0);
    call = 0;
    usable = true;
  }
};

// The first of [lo, hi) that does not sort before the key, by binary
// search; hi when every one does.
template <class SortsBefore>
std::size_t first_not_before(std::size_t lo, std::size_t hi, SortsBefore sorts_before) {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (sorts_before(mid)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// Where the answer lies one level finer, given the first `coarse` entry
// that does not sort before the key: after the entry before it, up to it
// (or up to the end, `count`). An entry stands for every kStep-th finer one.
std::pair<std::size_t, std::size_t> finer_range(std::size_t coarse, std::size_t count) {
  if (coarse == 0) return {0, 0};
  return {(coarse - 1) * SectionTable::kStep + 1, std::min(coarse * SectionTable::kStep, count)};
}

// The records of the section reached through its table: a place is a
// record's number.
class TabledPlaces {
 public:
  TabledPlaces(const OpenDictionary& dict, SectionTable& table) : dict_(dict), table_(table) {
    if (++table_.call == 0) {  // the stamps have come round: forget them all
      std::fill(table_.stamps.begin(), table_.stamps.end(), 0);
      table_.call = 1;
    }
  }
  std::vector<std::uint64_t> bounds(const std::vector<std::string>& keys) const {
    std::vector<std::uint64_t> found;
    found.reserve(keys.size());
    for (const std::string& key : keys) found.push_back(bound(PrefixKey(key)));
    return found;
  }
  std::optional<std::uint64_t> before(std::uint64_t place) const {
    if (place == 0) return std::nullopt;
    return place - 1;
  }
  std::uint64_t next(std::uint64_t place) const { return place + 1; }
  bool at_end(std::uint64_t place) const { return place >= table_.records.size(); }
  std::uint64_t position(std::uint64_t place) const { return table_.records[place]; }
  bool first_visit(std::uint64_t place) {
    if (table_.stamps[place] == table_.call) return false;
    table_.stamps[place] = table_.call;
    return true;
  }

 private:
  // The number of the first record that does not sort before the key, as
  // the walks' lower bound finds it.
  std::uint64_t bound(const PrefixKey& key) const {
    const auto after = [&key](const KeyList& keys) {
      return [&key, &keys](std::size_t n) { return key.compare_key(keys[n]) > 0; };
    };
    const std::size_t coarse = first_not_before(0, table_.coarse.size(), after(table_.coarse));
    auto [lo, hi] = finer_range(coarse, table_.fine.size());
    const std::size_t fine = first_not_before(lo, hi, after(table_.fine));
    std::tie(lo, hi) = finer_range(fine, table_.records.size());
    return first_not_before(lo, hi, [this, &key](std::size_t n) {
      const std::uint8_t* record = dict_.index().pointer_at(table_.records[n]);
      return record != nullptr && key.compare_record(record, dict_.own()) > 0;
    });
  }

  const OpenDictionary& dict_;
  SectionTable& table_;
};

struct Found {
  std::vector<Candidate> candidates;
  // How many are one edit away.
  std::ptrdiff_t near() const {
    return std::count_if(candidates.begin(), candidates.end(),
                         [](const Candidate& c) { return c.distance == 1; });
  }
};

// The records around each probe's place, `before` it and `after`, weighed
// against the folded query.
template <class Places>
void read_around(Places& places, const OpenDictionary& dict, const std::string& folded,
                 const std::vector<std::string>& probes, int before, int after, Found& found) {
  const DistanceFrom query(folded);
  DecodedText text;
  std::string headword;  // folded
  for (std::uint64_t p : places.bounds(probes)) {
    for (int back = 0; back < before; ++back) {
      const auto q = places.before(p);
      if (!q) break;
      p = *q;
    }
    for (int read = 0; read < before + after && !places.at_end(p); ++read, p = places.next(p)) {
      if (!places.first_visit(p)) continue;
      const std::uint64_t position = places.position(p);
      if (!decode_at(dict.translation(), position, dict.own(), text)) break;
      if (!may_be_near(text.view(), folded.size(), 2)) continue;
      fold_text_into(text.view(), kFullMode, headword);
      const int distance = query.bounded(headword, 2);
      if (distance >= 1 && distance <= 2) {
        found.candidates.push_back({position, distance, std::string(text.view())});
      }
    }
  }
}

// The probes around the query itself, each of its one-letter deletions and
// neighbour swaps, and its beginnings of at least half the word.
std::vector<std::string> near_probes(const std::string& folded) {
  std::vector<std::string> probes = {folded};
  for (std::size_t i = 0; i < folded.size(); ++i) {
    probes.push_back(folded.substr(0, i) + folded.substr(i + 1));
    if (i + 1 < folded.size()) {
      std::string swapped = folded;
      std::swap(swapped[i], swapped[i + 1]);
      probes.push_back(std::move(swapped));
    }
    // Shorter beginnings start runs too long to find anything in the few
    // records read.
    if (i > 0 && 2 * i >= folded.size()) probes.push_back(folded.substr(0, i));
  }
  return probes;
}

// Each letter a-z in the first letter's place or in front of it.
std::vector<std::string> first_letter_probes(const std::string& folded) {
  std::vector<std::string> probes;
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    if (letter != folded[0]) probes.push_back(letter + folded.substr(1));
    probes.push_back(letter + folded);
  }
  return probes;
}

template <class Places>
Found find_candidates(Places& places, const OpenDictionary& dict, const std::string& folded,
                      std::size_t most) {
  Found found;
  read_around(places, dict, folded, near_probes(folded), kBefore, kAfter, found);
  // Fewer than asked for one edit away: perhaps the first letter is wrong
  // or missing, which moves the word to another letter's part of the
  // section. Those parts are probed only then, since they cost a search
  // each; such a word would stand right where its probe does.
  if (found.near() < static_cast<std::ptrdiff_t>(most)) {
    read_around(places, dict, folded, first_letter_probes(folded), 0, kFirstLetterReads, found);
  }
  return found;
}

// The most candidates the index names for one query that are read: a
// query of many short keys in a big dictionary stops there.
constexpr std::size_t kMostIndexCandidates = 4096;

// The candidates the index names, each read and measured, then the records
// from where the query itself would stand (which catch letters missing at
// its end, the one kind of miss the keys leave out that people often make).
// Records are visited in section order, each found from the nearest place
// the index keeps by stepping over markers.
Found find_by_index(const NearIndex& near, Direction direction, const OpenDictionary& dict,
                    const std::string& folded) {
  std::vector<std::uint64_t> hashes;
  near_probe_hashes(folded, hashes);
  std::vector<std::uint32_t> records;
  near.candidates(direction, hashes, records, kMostIndexCandidates);
  WindowedReader& index = dict.index();
  const SectionSpan& section = dict.section();
  Found found;
  const DistanceFrom query(folded);
  DecodedText text;
  std::string headword;
  std::vector<std::uint64_t> weighed;
  const auto weigh = [&](std::uint64_t position) {
    // Only a record's start: an index made for other bytes may point
    // anywhere, and a text decoded from the middle of a record is none.
    const std::uint8_t* record = index.pointer_at(position);
    if (record == nullptr || *record != 0xFF ||
        !decode_at(dict.translation(), position, dict.own(), text)) {
      return;
    }
    weighed.push_back(position);
    if (!may_be_near(text.view(), folded.size(), 2)) return;
    fold_text_into(text.view(), kFullMode, headword);
    const int distance = query.bounded(headword, 2);
    if (distance >= 1 && distance <= 2) {
      found.candidates.push_back({position, distance, std::string(text.view())});
    }
  };
  std::uint64_t place = section.end;
  std::uint32_t at = 0;  // the number of the record at `place`
  for (const std::uint32_t r : records) {
    if (place >= section.end || r < at || r - at >= NearIndex::kPlaceStep) {
      const std::uint32_t group = r / NearIndex::kPlaceStep;
      place = near.place(direction, group).value_or(section.end);
      at = group * NearIndex::kPlaceStep;
      if (place < section.start) place = section.end;
    }
    for (; at < r && place < section.end; ++at) place = next_marker(index, place + 1);
    if (place < section.end) weigh(place);
  }
  std::uint64_t p = lower_bound(index, dict, PrefixKey(folded)).record;
  for (int read = 0; read < kAfter && p < section.end; ++read, p = next_marker(index, p + 1)) {
    if (std::find(weighed.begin(), weighed.end(), p) == weighed.end()) weigh(p);
  }
  return found;
}

// The nearest first, then in section order; each text once.
std::vector<std::string> best_of(Found& found, std::size_t most) {
  std::vector<Candidate>& candidates = found.candidates;
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.position < b.position;
  });
  std::vector<std::string> suggestions;
  for (const Candidate& c : candidates) {
    if (suggestions.size() == most) break;
    if (std::find(suggestions.begin(), suggestions.end(), c.text) == suggestions.end()) {
      suggestions.push_back(c.text);
    }
  }
  return suggestions;
}

}  // namespace

struct KeptSuggestionTables::State {
  LentTables tables;
  SectionTable section;
  // The lent file's index, opened at the first miss.
  const FileSource* near_file = nullptr;
  std::string near_path;
  std::unique_ptr<NearIndex> near;
};

KeptSuggestionTables::KeptSuggestionTables() = default;
KeptSuggestionTables::~KeptSuggestionTables() = default;

KeptSuggestionTables::State& KeptSuggestionTables::state() {
  if (!state_) state_ = std::make_unique<State>();
  return *state_;
}

int bounded_edit_distance(std::string_view a, std::string_view b, int bound) {
  return DistanceFrom(a).bounded(b, bound);
}

std::vector<std::string> suggest_headwords(const DictionaryPath& path, Direction direction,
                                           std::string_view query, std::size_t most,
                                           FileSource* lent, KeptSuggestionTables* kept) {
  std::unique_ptr<MappedFile> mapping;
  if (lent == nullptr && path) {
    // A mapping of the call's own may take the address of an earlier one:
    // what was kept for that one must not be taken for its.
    kept = nullptr;
    mapping = MappedFile::map(*path, MappedFile::kLargestDictionary);
    lent = mapping.get();  // null when it cannot be mapped: the path is read as always
  }
  WindowedReader index;
  WindowedReader translation;
  OpenDictionary dict(index, translation);
  KeptSuggestionTables::State* const state = kept != nullptr ? &kept->state() : nullptr;
  if (dict.open(path, direction, lent, state != nullptr ? &state->tables : nullptr) !=
      OpenDictionary::Result::kOpen) {
    return {};
  }
  const std::string folded = fold_text(query, kFullMode);
  if (folded.empty() || most == 0) return {};

  Found found;
  const NearIndex* near = nullptr;
  std::unique_ptr<NearIndex> own_near;
  if (lent != nullptr && path) {
    const std::string near_path = near_index_path(*path);
    if (state == nullptr) {
      own_near = NearIndex::open(near_path, *lent, nullptr, false);
      near = own_near.get();
    } else {
      if (state->near_file != lent || state->near_path != near_path) {
        state->near = NearIndex::open(near_path, *lent);
        state->near_file = lent;
        state->near_path = near_path;
      }
      near = state->near.get();
    }
  }
  if (near != nullptr && near->table(direction) != nullptr && folded.size() <= kNearLongest &&
      folded.find(' ') == std::string::npos) {
    found = find_by_index(*near, direction, dict, folded);
    return best_of(found, most);
  }
  SectionTable* table = state != nullptr ? &state->section : nullptr;
  // Only a file in memory is worth the table: read through the system, its
  // records would cost a read each to list.
  if (table != nullptr && !index.memory().empty() &&
      (table->file != lent || table->direction != direction)) {
    table->build(dict, lent, direction);
  }
  if (table != nullptr && (index.memory().empty() || !table->usable)) table = nullptr;
  if (table != nullptr) {
    TabledPlaces places(dict, *table);
    found = find_candidates(places, dict, folded, most);
  } else {
    const std::size_t probes = 3 * folded.size() + 1;
    WalkedPlaces places(dict, probes * (kBefore + kAfter) + kFirstLetterProbes * kFirstLetterReads);
    found = find_candidates(places, dict, folded, most);
  }
  return best_of(found, most);
}

}  // namespace lexvia
