#include "search/near_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "dict/format.h"
#include "search/collation.h"
#include "search/open_dictionary.h"

namespace lexvia {

namespace {

constexpr std::array<std::uint8_t, 8> kNearMagic = {'L', 'x', 'N', 'e', 'a', 'r', 0, 0};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kDirectionBlock = 56;
constexpr std::size_t kIndexHeader = 32 + 2 * kDirectionBlock;
// The part of a dictionary before its sections (header, prefix lists,
// tables) is a few kilobytes; more is not read to tell two files apart.
constexpr std::uint64_t kLongestFront = std::uint64_t{1} << 16;
constexpr int kSamples = 64;
// Far more than any real index: a bigger file is not one.
constexpr std::uint64_t kLargestIndex = std::uint64_t{1} << 30;
// A record's number takes the slot's upper 24 bits.
constexpr std::uint64_t kMostRecords = std::uint64_t{1} << 24;
// Keys a bucket holds on average.
constexpr std::size_t kPerBucket = 4;

// The hash of the file format: it is stored, so it never changes. FNV-1a
// over the bytes, then a finalizer that spreads them over all 64 bits (the
// bucket takes the low ones, the check byte the high ones).
struct KeyHash {
  std::uint64_t h = 0xcbf29ce484222325u;
  void add(std::uint8_t byte) { h = (h ^ byte) * 0x100000001b3u; }
  std::uint64_t value() const {
    std::uint64_t z = h;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
};

std::uint64_t hash_skipping(std::string_view text, std::size_t skip1, std::size_t skip2) {
  KeyHash hash;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != skip1 && i != skip2) hash.add(static_cast<std::uint8_t>(text[i]));
  }
  return hash.value();
}

constexpr std::size_t kNone = ~std::size_t{0};

// A headword's keys: see the header.
void record_keys(std::string_view folded, std::vector<std::uint64_t>& out) {
  out.clear();
  if (folded.find(' ') != std::string_view::npos) {
    std::string joined;
    for (const char c : folded) {
      if (c != ' ') joined.push_back(c);
    }
    if (joined.size() <= kNearLongest + 2) out.push_back(hash_skipping(joined, kNone, kNone));
    return;
  }
  if (folded.size() > kNearLongest + 2) return;
  out.push_back(hash_skipping(folded, kNone, kNone));
  for (std::size_t i = 0; i < folded.size(); ++i) {
    // Deleting either of two equal neighbours gives the same form.
    if (i > 0 && folded[i] == folded[i - 1]) continue;
    out.push_back(hash_skipping(folded, i, kNone));
  }
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put64(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint64_t get64(const std::uint8_t* p) {
  return std::uint64_t{get32(p)} | std::uint64_t{get32(p + 4)} << 32;
}

// What tells one dictionary from another cheaply: its size, its bytes before
// the sections, and 64 samples of 8 bytes spread over each section.
struct Fingerprint {
  std::uint64_t size = 0;
  std::uint64_t front = 0;
  std::array<std::uint64_t, 2> sections{};
};

std::optional<Fingerprint> fingerprint(FileSource& file) {
  std::array<std::uint8_t, kHeaderSize> header_bytes{};
  if (file.read_at(0, header_bytes.data(), header_bytes.size()) !=
      static_cast<std::int64_t>(header_bytes.size())) {
    return std::nullopt;
  }
  const Header header = parse_header(header_bytes);
  const std::int64_t size = file.size();
  if (size < 0) return std::nullopt;
  Fingerprint print;
  print.size = static_cast<std::uint64_t>(size);
  const std::uint64_t front = std::min<std::uint64_t>(
      {kLongestFront, print.size, header.section_offset[0], header.section_offset[1]});
  std::vector<std::uint8_t> bytes(front);
  if (file.read_at(0, bytes.data(), bytes.size()) != static_cast<std::int64_t>(bytes.size())) {
    return std::nullopt;
  }
  KeyHash hash;
  for (const std::uint8_t b : bytes) hash.add(b);
  print.front = hash.value();
  for (std::size_t d = 0; d < 2; ++d) {
    KeyHash sampled;
    const std::uint64_t start = header.section_offset[d];
    const std::uint64_t length = header.section_length[d];
    std::array<std::uint8_t, 8> sample{};
    for (int i = 0; length >= sample.size() && i < kSamples; ++i) {
      const std::uint64_t at = start + (length - sample.size()) * i / (kSamples - 1);
      if (file.read_at(at, sample.data(), sample.size()) != 8) return std::nullopt;
      for (const std::uint8_t b : sample) sampled.add(b);
    }
    print.sections[d] = sampled.value();
  }
  return print;
}

struct BuiltTable {
  bool present = false;
  std::uint32_t records = 0;
  std::uint32_t bucket_bits = 0;
  std::vector<std::uint32_t> directory;
  std::vector<std::uint32_t> slots;
  std::vector<std::uint32_t> places;
};

std::variant<BuiltTable, std::string> build_table(FileSource& dictionary, Direction direction) {
  WindowedReader index;
  WindowedReader translation;
  OpenDictionary dict(index, translation);
  const char* const which = direction == Direction::kFrom1 ? "section 1" : "section 2";
  if (dict.open(std::string("dictionary"), direction, &dictionary) !=
      OpenDictionary::Result::kOpen) {
    return std::string("the dictionary's header or tables cannot be read");
  }
  BuiltTable table;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;  // hash, record
  std::vector<std::uint64_t> hashes;
  DecodedText text;
  std::string folded;
  std::uint64_t record = 0;
  for (std::uint64_t p = dict.section().start; p < dict.section().end;
       p = next_marker(index, p + 1), ++record) {
    if (!decode_at(index, p, dict.own(), text)) {
      return std::string(which) + ": the record at offset " + std::to_string(p) + " cannot be read";
    }
    if (record >= kMostRecords) return table;  // none for this direction
    if (record % NearIndex::kPlaceStep == 0) table.places.push_back(static_cast<std::uint32_t>(p));
    fold_text_into(text.view(), kFullMode, folded);
    record_keys(folded, hashes);
    for (const std::uint64_t h : hashes) keys.emplace_back(h, static_cast<std::uint32_t>(record));
  }
  table.present = true;
  table.records = static_cast<std::uint32_t>(record);
  const std::size_t buckets = std::bit_ceil(std::max<std::size_t>(1, keys.size() / kPerBucket));
  table.bucket_bits = static_cast<std::uint32_t>(std::countr_zero(buckets));
  const std::uint64_t mask = buckets - 1;
  const auto slot_of = [](std::uint64_t h, std::uint32_t r) {
    return r << 8 | static_cast<std::uint32_t>(h >> 56);
  };
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const std::uint64_t ba = a.first & mask;
    const std::uint64_t bb = b.first & mask;
    return ba != bb ? ba < bb : slot_of(a.first, a.second) < slot_of(b.first, b.second);
  });
  table.directory.assign(buckets + 1, 0);
  table.slots.reserve(keys.size());
  std::size_t k = 0;
  for (std::size_t b = 0; b < buckets; ++b) {
    table.directory[b] = static_cast<std::uint32_t>(table.slots.size());
    for (; k < keys.size() && (keys[k].first & mask) == b; ++k) {
      const std::uint32_t slot = slot_of(keys[k].first, keys[k].second);
      // Two keys of one record may share a bucket and check byte.
      if (table.slots.size() == table.directory[b] || table.slots.back() != slot) {
        table.slots.push_back(slot);
      }
    }
  }
  table.directory[buckets] = static_cast<std::uint32_t>(table.slots.size());
  return table;
}

void append32(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& values) {
  const std::size_t at = out.size();
  out.resize(at + 4 * values.size());
  for (std::size_t i = 0; i < values.size(); ++i) put32(out, at + 4 * i, values[i]);
}

}  // namespace

