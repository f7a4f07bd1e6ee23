#include "settings/key_value_store.h"

namespace lexvia {

bool MemoryStore::open_key(const std::u16string& key) {
  writing_ = false;
  pending_.clear();
  if (keys.count(key) == 0) {
    open_.reset();
    return false;
  }
  open_ = key;
  return true;
}

bool MemoryStore::create_key(const std::u16string& key) {
  if (read_only) {
    open_.reset();
    writing_ = false;
    return false;
  }
  // Writes go to a copy until close_key, so that an unclosed write never lands.
  const auto it = keys.find(key);
  pending_ = it != keys.end() ? it->second : std::map<std::u16string, StoredValue>{};
  open_ = key;
  writing_ = true;
  return true;
}

std::optional<StoredValue> MemoryStore::query_value(const std::u16string& name) {
  if (!open_) return std::nullopt;
  const auto& values = writing_ ? pending_ : keys.at(*open_);
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool MemoryStore::set_value(const std::u16string& name, const StoredValue& value) {
  if (!open_ || !writing_) return false;
  pending_[name] = value;
  return true;
}

void MemoryStore::close_key() {
  if (open_ && writing_) keys[*open_] = std::move(pending_);
  pending_.clear();
  open_.reset();
  writing_ = false;
}

bool MemoryStore::file_exists(const std::string& path) {
  const auto it = files.find(path);
  return it != files.end() && it->second;
}

}  // namespace lexvia
