// The suggestion index: a file beside a dictionary (its name with ".near"
// added) that lets "Did you mean" find the headwords one or two edits from a
// missed word in a few dozen hash probes instead of walking the section.
//
// For each direction it holds, for every headword of one word, its fully
// folded form and each form with one letter deleted, and for a headword of
// several words its folded form without the spaces (so "icecream" finds
// "ice cream"). A query probes its own form and every form with one or two
// letters deleted: any headword one edit away shares a key with it, and so
// does one two edits away unless both edits are letters the query lacks or
// changes of two letters. Each key stands in a bucket by its hash, as the
// record's number and 8 bits of the hash; the buckets only name candidates,
// every one of which is read from the dictionary and measured, so a
// collision, a damaged index or one left over from another dictionary can
// cost a suggestion but never give a wrong one.
//
// The dictionary file itself is unchanged: a reader that knows nothing of
// the index reads it as before, and a dictionary without one is served by
// the section walk, only slower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dict/direction.h"
#include "dict/file_source.h"

namespace lexvia {

// "en-de.dic" -> "en-de.dic.near".
std::string near_index_path(const std::string& dictionary);

// The index of a whole dictionary, or why it cannot be made (a section that
// cannot be read).
std::variant<std::vector<std::uint8_t>, std::string> build_near_index(FileSource& dictionary);

// The hashes a query probes: its fully folded form (no spaces) and each form
// with one or two letters deleted (a form reached twice is probed twice:
// its bucket is then in the cache, which costs less than sorting them out).
void near_probe_hashes(std::string_view folded, std::vector<std::uint64_t>& out);

// The longest folded query (and headword) the index serves.
inline constexpr std::size_t kNearLongest = 32;

// An index checked against the dictionary it is opened for.
class NearIndex {
 public:
  // Nothing, with the cause in `why`, when the file is missing, not a
  // regular file, damaged, or made for another dictionary (its size, header
  // or sampled section bytes differ). A `mapped` index is read in memory,
  // for the many misses of a batch; else through the system, since a
  // single miss reads a few hundred bytes and the page faults of a fresh
  // mapping would cost more.
  static std::unique_ptr<NearIndex> open(const std::string& path, FileSource& dictionary,
                                         std::string* why = nullptr, bool mapped = true);
  ~NearIndex();
  NearIndex(const NearIndex&) = delete;
  NearIndex& operator=(const NearIndex&) = delete;

  // Where a direction's arrays lie in the file, all of little-endian u32.
  struct Table {
    std::uint32_t records = 0;      // of the section
    std::uint32_t bucket_mask = 0;  // buckets - 1
    std::uint64_t directory = 0;    // buckets + 1 slot numbers
    std::uint64_t slots = 0;        // record << 8 | 8 bits of the hash, each
    std::uint64_t slot_count = 0;
    std::uint64_t places = 0;  // where record k * kPlaceStep starts, each
  };
  static constexpr std::uint32_t kPlaceStep = 8;

  // The direction's table; null when the index holds none for it (a section
  // of 2^24 records or more).
  const Table* table(Direction direction) const;
  // The numbers of the records that share a probed key (and perhaps a few
  // more), ascending and without repeats; the buckets stop being read once
  // `most` are named.
  void candidates(Direction direction, std::span<const std::uint64_t> hashes,
                  std::vector<std::uint32_t>& out, std::size_t most) const;
  // Where record `group` * kPlaceStep starts, as the index says (checked
  // by the caller); nothing when it cannot be read.
  std::optional<std::uint64_t> place(Direction direction, std::uint32_t group) const;
  std::size_t keys(Direction direction) const;

 private:
  NearIndex() = default;
  // `count` u32 at `offset` into `out`; false when they cannot be read.
  bool read32(std::uint64_t offset, std::size_t count, std::vector<std::uint32_t>& out) const;
  std::unique_ptr<FileSource> file_;
  std::span<const std::uint8_t> memory_;  // the file when it is mapped
  std::optional<Table> tables_[2];
};

}  // namespace lexvia
