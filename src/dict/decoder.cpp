#include "dict/decoder.h"

#include <algorithm>
#include <cstring>

namespace lexvia {

namespace {

// The replacement text of entry k: bytes 0 to 3 up to the first NUL.
std::string_view replacement(const std::uint8_t* entry) {
  std::size_t n = 0;
  while (n < kMaxReplacement && entry[n] != 0) ++n;
  return {reinterpret_cast<const char*>(entry), n};
}

}  // namespace

DecodingTable::DecodingTable() { precompute(); }

void DecodingTable::load(std::span<const std::uint8_t> stored) {
  entries_.fill(0);
  std::size_t n = std::min<std::size_t>(stored.size(), kMaxTableBytes);
  if (n != 0) std::memcpy(entries_.data() + kEntrySize, stored.data(), n);
  precompute();
}

void DecodingTable::precompute() {
  // Walking the entries from last to first, `current[b]` is what byte b turns
  // into under the entries after the one at hand; entry k then sets its code
  // to the concatenation of what its replacement bytes turn into. Keeping only
  // the first 999 bytes of every expansion is exact, since the first 999
  // bytes of a concatenation depend only on the first 999 of each part.
  std::array<std::string, 256> current;
  for (int b = 0; b < 256; ++b) current[b] = std::string(1, static_cast<char>(b));
  current[0].clear();
  for (std::uint32_t k = kMaxEntries; k >= 1; --k) {
    const std::uint8_t* entry = entries_.data() + std::size_t{k} * kEntrySize;
    std::uint8_t code = entry[kEntryCodeByte];
    if (code == 0) continue;
    std::string text;
    for (char c : replacement(entry)) {
      if (text.size() >= kMaxDecodedText) break;
      text += current[static_cast<std::uint8_t>(c)];
    }
    if (text.size() > kMaxDecodedText) text.resize(kMaxDecodedText);
    current[code] = std::move(text);
  }
  pool_.clear();
  for (int b = 0; b < 256; ++b) {
    start_[b] = static_cast<std::uint32_t>(pool_.size());
    length_[b] = static_cast<std::uint16_t>(current[b].size());
    pool_.insert(pool_.end(), current[b].begin(), current[b].end());
  }
  pool_.push_back('\0');  // keeps data() valid for empty expansions
}

bool load_decoding_tables(WindowedReader& index_reader, const Header& header, int direction,
                          DecodingTable& own, DecodingTable& other) {
  const int own_i = direction == 2 ? 1 : 0;
  const int other_i = 1 - own_i;
  const std::uint32_t own_length =
      std::min<std::uint32_t>(header.table_length[own_i], kMaxTableBytes);
  const std::uint32_t other_length =
      std::min<std::uint32_t>(header.table_length[other_i], kMaxTableBytes);
  const std::uint32_t window =
      std::max({WindowedReader::kDefaultWindow, std::uint32_t{header.table_length[own_i]},
                std::uint32_t{header.table_length[other_i]}});
  // Only the bytes that are really in the file are taken: a table that runs
  // past the end of the file is cut there, not filled with stale bytes.
  auto own_bytes = index_reader.span_at(header.table_offset[own_i], window);
  if (own_bytes.data() == nullptr) return false;
  own.load(own_bytes.first(std::min<std::size_t>(own_length, own_bytes.size())));
  auto other_bytes = index_reader.span_at(header.table_offset[other_i]);
  if (other_bytes.data() == nullptr) return false;
  other.load(other_bytes.first(std::min<std::size_t>(other_length, other_bytes.size())));
  return true;
}

void expand(std::string_view compressed, const DecodingTable& table, DecodedText& out) {
  char* dst = out.data.data();
  std::uint32_t size = 0;
  for (char c : compressed) {
    if (c == '\0') break;
    std::string_view piece = table.expansion(static_cast<std::uint8_t>(c));
    std::size_t n = std::min<std::size_t>(piece.size(), kMaxDecodedText - size);
    std::memcpy(dst + size, piece.data(), n);
    size += static_cast<std::uint32_t>(n);
    if (size == kMaxDecodedText) break;
  }
  dst[size] = '\0';
  out.size = size;
}

std::string expand(std::string_view compressed, const DecodingTable& table) {
  DecodedText out;
  expand(compressed, table, out);
  return std::string(out.view());
}

void decode_record(const std::uint8_t* record, const DecodingTable& table, DecodedText& out) {
  std::uint8_t length = record[1];
  expand({reinterpret_cast<const char*>(record + 2), length}, table, out);
}

std::string decode_record(const std::uint8_t* record, const DecodingTable& table) {
  DecodedText out;
  decode_record(record, table, out);
  return std::string(out.view());
}

}  // namespace lexvia
