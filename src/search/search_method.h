// The search methods and the names the command-line tool, its JSON answers
// and the DICT server give them.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace lexvia {

// Numbered as the setting "Search Method" stores them; the browse listing is
// used internally only.
enum class SearchMethod : int {
  kExact = 0,
  kExtended = 1,
  kPhrase = 2,
  kFull = 3,
  kBrowse = 4,
};

// The four a user chooses from, in their order.
inline constexpr std::array<SearchMethod, 4> kSearchMethods = {
    SearchMethod::kExact, SearchMethod::kExtended, SearchMethod::kPhrase, SearchMethod::kFull};

// "exact", "extended", "phrase", "full" or "browse".
constexpr std::string_view method_name(SearchMethod method) {
  switch (method) {
    case SearchMethod::kExact:
      return "exact";
    case SearchMethod::kExtended:
      return "extended";
    case SearchMethod::kPhrase:
      return "phrase";
    case SearchMethod::kFull:
      return "full";
    case SearchMethod::kBrowse:
      break;
  }
  return "browse";
}

// One of the four by its name; nothing for any other text (browse included).
constexpr std::optional<SearchMethod> parse_method(std::string_view name) {
  for (const SearchMethod method : kSearchMethods) {
    if (method_name(method) == name) return method;
  }
  return std::nullopt;
}

}  // namespace lexvia
