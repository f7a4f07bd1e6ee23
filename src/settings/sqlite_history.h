// The lookup history and the favourites in the settings file (settings.db),
// in tables of their own beside the settings. Each change is one transaction,
// so a process killed in the middle of one leaves the list as it was before
// it, and the desktop program and the command-line tool may change the lists
// at once without losing a change. What is read is bounded: at most the
// lists' lengths, and only rows a lookup could have made.
#pragma once

#include <string>
#include <vector>

#include "settings/lookup_history.h"
#include "settings/sqlite_store.h"

struct sqlite3;

namespace lexvia {
class Statement;
}

namespace lexvia {

class SqliteHistory final : public LookupHistory {
 public:
  // Goes through the store's connection: the same file, checked once, with
  // the same waiting for another program's lock; a store opened for reading
  // only reads. The store must outlive this.
  explicit SqliteHistory(SqliteStore& store) : store_(store) {}
  SqliteHistory(const SqliteHistory&) = delete;
  SqliteHistory& operator=(const SqliteHistory&) = delete;

  bool record(const HistoryEntry& entry) override;
  std::vector<HistoryEntry> history() override;
  bool clear_history() override;
  ListChange add_favourite(const Favourite& favourite) override;
  ListChange remove_favourite(const Favourite& favourite) override;
  std::vector<Favourite> favourites() override;
  const std::string& problem() const override { return problem_; }

 private:
  class Transaction;
  enum class Tables { kUsable, kMissing, kForeign };

  sqlite3* db() const;
  // False, and the problem kept, when the store cannot take a write now.
  bool can_write();
  // Whether the table is ours to read and write; a foreign one is a problem.
  Tables check_table(const char* name, const char* columns_probe);
  // The tables made when missing; false when there are foreign ones.
  bool make_tables();
  // Steps a statement that returns no rows.
  bool run(Statement& statement);
  bool fail(int code);
  bool fail(std::string why);
  Tables foreign(std::string why);

  SqliteStore& store_;
  std::string problem_;
};

}  // namespace lexvia
