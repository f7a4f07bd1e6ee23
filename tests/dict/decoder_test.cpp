#include "dict/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dict/coding.h"
#include "dict/file_source.h"
#include "dict/format.h"
#include "dict/windowed_reader.h"

namespace lexvia {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
  std::string replacement;  // up to 4 bytes; 5 bytes fill the field with no NUL
  std::uint8_t code = 0;
};

// Stored table bytes, 12 per entry. The unread bytes 6 to 11 carry junk so
// that a decoder reading them would show.
Bytes table_bytes(const std::vector<Entry>& entries) {
  Bytes bytes;
  for (const Entry& e : entries) {
    std::array<std::uint8_t, 12> raw{};
    std::copy(e.replacement.begin(), e.replacement.end(), raw.begin());
    raw[5] = e.code;
    std::fill(raw.begin() + 6, raw.end(), 0xEE);
    bytes.insert(bytes.end(), raw.begin(), raw.end());
  }
  return bytes;
}

DecodingTable make_table(const std::vector<Entry>& entries) {
  DecodingTable table;
  table.load(table_bytes(entries));
  return table;
}

// Record bytes: marker, length, headword, then whatever follows.
Bytes record(std::string_view headword, const Bytes& after = {0xFF}) {
  // At least 256 readable bytes behind the marker, as a reader window gives.
  Bytes r(std::max<std::size_t>(2 + headword.size() + after.size(), 2 + 254 + 16), 0xFF);
  r[1] = static_cast<std::uint8_t>(headword.size());
  auto at = std::copy(headword.begin(), headword.end(), r.begin() + 2);
  std::copy(after.begin(), after.end(), at);
  return r;
}

std::string decode(const Bytes& rec, const DecodingTable& table) {
  return decode_record(rec.data(), table);
}

// ---------------------------------------------------------------------------
// The worked examples and single rules.

TEST(DecoderRules, WorkedExamples) {
  const DecodingTable then = make_table({{"th", 0x01}, {"e", 0x02}});
  EXPECT_EQ(expand("\x01\x02n", then), "then");
  EXPECT_EQ(decode(record("\x01\x02n"), then), "then");

  // A code of a later entry inside a replacement is expanded in its turn.
  const DecodingTable walkings = make_table({{}, {}, {"\x05s", 0x03}, {}, {"ing", 0x05}});
  EXPECT_EQ(expand("walk\x03", walkings), "walkings");
  EXPECT_EQ(decode(record("walk\x03"), walkings), "walkings");

  // A code of an earlier entry that a later one brings in stays as it is.
  const DecodingTable stays = make_table({{}, {}, {"ing", 0x03}, {}, {"\x03s", 0x05}});
  EXPECT_EQ(expand("walk\x05", stays), "walk\x03s");
  EXPECT_EQ(decode(record("walk\x05"), stays), "walk\x03s");
}

TEST(DecoderRules, RecordLengthAndEndOfText) {
  const DecodingTable table = make_table({{"th", 0x01}});
  EXPECT_EQ(decode(record(""), table), "");
  EXPECT_EQ(decode(record("", {0x00, 0x01, 0x2D, 0xFF}), table), "");
  // The length byte bounds the headword: the references after it are not text.
  EXPECT_EQ(decode(record("ca\x01", {0x01, 0x01, 0x2D, 0xFF}), table), "cath");
  // A NUL inside the stated length ends the text early.
  EXPECT_EQ(decode(record(std::string_view("ab\0\x01z", 5)), table), "ab");
  EXPECT_EQ(expand(std::string_view("\001a\0\x01", 4), table), "tha");
  // Bytes above 0x7F are read unsigned: length 0xC8 is 200 bytes.
  const std::string long_word(200, 'q');
  EXPECT_EQ(decode(record(long_word), table), long_word);
}

TEST(DecoderRules, TextWithoutCodesDecodesToItself) {
  const DecodingTable table = make_table({{"th", 0x01}, {"e", 0x02}});
  EXPECT_EQ(expand("cat\xE9\xFE", table), "cat\xE9\xFE");
  const DecodingTable empty;
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(expand(all, empty), all);
}

// An empty span (as from an empty vector or a failed read) has no data
// pointer; loading it must still be well defined.
TEST(DecoderRules, LoadingNoBytesEmptiesTheTable) {
  DecodingTable table = make_table({{"x", 0x01}});
  table.load(std::span<const std::uint8_t>{});
  EXPECT_EQ(expand("\x01", table), "\x01");
  table = make_table({{"x", 0x01}});
  table.load(Bytes{});
  EXPECT_EQ(expand("\x01", table), "\x01");
}

