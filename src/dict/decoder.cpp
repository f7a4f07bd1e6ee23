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
  // Walking the entries from last to first, expansion(b) is what byte b turns
  // into under the entries after the one at hand; entry k then sets its code
  // to the concatenation of what its replacement bytes turn into. Keeping only
  // the first 999 bytes of every expansion is exact, since the first 999
  // bytes of a concatenation depend only on the first 999 of each part.
  // The pool only grows, so an expansion stays valid while later ones are
  // built from it.
  pool_.clear();
  pool_.reserve(1024);
  pool_.resize(256);
  for (int b = 0; b < 256; ++b) {
    pool_[b] = static_cast<char>(b);
    start_[b] = static_cast<std::uint32_t>(b);
    length_[b] = 1;
  }
  length_[0] = 0;
  std::array<char, kMaxDecodedText> text;
  for (std::uint32_t k = kMaxEntries; k >= 1; --k) {
    const std::uint8_t* entry = entries_.data() + std::size_t{k} * kEntrySize;
    const std::uint8_t code = entry[kEntryCodeByte];
    if (code == 0) continue;
    std::size_t size = 0;
    for (char c : replacement(entry)) {
      const std::string_view piece = expansion(static_cast<std::uint8_t>(c));
      const std::size_t n = std::min(piece.size(), kMaxDecodedText - size);
      std::memcpy(text.data() + size, piece.data(), n);
      size += n;
    }
    start_[code] = static_cast<std::uint32_t>(pool_.size());
    length_[code] = static_cast<std::uint16_t>(size);
    pool_.insert(pool_.end(), text.data(), text.data() + size);
  }
  pool_.resize(pool_.size() + 8, '\0');  // lets expand copy 8 bytes from any piece
}

bool load_decoding_tables(WindowedReader& index_reader, const Header& header, Direction direction,
                          DecodingTable& own, DecodingTable& other) {
  const std::size_t own_i = index_of(direction);
  const std::size_t other_i = 1 - own_i;
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
    // Most pieces are a few bytes: one fixed 8-byte copy (the pool is padded
    // for it) beats a call per byte.
    if (piece.size() <= 8 && size + 8 <= kMaxDecodedText) {
      std::memcpy(dst + size, piece.data(), 8);
      size += static_cast<std::uint32_t>(piece.size());
      continue;
    }
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
