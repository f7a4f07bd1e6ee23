#include "dict/format.h"

#include <algorithm>
#include <cstring>

#include "dict/coding.h"

namespace lexvia {

bool has_magic(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kMagic.size() &&
         std::equal(kMagic.begin(), kMagic.end(), bytes.begin(),
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

namespace {

// Language codes are NUL-terminated within their 4-byte field; a field with no
// NUL is cut at 3 characters rather than read into the next field.
std::string read_code(const std::uint8_t* p) {
  std::string code;
  for (std::uint32_t i = 0; i < kMaxLanguageCode && p[i] != 0; ++i) {
    code.push_back(static_cast<char>(p[i]));
  }
  return code;
}

}  // namespace

Header parse_header(const HeaderBytes& bytes) {
  namespace f = header_field;
  const std::uint8_t* b = bytes.data();
  Header h;
  h.format_number = get_u32le(b + f::kFormatNumber);
  h.language = {read_code(b + f::kLanguage1), read_code(b + f::kLanguage2)};
  h.prefix_list_offset = {get_u32le(b + f::kPrefixList1), get_u32le(b + f::kPrefixList2)};
  h.pair_count = get_u32le(b + f::kPairCount);
  h.table_offset = {get_u32le(b + f::kTable1Offset), get_u32le(b + f::kTable2Offset)};
  h.table_length = {get_u16le(b + f::kTable1Length), get_u16le(b + f::kTable2Length)};
  h.section_offset = {get_u32le(b + f::kSection1Offset), get_u32le(b + f::kSection2Offset)};
  h.section_length = {get_u32le(b + f::kSection1Length), get_u32le(b + f::kSection2Length)};
  return h;
}

std::optional<Header> parse_header(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  HeaderBytes header;
  std::copy_n(bytes.begin(), kHeaderSize, header.begin());
  return parse_header(header);
}

HeaderBytes serialize_header(const Header& h) {
  namespace f = header_field;
  HeaderBytes bytes{};
  std::uint8_t* b = bytes.data();
  std::memcpy(b, kMagic.data(), kMagic.size());
  put_u32le(b + f::kFormatNumber, h.format_number);
  std::memcpy(b + f::kLanguage1, h.language[0].data(),
              std::min<std::size_t>(h.language[0].size(), 3));
  std::memcpy(b + f::kLanguage2, h.language[1].data(),
              std::min<std::size_t>(h.language[1].size(), 3));
  put_u32le(b + f::kPrefixList1, h.prefix_list_offset[0]);
  put_u32le(b + f::kPrefixList2, h.prefix_list_offset[1]);
  put_u32le(b + f::kPairCount, h.pair_count);
  put_u32le(b + f::kTable1Offset, h.table_offset[0]);
  put_u32le(b + f::kTable2Offset, h.table_offset[1]);
  put_u16le(b + f::kTable1Length, h.table_length[0]);
  put_u16le(b + f::kTable2Length, h.table_length[1]);
  put_u32le(b + f::kSection1Offset, h.section_offset[0]);
  put_u32le(b + f::kSection2Offset, h.section_offset[1]);
  put_u32le(b + f::kSection1Length, h.section_length[0]);
  put_u32le(b + f::kSection2Length, h.section_length[1]);
  return bytes;
}

}  // namespace lexvia
