#include "dict_compiler.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "compile_helpers.h"
#include "dict/coding.h"
#include "dict/decoder.h"
#include "dict/format.h"
#include "dict_checker.h"
#include "search/collation.h"

namespace lexvia {
namespace {

using testing::compile_or_fail;
using testing::dump_lines;
using testing::en_de;
using testing::Pairs;

Header header_of(const std::vector<std::uint8_t>& bytes) {
  HeaderBytes h;
  std::copy_n(bytes.begin(), kHeaderSize, h.begin());
  return parse_header(h);
}

std::set<std::pair<std::string, std::string>> as_set(const Pairs& pairs, bool swap) {
  std::set<std::pair<std::string, std::string>> s;
  for (const auto& [a, b] : pairs) s.insert(swap ? std::pair{b, a} : std::pair{a, b});
  return s;
}

std::set<std::pair<std::string, std::string>> dumped_set(const std::vector<std::uint8_t>& bytes,
                                                         int direction) {
  auto lines = dump_lines(bytes, direction);
  return {lines.begin(), lines.end()};
}

// Random word-like texts in Windows-1252, with accents, ß, blanks, hyphens
// and apostrophes, and some texts that differ only in case or punctuation.
std::string random_text(std::mt19937& rng) {
  static const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
      "\xE4\xF6\xFC\xDF\xE9\xE8\xC4\xD6\xDC\xF5\xFB\xE6\xF1\xE7 -'.,()0123456789";
  std::uniform_int_distribution<std::size_t> length(1, 14);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string t;
  for (std::size_t n = length(rng); t.size() < n;) t += alphabet[pick(rng)];
  if (t.front() == ' ') t.front() = 'x';
  if (t.back() == ' ') t.back() = 'y';
  return t;
}

Pairs random_pairs(std::mt19937& rng, std::size_t count) {
  Pairs pairs;
  std::vector<std::string> left, right;
  for (std::size_t i = 0; i < count; ++i) {
    std::string a = !left.empty() && rng() % 4 == 0 ? left[rng() % left.size()] : random_text(rng);
    std::string b =
        !right.empty() && rng() % 4 == 0 ? right[rng() % right.size()] : random_text(rng);
    if (rng() % 10 == 0) {
      std::string variant = a;
      std::transform(variant.begin(), variant.end(), variant.begin(),
                     [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
      pairs.emplace_back(variant, b);
    }
    left.push_back(a);
    right.push_back(b);
    pairs.emplace_back(a, b);
  }
  return pairs;
}

TEST(CompilerRoundTrip, DumpGivesBackEveryPairInBothDirections) {
  std::mt19937 rng(7);
  for (bool compress : {true, false}) {
    Pairs pairs = random_pairs(rng, 3000);
    CompileOptions options = en_de();
    options.compress = compress;
    auto bytes = compile_or_fail(pairs, options);
    VerifyReport report = verify_dictionary(bytes);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults.front());
    EXPECT_EQ(dumped_set(bytes, 1), as_set(pairs, false));
    EXPECT_EQ(dumped_set(bytes, 2), as_set(pairs, true));
  }
}

TEST(CompilerRoundTrip, TextsHoldingTheMarkerByteGoThroughAnEscapeEntry) {
  // ÿ is 0xFF in Windows-1252, the record marker; it can only be stored coded.
  Pairs pairs = {{"\xFF", "y"}, {"ma\xFFtre", "Meister"}, {"plain", "schlicht"}};
  for (bool compress : {true, false}) {
    CompileOptions options = en_de();
    options.compress = compress;
    auto bytes = compile_or_fail(pairs, options);
    EXPECT_TRUE(verify_dictionary(bytes).ok());
    EXPECT_EQ(dumped_set(bytes, 1), as_set(pairs, false));
  }
}

TEST(CompilerRecords, ATextInSeveralPairsIsOneRecordWithTranslationsInInputOrder) {
  Pairs pairs = {{"light", "Licht"},
                 {"easy", "leicht"},
                 {"light", "leicht"},
                 {"light", "Licht"},  // repeated pair: stored once
                 {"lamp", "Licht"}};
  auto bytes = compile_or_fail(pairs);
  auto forward = dump_lines(bytes, 1);
  std::vector<std::pair<std::string, std::string>> expected_forward = {
      {"easy", "leicht"}, {"lamp", "Licht"}, {"light", "Licht"}, {"light", "leicht"}};
  EXPECT_EQ(forward, expected_forward);
  auto backward = dump_lines(bytes, 2);
  std::vector<std::pair<std::string, std::string>> expected_backward = {
      {"leicht", "easy"}, {"leicht", "light"}, {"Licht", "light"}, {"Licht", "lamp"}};
  EXPECT_EQ(backward, expected_backward);
  auto result = compile_dictionary(testing::to_text_pairs(pairs), en_de());
  EXPECT_EQ(std::get<CompiledDictionary>(result).distinct_pairs, 4u);
  EXPECT_EQ(header_of(bytes).pair_count, 4u);
}

TEST(CompilerRecords, SectionsAreInPrefixFoldedOrderWithAStableTieBreak) {
  std::mt19937 rng(11);
  Pairs pairs = random_pairs(rng, 2000);
  auto bytes = compile_or_fail(pairs);
  for (int direction : {1, 2}) {
    auto lines = dump_lines(bytes, direction);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const auto& a = lines[i - 1].first;
      const auto& b = lines[i].first;
      ASSERT_LE(prefix_sort_key(a), prefix_sort_key(b)) << a << " / " << b;
    }
  }
  // Texts that the search order finds equal come out in one fixed order, so
  // the same input always gives the same file.
  Pairs ties = {{"co-op", "a"}, {"Coop", "b"}, {"coop", "c"}, {"CO-OP", "d"}, {"co'op", "e"}};
  auto first = compile_or_fail(ties);
  std::reverse(ties.begin(), ties.end());
  auto lines = dump_lines(compile_or_fail(ties), 1);
  std::vector<std::string> heads;
  for (const auto& l : lines) heads.push_back(l.first);
  EXPECT_EQ(heads, (std::vector<std::string>{"co'op", "CO-OP", "co-op", "Coop", "coop"}));
  EXPECT_EQ(compile_or_fail(pairs), compile_or_fail(pairs));
}

TEST(CompilerHeader, CarriesEveryField) {
  CompileOptions options = en_de();
  options.language1 = "eng";
  options.format_number = 300;
  options.prefixes1 = ",to ";
  options.prefixes2 = "sich ;";
  options.pair_count = 12345;
  auto bytes = compile_or_fail({{"go", "gehen"}, {"walk", "gehen"}}, options);
  Header h = header_of(bytes);
  EXPECT_TRUE(has_magic(bytes));
  EXPECT_EQ(h.format_number, 300u);
  EXPECT_EQ(h.language[0], "eng");
  EXPECT_EQ(bytes[header_field::kLanguage1 + 3], 0);  // a 3-letter code fills the field
  EXPECT_EQ(h.language[1], "de");
  EXPECT_EQ(h.pair_count, 12345u);
  EXPECT_EQ(h.prefix_list_offset[0], kHeaderSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[h.prefix_list_offset[0]])), ",to ");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[h.prefix_list_offset[1]])), "sich ;");
  EXPECT_EQ(h.table_offset[0], h.prefix_list_offset[1] + 7);
  EXPECT_EQ(h.table_offset[1], h.table_offset[0] + h.table_length[0]);
  EXPECT_EQ(h.section_offset[0], h.table_offset[1] + h.table_length[1]);
  EXPECT_EQ(h.section_offset[1], h.section_offset[0] + h.section_length[0]);
  EXPECT_EQ(bytes.size(), h.section_offset[1] + h.section_length[1]);
  EXPECT_EQ(bytes[h.section_offset[0] + h.section_length[0] - 1], kMarker);
  EXPECT_EQ(bytes.back(), kMarker);
}

