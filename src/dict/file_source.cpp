#include "dict/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace lexvia {

int open_regular_file(const std::string& path, std::string* why) {
  const auto refuse = [why](std::string cause) {
    if (why != nullptr) *why = std::move(cause);
    return -1;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refuse(errno == EACCES ? "permission denied" : std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return refuse(std::strerror(error));
  }
  if (auto cause = non_regular_cause(st.st_mode)) {
    ::close(fd);
    return refuse(std::move(*cause));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::optional<std::string> non_regular_cause(unsigned mode) {
  if (S_ISREG(mode)) return std::nullopt;
  return S_ISDIR(mode) ? "it is a folder, not a file" : "it is not a regular file";
}

std::unique_ptr<PosixFile> PosixFile::open(const std::string& path, std::string* why) {
  const int fd = open_regular_file(path, why);
  if (fd < 0) return nullptr;
  return std::unique_ptr<PosixFile>(new PosixFile(fd));
}

PosixFile::~PosixFile() { ::close(fd_); }

std::int64_t PosixFile::read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kMaxOffset) return 0;
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t PosixFile::size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::int64_t MemoryFile::read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  if (offset >= bytes_.size()) return 0;
  std::size_t n = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
  std::memcpy(out, bytes_.data() + offset, n);
  return static_cast<std::int64_t>(n);
}

std::unique_ptr<MemoryCopy> MemoryCopy::read(const std::string& path, std::uint64_t max_bytes) {
  auto file = PosixFile::open(path);
  const std::int64_t size = file ? file->size() : -1;
  if (size < 0 || static_cast<std::uint64_t>(size) > max_bytes) return nullptr;
  // Read straight into place: a dictionary of megabytes is neither zeroed
  // nor copied first; only the padding is cleared.
  const auto length = static_cast<std::size_t>(size);
  std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[length + kMemoryPadding]);
  if (!bytes || file->read_at(0, bytes.get(), length) != size) return nullptr;
  std::memset(bytes.get() + length, 0, kMemoryPadding);
  return std::unique_ptr<MemoryCopy>(new MemoryCopy(std::move(bytes), length));
}

std::int64_t MemoryCopy::read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  if (offset >= size_) return 0;
  const std::size_t n = std::min<std::size_t>(size, size_ - static_cast<std::size_t>(offset));
  std::memcpy(out, bytes_.get() + offset, n);
  return static_cast<std::int64_t>(n);
}

std::unique_ptr<std::vector<std::uint8_t>> read_whole_file(const std::string& path,
                                                           std::uint64_t max_bytes,
                                                           std::string* why) {
  auto file = PosixFile::open(path, why);
  if (!file) return nullptr;
  const std::int64_t size = file->size();
  if (size < 0) {
    if (why != nullptr) *why = std::strerror(errno);
    return nullptr;
  }
  if (static_cast<std::uint64_t>(size) > max_bytes) {
    if (why != nullptr) *why = "it is larger than " + std::to_string(max_bytes) + " bytes";
    return nullptr;
  }
  auto bytes = std::make_unique<std::vector<std::uint8_t>>(static_cast<std::size_t>(size));
  const std::int64_t n = file->read_at(0, bytes->data(), bytes->size());
  if (n < 0) {
    if (why != nullptr) *why = std::strerror(errno);
    return nullptr;
  }
  bytes->resize(static_cast<std::size_t>(n));
  return bytes;
}

}  // namespace lexvia
