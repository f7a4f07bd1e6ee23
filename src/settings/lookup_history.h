// The lookups the desktop program made and the queries the user keeps as
// favourites, as the application sees them. Stepping back and forward through
// the history is the application's: it keeps its place in history(), which
// is all the store needs to give it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dict/direction.h"
#include "search/search_engine.h"
#include "search/search_method.h"
#include "settings/settings.h"

namespace lexvia {

struct HistoryEntry {
  std::u16string query;  // as it was looked up, blanks trimmed
  Direction direction = Direction::kFrom1;
  SearchMethod method = SearchMethod::kExtended;  // one of the four
  friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

struct Favourite {
  std::u16string query;
  Direction direction = Direction::kFrom1;
  friend bool operator==(const Favourite&, const Favourite&) = default;
};

// The history keeps the newest lookups; older ones are dropped as new ones
// come. Favourites are added by hand, one at a time: beyond this many the
// list would be no help to anyone, and a store holding more is not ours.
inline constexpr std::size_t kHistoryLength = 1000;
inline constexpr std::size_t kMostFavourites = 1000;

// A query the lists keep: not empty, and no longer than a lookup takes.
constexpr bool storable_query(std::u16string_view query) {
  return !query.empty() && query.size() <= kQueryUnits;
}

// A typed query as the lists keep it: without the blanks around it, which
// a lookup ignores too, so that " house" and "house" are one entry.
inline std::u16string trimmed_query(std::u16string_view typed) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!typed.empty() && blank(typed.front())) typed.remove_prefix(1);
  while (!typed.empty() && blank(typed.back())) typed.remove_suffix(1);
  return std::u16string(typed);
}

// What a change of the favourites did.
enum class ListChange { kChanged, kUnchanged, kFailed };

class LookupHistory {
 public:
  virtual ~LookupHistory() = default;

  // Puts the lookup at the top. An earlier lookup of the same query in the
  // same direction is dropped (its method gives way to this one's), and the
  // oldest beyond kHistoryLength go. False when it could not be stored, or
  // when the query is not storable_query.
  virtual bool record(const HistoryEntry& entry) = 0;
  // Newest first, at most kHistoryLength.
  virtual std::vector<HistoryEntry> history() = 0;
  virtual bool clear_history() = 0;

  // kUnchanged when the query is a favourite in that direction already.
  virtual ListChange add_favourite(const Favourite& favourite) = 0;
  // kUnchanged when it was no favourite.
  virtual ListChange remove_favourite(const Favourite& favourite) = 0;
  // Newest first, at most kMostFavourites.
  virtual std::vector<Favourite> favourites() = 0;

  // Why the last call that failed did, in words for the user; empty while
  // every call went well.
  virtual const std::string& problem() const = 0;
};

// A lookup the user made, recorded unless the settings turned history off.
// False when nothing was recorded.
inline bool record_lookup(LookupHistory& history, const Settings& settings,
                          const HistoryEntry& entry) {
  return settings.history_on && history.record(entry);
}

}  // namespace lexvia
