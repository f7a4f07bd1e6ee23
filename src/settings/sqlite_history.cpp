#include "settings/sqlite_history.h"

#include <cstdint>
#include <utility>

#include "dict/cp1252.h"
#include "settings/sqlite_statement.h"

namespace lexvia {

namespace {

// A repeat is the same query in the same direction: the unique keys find it
// without a scan, and no list can hold it twice.
constexpr const char* kCreateTables =
    "CREATE TABLE IF NOT EXISTS lookup_history ("
    " position INTEGER PRIMARY KEY,"
    " query TEXT NOT NULL,"
    " direction INTEGER NOT NULL,"
    " method INTEGER NOT NULL,"
    " UNIQUE (query, direction));"
    "CREATE TABLE IF NOT EXISTS favourites ("
    " position INTEGER PRIMARY KEY,"
    " query TEXT NOT NULL,"
    " direction INTEGER NOT NULL,"
    " UNIQUE (query, direction))";
constexpr const char* kHistoryColumns =
    "SELECT position, query, direction, method FROM lookup_history LIMIT 0";
constexpr const char* kFavouriteColumns =
    "SELECT position, query, direction FROM favourites LIMIT 0";

// A query of kQueryUnits UTF-16 units is at most three bytes a unit in
// UTF-8; a longer text was never stored by a lookup and is not read.
constexpr std::int64_t kLongestQueryBytes = kQueryUnits * 3;

std::optional<Direction> direction_of(std::optional<std::int64_t> stored) {
  if (stored == 1) return Direction::kFrom1;
  if (stored == 2) return Direction::kFrom2;
  return std::nullopt;
}

std::optional<SearchMethod> method_of(std::optional<std::int64_t> stored) {
  for (const SearchMethod method : kSearchMethods) {
    if (stored == static_cast<std::int64_t>(method)) return method;
  }
  return std::nullopt;
}

// The query of a row read back, when a lookup could have stored it.
std::optional<std::u16string> query_of(const Statement& row) {
  std::u16string query = utf8_to_utf16(row.text(0));
  if (!storable_query(query)) return std::nullopt;
  return query;
}

}  // namespace

// BEGIN IMMEDIATE to COMMIT: the write lock is taken first, so that two
// writers queue up (for as long as the store waits for a lock) rather than
// fail at their first write; any way out but commit() rolls back.
class SqliteHistory::Transaction {
 public:
  explicit Transaction(SqliteHistory& history) : history_(history) {
    if (!history_.can_write()) return;
    const int code = sqlite3_exec(history_.db(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    begun_ = code == SQLITE_OK || history_.fail(code);
  }
  ~Transaction() {
    if (begun_) sqlite3_exec(history_.db(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool begun() const { return begun_; }
  bool commit() {
    const int code = sqlite3_exec(history_.db(), "COMMIT", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) begun_ = false;
    return code == SQLITE_OK || history_.fail(code);
  }

 private:
  SqliteHistory& history_;
  bool begun_ = false;
};

sqlite3* SqliteHistory::db() const { return store_.db_; }

bool SqliteHistory::fail(int code) { return fail(describe_sqlite_error(db(), code)); }

bool SqliteHistory::fail(std::string why) {
  problem_ = std::move(why);
  return false;
}

SqliteHistory::Tables SqliteHistory::foreign(std::string why) {
  fail(std::move(why));
  return Tables::kForeign;
}

bool SqliteHistory::can_write() {
  if (db() == nullptr) {
    return fail(store_.problem().empty() ? "the settings file could not be opened"
                                         : store_.problem());
  }
  if (store_.access_ == SqliteStore::Access::kReadOnly) {
    return fail("the settings are open for reading only");
  }
  // One connection holds one transaction: a save of the settings under way
  // would take this change into its own.
  if (store_.writing_) return fail("a save of the settings is under way");
  return true;
}

SqliteHistory::Tables SqliteHistory::check_table(const char* name, const char* columns_probe) {
  // Only a table: a view planted under its name could compute rows without
  // end.
  Statement kind(db(), "SELECT type FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
  kind.bind_literal(1, name);
  const int step = kind.step();
  if (step == SQLITE_DONE) return Tables::kMissing;
  if (step != SQLITE_ROW) return foreign(describe_sqlite_error(db(), step));
  if (kind.text(0) != "table") {
    return foreign(std::string("not a settings file: its ") + name + " is a " + kind.text(0) +
                   ", not a table");
  }
  if (const Statement columns(db(), columns_probe); !columns.prepared()) {
    return foreign(std::string("not a settings file: its ") + name +
                   " table has the wrong columns (" + sqlite3_errmsg(db()) + ")");
  }
  return Tables::kUsable;
}

bool SqliteHistory::make_tables() {
  const Tables history = check_table("lookup_history", kHistoryColumns);
  const Tables favourites = check_table("favourites", kFavouriteColumns);
  if (history == Tables::kForeign || favourites == Tables::kForeign) return false;
  if (history == Tables::kUsable && favourites == Tables::kUsable) return true;
  const int code = sqlite3_exec(db(), kCreateTables, nullptr, nullptr, nullptr);
  return code == SQLITE_OK || fail(code);
}

bool SqliteHistory::run(Statement& statement) {
  const int step = statement.step();
  return step == SQLITE_DONE || fail(step);
}

bool SqliteHistory::record(const HistoryEntry& entry) {
  if (!storable_query(entry.query) || !method_of(static_cast<std::int64_t>(entry.method))) {
    return fail("not a lookup to keep: an empty query, one of more than " +
                std::to_string(kQueryUnits) + " characters, or no search method");
  }
  Transaction transaction(*this);
  if (!transaction.begun() || !make_tables()) return false;
  const std::string query = utf16_to_utf8(entry.query);
  const auto direction = static_cast<std::int64_t>(entry.direction);
  Statement repeat(db(), "DELETE FROM lookup_history WHERE query = ?1 AND direction = ?2");
  repeat.bind(1, query);
  repeat.bind(2, direction);
  Statement add(db(), "INSERT INTO lookup_history (query, direction, method) VALUES (?1, ?2, ?3)");
  add.bind(1, query);
  add.bind(2, direction);
  add.bind(3, static_cast<std::int64_t>(entry.method));
  // Everything from the first beyond the bound on.
  Statement trim(db(),
                 "DELETE FROM lookup_history WHERE position <= (SELECT position FROM "
                 "lookup_history ORDER BY position DESC LIMIT 1 OFFSET ?1)");
  trim.bind(1, static_cast<std::int64_t>(kHistoryLength));
  return run(repeat) && run(add) && run(trim) && transaction.commit();
}

std::vector<HistoryEntry> SqliteHistory::history() {
  std::vector<HistoryEntry> entries;
  if (db() == nullptr) {
    if (!store_.problem().empty()) fail(store_.problem());
    return entries;
  }
  if (check_table("lookup_history", kHistoryColumns) != Tables::kUsable) return entries;
  Statement list(db(),
                 "SELECT query, direction, method FROM lookup_history WHERE typeof(query) = "
                 "'text' AND length(CAST(query AS BLOB)) <= ?1 ORDER BY position DESC LIMIT ?2");
  list.bind(1, kLongestQueryBytes);
  list.bind(2, static_cast<std::int64_t>(kHistoryLength));
  int step = SQLITE_ROW;
  while ((step = list.step()) == SQLITE_ROW) {
    auto query = query_of(list);
    const auto direction = direction_of(list.integer(1));
    const auto method = method_of(list.integer(2));
    // A row no lookup made (written by hand or by another program) is left out.
    if (query && direction && method) entries.push_back({std::move(*query), *direction, *method});
  }
  if (step != SQLITE_DONE) fail(step);
  return entries;
}

bool SqliteHistory::clear_history() {
  Transaction transaction(*this);
  if (!transaction.begun()) return false;
  const Tables tables = check_table("lookup_history", kHistoryColumns);
  if (tables == Tables::kForeign) return false;
  if (tables == Tables::kMissing) return true;
  Statement clear(db(), "DELETE FROM lookup_history");
  return run(clear) && transaction.commit();
}

ListChange SqliteHistory::add_favourite(const Favourite& favourite) {
  if (!storable_query(favourite.query)) {
    fail("a favourite is a query of 1 to " + std::to_string(kQueryUnits) + " characters");
    return ListChange::kFailed;
  }
  Transaction transaction(*this);
  if (!transaction.begun() || !make_tables()) return ListChange::kFailed;
  const std::string query = utf16_to_utf8(favourite.query);
  Statement kept(db(), "SELECT 1 FROM favourites WHERE query = ?1 AND direction = ?2");
  kept.bind(1, query);
  kept.bind(2, static_cast<std::int64_t>(favourite.direction));
  if (const int step = kept.step(); step == SQLITE_ROW) {
    return ListChange::kUnchanged;
  } else if (step != SQLITE_DONE) {
    fail(step);
    return ListChange::kFailed;
  }
  Statement count(db(), "SELECT count(*) FROM favourites");
  if (const int step = count.step(); step != SQLITE_ROW) {
    fail(step);
    return ListChange::kFailed;
  }
  if (count.integer(0).value_or(0) >= static_cast<std::int64_t>(kMostFavourites)) {
    fail("there are " + std::to_string(kMostFavourites) +
         " favourites already; remove one to add another");
    return ListChange::kFailed;
  }
  Statement add(db(), "INSERT INTO favourites (query, direction) VALUES (?1, ?2)");
  add.bind(1, query);
  add.bind(2, static_cast<std::int64_t>(favourite.direction));
  return run(add) && transaction.commit() ? ListChange::kChanged : ListChange::kFailed;
}

ListChange SqliteHistory::remove_favourite(const Favourite& favourite) {
  Transaction transaction(*this);
  if (!transaction.begun()) return ListChange::kFailed;
  const Tables tables = check_table("favourites", kFavouriteColumns);
  if (tables != Tables::kUsable) {
    return tables == Tables::kMissing ? ListChange::kUnchanged : ListChange::kFailed;
  }
  Statement remove(db(), "DELETE FROM favourites WHERE query = ?1 AND direction = ?2");
  const std::string query = utf16_to_utf8(favourite.query);
  remove.bind(1, query);
  remove.bind(2, static_cast<std::int64_t>(favourite.direction));
  if (!run(remove)) return ListChange::kFailed;
  const bool removed = sqlite3_changes(db()) > 0;
  if (!transaction.commit()) return ListChange::kFailed;
  return removed ? ListChange::kChanged : ListChange::kUnchanged;
}

std::vector<Favourite> SqliteHistory::favourites() {
  std::vector<Favourite> kept;
  if (db() == nullptr) {
    if (!store_.problem().empty()) fail(store_.problem());
    return kept;
  }
  if (check_table("favourites", kFavouriteColumns) != Tables::kUsable) return kept;
  Statement list(db(),
                 "SELECT query, direction FROM favourites WHERE typeof(query) = 'text' AND "
                 "length(CAST(query AS BLOB)) <= ?1 ORDER BY position DESC LIMIT ?2");
  list.bind(1, kLongestQueryBytes);
  list.bind(2, static_cast<std::int64_t>(kMostFavourites));
  int step = SQLITE_ROW;
  while ((step = list.step()) == SQLITE_ROW) {
    auto query = query_of(list);
    const auto direction = direction_of(list.integer(1));
    if (query && direction) kept.push_back({std::move(*query), *direction});
  }
  if (step != SQLITE_DONE) fail(step);
  return kept;
}

}  // namespace lexvia