TEST(DecoderRules, EmptyReplacementDeletesEveryOccurrence) {
  const DecodingTable table = make_table({{"", '-'}, {"\x02\x02", 0x03}, {"", 0x02}});
  EXPECT_EQ(expand("-a-b--c-", table), "abc");
  EXPECT_EQ(expand("x\x03y", table), "xy");
  EXPECT_EQ(expand("---", table), "");
}

TEST(DecoderRules, ReplacementIsBytesZeroToThreeUpToTheFirstNul) {
  // Five bytes and no NUL: the fifth byte is not part of the replacement.
  const DecodingTable table = make_table({{"abcde", 0x01}, {std::string("x\0z", 3), 0x02}});
  EXPECT_EQ(expand("\x01|\x02", table), "abcd|x");
}

TEST(DecoderRules, LaterEntriesWithTheSameCodeExpandWhatEarlierOnesLeft) {
  // Entry 1 brings in its own code; it is not expanded again by entry 1, which
  // keeps a malformed table finite, but entry 2 has the same code.
  const DecodingTable twice = make_table({{"a\001b", 0x01}, {"X", 0x01}});
  EXPECT_EQ(expand("\x01\x01", twice), "aXbaXb");
  const DecodingTable once = make_table({{"a\001b", 0x01}});
  EXPECT_EQ(expand("\x01-\x01", once), "a\001b-a\001b");
  // Two entries that refer to each other also end.
  const DecodingTable cycle = make_table({{"\x02\x02", 0x01}, {"\x01", 0x02}});
  EXPECT_EQ(expand("\x01", cycle), "\x01\x01");
  EXPECT_EQ(expand("\x02", cycle), "\x01");
}

