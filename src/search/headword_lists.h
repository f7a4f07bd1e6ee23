// Lists of headwords that no search method gives, for the DICT server's
// strategies: those that begin with a query, and those one edit away from
// it. Each call opens the dictionary for itself (or reads a file lent to it,
// open already, in place of the path) and is empty when it cannot be read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dict/dictionary_info.h"
#include "dict/direction.h"
#include "dict/file_source.h"

namespace lexvia {

// The headwords (Windows-1252) of the direction that begin with the query
// under the file's own folding (prefix mode), in index order, at most `most`.
std::vector<std::string> prefix_headwords(const DictionaryPath& path, Direction direction,
                                          std::string_view query, std::size_t most,
                                          FileSource* lent = nullptr);

// The headwords within one edit of the query (a letter added, dropped,
// changed, or two neighbours swapped), compared fully folded (letter case
// and accents aside), in index order, at most `most`. The whole section is
// read, so that every such headword is listed, as a strategy must.
std::vector<std::string> near_headwords(const DictionaryPath& path, Direction direction,
                                        std::string_view query, std::size_t most,
                                        FileSource* lent = nullptr);

}  // namespace lexvia
