#include "settings/sqlite_statement.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include "dict/cp1252.h"

namespace lexvia {

Statement::Statement(sqlite3* db, const char* sql) {
  prepare_error_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  if (prepare_error_ != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

std::string Statement::text(int column) const {
  const auto* bytes = sqlite3_column_text(stmt_, column);
  if (bytes == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(bytes),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::optional<std::int64_t> Statement::integer(int column) const {
  if (sqlite3_column_type(stmt_, column) != SQLITE_INTEGER) return std::nullopt;
  return sqlite3_column_int64(stmt_, column);
}

StoredValue Statement::value(int type_column) const {
  const int data = type_column + 1;
  if (text(type_column) == "integer") {
    if (const auto number = integer(data);
        number && *number >= std::numeric_limits<std::int32_t>::min() &&
        *number <= std::numeric_limits<std::int32_t>::max()) {
      return StoredValue::of(static_cast<std::int32_t>(*number));
    }
  }
  return StoredValue::of(bytes_to_utf16(text(data)));
}

std::string describe_sqlite_error(sqlite3* db, int code) {
  switch (code & 0xFF) {
    case SQLITE_NOTADB: return "not a settings file (not an SQLite database)";
    case SQLITE_CORRUPT: return "the file is damaged";
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "locked by another program";
    case SQLITE_FULL: return "the disk is full";
    case SQLITE_READONLY: return "permission denied (it or its folder is read-only)";
    case SQLITE_PERM:
    case SQLITE_AUTH: return "permission denied";
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
      if (const int error = db != nullptr ? sqlite3_system_errno(db) : 0; error != 0) {
        return error == EACCES ? "permission denied" : std::strerror(error);
      }
      break;
    default: break;
  }
  return sqlite3_errstr(code);
}

}  // namespace lexvia
