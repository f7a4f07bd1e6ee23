// The settings store of the programs: one SQLite file, settings.db, holding
// every key's values in one table. A write (create_key to close_key) is one
// transaction, so a process killed in the middle of a save leaves the old
// settings, and several processes may save at once without losing a write.
// Texts are kept byte for byte: a path that is not UTF-8 comes back as it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/key_value_store.h"

struct sqlite3;

namespace lexvia {

// Where settings.db lives: $LEXVIA_CONFIG_DIR, else $XDG_CONFIG_HOME/lexvia,
// else ~/.config/lexvia. Empty when none of them can be found.
std::string settings_folder();

class SqliteStore final : public KeyValueStore {
 public:
  // Read-only opens only an existing store and never writes: a lookup reads
  // the settings but must not create them.
  enum class Access { kReadWrite, kReadOnly };
  // settings.db in settings_folder(), which is created when missing (for
  // reading and writing).
  explicit SqliteStore(Access access = Access::kReadWrite);
  // The database at that path (created when missing, for reading and writing).
  explicit SqliteStore(const std::string& database_path, Access access = Access::kReadWrite);
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  // False when the database could not be opened: every key then reads as
  // missing and no write succeeds. A reader of a store that does not exist
  // yet is not open either, but has no problem.
  bool is_open() const { return db_ != nullptr; }
  const std::string& path() const { return path_; }
  // Why the store could not be read or written, in words for the user ("locked
  // by another program", "permission denied", ...); empty while all went well.
  // The first problem is kept.
  const std::string& problem() const { return problem_; }

  bool open_key(const std::u16string& key) override;
  bool create_key(const std::u16string& key) override;
  std::optional<StoredValue> query_value(const std::u16string& name) override;
  bool set_value(const std::u16string& name, const StoredValue& value) override;
  void close_key() override;
  bool file_exists(const std::string& path) override;

  // Every value of a key, ordered by name; for listing what is stored.
  std::vector<std::pair<std::u16string, StoredValue>> list_values(const std::u16string& key);

 private:
  // The lookup history lives in the same file and goes through the same
  // connection, so that it shares the checks, the locking and the waiting.
  friend class SqliteHistory;

  void open(const std::string& database_path);
  void roll_back_and_reopen();
  bool check_table(bool& empty);
  bool exec(const char* sql);
  // Keeps the first problem; false, so that callers can return it.
  bool fail(int code);
  bool fail(std::string why);

  Access access_ = Access::kReadWrite;
  std::string path_;
  std::string problem_;
  sqlite3* db_ = nullptr;
  std::string key_;  // UTF-8
  bool key_open_ = false;
  bool writing_ = false;
  bool write_failed_ = false;
  bool rolled_back_ = false;
};

}  // namespace lexvia
