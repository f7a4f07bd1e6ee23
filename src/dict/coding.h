// Little-endian integers and base-255 translation references, shared by the
// reader, the compiler and the checker so that all three agree on every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lexvia {

inline std::uint16_t get_u16le(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t get_u32le(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void put_u16le(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put_u32le(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// A translation reference is three base-255 digits, most significant first, so
// that none of its bytes can be taken for a record marker (0xFF).
inline constexpr std::uint32_t kReferenceSize = 3;
inline constexpr std::uint32_t kMaxReference = 255u * 255u * 255u - 1;  // 16,581,374

inline std::uint32_t get_reference(const std::uint8_t* p) {
  return p[0] * 65025u + p[1] * 255u + p[2];
}

// REQUIRES: value <= kMaxReference.
inline void put_reference(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value / 65025u);
  p[1] = static_cast<std::uint8_t>(value / 255u % 255u);
  p[2] = static_cast<std::uint8_t>(value % 255u);
}

}  // namespace lexvia
