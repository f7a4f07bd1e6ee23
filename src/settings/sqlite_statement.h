// What the SQLite stores share: a prepared statement that finalises itself,
// and SQLite's failures in words for the user. Only the sqlite_*.cpp files
// include this, so that nothing else sees SQLite.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "settings/key_value_store.h"

namespace lexvia {

// A prepared statement, finalised on every way out. Bound texts are not
// copied: they must outlive the stepping.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
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
  int step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : prepare_error_; }

  std::string text(int column) const;
  // The bytes of a column as SQLite would hand them out as text, without
  // making the text.
  int bytes(int column) const { return sqlite3_column_bytes(stmt_, column); }
  // An integer column; nothing when the column holds anything else.
  std::optional<std::int64_t> integer(int column) const;
  // A row's (type, data) columns as a value. An integer row whose data is no
  // 32-bit integer (written by some other program) reads as its text, which
  // no integer setting takes.
  StoredValue value(int type_column) const;
  bool prepared() const { return stmt_ != nullptr; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int prepare_error_ = SQLITE_ERROR;
};

// What went wrong, as the user should hear it.
std::string describe_sqlite_error(sqlite3* db, int code);

}  // namespace lexvia
