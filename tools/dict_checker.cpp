#include "dict_checker.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "dict/coding.h"
#include "dict/decoder.h"
#include "search/collation.h"

namespace lexvia {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Collects faults, keeping at most a few of each kind so that a badly broken
// file gives a readable report.
class Faults {
 public:
  explicit Faults(std::vector<std::string>& out) : out_(out) {}
  ~Faults() {
    for (const auto& [kind, count] : counts_) {
      if (count > kShown) {
        out_.push_back("... and " + std::to_string(count - kShown) + " more: " + kind);
      }
    }
  }
  Faults(const Faults&) = delete;
  Faults& operator=(const Faults&) = delete;

  void add(const std::string& kind, const std::string& detail) {
    if (++counts_[kind] <= kShown) out_.push_back(kind + ": " + detail);
  }

 private:
  static constexpr std::size_t kShown = 10;
  std::vector<std::string>& out_;
  std::map<std::string, std::size_t> counts_;
};

std::string at(std::uint64_t offset) { return "at offset " + std::to_string(offset); }

// The part of [offset, offset + length) that lies inside the file.
Bytes clip(Bytes file, std::uint64_t offset, std::uint64_t length) {
  if (offset >= file.size()) return {};
  return file.subspan(offset, std::min<std::uint64_t>(length, file.size() - offset));
}

bool inside(Bytes file, std::uint64_t offset, std::uint64_t length) {
  return offset <= file.size() && length <= file.size() - offset;
}

// What each byte value expands to, in bytes, with no cap: the decoder cuts at
// 999, so the checker must count on its own to see a text that is too long.
std::array<std::uint64_t, 256> expanded_lengths(const DecodingTable& table) {
  constexpr std::uint64_t kSaturated = 1ull << 40;
  std::array<std::uint64_t, 256> length;
  length.fill(1);
  length[0] = 0;
  const auto& e = table.entries();
  for (std::uint32_t k = kMaxEntries; k >= 1; --k) {
    const std::uint8_t* entry = e.data() + std::size_t{k} * kEntrySize;
    if (entry[kEntryCodeByte] == 0) continue;
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < kMaxReplacement && entry[i] != 0; ++i) total += length[entry[i]];
    length[entry[kEntryCodeByte]] = std::min(total, kSaturated);
  }
  return length;
}

void check_header_texts(Bytes file, const Header& h, Faults& faults) {
  using namespace header_field;
  for (std::uint32_t field : {kLanguage1, kLanguage2}) {
    if (std::find(file.begin() + field, file.begin() + field + 4, 0) == file.begin() + field + 4) {
      faults.add("language code", "the code at header byte " + std::to_string(field) +
                                      " has no NUL within its 4 bytes");
    }
  }
  const std::uint64_t ends[2] = {h.prefix_list_offset[1], h.table_offset[0]};
  for (int n = 0; n < 2; ++n) {
    const std::string name = "prefix list " + std::to_string(n + 1);
    const std::uint64_t start = h.prefix_list_offset[n];
    if (start >= ends[n] || !inside(file, start, ends[n] - start)) {
      faults.add(name, "its span " + std::to_string(start) + " to " + std::to_string(ends[n]) +
                           " is empty or leaves the file");
      continue;
    }
    Bytes span = file.subspan(start, ends[n] - start);
    if (std::find(span.begin(), span.end(), 0) == span.end()) {
      faults.add(name, "no NUL inside its span");
    }
  }
}