TEST(CompilerCompression, NoCompressWritesEmptyTablesAndPlainRecords) {
  CompileOptions options = en_de();
  options.compress = false;
  auto bytes = compile_or_fail({{"cat", "Katze"}}, options);
  Header h = header_of(bytes);
  EXPECT_EQ(h.table_length[0], 0);
  EXPECT_EQ(h.table_length[1], 0);
  // FF 03 "cat" then the reference to the first record of section 2: 00 00 00.
  const std::vector<std::uint8_t> record = {0xFF, 3, 'c', 'a', 't', 0, 0, 0, 0xFF};
  EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.begin() + h.section_offset[0]));
}

TEST(CompilerCompression, ShortensRepetitiveHeadwordsAndKeepsTablesInBounds) {
  std::mt19937 rng(3);
  auto result = compile_dictionary(testing::to_text_pairs(random_pairs(rng, 5000)), en_de());
  const auto& dict = std::get<CompiledDictionary>(result);
  for (const auto& s : dict.language) {
    EXPECT_LE(s.table_entries, 254u);
    EXPECT_LT(s.compressed_bytes, s.plain_bytes);
  }
  Header h = header_of(dict.bytes);
  EXPECT_LE(h.table_length[0], kMaxTableBytes);
  EXPECT_EQ(h.table_length[0] % kEntrySize, 0);
}