TEST(DecoderRules, EntriesNotReachedByTheStoredTableAreEmpty) {
  Bytes stored = table_bytes({{"one", 0x01}, {"two", 0x02}});
  DecodingTable table;
  // 17 bytes: entry 2's replacement is stored but its code byte is not.
  table.load(std::span<const std::uint8_t>(stored).first(17));
  EXPECT_EQ(expand("\x01\x02", table), "one\x02");
  // 18 bytes: the code byte is stored, the unread rest is not needed.
  table.load(std::span<const std::uint8_t>(stored).first(18));
  EXPECT_EQ(expand("\x01\x02", table), "onetwo");
  // A new load forgets the entries of the last one.
  table.load(std::span<const std::uint8_t>(stored).first(12));
  EXPECT_EQ(expand("\x01\x02", table), "one\x02");
  EXPECT_TRUE(std::all_of(table.entries().begin() + 24, table.entries().end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(DecoderRules, AStoredTableLongerThan3048BytesIsCut) {
  Bytes stored(3600, 0);
  // Entry 254 is the last one; everything after byte 3048 must be ignored and
  // must not be written anywhere.
  stored[253 * 12] = 'z';
  stored[253 * 12 + 5] = 0x01;
  for (std::size_t i = 3048; i < stored.size(); ++i) stored[i] = 0x02;
  DecodingTable table;
  table.load(stored);
  EXPECT_EQ(expand("\x01\x02", table), "z\x02");
  EXPECT_TRUE(std::equal(table.entries().begin() + 12, table.entries().end(), stored.begin()));
  EXPECT_TRUE(std::all_of(table.entries().begin(), table.entries().begin() + 12,
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(DecoderRules, OutputIsCutAtExactly999Bytes) {
  // Each level quadruples: 0x06 stands for 2 bytes, 0x05 for 8, ... 0x01 for 2048.
  const DecodingTable table = make_table({{"\x02\x02\x02\x02", 0x01},
                                          {"\x03\x03\x03\x03", 0x02},
                                          {"\x04\x04\x04\x04", 0x03},
                                          {"\x05\x05\x05\x05", 0x04},
                                          {"\x06\x06\x06\x06", 0x05},
                                          {"ab", 0x06}});
  std::string ab;
  while (ab.size() < 2048) ab += "ab";
  EXPECT_EQ(table.expansion(0x01), ab.substr(0, 999));
  EXPECT_EQ(table.expansion(0x02), ab.substr(0, 512));

  EXPECT_EQ(expand("\x01", table), ab.substr(0, 999));
  EXPECT_EQ(expand("xyz\x01", table), "xyz" + ab.substr(0, 996));
  EXPECT_EQ(expand("\x02\002c", table), ab.substr(0, 999));

  DecodedText out;
  expand("\x02\x02\x02", table, out);
  EXPECT_EQ(out.size, 999u);
  EXPECT_EQ(out.data[999], '\0');
  EXPECT_EQ(out.view(), ab.substr(0, 999));

  // 254 compressed bytes of 8 characters each, in a record.
  const std::string many(254, '\x05');
  EXPECT_EQ(decode(record(many), table), ab.substr(0, 999));
  // Plain input longer than the result.
  const std::string plain(5000, 'p');
  EXPECT_EQ(expand(plain, table), plain.substr(0, 999));
  // Exactly 999 and one short of it.
  EXPECT_EQ(expand(std::string(999, 'p'), table), std::string(999, 'p'));
  EXPECT_EQ(expand(std::string(997, 'p') + "\x06", table), std::string(997, 'p') + "ab");
  EXPECT_EQ(expand(std::string(998, 'p') + "\x06", table), std::string(998, 'p') + "a");
}

TEST(DecoderRules, MarkerAndHighBytesCanBeCodesAndReplacementBytes) {
  const DecodingTable table = make_table({{"\xFF\xE9", 0x80}, {"[\xFE]", 0xFF}, {"e", 0xFE}});
  EXPECT_EQ(expand("\x80", table), "[e]\xE9");
}

// ---------------------------------------------------------------------------
// Differential test against the rule applied literally.

// One sweep over the text per entry, in table order, as the format describes
// decoding; the full text, not yet cut at 999 bytes. Returns nothing when an
// intermediate text grows past `limit`.
std::optional<std::string> reference_expansion(std::string_view text,
                                               std::span<const std::uint8_t> stored,
                                               std::size_t limit = 100000) {
  std::array<std::uint8_t, 255 * 12> table{};
  std::copy_n(stored.begin(), std::min<std::size_t>(stored.size(), 254 * 12), table.begin() + 12);
  std::string current(text.substr(0, text.find('\0')));
  for (int k = 1; k <= 254; ++k) {
    const std::uint8_t* entry = table.data() + k * 12;
    const char code = static_cast<char>(entry[5]);
    if (code == 0 || current.find(code) == std::string::npos) continue;
    std::string replacement;
    for (int i = 0; i < 4 && entry[i] != 0; ++i) replacement.push_back(static_cast<char>(entry[i]));
    std::string next;
    for (char c : current) {
      if (c == code) {
        next += replacement;
      } else {
        next.push_back(c);
      }
    }
    if (next.size() > limit) return std::nullopt;
    current = std::move(next);
  }
  return current;
}

// Random tables in several shapes: few or many entries, codes shared between
// entries, replacements that name earlier, later and their own codes, empty
// replacements, fields without a NUL, lengths that are not a multiple of 12
// and lengths above the limit.
struct RandomCase {
  Bytes stored;
  std::string text;
};

class CaseMaker {
 public:
  explicit CaseMaker(std::uint32_t seed) : rng_(seed) {}

  RandomCase make() {
    RandomCase c;
    c.stored = pick(1, 3) == 1 ? nested_table() : random_table();
    const int cut = pick(1, 3) == 1 ? 0 : pick(0, 11);
    c.stored.resize(c.stored.size() - std::min<std::size_t>(cut, c.stored.size()));
    if (c.stored.size() > 3000 && pick(1, 4) == 1) {
      for (int i = pick(1, 200); i > 0; --i) c.stored.push_back(any_code());
    }
    const int text_length = pick(0, 254);
    for (int i = 0; i < text_length; ++i) {
      c.text.push_back(static_cast<char>(pick(1, 2) == 1 ? any_code() : letter_or_high()));
    }
    if (!c.text.empty() && pick(1, 20) == 1) {
      c.text[pick(0, static_cast<int>(c.text.size()) - 1)] = '\0';
    }
    return c;
  }

 private:
  // Codes drawn from a small or large pool, so that entries share codes and
  // replacements name earlier, later and their own codes.
  Bytes random_table() {
    const int pool_size = pick(1, 5) == 1 ? pick(1, 6) : pick(4, 80);
    pool_.clear();
    for (int i = 0; i < pool_size; ++i) pool_.push_back(code_byte());
    const int entries = pick(1, 4) == 1 ? pick(0, 254) : pick(0, 40);
    const int code_percent = std::array{5, 20, 35, 50, 70, 90}[pick(0, 5)];
    Bytes stored;
    for (int k = 0; k < entries; ++k) {
      std::array<std::uint8_t, 12> raw{};
      const int length = replacement_length();
      for (int i = 0; i < length; ++i) {
        raw[i] = pick(1, 100) <= code_percent ? any_code() : letter_or_high();
      }
      raw[5] = pick(1, 12) == 1 ? 0 : any_code();
      add_entry(stored, raw);
    }
    return stored;
  }

  // A well-formed table: distinct codes, replacements naming only later
  // entries, so that one byte unfolds through many levels.
  Bytes nested_table() {
    std::vector<std::uint8_t> all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
    std::shuffle(all.begin(), all.end(), rng_);
    const int entries = pick(1, 60);
    pool_.assign(all.begin(), all.begin() + entries);
    const int code_percent = std::array{30, 50, 70}[pick(0, 2)];
    Bytes stored;
    for (int k = 0; k < entries; ++k) {
      std::array<std::uint8_t, 12> raw{};
      const int length = replacement_length();
      for (int i = 0; i < length; ++i) {
        const bool later = k + 1 < entries && pick(1, 100) <= code_percent;
        raw[i] = later ? pool_[pick(k + 1, entries - 1)] : letter_or_high();
      }
      raw[5] = pool_[k];
      add_entry(stored, raw);
    }
    return stored;
  }

  // Mostly 1 to 4 bytes; sometimes empty, sometimes 5 bytes with no NUL.
  int replacement_length() {
    const int roll = pick(1, 10);
    return roll == 1 ? 0 : roll == 2 ? 5 : pick(1, 4);
  }
  void add_entry(Bytes& stored, std::array<std::uint8_t, 12>& raw) {
    for (int i = 6; i < 12; ++i) raw[i] = static_cast<std::uint8_t>(rng_());
    stored.insert(stored.end(), raw.begin(), raw.end());
  }
  std::uint8_t any_code() { return pool_[pick(0, static_cast<int>(pool_.size()) - 1)]; }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::uint8_t code_byte() {
    switch (pick(0, 3)) {
      case 0:
        return static_cast<std::uint8_t>(pick(1, 31));
      case 1:
        return 0xFF;
      default:
        return static_cast<std::uint8_t>(pick(1, 255));
    }
  }
  std::uint8_t letter_or_high() {
    return static_cast<std::uint8_t>(pick(1, 8) == 1 ? pick(0x80, 0xFF) : pick('a', 'z'));
  }

  std::mt19937 rng_;
  std::vector<std::uint8_t> pool_;
};

TEST(DecoderDifferential, MatchesTheEntryByEntryRuleOnRandomTables) {
  int compared = 0;
  int truncated = 0;
  int skipped = 0;
  int stored_not_multiple = 0;
  CaseMaker maker(20240607);
  for (int n = 0; n < 4000; ++n) {
    const RandomCase c = maker.make();
    const std::optional<std::string> full = reference_expansion(c.text, c.stored);
    if (!full) {
      ++skipped;
      continue;
    }
    ++compared;
    if (full->size() > 999) ++truncated;
    if (c.stored.size() % 12 != 0) ++stored_not_multiple;
    const std::string want = full->substr(0, 999);

    DecodingTable table;
    table.load(c.stored);
    ASSERT_EQ(expand(c.text, table), want) << "case " << n;
    DecodedText out;
    expand(c.text, table, out);
    ASSERT_EQ(out.view(), want) << "case " << n;
    ASSERT_EQ(out.data[out.size], '\0');
    ASSERT_EQ(decode(record(c.text), table), want) << "case " << n;
    std::string pieces;
    for_each_piece(record(c.text).data(), table, [&](std::string_view piece) {
      pieces.append(piece);
      return true;
    });
    ASSERT_EQ(pieces, want.substr(0, want.find('\0'))) << "case " << n;

    // The per-byte expansions too, for some of the tables.
    if (n % 16 == 0) {
      for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const auto byte_full = reference_expansion(one, c.stored);
        if (byte_full) {
          ASSERT_EQ(table.expansion(static_cast<std::uint8_t>(b)), byte_full->substr(0, 999));
        }
      }
    }
  }
  RecordProperty("compared", compared);
  RecordProperty("truncated", truncated);
  RecordProperty("skipped", skipped);
  std::printf("compared %d, cut at 999 %d, skipped %d, odd table lengths %d\n", compared, truncated,
              skipped, stored_not_multiple);
  // The generator must keep producing every kind of case, or the comparison
  // proves little.
  EXPECT_GE(compared, 3500);
  EXPECT_GE(truncated, 450);
  EXPECT_GE(stored_not_multiple, 1000);
}

// ---------------------------------------------------------------------------
// Loading through the index reader.

// A file with the two tables at the given places and nothing else of use; the
// bytes around the tables are 0x07 so that reading too much would show.
struct TableFile {
  Bytes bytes;
  Header header;
};

TableFile table_file(const Bytes& table1, std::uint16_t length1, const Bytes& table2,
                     std::uint16_t length2) {
  TableFile f;
  f.header.table_offset = {100, static_cast<std::uint32_t>(100 + table1.size() + 50)};
  f.header.table_length = {length1, length2};
  f.bytes.assign(f.header.table_offset[1] + table2.size() + 5000, 0x07);
  std::copy(table1.begin(), table1.end(), f.bytes.begin() + f.header.table_offset[0]);
  std::copy(table2.begin(), table2.end(), f.bytes.begin() + f.header.table_offset[1]);
  return f;
}

TEST(DecoderLoad, DirectionChoosesTheOwnTable) {
  const Bytes t1 = table_bytes({{"one", 0x01}});
  const Bytes t2 = table_bytes({{"two", 0x01}});
  TableFile f = table_file(t1, 12, t2, 12);
  MemoryFile file(f.bytes);
  WindowedReader reader(&file);
  DecodingTable own, other;
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  EXPECT_EQ(expand("\x01", own), "one");
  EXPECT_EQ(expand("\x01", other), "two");
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom2, own, other));
  EXPECT_EQ(expand("\x01", own), "two");
  EXPECT_EQ(expand("\x01", other), "one");
}

TEST(DecoderLoad, OnlyTheStoredLengthIsCopied) {
  Bytes t1 = table_bytes({{"one", 0x01}, {"two", 0x02}, {"six", 0x03}});
  TableFile f = table_file(t1, 17, t1, 18);  // code byte of entry 2 outside / inside
  MemoryFile file(f.bytes);
  WindowedReader reader(&file);
  DecodingTable own, other;
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  EXPECT_EQ(expand("\x01\x02\x03", own), "one\x02\x03");
  EXPECT_EQ(expand("\x01\x02\x03", other), "onetwo\x03");
  EXPECT_TRUE(std::equal(own.entries().begin() + 12, own.entries().begin() + 29, t1.begin()));
  EXPECT_TRUE(std::all_of(own.entries().begin() + 29, own.entries().end(),
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(other.entries().begin() + 30, other.entries().end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(DecoderLoad, ZeroLengthTablesLeaveEveryEntryEmpty) {
  const Bytes t = table_bytes({{"one", 0x01}});
  TableFile f = table_file(t, 0, t, 0);
  MemoryFile file(f.bytes);
  WindowedReader reader(&file);
  DecodingTable own = make_table({{"old", 0x01}});
  DecodingTable other = make_table({{"old", 0x01}});
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  EXPECT_EQ(expand("\x01", own), "\x01");
  EXPECT_EQ(expand("\x01", other), "\x01");
  EXPECT_EQ(reader.window(), 2048u);
}

TEST(DecoderLoad, ReaderWindowIsThe2048OrTheLargerTableLength) {
  struct Want {
    std::uint16_t length1, length2;
    std::uint32_t window;
  };
  for (Want w : {Want{24, 36, 2048}, Want{2048, 12, 2048}, Want{2400, 600, 2400},
                 Want{600, 3000, 3000}, Want{3048, 3048, 3048}}) {
    SCOPED_TRACE(std::to_string(w.length1) + " " + std::to_string(w.length2));
    Bytes t1(w.length1, 0), t2(w.length2, 0);
    t1[5] = 'a';  // entry 1: "" for 'a'
    t2[5] = 'b';
    TableFile f = table_file(t1, w.length1, t2, w.length2);
    MemoryFile file(f.bytes);
    WindowedReader reader(&file);
    ASSERT_NE(reader.pointer_at(0, 72), nullptr);  // as after reading the header
    DecodingTable own, other;
    for (Direction direction : {Direction::kFrom1, Direction::kFrom2}) {
      ASSERT_TRUE(load_decoding_tables(reader, f.header, direction, own, other));
      EXPECT_EQ(reader.window(), w.window);
      EXPECT_EQ(reader.capacity(), w.window + 2048);
    }
    EXPECT_EQ(expand("abc", own), "ac");
    EXPECT_EQ(expand("abc", other), "bc");
  }
}

TEST(DecoderLoad, AStoredLengthAbove3048CopiesOnly3048Bytes) {
  Bytes t1(3600, 0x03);  // every entry: replacement of 0x03 bytes, code 0x03
  Bytes t2 = table_bytes({{"two", 0x02}});
  TableFile f = table_file(t1, 3600, t2, 12);
  MemoryFile file(f.bytes);
  WindowedReader reader(&file);
  DecodingTable own, other;
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  EXPECT_EQ(reader.window(), 3600u);
  EXPECT_TRUE(std::equal(own.entries().begin() + 12, own.entries().end(), t1.begin()));
  EXPECT_EQ(expand("\x02", other), "two");
  // 254 entries each quadrupling 0x03: the result is cut, not endless.
  EXPECT_EQ(expand("\x03", own), std::string(999, '\x03'));
}

TEST(DecoderLoad, AnUnreadableTableFails) {
  const Bytes t = table_bytes({{"one", 0x01}});
  TableFile f = table_file(t, 12, t, 12);
  {
    MemoryFile file(f.bytes);
    WindowedReader reader(&file);
    Header past_end = f.header;
    past_end.table_offset[1] = static_cast<std::uint32_t>(f.bytes.size());
    DecodingTable own, other;
    EXPECT_FALSE(load_decoding_tables(reader, past_end, Direction::kFrom1, own, other));
    EXPECT_FALSE(load_decoding_tables(reader, past_end, Direction::kFrom2, own, other));
    // Even an empty table must be where the header says: the read itself fails.
    past_end.table_length[1] = 0;
    EXPECT_FALSE(load_decoding_tables(reader, past_end, Direction::kFrom1, own, other));
  }
  {
    WindowedReader reader(nullptr);
    DecodingTable own, other;
    EXPECT_FALSE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  }
}

TEST(DecoderLoad, ATableRunningPastTheEndOfTheFileTakesOnlyTheFileBytes) {
  const Bytes t = table_bytes({{"one", 0x01}, {"two", 0x02}});
  TableFile f = table_file(t, 24, t, 24);
  f.bytes.resize(f.header.table_offset[1] + 15);  // entry 1 and 3 bytes of entry 2
  MemoryFile file(f.bytes);
  WindowedReader reader(&file);
  DecodingTable own, other;
  ASSERT_TRUE(load_decoding_tables(reader, f.header, Direction::kFrom1, own, other));
  EXPECT_EQ(expand("\x01\x02", own), "onetwo");
  EXPECT_EQ(expand("\x01\x02", other), "one\x02");
  EXPECT_TRUE(std::all_of(other.entries().begin() + 27, other.entries().end(),
                          [](std::uint8_t b) { return b == 0; }));
}

// ---------------------------------------------------------------------------
// A whole dictionary file written by hand and read back.

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8 & 0xFF);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
void put_text(Bytes& b, std::size_t at, std::string_view text) {
  std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

struct HandRecord {
  std::string compressed;
  std::vector<int> translations;  // record numbers in the other section
  std::string plain;              // what it must decode to
  std::vector<std::string> translation_texts;
};

// Lays out a section's records, the references written as base-255 digits of
// the referenced record's offset in the other section.
Bytes write_section(const std::vector<HandRecord>& records,
                    const std::vector<std::uint32_t>& other_offsets) {
  Bytes s;
  for (const HandRecord& r : records) {
    s.push_back(0xFF);
    s.push_back(static_cast<std::uint8_t>(r.compressed.size()));
    s.insert(s.end(), r.compressed.begin(), r.compressed.end());
    for (int t : r.translations) {
      const std::uint32_t v = other_offsets[t];
      s.push_back(static_cast<std::uint8_t>(v / (255 * 255)));
      s.push_back(static_cast<std::uint8_t>(v / 255 % 255));
      s.push_back(static_cast<std::uint8_t>(v % 255));
    }
  }
  s.push_back(0xFF);
  return s;
}

std::vector<std::uint32_t> record_offsets(const std::vector<HandRecord>& records) {
  std::vector<std::uint32_t> offsets;
  std::uint32_t at = 0;
  for (const HandRecord& r : records) {
    offsets.push_back(at);
    at += static_cast<std::uint32_t>(2 + r.compressed.size() + 3 * r.translations.size());
  }
  return offsets;
}

class HandMadeDictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    // Language 1: 0x01 -> 0x03 "e" (nested: 0x03 is a later entry), 0x02 ->
    // "ing", 0x03 -> "th", 0x04 deletes.
    table1_ = table_bytes({{"\003e", 0x01}, {"ing", 0x02}, {"th", 0x03}, {"", 0x04}});
    // Language 2: 0x81 -> 0x83 "e" (nested), 0x82 -> "en", 0x83 -> "di",
    // 0x84 -> "ers"; entry 5 brings in 0x81 again, which stays as it is.
    table2_ =
        table_bytes({{"\203e", 0x81}, {"en", 0x82}, {"di", 0x83}, {"ers", 0x84}, {"\x81!", 0x85}});
    table2_.resize(table2_.size() - 6);  // not a multiple of 12; code byte still stored

    std::string long_compressed = "dampf";
    std::string long_plain = "dampf";
    for (int i = 0; i < 240; ++i) {
      long_compressed += '\x84';
      long_plain += "ers";
    }
    section1_ = {
        {"ba\x01", {1}, "bathe", {"baden"}}, {"o\003er", {0}, "other", {"anders"}},
        {"\x01", {3}, "the", {"der"}},       {"\001se", {4, 3}, "these", {"diese", "der"}},
        {"wal\x04k\x02", {}, "walking", {}},
    };
    section2_ = {
        {"and\x84", {1}, "anders", {"other"}},
        {"bad\x82", {0}, "baden", {"bathe"}},
        {long_compressed, {}, long_plain, {}},
        {"der", {2}, "der", {"the"}},
        {"\x81se", {3}, "diese", {"these"}},
        {"geh\x82\x85", {4, 2}, "gehen\x81!", {"walking", "the"}},
    };
    const Bytes s1 = write_section(section1_, record_offsets(section2_));
    const Bytes s2 = write_section(section2_, record_offsets(section1_));

    const std::string prefixes1 = "un,re";
    const std::string prefixes2 = ";ge";
    bytes_.assign(72, 0);
    put_text(bytes_, 0, "Lexvi Database");
    put32(bytes_, 16, 0x105);
    put_text(bytes_, 21, "eng");
    put_text(bytes_, 25, "de");
    put32(bytes_, 40, 5);
    put32(bytes_, 32, static_cast<std::uint32_t>(bytes_.size()));
    bytes_.insert(bytes_.end(), prefixes1.begin(), prefixes1.end());
    bytes_.push_back(0);
    put32(bytes_, 36, static_cast<std::uint32_t>(bytes_.size()));
    bytes_.insert(bytes_.end(), prefixes2.begin(), prefixes2.end());
    bytes_.push_back(0);
    put32(bytes_, 44, static_cast<std::uint32_t>(bytes_.size()));
    put16(bytes_, 52, static_cast<std::uint32_t>(table1_.size()));
    bytes_.insert(bytes_.end(), table1_.begin(), table1_.end());
    put32(bytes_, 48, static_cast<std::uint32_t>(bytes_.size()));
    put16(bytes_, 54, static_cast<std::uint32_t>(table2_.size()));
    bytes_.insert(bytes_.end(), table2_.begin(), table2_.end());
    put32(bytes_, 56, static_cast<std::uint32_t>(bytes_.size()));
    put32(bytes_, 64, static_cast<std::uint32_t>(s1.size()));
    bytes_.insert(bytes_.end(), s1.begin(), s1.end());
    put32(bytes_, 60, static_cast<std::uint32_t>(bytes_.size()));
    put32(bytes_, 68, static_cast<std::uint32_t>(s2.size()));
    bytes_.insert(bytes_.end(), s2.begin(), s2.end());
  }

  Header read_header(WindowedReader& reader) {
    const std::uint8_t* p = reader.pointer_at(0, kHeaderSize);
    EXPECT_NE(p, nullptr);
    HeaderBytes raw{};
    if (p != nullptr) std::copy(p, p + kHeaderSize, raw.begin());
    EXPECT_TRUE(has_magic(raw));
    return parse_header(raw);
  }

  // Walks section `n` marker by marker, decoding every record and following
  // its references into the other section through a second reader.
  void check_section(int n, const std::vector<HandRecord>& want) {
    MemoryFile file(bytes_);
    WindowedReader index(&file);
    WindowedReader translation(&file);
    const Header h = read_header(index);
    DecodingTable own, other;
    ASSERT_TRUE(load_decoding_tables(index, h, static_cast<Direction>(n), own, other));
    const std::uint64_t begin = h.section_offset[n - 1];
    const std::uint64_t end = begin + h.section_length[n - 1];
    const std::uint64_t other_begin = h.section_offset[2 - n];
    ASSERT_EQ(index.byte_at(end - 1), -1);  // the terminal marker

    std::size_t i = 0;
    for (std::uint64_t pos = begin; pos < end - 1; ++i) {
      ASSERT_LT(i, want.size());
      ASSERT_EQ(index.byte_at(pos), -1);
      const std::uint8_t* rec = index.pointer_at(pos);
      ASSERT_NE(rec, nullptr);
      EXPECT_EQ(decode_record(rec, own), want[i].plain) << "section " << n << " record " << i;

      std::vector<std::string> translations;
      std::uint64_t at = pos + 2 + static_cast<std::uint8_t>(index.byte_at(pos + 1));
      while (index.byte_at(at) != -1) {
        const std::uint8_t* ref = index.pointer_at(at);
        ASSERT_NE(ref, nullptr);
        const std::uint8_t* target = translation.pointer_at(other_begin + get_reference(ref));
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(*target, 0xFF);
        translations.push_back(decode_record(target, other));
        at += 3;
      }
      EXPECT_EQ(translations, want[i].translation_texts) << "section " << n << " record " << i;

      std::uint64_t next = pos + 1;
      while (index.byte_at(next) != -1) ++next;
      EXPECT_EQ(next, at);
      // Walking back from the last byte of the record finds its marker.
      std::uint64_t back = next - 1;
      while (index.byte_at(back) != -1) --back;
      EXPECT_EQ(back, pos);
      pos = next;
    }
    EXPECT_EQ(i, want.size());
  }

  Bytes table1_, table2_, bytes_;
  std::vector<HandRecord> section1_, section2_;
};

TEST_F(HandMadeDictionary, HeaderFieldsAreWhereTheyWereWritten) {
  MemoryFile file(bytes_);
  WindowedReader reader(&file);
  const Header h = read_header(reader);
  EXPECT_EQ(h.format_number, 261u);
  EXPECT_EQ(h.language[0], "eng");
  EXPECT_EQ(h.language[1], "de");
  EXPECT_EQ(h.pair_count, 5u);
  EXPECT_EQ(h.prefix_list_offset[0], 72u);
  EXPECT_EQ(h.prefix_list_offset[1], 78u);
  EXPECT_EQ(h.table_offset[0], 82u);
  EXPECT_EQ(h.table_length[0], 48u);
  EXPECT_EQ(h.table_offset[1], 130u);
  EXPECT_EQ(h.table_length[1], 54u);
  EXPECT_EQ(h.section_offset[0], 184u);
  EXPECT_EQ(h.section_offset[1], h.section_offset[0] + h.section_length[0]);
  EXPECT_EQ(h.section_offset[1] + h.section_length[1], bytes_.size());
}

TEST_F(HandMadeDictionary, SectionOneDecodesWithItsTranslations) { check_section(1, section1_); }

TEST_F(HandMadeDictionary, SectionTwoDecodesWithItsTranslations) { check_section(2, section2_); }

TEST(References, BaseTwoFiftyFiveDigits) {
  const std::uint8_t zero[] = {0, 0, 0};
  const std::uint8_t example[] = {0x00, 0x01, 0x2D};
  const std::uint8_t top[] = {0xFE, 0xFE, 0xFE};
  const std::uint8_t mixed[] = {0x01, 0x02, 0x03};
  EXPECT_EQ(get_reference(zero), 0u);
  EXPECT_EQ(get_reference(example), 300u);
  EXPECT_EQ(get_reference(top), 16581374u);
  EXPECT_EQ(get_reference(mixed), 65025u + 2 * 255u + 3u);
}

}  // namespace
}  // namespace lexvia
