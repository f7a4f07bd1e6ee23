#include "dict_dump.h"

#include <algorithm>
#include <string>

#include "dict/coding.h"
#include "dict/decoder.h"
#include "dict/format.h"
#include "dict/windowed_reader.h"

namespace lexvia {

namespace {

// True when the byte at `offset` is a record marker or cannot be read: a
// failed read ends a scan as a marker would.
bool at_marker(WindowedReader& reader, std::uint64_t offset) {
  return reader.byte_at(offset) == -1;
}

}  // namespace

std::optional<std::string> dump_dictionary(FileSource& file, Direction direction,
                                           const DumpSink& sink) {
  WindowedReader index(&file);
  WindowedReader translation(&file);
  const auto header_span = index.span_at(0, kHeaderSize);
  const auto header = parse_header(header_span);
  if (!header) return "not a dictionary file: shorter than its header";
  if (!has_magic(header_span)) return "not a dictionary file (bad magic)";
  const Header& h = *header;

  DecodingTable own;
  DecodingTable other;
  if (!load_decoding_tables(index, h, direction, own, other)) {
    return "the substitution tables cannot be read";
  }
  // A file cut short would dump the pairs before the cut and pass for whole.
  for (int n = 0; n < 2; ++n) {
    const std::uint64_t last = std::uint64_t{h.section_offset[n]} + h.section_length[n];
    if (h.section_length[n] != 0 && index.pointer_at(last - 1) == nullptr) {
      return "the file is cut short: index section " + std::to_string(n + 1) + " ends at byte " +
             std::to_string(last) + ", past the end of the file";
    }
  }
  const std::size_t d = index_of(direction);
  const std::uint64_t start = h.section_offset[d];
  const std::uint64_t length = h.section_length[d];
  if (length == 0) return std::nullopt;
  const std::uint64_t end = start + length - 1;  // the terminal marker
  const std::uint64_t other_start = h.section_offset[1 - d];

  DecodedText headword;
  DecodedText target;
  std::uint64_t p = start;
  while (p < end && !at_marker(index, p)) ++p;  // a section should start on a marker
  while (p < end) {
    const std::uint8_t* record = index.pointer_at(p);
    if (record == nullptr || *record != kMarker) break;
    decode_record(record, own, headword);
    std::uint64_t r = p + 2 + record[1];
    bool any = false;
    // Each reference is three bytes; one that runs into a marker is cut there.
    while (r < end && !at_marker(index, r) && !at_marker(index, r + 1) &&
           !at_marker(index, r + 2)) {
      const std::uint8_t* digits = index.pointer_at(r);
      if (digits == nullptr) break;
      const std::uint8_t* referenced = translation.pointer_at(other_start + get_reference(digits));
      if (referenced != nullptr) {
        decode_record(referenced, other, target);
        sink(headword.view(), target.view());
        any = true;
      }
      r += kReferenceSize;
    }
    if (!any) sink(headword.view(), std::nullopt);
    p = std::max(r, p + 1);
    while (p < end && !at_marker(index, p)) ++p;
  }
  return std::nullopt;
}

}  // namespace lexvia
