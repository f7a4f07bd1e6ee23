#include "dict_checker.h"

#include <gtest/gtest.h>

#include <random>

#include "compile_helpers.h"
#include "dict/coding.h"
#include "dict/format.h"

namespace lexvia {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sample() {
  return testing::compile_or_fail({{"house", "Haus"},
                                   {"house", "Gebäude"},
                                   {"home", "Heim"},
                                   {"to go", "gehen"},
                                   {"to walk", "gehen"},
                                   {"street", "Straße"}});
}

Header header_of(const Bytes& bytes) {
  HeaderBytes h;
  std::copy_n(bytes.begin(), kHeaderSize, h.begin());
  return parse_header(h);
}

// True when some fault mentions `text`.
::testing::AssertionResult has_fault(const Bytes& bytes, const std::string& text) {
  VerifyReport report = verify_dictionary(bytes);
  for (const auto& f : report.faults) {
    if (f.find(text) != std::string::npos) return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure() << "no fault mentions \"" << text << "\"; got:";
  for (const auto& f : report.faults) failure << "\n  " << f;
  return failure;
}

TEST(Verify, ACompiledDictionaryPasses) {
  VerifyReport report = verify_dictionary(sample());
  EXPECT_TRUE(report.ok());
  EXPECT_EQ(report.records[0], 5u);
  EXPECT_EQ(report.records[1], 5u);
}

TEST(Verify, HeaderFaults) {
  EXPECT_TRUE(has_fault(Bytes(71, 0), "shorter than the 72-byte header"));
  Bytes bad_magic = sample();
  bad_magic[0] = 'X';
  EXPECT_TRUE(has_fault(bad_magic, "bad magic"));
  Bytes old = sample();
  put_u32le(&old[header_field::kFormatNumber], 260);
  EXPECT_TRUE(has_fault(old, "below 261"));
  Bytes code = sample();
  std::fill_n(&code[header_field::kLanguage2], 4, 'x');
  EXPECT_TRUE(has_fault(code, "no NUL within its 4 bytes"));
}

TEST(Verify, OffsetsAndLengthsOutsideTheFile) {
  Bytes b = sample();
  Header h = header_of(b);
  Bytes past = b;
  put_u32le(&past[header_field::kSection2Length], h.section_length[1] + 1);
  EXPECT_TRUE(has_fault(past, "index section 2"));
  Bytes table = b;
  put_u32le(&table[header_field::kTable1Offset], static_cast<std::uint32_t>(b.size()));
  EXPECT_TRUE(has_fault(table, "substitution table 1"));
  Bytes list = b;
  b[h.prefix_list_offset[0]] = 'x';  // the empty list's NUL overwritten
  EXPECT_TRUE(has_fault(b, "prefix list 1: no NUL"));
  put_u32le(&list[header_field::kPrefixList2], 5000000);
  EXPECT_TRUE(has_fault(list, "prefix list"));
}

TEST(Verify, TableFaults) {
  Bytes b = sample();
  Header h = header_of(b);
  ASSERT_GT(h.table_length[0], 24);
  Bytes long_table = b;
  put_u16le(&long_table[header_field::kTable1Length], 3060);
  EXPECT_TRUE(has_fault(long_table, "exceeds 3048"));
  Bytes odd = b;
  put_u16le(&odd[header_field::kTable1Length], static_cast<std::uint16_t>(h.table_length[0] - 1));
  EXPECT_TRUE(has_fault(odd, "not a multiple of 12"));
  Bytes self = b;
  std::uint8_t* entry = &self[h.table_offset[0]];
  entry[0] = entry[kEntryCodeByte];
  EXPECT_TRUE(has_fault(self, "holds its own code"));
  Bytes unterminated = b;
  std::fill_n(&unterminated[h.table_offset[0] + kEntrySize], 5, 'a');
  EXPECT_TRUE(has_fault(unterminated, "no NUL within bytes 0 to 4"));
}

TEST(Verify, SectionFaults) {
  Bytes b = sample();
  Header h = header_of(b);
  const std::uint32_t s1 = h.section_offset[0];
  Bytes no_terminal = b;
  no_terminal[s1 + h.section_length[0] - 1] = 0x41;
  EXPECT_TRUE(has_fault(no_terminal, "terminal marker"));
  Bytes no_first_marker = b;
  no_first_marker[s1] = 0x41;
  EXPECT_TRUE(has_fault(no_first_marker, "first byte is not a record marker"));
  Bytes stray = b;
  stray[s1 + 2] = 0xFF;  // inside the first headword
  EXPECT_TRUE(has_fault(stray, "runs into the next marker"));
  Bytes long_length = b;
  long_length[s1 + 1] = 200;
  EXPECT_TRUE(has_fault(long_length, "runs into the next marker"));
  Bytes nul = b;
  nul[s1 + 2] = 0;
  EXPECT_TRUE(has_fault(nul, "holds a NUL"));
}

TEST(Verify, ReferenceAndOrderFaults) {
  // Plain records make the reference bytes easy to find.
  CompileOptions plain = testing::en_de();
  plain.compress = false;
  Bytes b = testing::compile_or_fail({{"ab", "x"}, {"cd", "y"}}, plain);
  Header h = header_of(b);
  const std::uint32_t s1 = h.section_offset[0];
  // Section 1: FF 02 a b r r r FF 02 c d r r r FF
  Bytes off_marker = b;
  put_reference(&off_marker[s1 + 4], 1);
  EXPECT_TRUE(has_fault(off_marker, "does not land on a record marker"));
  Bytes past_end = b;
  put_reference(&past_end[s1 + 4], kMaxReference);
  EXPECT_TRUE(has_fault(past_end, "does not land on a record marker"));
  Bytes short_reference = b;
  short_reference.erase(short_reference.begin() + s1 + 6);
  put_u32le(&short_reference[header_field::kSection1Length], h.section_length[0] - 1);
  put_u32le(&short_reference[header_field::kSection2Offset], h.section_offset[1] - 1);
  EXPECT_TRUE(has_fault(short_reference, "not a multiple of 3"));
  Bytes unsorted = b;
  std::swap(unsorted[s1 + 2], unsorted[s1 + 9]);  // "cb" before "ad"
  EXPECT_TRUE(has_fault(unsorted, "sorts before the record in front of it"));
}

TEST(Verify, TooLongExpansionIsReported) {
  // Each entry doubles the one after it: code 1 -> 2 2, 2 -> 3 3, ... 11 -> "ab".
  Bytes b = testing::compile_or_fail({{"q", "x"}}, [] {
    CompileOptions o = testing::en_de();
    o.compress = false;
    return o;
  }());
  Header h = header_of(b);
  Bytes table(11 * kEntrySize, 0);
  for (int k = 0; k < 10; ++k) {
    table[k * kEntrySize] = static_cast<std::uint8_t>(k + 2);
    table[k * kEntrySize + 1] = static_cast<std::uint8_t>(k + 2);
    table[k * kEntrySize + kEntryCodeByte] = static_cast<std::uint8_t>(k + 1);
  }
  table[10 * kEntrySize] = 'a';
  table[10 * kEntrySize + 1] = 'b';
  table[10 * kEntrySize + kEntryCodeByte] = 11;
  b.insert(b.begin() + h.table_offset[0], table.begin(), table.end());
  put_u16le(&b[header_field::kTable1Length], static_cast<std::uint16_t>(table.size()));
  for (auto field : {header_field::kTable2Offset, header_field::kSection1Offset,
                     header_field::kSection2Offset}) {
    put_u32le(&b[field], get_u32le(&b[field]) + static_cast<std::uint32_t>(table.size()));
  }
  b[header_of(b).section_offset[0] + 2] = 1;  // the headword "q" becomes code 1: 2048 bytes
  EXPECT_TRUE(has_fault(b, "decodes to 2048 characters"));
}

// Word-like texts that share many letter pairs, so compression makes many entries.
testing::Pairs syllable_pairs(unsigned seed, int count) {
  static const char* syllables[] = {"an", "ber", "ing", "ung", "ver", "sch", "tion", "ei", "st"};
  std::mt19937 rng(seed);
  auto word = [&] {
    std::string w;
    for (int n = 2 + static_cast<int>(rng() % 3); n > 0; --n) w += syllables[rng() % 9];
    return w;
  };
  testing::Pairs pairs;
  for (int i = 0; i < count; ++i) pairs.emplace_back(word(), word());
  return pairs;
}

TEST(Verify, ManyFaultsOfOneKindAreSummarised) {
  Bytes b = testing::compile_or_fail(syllable_pairs(1, 300));
  Header h = header_of(b);
  for (std::uint32_t k = 0; k + kEntrySize <= h.table_length[0]; k += kEntrySize) {
    b[h.table_offset[0] + k] = b[h.table_offset[0] + k + kEntryCodeByte];
  }
  const std::size_t entries = h.table_length[0] / kEntrySize;
  ASSERT_GT(entries, 11u);
  VerifyReport report = verify_dictionary(b);
  const auto own_code = std::count_if(report.faults.begin(), report.faults.end(), [](auto& f) {
    return f.find("holds its own code") != std::string::npos;
  });
  EXPECT_EQ(own_code, 10);
  const std::string summary =
      "... and " + std::to_string(entries - 10) + " more: substitution table 1";
  EXPECT_NE(std::find(report.faults.begin(), report.faults.end(), summary), report.faults.end());
}

TEST(Info, ReadsTheHeaderCountsAndLists) {
  CompileOptions o = testing::en_de();
  o.prefixes1 = ",to ";
  Bytes b = testing::compile_or_fail({{"go", "gehen"}, {"walk", "gehen"}}, o);
  auto info = std::get<DictionaryInfo>(read_dictionary_info(b));
  EXPECT_EQ(info.header.language[0], "en");
  EXPECT_EQ(info.prefix_list[0], ",to ");
  EXPECT_EQ(info.prefix_list[1], "");
  EXPECT_EQ(info.records[0], 2u);
  EXPECT_EQ(info.records[1], 1u);
  EXPECT_EQ(info.file_size, b.size());
  EXPECT_TRUE(std::holds_alternative<InfoError>(read_dictionary_info(Bytes(10, 0))));
}

// Damaged files of every kind must end in a report, never a crash or a hang;
// run under the sanitizers this also proves that nothing reads out of bounds.
// A dump of a file cut short fails instead of passing off what it read as
// the whole dictionary; a whole file dumps.
TEST(Dump, AFileCutShortFails) {
  const Bytes whole = sample();
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, whole.size() / 2}) {
    const Bytes bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
    MemoryFile file(bytes);
    std::size_t pairs = 0;
    const auto error = dump_dictionary(file, Direction::kFrom1, [&](std::string_view, auto) { ++pairs; });
    EXPECT_EQ(error.has_value(), cut != 0) << cut;
    if (cut == 0) {
      EXPECT_GT(pairs, 0u);
    }
  }
}

TEST(Robustness, RandomDamageNeverCrashesVerifyInfoOrDump) {
  std::mt19937 rng(99);
  const Bytes good = testing::compile_or_fail(syllable_pairs(5, 60));
  std::size_t failed = 0;
  for (int round = 0; round < 1500; ++round) {
    Bytes b = good;
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 4) {
        case 0:
          b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
          break;
        case 1:
          b[rng() % kHeaderSize] = static_cast<std::uint8_t>(rng());
          break;
        case 2:
          b.resize(rng() % b.size() + 1);
          break;
        default:
          b[rng() % b.size()] = 0xFF;
          break;
      }
      if (b.size() >= 15) std::copy(kMagic.begin(), kMagic.end(), b.begin());
    }
    VerifyReport report = verify_dictionary(b);
    failed += report.ok() ? 0 : 1;
    (void)read_dictionary_info(b);
    for (Direction direction : {Direction::kFrom1, Direction::kFrom2}) {
      MemoryFile file(b);
      (void)dump_dictionary(file, direction, [](std::string_view, auto) {});
    }
  }
  EXPECT_GT(failed, 1000u);
}

}  // namespace
}  // namespace lexvia