void check_table(Bytes file, const Header& h, int n, Faults& faults) {
  const std::string name = "substitution table " + std::to_string(n + 1);
  const std::uint64_t offset = h.table_offset[n];
  const std::uint32_t length = h.table_length[n];
  if (length > kMaxTableBytes) {
    faults.add(name, "length " + std::to_string(length) + " exceeds 3048 bytes");
  }
  if (length % kEntrySize != 0) {
    faults.add(name, "length " + std::to_string(length) + " is not a multiple of 12");
  }
  if (!inside(file, offset, length)) {
    faults.add(name, at(offset) + " with length " + std::to_string(length) + " leaves the file");
    return;
  }
  const std::uint32_t entries = std::min(length, kMaxTableBytes) / kEntrySize;
  for (std::uint32_t k = 0; k < entries; ++k) {
    const std::uint8_t* entry = file.data() + offset + std::size_t{k} * kEntrySize;
    const std::string which = "entry " + std::to_string(k + 1);
    const std::uint8_t code = entry[kEntryCodeByte];
    if (std::find(entry, entry + kMaxReplacement + 1, 0) == entry + kMaxReplacement + 1) {
      faults.add(name, which + ": replacement has no NUL within bytes 0 to 4");
    }
    if (code == kMarker) faults.add(name, which + ": code byte 0xFF can never occur in a record");
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(entry, 0, kMaxReplacement));
    const std::uint8_t* end = nul ? nul : entry + kMaxReplacement;
    if (code != 0 && std::find(entry, end, code) != end) {
      faults.add(name, which + ": replacement holds its own code");
    }
  }
}

}  // namespace

namespace {

// Where the records of a section start, as positions within the section.
struct SectionLayout {
  std::uint64_t offset = 0;
  Bytes bytes;                  // the section, clipped to the file
  std::vector<bool> is_record;  // record marker at this position
  std::vector<std::uint64_t> starts;
};

SectionLayout layout_section(Bytes file, const Header& h, int n, Faults& faults) {
  const std::string name = "index section " + std::to_string(n + 1);
  SectionLayout s;
  s.offset = h.section_offset[n];
  const std::uint64_t length = h.section_length[n];
  if (length == 0) {
    faults.add(name, "length 0 leaves no room for the terminal marker");
    return s;
  }
  if (!inside(file, s.offset, length)) {
    faults.add(name, at(s.offset) + " with length " + std::to_string(length) + " leaves the file");
  }
  s.bytes = clip(file, s.offset, length);
  if (s.bytes.size() == length && s.bytes.back() != kMarker) {
    faults.add(name, "the last byte is not the terminal marker 0xFF");
  }
  if (s.bytes.size() > 1 && s.bytes.front() != kMarker) {
    faults.add(name, "the first byte is not a record marker");
  }
  const std::uint64_t records_end = s.bytes.size() == length ? length - 1 : s.bytes.size();
  s.is_record.assign(records_end, false);
  for (std::uint64_t i = 0; i < records_end; ++i) {
    if (s.bytes[i] == kMarker) {
      s.is_record[i] = true;
      s.starts.push_back(i);
    }
  }
  return s;
}

void check_records(const SectionLayout& own, const SectionLayout& other, const DecodingTable& table,
                   int n, Faults& faults) {
  const std::string name = "index section " + std::to_string(n + 1);
  const auto lengths = expanded_lengths(table);
  const std::uint64_t records_end = own.is_record.size();
  std::string previous_key;
  for (std::size_t i = 0; i < own.starts.size(); ++i) {
    const std::uint64_t r = own.starts[i];
    const std::uint64_t next = i + 1 < own.starts.size() ? own.starts[i + 1] : records_end;
    const std::string where = "record " + at(own.offset + r);
    if (r + 1 >= next) {
      faults.add(name, where + ": no length byte before the next marker (stray 0xFF)");
      continue;
    }
    const std::uint8_t length = own.bytes[r + 1];
    if (r + 2 + length > next) {
      faults.add(name, where + ": a headword of " + std::to_string(length) +
                           " bytes runs into the next marker (stray 0xFF or wrong length)");
      continue;
    }
    Bytes headword = own.bytes.subspan(r + 2, length);
    if (std::find(headword.begin(), headword.end(), 0) != headword.end()) {
      faults.add(name, where + ": the headword holds a NUL byte");
    }
    std::uint64_t decoded_length = 0;
    for (std::uint8_t b : headword) decoded_length += b == 0 ? 0 : lengths[b];
    if (decoded_length > kMaxDecodedText) {
      faults.add(name, where + ": decodes to " + std::to_string(decoded_length) +
                           " characters; at most 999 are allowed");
    }
    const std::uint64_t reference_bytes = next - (r + 2 + length);
    if (reference_bytes % kReferenceSize != 0) {
      faults.add(name, where + ": " + std::to_string(reference_bytes) +
                           " reference bytes are not a multiple of 3");
    }
    for (std::uint64_t p = r + 2 + length; p + kReferenceSize <= next; p += kReferenceSize) {
      const std::uint32_t value = get_reference(own.bytes.data() + p);
      if (value >= other.is_record.size() || !other.is_record[value]) {
        faults.add(name, where + ": reference " + std::to_string(value) +
                             " does not land on a record marker of the other section");
      }
    }
    const std::string key = prefix_sort_key(
        expand({reinterpret_cast<const char*>(headword.data()), headword.size()}, table));
    if (i > 0 && key < previous_key) {
      faults.add(name, where + ": sorts before the record in front of it");
    }
    previous_key = key;
  }
}

}  // namespace

