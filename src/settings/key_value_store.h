// The store the settings live in, shaped like the handheld's registry: keys
// named by paths such as "Software\Apps\Korvex\Lexvia20", each holding named,
// typed values. The settings logic needs only these operations, so it runs on
// the in-memory store in tests and on the SQLite store in the programs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace lexvia {

inline constexpr char16_t kSettingsKey[] = u"Software\\Apps\\Korvex\\Lexvia20";

struct StoredValue {
  enum class Type { kInteger, kString };
  Type type = Type::kInteger;
  std::int32_t integer = 0;
  std::u16string text;

  static StoredValue of(std::int32_t v) { return {Type::kInteger, v, {}}; }
  static StoredValue of(std::u16string v) { return {Type::kString, 0, std::move(v)}; }
  // The size the registry reports: 4 for an integer, (length + 1) * 2 for a
  // string, whose terminating NUL counts.
  std::uint32_t size_bytes() const {
    return type == Type::kInteger ? 4 : static_cast<std::uint32_t>((text.size() + 1) * 2);
  }
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

class KeyValueStore {
 public:
  virtual ~KeyValueStore() = default;
  // Opens a key for reading; false when it does not exist or cannot be read.
  virtual bool open_key(const std::u16string& key) = 0;
  // Creates or opens a key for writing. Everything written until close_key is
  // one transaction: it lands whole or not at all.
  virtual bool create_key(const std::u16string& key) = 0;
  // The value with that name (the key's default value has the empty name).
  virtual std::optional<StoredValue> query_value(const std::u16string& name) = 0;
  virtual bool set_value(const std::u16string& name, const StoredValue& value) = 0;
  virtual void close_key() = 0;
  // True when a file exists at the path (UTF-8).
  virtual bool file_exists(const std::string& path) = 0;
};

// Everything in memory; for tests.
class MemoryStore final : public KeyValueStore {
 public:
  bool open_key(const std::u16string& key) override;
  bool create_key(const std::u16string& key) override;
  std::optional<StoredValue> query_value(const std::u16string& name) override;
  bool set_value(const std::u16string& name, const StoredValue& value) override;
  void close_key() override;
  bool file_exists(const std::string& path) override;

  // What the store holds, key -> name -> value.
  std::map<std::u16string, std::map<std::u16string, StoredValue>> keys;
  // Paths that file_exists reports as existing.
  std::map<std::string, bool> files;
  // When set, create_key fails (a store that cannot be written).
  bool read_only = false;

 private:
  std::optional<std::u16string> open_;
  bool writing_ = false;
  std::map<std::u16string, StoredValue> pending_;
};

}  // namespace lexvia
