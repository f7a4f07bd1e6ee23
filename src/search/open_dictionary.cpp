#include "search/open_dictionary.h"

#include <algorithm>
#include <cstring>

#include "dict/format.h"

namespace lexvia {

OpenDictionary::Result OpenDictionary::open(const DictionaryPath& path, Direction direction,
                                            FileSource* lent, LentTables* kept) {
  if (!path) return Result::kNoPath;
  if (lent == nullptr) {
    file_ = PosixFile::open(*path);
    if (!file_) return Result::kCannotOpen;
  }
  FileSource* const file = lent != nullptr ? lent : file_.get();
  attached_ = true;
  index_.attach(file);
  translation_.attach(file);
  if (lent == nullptr) kept = nullptr;
  // A lent file does not change while it is lent: what its header gave the
  // last lookup in this direction still holds, unless it was cut short.
  if (kept != nullptr && kept->file == lent && kept->direction == direction) {
    const std::int64_t size = file->size();
    if (size >= 0 && kept->sections_end > static_cast<std::uint64_t>(size)) {
      return Result::kUnreadable;
    }
    section_ = kept->section;
    language_ = kept->language;
    own_ = &kept->own;
    other_ = &kept->other;
    probes_ = &kept->probes;
    return Result::kOpen;
  }
  // The header is read with the window the reader already has (2048 at the
  // first lookup, the tables' window after it): setting 2048 here and the
  // tables' window right after would cost two new buffers and two refills
  // per lookup for the same bytes.
  const auto bytes = index_.span_at(0);
  const auto header = parse_header(bytes);
  if (!header) return Result::kUnreadable;
  if (!has_magic(bytes)) return Result::kBadMagic;
  const Header& h = *header;
  const std::size_t d = index_of(direction);
  section_.start = h.section_offset[d];
  section_.length = h.section_length[d];
  // An empty section has no terminal marker; it ends where it starts.
  section_.end = section_.length == 0 ? section_.start : section_.start + section_.length - 1;
  section_.other_start = h.section_offset[1 - d];
  language_ = h.language[d];
  // A file cut short (a broken download) would otherwise look like a
  // dictionary in which nothing matches.
  const std::int64_t size = file->size();
  for (int n = 0; n < 2 && size >= 0; ++n) {
    if (std::uint64_t{h.section_offset[n]} + h.section_length[n] > static_cast<std::uint64_t>(size)) {
      return Result::kUnreadable;
    }
  }
  DecodingTable& own = kept != nullptr ? kept->own : own_storage_.emplace();
  DecodingTable& other = kept != nullptr ? kept->other : other_storage_.emplace();
  if (kept != nullptr) {
    kept->file = nullptr;  // until the load succeeds
    kept->probes.clear();
  }
  if (!load_decoding_tables(index_, h, direction, own, other)) {
    return Result::kUnreadable;
  }
  if (kept != nullptr) {
    kept->file = lent;
    kept->direction = direction;
    kept->section = section_;
    kept->language = language_;
    kept->sections_end = std::max(std::uint64_t{h.section_offset[0]} + h.section_length[0],
                                  std::uint64_t{h.section_offset[1]} + h.section_length[1]);
    probes_ = &kept->probes;
  }
  own_ = &own;
  other_ = &other;
  return Result::kOpen;
}

void OpenDictionary::close() {
  if (!attached_) return;
  attached_ = false;
  index_.attach(nullptr);
  translation_.attach(nullptr);
  file_.reset();
}

void OpenDictionary::report(Result result, const DictionaryPath& path,
                            DictionaryErrorSink& errors) {
  switch (result) {
    case Result::kNoPath:
      errors.report_dictionary_error(DictionaryError::kNoDictionary, std::nullopt);
      break;
    case Result::kCannotOpen:
      errors.report_dictionary_error(DictionaryError::kCannotOpen, path);
      break;
    // Too short for its header, its tables or its sections: not a dictionary
    // the lookup can use, which the user must be told rather than shown no
    // match.
    case Result::kBadMagic:
    case Result::kUnreadable:
      errors.report_dictionary_error(DictionaryError::kNotADictionary, path);
      break;
    case Result::kOpen:
      break;
  }
}

namespace {

// Where a memchr over the file in memory stopped, or `none` when it found nothing.
std::uint64_t offset_in(std::span<const std::uint8_t> memory, const void* found,
                        std::uint64_t none) {
  return found == nullptr ? none
                          : static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(found) -
                                                       memory.data());
}

}  // namespace

// A file held in memory is scanned in place: the scans are much of a lookup.
std::uint64_t next_marker(WindowedReader& reader, std::uint64_t from) {
  const std::span<const std::uint8_t> memory = reader.memory();
  if (!memory.empty()) {
    if (from >= memory.size()) return from;
    // Past the end of the file a read fails, which ends a scan as a marker.
    return offset_in(memory, std::memchr(memory.data() + from, kMarker, memory.size() - from),
                     memory.size());
  }
  while (reader.byte_at(from) != -1) ++from;
  return from;
}

std::uint64_t marker_back_to(WindowedReader& reader, std::uint64_t from, std::uint64_t floor) {
  const std::span<const std::uint8_t> memory = reader.memory();
  if (!memory.empty() && from < memory.size()) {
    if (from <= floor) return from;
    return offset_in(memory, ::memrchr(memory.data() + floor + 1, kMarker, from - floor), floor);
  }
  while (from > floor && reader.byte_at(from) != -1) --from;
  return from;
}

std::optional<std::uint64_t> previous_marker(WindowedReader& reader, std::uint64_t from) {
  const std::span<const std::uint8_t> memory = reader.memory();
  if (!memory.empty() && from < memory.size()) {
    const void* found = ::memrchr(memory.data(), kMarker, from + 1);
    if (found == nullptr) return std::nullopt;
    return offset_in(memory, found, 0);
  }
  for (std::uint64_t pos = from;; --pos) {
    if (reader.byte_at(pos) == -1) return pos;
    if (pos == 0) return std::nullopt;
  }
}

bool decode_at(WindowedReader& reader, std::uint64_t position, const DecodingTable& table,
               DecodedText& out) {
  const std::uint8_t* record = reader.pointer_at(position);
  if (record == nullptr) return false;
  decode_record(record, table, out);
  return true;
}

}  // namespace lexvia