CompileError compile_error(const Pairs& pairs, const CompileOptions& options = en_de()) {
  auto result = compile_dictionary(testing::to_text_pairs(pairs), options);
  if (auto* e = std::get_if<CompileError>(&result)) return *e;
  ADD_FAILURE() << "compile succeeded";
  return {};
}

TEST(CompilerLimits, WhatTheFormatCannotHoldIsAClearError) {
  CompileOptions long_code = en_de();
  long_code.language2 = "deut";
  EXPECT_NE(compile_error({{"a", "b"}}, long_code).message.find("longer than 3"),
            std::string::npos);

  CompileOptions nul_list = en_de();
  nul_list.prefixes1 = std::string("to\0a", 4);
  EXPECT_NE(compile_error({{"a", "b"}}, nul_list).message.find("NUL"), std::string::npos);

  EXPECT_NE(compile_error({{std::string(1000, 'a'), "b"}}).message.find("at most 999"),
            std::string::npos);
  EXPECT_NE(compile_error({{"a", std::string("b\0c", 3)}}).message.find("NUL"),
            std::string::npos);

  // 255 bytes that no merge can shorten: every byte value once at most.
  std::string incompressible;
  for (int b = 1; incompressible.size() < 255; ++b) {
    if (b != 0xFF) incompressible.push_back(static_cast<char>(b));
    if (b == 0xFE) b = 0x20;
  }
  CompileOptions plain = en_de();
  plain.compress = false;
  auto e = compile_error({{"x", "y"}, {incompressible, "z"}}, plain);
  EXPECT_NE(e.message.find("at most 254"), std::string::npos) << e.message;
  EXPECT_NE(e.message.find("line 2"), std::string::npos) << e.message;
}

TEST(CompilerLimits, ASectionBeyondTheLargestReferenceIsAnError) {
  // 66,000 records of 252 bytes put the last record past offset 16,581,374.
  Pairs pairs;
  for (int i = 0; i < 66000; ++i) {
    std::string text = std::to_string(i);
    text.resize(250, 'q');
    pairs.emplace_back(text, "x");
  }
  CompileOptions plain = en_de();
  plain.compress = false;
  auto e = compile_error(pairs, plain);
  EXPECT_NE(e.message.find("references reach only"), std::string::npos) << e.message;
}

TEST(CompilerOutput, AFailedWriteLeavesNothingAndASuccessfulOneReplacesTheFile) {
  const auto dir = std::filesystem::temp_directory_path() / "lexvia-compiler-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "out.dic").string();
  EXPECT_FALSE(write_file_atomically(path, {1, 2, 3}));
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
  EXPECT_FALSE(write_file_atomically(path, {4, 5}));
  EXPECT_EQ(std::filesystem::file_size(path), 2u);
  EXPECT_TRUE(write_file_atomically((dir / "missing" / "out.dic").string(), {1}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

// Nothing that is not a regular file, and no input, is ever replaced; a
// replaced file keeps its mode.
TEST(CompilerOutput, RefusesWhatItMustNotReplaceAndKeepsTheMode) {
  namespace fs = std::filesystem;
  const auto dir = fs::temp_directory_path() / "lexvia-compiler-output-test";
  fs::remove_all(dir);
  fs::create_directories(dir / "folder");
  const std::string input = (dir / "in.tsv").string();
  std::ofstream(input) << "house\tHaus\n";
  fs::create_hard_link(input, dir / "same.tsv");
  fs::create_symlink(input, dir / "link.dic");
  ASSERT_EQ(::mkfifo((dir / "fifo.dic").c_str(), 0644), 0);
  const struct {
    const char* name;
    const char* message;
  } refused[] = {{"in.tsv", "is also an input"},       {"same.tsv", "is also an input"},
                 {"link.dic", "not a regular file"},    {"fifo.dic", "not a regular file"},
                 {"folder", "not a regular file"}};
  for (const auto& r : refused) {
    const auto error = write_file_atomically((dir / r.name).string(), {1, 2, 3}, {input});
    ASSERT_TRUE(error) << r.name;
    EXPECT_NE(error->find(r.message), std::string::npos) << *error;
  }
  EXPECT_EQ(fs::file_size(input), 11u);
  EXPECT_TRUE(fs::is_symlink(dir / "link.dic"));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo.dic"));

  const std::string kept = (dir / "kept.dic").string();
  std::ofstream(kept) << "old";
  fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(write_file_atomically(kept, {1, 2}, {input}));
  EXPECT_EQ(fs::file_size(kept), 2u);
  EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 6) << "no temporary left";
  fs::remove_all(dir);
}

}  // namespace
}  // namespace lexvia
