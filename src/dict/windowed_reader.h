// Random access to a read-only file through one growable buffer, so that a
// dictionary can be searched without loading it. A caller asks for a position
// and a window and gets a pointer to that many buffered bytes; the buffer is
// refilled only when the wanted range is not already held.
//
// A refill keeps 1024 bytes before the wanted position and 1024 after the
// window, so that marker scans stepping a byte at a time in either direction
// stay in memory.
//
// Positions are 64-bit and every range test is written so that it cannot wrap:
// an offset near the top of the range is a miss and a failed read, never a
// pointer outside the buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "dict/file_source.h"

namespace lexvia {

class WindowedReader {
 public:
  static constexpr std::uint32_t kDefaultWindow = 2048;
  static constexpr std::uint32_t kSlack = 2048;  // capacity = window + kSlack
  static constexpr std::uint32_t kKeepBefore = 1024;

  // `initialise`: window 0 means the default window. No buffer yet.
  explicit WindowedReader(FileSource* file = nullptr, std::uint32_t window = 0);
  WindowedReader(const WindowedReader&) = delete;
  WindowedReader& operator=(const WindowedReader&) = delete;

  // Points the reader at another file (or none); the next access reads anew.
  // The buffer and the window stay.
  void attach(FileSource* file);
  // Frees the buffer; the file is not touched.
  void release();

  // Makes [offset, offset + window) available. Fails when the read fails or
  // offset is at or past the end of the file.
  bool ensure(std::uint64_t offset);

  // A non-zero window becomes the reader's window from now on. Returns the
  // buffered byte at offset, or nullptr on failure. The pointer is valid for
  // `window` bytes (bytes past the end of the file read as 0) until the next
  // call on this reader.
  const std::uint8_t* pointer_at(std::uint64_t offset, std::uint32_t window = 0);
  // Like pointer_at, but only the bytes that really are in the file.
  std::span<const std::uint8_t> span_at(std::uint64_t offset, std::uint32_t window = 0);

  // The byte as a signed 8-bit value, or -1 when the access fails; so the
  // marker byte 0xFF also reads as -1, and a failed read ends a marker scan
  // as a marker would.
  int byte_at(std::uint64_t offset) {
    if (hit(offset)) return static_cast<std::int8_t>(data_[offset - buffer_start_]);
    const std::uint8_t* p = pointer_at(offset);
    return p ? static_cast<std::int8_t>(*p) : -1;
  }

  // Bytes from offset up to the first CR or LF; a failed read ends the count.
  std::uint32_t line_length(std::uint64_t offset);
  // The start of the next non-empty line after the line holding offset, or -1
  // when the file ends (or a read fails) first.
  std::int64_t next_line(std::uint64_t offset);

  // The whole file, when it is held in memory and read in place; empty
  // otherwise. A scan may run over it directly: it is what byte_at reads.
  std::span<const std::uint8_t> memory() const {
    return std::uint64_t{window_} + kSlack <= FileSource::kMemoryPadding
               ? memory_
               : std::span<const std::uint8_t>();
  }

  // Asks for the byte at `offset` ahead of its read, so that waits for bytes
  // far apart overlap; nothing unless the file is held in memory.
  void prefetch(std::uint64_t offset) const {
    const std::span<const std::uint8_t> whole = memory();
    if (offset < whole.size()) __builtin_prefetch(whole.data() + offset);
  }

  std::uint32_t window() const { return window_; }
  std::uint32_t capacity() const { return capacity_; }
  std::uint64_t buffer_start() const { return buffer_start_; }
  std::uint32_t valid_count() const { return valid_; }

 private:
  bool hit(std::uint64_t offset) const {
    if (offset < buffer_start_) return false;
    std::uint64_t rel = offset - buffer_start_;
    if (rel >= valid_) return false;
    // The whole window is buffered, or the buffer already runs to the end of
    // the file, where nothing more could be read; either way the window must
    // fit in the buffer, since a caller may look at all of it.
    return window_ <= valid_ - rel || (at_end_ && window_ <= capacity_ - rel);
  }
  // The byte (0 to 255), or -1 when the read fails: lines treat 0xFF as data.
  int raw_byte(std::uint64_t offset);

  FileSource* file_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  // What the window is read from: the buffer, or a file held in memory.
  const std::uint8_t* data_ = nullptr;
  std::span<const std::uint8_t> memory_;
  std::uint32_t window_;
  std::uint64_t buffer_start_ = 0;
  std::uint32_t capacity_ = 0;
  std::uint32_t valid_ = 0;
  bool at_end_ = false;  // the last refill stopped at the end of the file
};

}  // namespace lexvia
