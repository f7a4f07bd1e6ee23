#include "settings/sqlite_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "settings/sqlite_statement.h"

namespace lexvia {

namespace {

// Names compare without regard to ASCII letter case, as registry names do.
constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS settings_values ("
    " key TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type TEXT NOT NULL CHECK (type IN ('integer', 'string')),"
    " data,"
    " PRIMARY KEY (key, name)) WITHOUT ROWID";

// Long enough for another process's save to finish; a save is a handful of
// rows. A reader waits less: a start-up that stalls is worse than defaults.
constexpr int kWriterWaitMs = 5000;
// The settings are a few kilobytes; the check at opening reads the whole file.
constexpr off_t kLargestStore = off_t{64} << 20;
constexpr int kReaderWaitMs = 1000;

std::string non_empty_env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string settings_folder() {
  if (auto dir = non_empty_env("LEXVIA_CONFIG_DIR"); !dir.empty()) return dir;
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  if (auto xdg = non_empty_env("XDG_CONFIG_HOME"); !xdg.empty() && xdg[0] == '/') {
    return xdg + "/lexvia";
  }
  if (auto home = non_empty_env("HOME"); !home.empty()) return home + "/.config/lexvia";
  return {};
}

SqliteStore::SqliteStore(Access access) : access_(access) {
  const std::string folder = settings_folder();
  if (folder.empty()) return;
  if (access_ == Access::kReadWrite) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  open(folder + "/settings.db");
}

SqliteStore::SqliteStore(const std::string& database_path, Access access) : access_(access) {
  open(database_path);
}

SqliteStore::~SqliteStore() {
  // An unclosed write is rolled back, never half kept.
  if (writing_) exec("ROLLBACK");
  sqlite3_close_v2(db_);
}

void SqliteStore::open(const std::string& database_path) {
  // The settings are a few dozen values read once per run: the tool should
  // start as lean as a plain program, so SQLite keeps no lookaside buffers,
  // no memory statistics and only a small page cache. Configuration has to
  // come before SQLite initialises, once per process.
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
    return true;
  }();
  (void)configured;
  path_ = database_path;
  // SQLite would wait for ever on a FIFO and read a device without end: only
  // a regular file (or none, for a writer to create) is opened.
  struct stat status {};
  if (::stat(database_path.c_str(), &status) != 0) {
    // Nothing stored yet: a reader has nothing to open and need not start SQLite.
    if (errno == ENOENT && access_ == Access::kReadOnly) return;
    if (errno != ENOENT) {
      fail(errno == EACCES ? "permission denied" : std::strerror(errno));
      return;
    }
  } else if (auto cause = non_regular_cause(status.st_mode)) {
    fail(std::move(*cause));
    return;
  } else if (status.st_size > kLargestStore) {
    fail("it is larger than " + std::to_string(kLargestStore >> 20) +
         " MiB, far more than any settings file");
    return;
  }
  const int flags = access_ == Access::kReadOnly ? SQLITE_OPEN_READONLY
                                                 : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (const int code = sqlite3_open_v2(database_path.c_str(), &db_, flags, nullptr);
      code != SQLITE_OK) {
    fail(describe_sqlite_error(db_, code));
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return;
  }
  sqlite3_extended_result_codes(db_, 1);
  // The file is anybody's: a trigger or view planted in it must not run
  // functions with side effects, nor may SQL change the file's structure.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_busy_timeout(db_, access_ == Access::kReadOnly ? kReaderWaitMs : kWriterWaitMs);
  // The rollback journal rather than a write-ahead log: a reader then needs
  // no write access to the file or its folder, so listing the settings changes
  // no byte of them and another user who may only read them can.
  bool empty = false;
  const bool usable =
      access_ == Access::kReadOnly
          ? check_table(empty)
          : exec("PRAGMA journal_mode=DELETE") && exec("PRAGMA synchronous=FULL") &&
                exec("PRAGMA cache_size=-64") && (check_table(empty) || (empty && exec(kCreateTable)));
  if (!usable) {
    const bool hot_journal = sqlite3_extended_errcode(db_) == SQLITE_READONLY_ROLLBACK;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    if (hot_journal && access_ == Access::kReadOnly && !rolled_back_) roll_back_and_reopen();
  }
}

// A writer killed in the middle of a save leaves its journal behind, which
// only a connection that may write can roll back; until then a reader would
// find the file unreadable. Rolling back restores the last committed state,
// which is what any reader is to see, so a reader that may write does it.
void SqliteStore::roll_back_and_reopen() {
  rolled_back_ = true;
  sqlite3* writer = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(writer, kReaderWaitMs);
    sqlite3_exec(writer, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr);
  }
  sqlite3_close_v2(writer);
  problem_.clear();
  open(path_);
}

// The table must have the columns this program reads. A database with no
// table at all is `empty` (so is a file of no bytes); one with tables of its
// own but not ours belongs to someone else, and is neither read nor written.
bool SqliteStore::check_table(bool& empty) {
  Statement columns(db_, "SELECT key, name, type, data FROM settings_values LIMIT 0");
  if (columns.prepared()) {
    // A damaged b-tree can hide rows from one query and show them to the
    // next, without an error: such a file is neither read nor written. The
    // check costs a millisecond or two on a store of a few dozen values and
    // the full lookup history.
    Statement check(db_, "PRAGMA integrity_check(1)");
    const int step = check.step();
    if (step != SQLITE_ROW) return fail(step);
    std::string found = check.text(0);
    if (found == "ok") return true;
    if (const auto header = found.find("***\n"); header != std::string::npos) found.erase(0, header + 4);
    std::replace(found.begin(), found.end(), '\n', ' ');
    return fail("the file is damaged (" + found + ")");
  }
  const std::string message = sqlite3_errmsg(db_);
  const int code = sqlite3_errcode(db_);
  if (message.rfind("no such column", 0) == 0) {
    return fail("not a settings file: its settings_values table has the wrong columns (" +
                message + ")");
  }
  if (message.rfind("no such table", 0) != 0) return fail(code);
  Statement tables(db_, "SELECT 1 FROM sqlite_master LIMIT 1");
  if (const int step = tables.step(); step == SQLITE_ROW) {
    return fail("not a settings file: it holds no settings_values table");
  } else if (step != SQLITE_DONE) {
    return fail(step);
  }
  empty = true;  // nothing stored, and nothing wrong
  return false;
}

bool SqliteStore::fail(int code) { return fail(describe_sqlite_error(db_, code)); }

bool SqliteStore::fail(std::string why) {
  if (problem_.empty()) problem_ = std::move(why);
  return false;
}

bool SqliteStore::exec(const char* sql) {
  const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return code == SQLITE_OK || fail(code);
}

bool SqliteStore::open_key(const std::u16string& key) {
  close_key();
  if (db_ == nullptr) return false;
  key_ = utf16_to_bytes(key);
  Statement exists(db_, "SELECT 1 FROM settings_values WHERE key = ?1 LIMIT 1");
  exists.bind(1, key_);
  const int step = exists.step();
  if (step != SQLITE_ROW && step != SQLITE_DONE) fail(step);
  key_open_ = step == SQLITE_ROW;
  return key_open_;
}

bool SqliteStore::create_key(const std::u16string& key) {
  close_key();
  // IMMEDIATE takes the write lock now, so two savers queue up here rather
  // than fail at their first write.
  if (db_ == nullptr || access_ == Access::kReadOnly || !exec("BEGIN IMMEDIATE")) return false;
  key_ = utf16_to_bytes(key);
  key_open_ = true;
  writing_ = true;
  write_failed_ = false;
  return true;
}

std::optional<StoredValue> SqliteStore::query_value(const std::u16string& name) {
  if (!key_open_) return std::nullopt;
  const std::string stored_name = utf16_to_bytes(name);
  Statement query(db_, "SELECT type, data FROM settings_values WHERE key = ?1 AND name = ?2");
  query.bind(1, key_);
  query.bind(2, stored_name);
  const int step = query.step();
  if (step == SQLITE_ROW) return query.value(0);
  if (step != SQLITE_DONE) fail(step);
  return std::nullopt;
}

bool SqliteStore::set_value(const std::u16string& name, const StoredValue& value) {
  if (!writing_) return false;
  const std::string stored_name = utf16_to_bytes(name);
  const std::string text = utf16_to_bytes(value.text);
  const bool integer = value.type == StoredValue::Type::kInteger;
  Statement insert(db_,
                   "INSERT OR REPLACE INTO settings_values (key, name, type, data) "
                   "VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, key_);
  insert.bind(2, stored_name);
  insert.bind_literal(3, integer ? "integer" : "string");
  if (integer) {
    insert.bind(4, std::int64_t{value.integer});
  } else {
    insert.bind(4, text);
  }
  const int step = insert.step();
  if (step == SQLITE_DONE) return true;
  // One failed write spoils the whole save: close_key then keeps the old values.
  write_failed_ = true;
  return fail(step);
}

void SqliteStore::close_key() {
  if (writing_ && (write_failed_ || !exec("COMMIT"))) exec("ROLLBACK");
  key_open_ = false;
  writing_ = false;
}

bool SqliteStore::file_exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

std::vector<std::pair<std::u16string, StoredValue>> SqliteStore::list_values(
    const std::u16string& key) {
  std::vector<std::pair<std::u16string, StoredValue>> values;
  if (db_ == nullptr) return values;
  const std::string stored_key = utf16_to_bytes(key);
  Statement list(db_, "SELECT name, type, data FROM settings_values WHERE key = ?1 ORDER BY name");
  list.bind(1, stored_key);
  int step = SQLITE_ROW;
  while ((step = list.step()) == SQLITE_ROW) {
    values.emplace_back(bytes_to_utf16(list.text(0)), list.value(1));
  }
  if (step != SQLITE_DONE) fail(step);
  return values;
}

}  // namespace lexvia
