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

// A whole file mapped read-only into memory (with the padding in_memory
// promises), read through pointers rather than copies: a batch of lookups
// then pays neither a read of megabytes nor a system call per probe. Nothing
// when the file cannot be opened, is empty or larger than `max_bytes`.
//
// A mapped file that another program cuts short would end the process with
// SIGBUS at the next read of a lost page. Mapping installs, for the whole
// process, a handler that puts zeros in such a page's place instead, so the
// reads go on over bytes that decode to nothing; `changed()` then tells the
// caller that the answers since the mapping cannot be trusted.
class MappedFile final : public FileSource {
 public:
  // A dictionary's header places its sections with 32-bit offsets.
  static constexpr std::uint64_t kLargestDictionary = std::uint64_t{1} << 32;
  static std::unique_ptr<MappedFile> map(const std::string& path, std::uint64_t max_bytes);
  ~MappedFile() override;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;
  std::int64_t size() const override { return static_cast<std::int64_t>(size_); }
  std::span<const std::uint8_t> in_memory() const override { return {bytes_, size_}; }
  // The file is no longer the one mapped: another size or modification time,
  // or it cannot be told.
  bool changed() const;

 private:
  MappedFile(int fd, const std::uint8_t* bytes, std::size_t size, std::size_t mapped,
             std::int64_t mtime_ns)
      : fd_(fd), bytes_(bytes), size_(size), mapped_(mapped), mtime_ns_(mtime_ns) {}
  int fd_;
  const std::uint8_t* bytes_;  // the file, then the padding
  std::size_t size_;
  std::size_t mapped_;  // the length of the whole mapping
  std::int64_t mtime_ns_;
};

// Reads a whole file into memory; nothing when it cannot be read or holds
// more than `max_bytes`. `why`, when given, then receives the cause in words.
std::unique_ptr<std::vector<std::uint8_t>> read_whole_file(
    const std::string& path, std::uint64_t max_bytes = UINT64_MAX, std::string* why = nullptr);

}  // namespace lexvia
