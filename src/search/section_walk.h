// The walks over a direction's index section that the lookups, the
// suggestions and the DICT server's strategies share. A section is sorted
// by the headwords' prefix-folded sort key, so the headwords that begin with
// a query (in prefix mode) stand in one run, which a lower bound finds the
// start of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/windowed_reader.h"
#include "search/collation.h"
#include "search/open_dictionary.h"

namespace lexvia {

// Where a binary search over the section ends: the first record that does
// not sort before the key (the terminal marker when every one does), and
// whether that record begins with the key.
struct SectionBound {
  std::uint64_t record = 0;
  bool matches = false;
};

// The bound by binary search through `reader`. A lent file's kept probes
// (dict.probes()) answer the first levels; in a file held in memory the
// records a few levels down are asked for ahead, so that their waits
// overlap. Each probe leaves a smaller range, so a damaged section cannot
// make it loop; a record that cannot be read ends it with no match.
SectionBound lower_bound(WindowedReader& reader, const OpenDictionary& dict, const PrefixKey& key);

// The bound of each key, by searches that go level by level together: the
// records of a level are all asked for before the first is read. A lent
// file's kept probes answer the levels they hold, as for one search.
std::vector<std::uint64_t> lower_bounds(WindowedReader& reader, const OpenDictionary& dict,
                                        const std::vector<std::string>& keys);

// The record before the one at `record` in the section; nothing at its start.
std::optional<std::uint64_t> record_before(WindowedReader& reader, const SectionSpan& section,
                                           std::uint64_t record);

// The headwords (Windows-1252) that begin with the query in prefix mode, in
// section order, at most `most`.
std::vector<std::string> prefix_run(const OpenDictionary& dict, std::string_view query,
                                    std::size_t most);

// The headwords within one edit of the query (a letter added, dropped,
// changed, or two neighbours swapped), fully folded, in section order, at
// most `most`. The whole section is read, so that none is missed.
std::vector<std::string> one_edit_away(const OpenDictionary& dict, std::string_view query,
                                       std::size_t most);

}  // namespace lexvia
