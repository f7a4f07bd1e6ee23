// Where a windowed reader gets its bytes: a read-only file on disk, or bytes in
// memory for tests. The reader needs only "read up to n bytes at an offset".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lexvia {

class FileSource {
 public:
  virtual ~FileSource() = default;
  // Reads up to `size` bytes at `offset` into `out`. Returns the number read,
  // which is less than `size` only at the end of the file (0 at or past it),
  // or -1 when the read fails.
  virtual std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) = 0;
  // Size in bytes, or -1 when it cannot be told.
  virtual std::int64_t size() const { return -1; }
  // The whole file when it is held in memory, followed by kMemoryPadding
  // readable zero bytes, so that a reader may point into it instead of
  // copying windows; empty otherwise.
  virtual std::span<const std::uint8_t> in_memory() const { return {}; }
  // More than the largest window and slack a windowed reader uses.
  static constexpr std::size_t kMemoryPadding = std::size_t{1} << 17;
};

// A file opened read-only, shared with other readers, closed on destruction.
// The one way an input file is opened: read-only, without blocking (a FIFO
// cannot hang the program) and only when it is a regular file (a device such
// as /dev/zero would never end). The descriptor blocks again once open; -1
// when refused, with the cause in words in `why` when given.
int open_regular_file(const std::string& path, std::string* why = nullptr);

// Why a file of this mode (st_mode) is refused: "it is a folder, not a file"
// or "it is not a regular file"; nothing for a regular file.
std::optional<std::string> non_regular_cause(unsigned mode);

class PosixFile final : public FileSource {
 public:
  // Returns nothing when the file does not exist, cannot be opened, or is
  // not a regular file (a directory, FIFO, socket or device); it never
  // blocks. `why`, when given, then receives the cause in words.
  static std::unique_ptr<PosixFile> open(const std::string& path, std::string* why = nullptr);
  ~PosixFile() override;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  std::int64_t size() const override;

 private:
  explicit PosixFile(int fd) : fd_(fd) {}
  int fd_;
};

// Bytes held in memory; the reader sees them exactly as it would a file.
class MemoryFile final : public FileSource {
 public:
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A copy of a whole file held in memory (with the padding in_memory
// promises), read through pointers rather than copies; nothing when the file
// cannot be read or is larger than `max_bytes`.
class MemoryCopy final : public FileSource {
 public:
  static std::unique_ptr<MemoryCopy> read(const std::string& path, std::uint64_t max_bytes);
  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  std::int64_t size() const override { return static_cast<std::int64_t>(size_); }
  std::span<const std::uint8_t> in_memory() const override { return {bytes_.get(), size_}; }

 private:
  MemoryCopy(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size)
      : bytes_(std::move(bytes)), size_(size) {}
  std::unique_ptr<std::uint8_t[]> bytes_;  // the file, then the padding
  std::size_t size_;
};

// Reads a whole file into memory; nothing when it cannot be read or holds
// more than `max_bytes`. `why`, when given, then receives the cause in words.
std::unique_ptr<std::vector<std::uint8_t>> read_whole_file(
    const std::string& path, std::uint64_t max_bytes = UINT64_MAX, std::string* why = nullptr);

}  // namespace lexvia
