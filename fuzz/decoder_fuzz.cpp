// Any substitution table and any compressed text: the decoder stays within
// 999 bytes, ends, and gives what applying the entries one by one gives.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dict/decoder.h"
#include "fuzz_support.h"

namespace {

// Entry by entry, each entry replacing every occurrence of its code in one
// sweep; nothing when the text grows too large to follow.
std::optional<std::string> reference(const std::string& stored, std::string text) {
  std::string table(lexvia::kDecodingTableBytes, '\0');
  table.replace(lexvia::kEntrySize, std::min<std::size_t>(stored.size(), lexvia::kMaxTableBytes),
                stored.substr(0, lexvia::kMaxTableBytes));
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  for (std::size_t k = 1; k <= lexvia::kMaxEntries; ++k) {
    const char* entry = table.data() + k * lexvia::kEntrySize;
    const char code = entry[lexvia::kEntryCodeByte];
    if (code == 0) continue;
    const std::string replacement(entry, strnlen(entry, lexvia::kMaxReplacement));
    std::string next;
    for (char c : text) next += c == code ? replacement : std::string(1, c);
    if (next.size() > 100000) return std::nullopt;
    text = std::move(next);
  }
  if (text.size() > lexvia::kMaxDecodedText) text.resize(lexvia::kMaxDecodedText);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lexvia::fuzz::Input in(data, size);
  const std::size_t table_size = in.u16() % 3200;
  const std::string_view rest = in.rest();
  const std::string stored(rest.substr(0, std::min(table_size, rest.size())));
  const std::string text(rest.substr(stored.size()));

  lexvia::DecodingTable table;
  table.load({reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
  const std::string decoded = lexvia::expand(text, table);
  if (decoded.size() > lexvia::kMaxDecodedText) std::abort();
  if (auto expected = reference(stored, text); expected && *expected != decoded) std::abort();

  // The same text as a record: a length byte then at most 254 bytes.
  std::vector<std::uint8_t> record(2 + 254, 0);
  record[0] = 0xFF;
  record[1] = static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), 254));
  std::copy_n(text.begin(), record[1], record.begin() + 2);
  if (lexvia::decode_record(record.data(), table).size() > lexvia::kMaxDecodedText) std::abort();
  return 0;
}
