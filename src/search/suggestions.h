// "Did you mean": headwords near a query that found nothing, without reading
// the whole index section. The suggestion index beside the dictionary
// (search/near_index.h) names them when there is a sound one and the query
// is one word. Otherwise the section is sorted, so a misspelt word's
// neighbours in that order are probed: around the query itself, around
// each of its one-letter deletions and neighbour swaps (which catch an
// extra or swapped letter), and at the start of the runs that share the
// query's longer beginnings (which catch a changed or missing letter late
// in the word). While fewer than the suggestions asked for are one edit
// away, also with each letter a-z in the first letter's place or in front
// of it. The work is bounded by the number of probes (about three a letter
// of the query, and 52 more at most) and the records read at each.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/dictionary_info.h"
#include "dict/file_source.h"
#include "search/search_engine.h"

namespace lexvia {

// What the suggestions keep from one miss to the next while a file is lent
// (a batch's mapping): its decoding tables, its suggestion index (opened,
// checked and mapped once) and, for a file in memory whose misses walk the
// section, a table of the direction's section (every record's place, the
// sort key of every 8th record and of every 64th), so that the dozens of
// binary searches of one miss run in memory and the records around their
// places are found without scanning for markers. Only for the file lent
// with it; a file mapped for one call keeps nothing.
class KeptSuggestionTables {
 public:
  KeptSuggestionTables();
  ~KeptSuggestionTables();
  KeptSuggestionTables(const KeptSuggestionTables&) = delete;
  KeptSuggestionTables& operator=(const KeptSuggestionTables&) = delete;
  struct State;
  // Made at the first miss: a batch that misses nothing, or asks for no
  // suggestions, pays nothing for it.
  State& state();

 private:
  std::unique_ptr<State> state_;
};

// At most `most` headwords of the direction (Windows-1252) whose fully
// folded form is one edit from the folded query, then those two edits away
// (an edit: a letter added, dropped, changed, or two neighbours swapped);
// ties in the section's order. Through the suggestion index beside the
// dictionary (`path` with ".near") every one a single edit away is found;
// without it, some of either may be missed. Empty when the file cannot be
// read. A `lent`
// file (a batch's mapping) is read in place of the path; else the path is
// mapped for the call, since its probes land all over the section and a
// read of the system each would cost more than the rest of the work. With
// a lent file, `kept` holds its tables from one call to the next.
std::vector<std::string> suggest_headwords(const DictionaryPath& path, Direction direction,
                                           std::string_view query, std::size_t most = 5,
                                           FileSource* lent = nullptr,
                                           KeptSuggestionTables* kept = nullptr);

// The edit distance of a and b with neighbour swaps, or `bound` + 1 when it
// is larger than `bound`.
int bounded_edit_distance(std::string_view a, std::string_view b, int bound);

}  // namespace lexvia
