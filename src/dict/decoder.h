// Record decompression. A record's headword is stored with single code bytes
// standing for replacement texts of up to 4 bytes; entries are applied once
// each, in table order, and a replacement may hold codes of later entries, so
// one byte can unfold into a longer piece of text.
//
// Because every entry replaces each occurrence of its code on its own, the
// whole table is a per-byte mapping: a byte expands to the same text wherever
// it stands. DecodingTable works that mapping out once when it is loaded (the
// entries taken from last to first), and decoding is then one copy per
// compressed byte instead of up to 254 scans of the text.
//
// Malformed tables are decoded within bounds: an entry's own code inside its
// replacement is left for later entries rather than expanded forever, and a
// text is cut at 999 bytes (the first 999 bytes of the full expansion).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dict/direction.h"
#include "dict/format.h"
#include "dict/windowed_reader.h"

namespace lexvia {

inline constexpr std::uint32_t kDecodingTableEntries = 255;  // entry 0 unused
inline constexpr std::uint32_t kDecodingTableBytes = kDecodingTableEntries * kEntrySize;  // 3060

class DecodingTable {
 public:
  // All entries empty: text decodes to itself.
  DecodingTable();

  // Copies a stored substitution table into the entries from entry 1 on; at
  // most 3048 bytes are taken, and entries the stored bytes do not reach stay
  // empty.
  void load(std::span<const std::uint8_t> stored);

  // The 3060 entry bytes as loaded; entry k starts at k * 12.
  const std::array<std::uint8_t, kDecodingTableBytes>& entries() const { return entries_; }

  // What byte b finally stands for after all entries (at most 999 bytes).
  std::string_view expansion(std::uint8_t b) const {
    return {pool_.data() + start_[b], length_[b]};
  }

 private:
  void precompute();

  std::array<std::uint8_t, kDecodingTableBytes> entries_{};
  std::vector<char> pool_;
  std::array<std::uint32_t, 256> start_{};
  std::array<std::uint16_t, 256> length_{};
};

// A decoded text in a fixed buffer, so that decoding allocates nothing.
struct DecodedText {
  // Left uninitialised: a lookup makes several, and only the first size + 1
  // bytes are ever read.
  std::array<char, kMaxDecodedText + 1> data;
  std::uint32_t size = 0;
  std::string_view view() const { return {data.data(), size}; }
};

// Loads the own table (the substitution table of the direction's source
// language) and the other table through the index reader, whose window
// becomes the larger of 2048 and the two stored lengths. Fails when a table
// cannot be read.
bool load_decoding_tables(WindowedReader& index_reader, const Header& header, Direction direction,
                          DecodingTable& own, DecodingTable& other);

// REQUIRES: `record` points at a record marker with at least 256 readable
// bytes behind it (a reader window always has that).
void decode_record(const std::uint8_t* record, const DecodingTable& table, DecodedText& out);
std::string decode_record(const std::uint8_t* record, const DecodingTable& table);

// The decoded record as the run of pieces decode_record would join, each
// handed to `sink` in turn until it returns false: a comparison that is
// decided by the first letters decodes no more. The pieces hold no NUL and
// together stop at 999 bytes, as decode_record's text does.
template <class Sink>
void for_each_piece(const std::uint8_t* record, const DecodingTable& table, Sink sink) {
  std::size_t room = kMaxDecodedText;
  const std::uint8_t* code = record + 2;
  for (const std::uint8_t* end = code + record[1]; code != end && *code != 0 && room != 0; ++code) {
    std::string_view piece = table.expansion(*code);
    if (piece.size() > room) piece = piece.substr(0, room);
    room -= piece.size();
    if (!sink(piece)) return;
  }
}

// The substitution step on its own. The input ends at its first NUL, if any.
void expand(std::string_view compressed, const DecodingTable& table, DecodedText& out);
std::string expand(std::string_view compressed, const DecodingTable& table);

}  // namespace lexvia