std::string near_index_path(const std::string& dictionary) { return dictionary + ".near"; }

void near_probe_hashes(std::string_view folded, std::vector<std::uint64_t>& out) {
  out.clear();
  out.push_back(hash_skipping(folded, kNone, kNone));
  for (std::size_t i = 0; i < folded.size(); ++i) {
    out.push_back(hash_skipping(folded, i, kNone));
    for (std::size_t j = i + 1; j < folded.size(); ++j) out.push_back(hash_skipping(folded, i, j));
  }
}

std::variant<std::vector<std::uint8_t>, std::string> build_near_index(FileSource& dictionary) {
  const std::optional<Fingerprint> print = fingerprint(dictionary);
  if (!print) return std::string("the dictionary's header cannot be read");
  std::vector<std::uint8_t> out(kIndexHeader, 0);
  std::copy(kNearMagic.begin(), kNearMagic.end(), out.begin());
  put32(out, 8, kVersion);
  put64(out, 16, print->size);
  put64(out, 24, print->front);
  for (const Direction direction : {Direction::kFrom1, Direction::kFrom2}) {
    auto built = build_table(dictionary, direction);
    if (auto* problem = std::get_if<std::string>(&built)) return *problem;
    const BuiltTable& table = std::get<BuiltTable>(built);
    const std::size_t d = index_of(direction);
    const std::size_t block = 32 + d * kDirectionBlock;
    put64(out, block, print->sections[d]);
    if (!table.present) continue;
    put32(out, block + 8, 1);
    put32(out, block + 12, table.records);
    put32(out, block + 16, table.bucket_bits);
    put64(out, block + 24, out.size());
    append32(out, table.directory);
    put64(out, block + 32, table.slots.size());
    put64(out, block + 40, out.size());
    append32(out, table.slots);
    put64(out, block + 48, out.size());
    append32(out, table.places);
  }
  return out;
}