VerifyReport verify_dictionary(Bytes file) {
  VerifyReport report;
  Faults faults(report.faults);
  if (file.size() < kHeaderSize) {
    faults.add("header", "the file is " + std::to_string(file.size()) +
                             " bytes long, shorter than the 72-byte header");
    return report;
  }
  if (!has_magic(file)) {
    faults.add("header", "not a dictionary file (bad magic)");
    return report;
  }
  const Header h = *parse_header(file);
  if (h.format_number < kMinFormatNumber) {
    faults.add("header", "format number " + std::to_string(h.format_number) + " is below 261");
  }
  check_header_texts(file, h, faults);
  DecodingTable tables[2];
  for (int n = 0; n < 2; ++n) {
    check_table(file, h, n, faults);
    tables[n].load(clip(file, h.table_offset[n], h.table_length[n]));
  }
  SectionLayout sections[2] = {layout_section(file, h, 0, faults),
                               layout_section(file, h, 1, faults)};
  for (int n = 0; n < 2; ++n) {
    check_records(sections[n], sections[1 - n], tables[n], n, faults);
    report.records[n] = sections[n].starts.size();
  }
  return report;
}

std::variant<DictionaryInfo, InfoError> read_dictionary_info(Bytes file) {
  if (file.size() < kHeaderSize) {
    return InfoError{"not a dictionary file: shorter than the 72-byte header"};
  }
  if (!has_magic(file)) return InfoError{"not a dictionary file (bad magic)"};
  DictionaryInfo info;
  info.header = *parse_header(file);
  info.file_size = file.size();
  const Header& h = info.header;
  const std::uint64_t ends[2] = {h.prefix_list_offset[1], h.table_offset[0]};
  for (int n = 0; n < 2; ++n) {
    const std::uint64_t start = h.prefix_list_offset[n];
    if (start < ends[n] && inside(file, start, ends[n] - start)) {
      Bytes span = file.subspan(start, ends[n] - start);
      auto nul = std::find(span.begin(), span.end(), 0);
      if (nul != span.end()) info.prefix_list[n] = std::string(span.begin(), nul);
    }
    Bytes table =
        clip(file, h.table_offset[n], std::min<std::uint32_t>(h.table_length[n], kMaxTableBytes));
    for (std::size_t k = 0; k + kEntryCodeByte < table.size(); k += kEntrySize) {
      if (table[k + kEntryCodeByte] != 0) ++info.table_entries[n];
    }
    Bytes section = clip(file, h.section_offset[n], h.section_length[n]);
    std::uint64_t records_end = section.size() == h.section_length[n] && !section.empty()
                                    ? section.size() - 1
                                    : section.size();
    info.records[n] = static_cast<std::size_t>(
        std::count(section.begin(), section.begin() + records_end, kMarker));
  }
  return info;
}

}  // namespace lexvia
