#include "search/headword_lists.h"

#include "search/open_dictionary.h"
#include "search/section_walk.h"

namespace lexvia {

namespace {

// The walk over the direction's section of the dictionary opened for it.
template <class Walk>
std::vector<std::string> walk_section(const DictionaryPath& path, Direction direction,
                                      FileSource* lent, Walk walk) {
  WindowedReader index;
  WindowedReader translation;
  OpenDictionary dict(index, translation);
  if (dict.open(path, direction, lent) != OpenDictionary::Result::kOpen) return {};
  return walk(dict);
}

}  // namespace

std::vector<std::string> prefix_headwords(const DictionaryPath& path, Direction direction,
                                          std::string_view query, std::size_t most,
                                          FileSource* lent) {
  return walk_section(path, direction, lent,
                      [&](const OpenDictionary& dict) { return prefix_run(dict, query, most); });
}

std::vector<std::string> near_headwords(const DictionaryPath& path, Direction direction,
                                        std::string_view query, std::size_t most,
                                        FileSource* lent) {
  return walk_section(path, direction, lent,
                      [&](const OpenDictionary& dict) { return one_edit_away(dict, query, most); });
}

}  // namespace lexvia
