// The dictionary file's fixed layout: the 72-byte header, the substitution
// table entries and the index record markers. Everything that reads or writes a
// dictionary file takes its numbers from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lexvia {

inline constexpr std::string_view kMagic{"Lexvi Database\0", 15};
inline constexpr std::uint32_t kHeaderSize = 72;
inline constexpr std::uint32_t kMinFormatNumber = 261;
inline constexpr std::uint8_t kMarker = 0xFF;

inline constexpr std::uint32_t kEntrySize = 12;
inline constexpr std::uint32_t kMaxEntries = 254;
inline constexpr std::uint32_t kMaxTableBytes = kMaxEntries * kEntrySize;  // 3048
inline constexpr std::uint32_t kMaxReplacement = 4;
inline constexpr std::uint32_t kEntryCodeByte = 5;

inline constexpr std::uint32_t kMaxCompressedHeadword = 254;
inline constexpr std::uint32_t kMaxDecodedText = 999;
inline constexpr std::uint32_t kMaxLanguageCode = 3;

// Byte positions of the header fields.
namespace header_field {
inline constexpr std::uint32_t kFormatNumber = 16;
inline constexpr std::uint32_t kLanguage1 = 21;
inline constexpr std::uint32_t kLanguage2 = 25;
inline constexpr std::uint32_t kPrefixList1 = 32;
inline constexpr std::uint32_t kPrefixList2 = 36;
inline constexpr std::uint32_t kPairCount = 40;
inline constexpr std::uint32_t kTable1Offset = 44;
inline constexpr std::uint32_t kTable2Offset = 48;
inline constexpr std::uint32_t kTable1Length = 52;
inline constexpr std::uint32_t kTable2Length = 54;
inline constexpr std::uint32_t kSection1Offset = 56;
inline constexpr std::uint32_t kSection2Offset = 60;
inline constexpr std::uint32_t kSection1Length = 64;
inline constexpr std::uint32_t kSection2Length = 68;
}  // namespace header_field

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

// The header fields, decoded. Index [0] is language 1, [1] language 2.
struct Header {
  std::uint32_t format_number = kMinFormatNumber;
  std::array<std::string, 2> language{};  // at most 3 characters each
  std::array<std::uint32_t, 2> prefix_list_offset{};
  std::uint32_t pair_count = 0;
  std::array<std::uint32_t, 2> table_offset{};
  std::array<std::uint16_t, 2> table_length{};
  std::array<std::uint32_t, 2> section_offset{};
  std::array<std::uint32_t, 2> section_length{};
};

// True when the first 15 bytes are the magic and its NUL.
bool has_magic(std::span<const std::uint8_t> bytes);

// Decodes the fields; does not check the magic or any offset.
Header parse_header(const HeaderBytes& bytes);
// The fields of a file that starts with `bytes`; nothing when they are fewer
// than a header, so that bytes past the end of a file never become fields.
std::optional<Header> parse_header(std::span<const std::uint8_t> bytes);

// REQUIRES: both language codes hold at most 3 characters and no NUL.
HeaderBytes serialize_header(const Header& header);

}  // namespace lexvia
