#include "settings/sqlite_store.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "dict/cp1252.h"

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

// Long enough for another process's save to finish; a save is a handful of rows.
constexpr int kBusyTimeoutMs = 5000;

// A prepared statement, finalised on every way out. Bound texts are not
// copied: they must outlive the stepping.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), nullptr);
  }
  void bind_literal(int index, const char* literal) {
    sqlite3_bind_text(stmt_, index, literal, -1, nullptr);
  }
  void bind(int index, std::int64_t number) { sqlite3_bind_int64(stmt_, index, number); }
  int step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : SQLITE_ERROR; }

  std::string text(int column) const {
    const auto* bytes = sqlite3_column_text(stmt_, column);
    if (bytes == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(bytes),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  // A row's (type, data) columns as a value.
  StoredValue value(int type_column) const {
    if (text(type_column) == "integer") {
      return StoredValue::of(
          static_cast<std::int32_t>(sqlite3_column_int64(stmt_, type_column + 1)));
    }
    return StoredValue::of(utf8_to_utf16(text(type_column + 1)));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

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
  // Nothing stored yet: a reader has nothing to open and need not start SQLite.
  if (access_ == Access::kReadOnly && !std::filesystem::exists(database_path)) return;
  const int flags = access_ == Access::kReadOnly ? SQLITE_OPEN_READONLY
                                                 : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(database_path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  if (access_ == Access::kReadOnly) return;
  // With a write-ahead log readers never wait for a writer. Where the file
  // system cannot hold one, the rollback journal keeps saves whole just the same.
  exec("PRAGMA journal_mode=WAL");
  exec("PRAGMA synchronous=FULL");
  exec("PRAGMA cache_size=-64");
  if (!exec(kCreateTable)) {
    // Not a database, or not writable: behave as a store without the key.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

bool SqliteStore::exec(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteStore::open_key(const std::u16string& key) {
  close_key();
  if (db_ == nullptr) return false;
  key_ = utf16_to_utf8(key);
  Statement exists(db_, "SELECT 1 FROM settings_values WHERE key = ?1 LIMIT 1");
  exists.bind(1, key_);
  key_open_ = exists.step() == SQLITE_ROW;
  return key_open_;
}

bool SqliteStore::create_key(const std::u16string& key) {
  close_key();
  // IMMEDIATE takes the write lock now, so two savers queue up here rather
  // than fail at their first write.
  if (db_ == nullptr || access_ == Access::kReadOnly || !exec("BEGIN IMMEDIATE")) return false;
  key_ = utf16_to_utf8(key);
  key_open_ = true;
  writing_ = true;
  write_failed_ = false;
  return true;
}

std::optional<StoredValue> SqliteStore::query_value(const std::u16string& name) {
  if (!key_open_) return std::nullopt;
  const std::string utf8_name = utf16_to_utf8(name);
  Statement query(db_, "SELECT type, data FROM settings_values WHERE key = ?1 AND name = ?2");
  query.bind(1, key_);
  query.bind(2, utf8_name);
  if (query.step() != SQLITE_ROW) return std::nullopt;
  return query.value(0);
}

bool SqliteStore::set_value(const std::u16string& name, const StoredValue& value) {
  if (!writing_) return false;
  const std::string utf8_name = utf16_to_utf8(name);
  const std::string text = utf16_to_utf8(value.text);
  const bool integer = value.type == StoredValue::Type::kInteger;
  Statement insert(db_,
                   "INSERT OR REPLACE INTO settings_values (key, name, type, data) "
                   "VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, key_);
  insert.bind(2, utf8_name);
  insert.bind_literal(3, integer ? "integer" : "string");
  if (integer) {
    insert.bind(4, std::int64_t{value.integer});
  } else {
    insert.bind(4, text);
  }
  const bool ok = insert.step() == SQLITE_DONE;
  // One failed write spoils the whole save: close_key then keeps the old values.
  if (!ok) write_failed_ = true;
  return ok;
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
  const std::string utf8_key = utf16_to_utf8(key);
  Statement list(db_, "SELECT name, type, data FROM settings_values WHERE key = ?1 ORDER BY name");
  list.bind(1, utf8_key);
  while (list.step() == SQLITE_ROW) values.emplace_back(utf8_to_utf16(list.text(0)), list.value(1));
  return values;
}

}  // namespace lexvia