NearIndex::~NearIndex() = default;

std::unique_ptr<NearIndex> NearIndex::open(const std::string& path, FileSource& dictionary,
                                           std::string* why, bool mapped) {
  const auto fail = [why, &path](const std::string& cause) -> std::unique_ptr<NearIndex> {
    if (why != nullptr) *why = path + ": " + cause;
    return nullptr;
  };
  std::unique_ptr<NearIndex> index(new NearIndex());
  std::string cause;
  if (mapped) {
    auto file = MappedFile::map(path, kLargestIndex);
    if (!file) return fail("cannot be read (missing, not a regular file, empty or too large)");
    index->memory_ = file->in_memory();
    index->file_ = std::move(file);
  } else {
    index->file_ = PosixFile::open(path, &cause);
    if (!index->file_) return fail(cause);
  }
  const std::int64_t size = index->file_->size();
  std::array<std::uint8_t, kIndexHeader> header{};
  if (size < 0 || static_cast<std::uint64_t>(size) > kLargestIndex) return fail("too large");
  if (index->file_->read_at(0, header.data(), header.size()) !=
          static_cast<std::int64_t>(header.size()) ||
      !std::equal(kNearMagic.begin(), kNearMagic.end(), header.begin())) {
    return fail("not a suggestion index");
  }
  const std::uint8_t* bytes = header.data();
  if (get32(bytes + 8) != kVersion) return fail("a suggestion index of another version");
  const std::optional<Fingerprint> print = fingerprint(dictionary);
  if (!print || get64(bytes + 16) != print->size || get64(bytes + 24) != print->front) {
    return fail("made for another dictionary (write it again with lexvia-cli index)");
  }
  // Whether `count` u32 at `offset` lie inside the file.
  const auto inside = [size](std::uint64_t offset, std::uint64_t count) {
    const auto length = static_cast<std::uint64_t>(size);
    return offset <= length && count <= (length - offset) / 4;
  };
  for (std::size_t d = 0; d < 2; ++d) {
    const std::uint8_t* block = bytes + 32 + d * kDirectionBlock;
    if (get64(block) != print->sections[d]) {
      return fail("made for another dictionary (write it again with lexvia-cli index)");
    }
    if (get32(block + 8) == 0) continue;
    Table t;
    t.records = get32(block + 12);
    const std::uint32_t bits = get32(block + 16);
    if (bits > 30 || t.records >= kMostRecords) return fail("damaged (a table's sizes)");
    const std::uint64_t buckets = std::uint64_t{1} << bits;
    t.bucket_mask = static_cast<std::uint32_t>(buckets - 1);
    t.directory = get64(block + 24);
    t.slot_count = get64(block + 32);
    t.slots = get64(block + 40);
    t.places = get64(block + 48);
    if (!inside(t.directory, buckets + 1) || !inside(t.slots, t.slot_count) ||
        !inside(t.places, (t.records + kPlaceStep - 1) / kPlaceStep)) {
      return fail("damaged (a table leaves the file)");
    }
    index->tables_[d] = t;
  }
  return index;
}

