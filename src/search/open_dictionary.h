// What a lookup and a browse move share: the dictionary opened and checked
// for one operation, and the marker scans over its index section.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dict/decoder.h"
#include "dict/dictionary_info.h"
#include "dict/file_source.h"
#include "dict/windowed_reader.h"
#include "search/search_engine.h"

namespace lexvia {

// One index section of the open dictionary.
struct SectionSpan {
  std::uint64_t start = 0;        // S: the first record marker
  std::uint64_t length = 0;       // N, terminal marker included
  std::uint64_t end = 0;          // E = S + N - 1: the terminal marker
  std::uint64_t other_start = 0;  // S': references are relative to it
};

// One probe of the binary search over a section. Its first levels land on
// the same records for every query: a lent file keeps what they found, so
// that a query compares its key there without scanning back to the record
// and decoding it.
struct ProbeNode {
  bool known = false;
  std::uint64_t record = 0;  // where the probed record starts
  std::uint64_t after = 0;   // where the record after it starts
  std::string key;           // the headword's prefix_sort_key
};

// The decoding tables of a lent file, kept from one operation to the next:
// a lent file does not change while it is lent, and loading the tables is
// much of a short lookup. With them the probes of the direction's section,
// node n's children at 2n and 2n + 1.
struct LentTables {
  static constexpr std::size_t kProbeNodes = std::size_t{1} << 11;
  const FileSource* file = nullptr;  // whose tables these are; null for none
  Direction direction = Direction::kFrom1;
  SectionSpan section;
  std::string language;  // the direction's source language code
  std::uint64_t sections_end = 0;  // the least size the file must keep
  DecodingTable own;
  DecodingTable other;
  std::vector<ProbeNode> probes;  // empty until a search asks
};

// The dictionary as one operation holds it: the file, both readers attached
// to it, the header and the section of the direction. Closing detaches the
// readers so that none is left pointing at a closed file.
class OpenDictionary {
 public:
  OpenDictionary(WindowedReader& index, WindowedReader& translation)
      : index_(index), translation_(translation) {}
  ~OpenDictionary() { close(); }
  OpenDictionary(const OpenDictionary&) = delete;
  OpenDictionary& operator=(const OpenDictionary&) = delete;

  enum class Result { kOpen, kNoPath, kCannotOpen, kUnreadable, kBadMagic };

  // The checks a lookup and a move share: open, read the header, check the
  // magic (not the format number), load both tables. A `lent` file, open
  // already, is read in place of opening the path; it stays its owner's.
  // With `kept`, its tables are taken from there when they are the lent
  // file's, else loaded there.
  Result open(const DictionaryPath& path, Direction direction, FileSource* lent = nullptr,
              LentTables* kept = nullptr);
  // Reports the error of a failed open, if it has one.
  static void report(Result result, const DictionaryPath& path, DictionaryErrorSink& errors);
  void close();

  const SectionSpan& section() const { return section_; }
  // The header's code of the direction's source language ("de" in de » en).
  const std::string& language() const { return language_; }
  // The readers attached to the file: the index reader for the binary
  // search and the marker scans, the translation reader for the texts.
  WindowedReader& index() const { return index_; }
  WindowedReader& translation() const { return translation_; }
  // Only after a successful open.
  const DecodingTable& own() const { return *own_; }
  const DecodingTable& other() const { return *other_; }
  // The probes kept for a lent file's section, else null.
  std::vector<ProbeNode>* probes() const { return probes_; }

 private:
  WindowedReader& index_;
  WindowedReader& translation_;
  std::unique_ptr<PosixFile> file_;  // null while a lent file is read
  bool attached_ = false;
  SectionSpan section_;
  std::string language_;
  std::optional<DecodingTable> own_storage_;
  std::optional<DecodingTable> other_storage_;
  const DecodingTable* own_ = nullptr;
  const DecodingTable* other_ = nullptr;
  std::vector<ProbeNode>* probes_ = nullptr;
};

// The first marker at or after `from` (a failed read ends the scan as a
// marker would, so the scan never runs past the end of the file).
std::uint64_t next_marker(WindowedReader& reader, std::uint64_t from);

// The last marker in (floor, from], or floor when there is none: the step back
// from the middle of a binary search's range to a record's start.
std::uint64_t marker_back_to(WindowedReader& reader, std::uint64_t from, std::uint64_t floor);

// The last marker at or before `from`; nothing when the scan reaches the
// start of the file first, since a position before it is a failed read.
std::optional<std::uint64_t> previous_marker(WindowedReader& reader, std::uint64_t from);

// Decodes the record at `position`; false when it cannot be read.
bool decode_at(WindowedReader& reader, std::uint64_t position, const DecodingTable& table,
               DecodedText& out);

}  // namespace lexvia