const NearIndex::Table* NearIndex::table(Direction direction) const {
  const auto& table = tables_[index_of(direction)];
  return table ? &*table : nullptr;
}

std::size_t NearIndex::keys(Direction direction) const {
  const Table* t = table(direction);
  return t != nullptr ? t->slot_count : 0;
}

bool NearIndex::read32(std::uint64_t offset, std::size_t count,
                       std::vector<std::uint32_t>& out) const {
  out.resize(count);
  if (!memory_.empty()) {
    for (std::size_t i = 0; i < count; ++i) out[i] = get32(memory_.data() + offset + 4 * i);
    return true;
  }
  std::vector<std::uint8_t> bytes(4 * count);
  if (file_->read_at(offset, bytes.data(), bytes.size()) !=
      static_cast<std::int64_t>(bytes.size())) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) out[i] = get32(bytes.data() + 4 * i);
  return true;
}

std::optional<std::uint64_t> NearIndex::place(Direction direction, std::uint32_t group) const {
  const Table* t = table(direction);
  std::vector<std::uint32_t> value;
  if (t == nullptr || std::uint64_t{group} * kPlaceStep >= t->records ||
      !read32(t->places + 4 * std::uint64_t{group}, 1, value)) {
    return std::nullopt;
  }
  return value[0];
}

void NearIndex::candidates(Direction direction, std::span<const std::uint64_t> hashes,
                           std::vector<std::uint32_t>& out, std::size_t most) const {
  out.clear();
  const Table* t = table(direction);
  if (t == nullptr) return;
  // Each probe costs two reads far apart in a file of megabytes, which the
  // cache rarely holds: in memory they are all asked for ahead, a level at
  // a time, so that their waits overlap instead of adding up.
  if (!memory_.empty()) {
    for (const std::uint64_t h : hashes) {
      __builtin_prefetch(memory_.data() + t->directory + 4 * (h & t->bucket_mask));
    }
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  ranges.reserve(hashes.size());
  std::vector<std::uint32_t> pair;
  for (const std::uint64_t h : hashes) {
    if (!read32(t->directory + 4 * (h & t->bucket_mask), 2, pair)) pair = {0, 0};
    // A damaged directory names slots past the end, or runs backwards.
    const auto last = static_cast<std::uint32_t>(std::min<std::uint64_t>(pair[1], t->slot_count));
    ranges.emplace_back(pair[0], last);
    if (!memory_.empty() && pair[0] < last) {
      __builtin_prefetch(memory_.data() + t->slots + 4 * std::uint64_t{pair[0]});
    }
  }
  std::vector<std::uint32_t> slots;
  for (std::size_t n = 0; n < hashes.size() && out.size() < most; ++n) {
    const auto [first, last] = ranges[n];
    if (first >= last || !read32(t->slots + 4 * std::uint64_t{first},
                                 std::min<std::size_t>(last - first, most), slots)) {
      continue;
    }
    const auto check = static_cast<std::uint8_t>(hashes[n] >> 56);
    for (const std::uint32_t slot : slots) {
      if ((slot & 0xff) == check && (slot >> 8) < t->records) out.push_back(slot >> 8);
    }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace lexvia
