#include "dict/file_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
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

namespace {

std::int64_t modification_ns(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// A page of a mapped file that was cut short reads as zeros from now on. Only
// async-signal-safe calls; any other SIGBUS keeps its default action.
void zero_lost_page(int signal, siginfo_t* info, void*) {
  if (info->si_code == BUS_ADRERR) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* start = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(info->si_addr) & ~(page - 1));
    if (::mmap(start, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      return;
    }
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void guard_mapped_reads() {
  struct sigaction action {};
  action.sa_sigaction = zero_lost_page;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::map(const std::string& path, std::uint64_t max_bytes) {
  const int fd = open_regular_file(path);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size <= 0 ||
      static_cast<std::uint64_t>(st.st_size) > max_bytes ||
      static_cast<std::uint64_t>(st.st_size) > SIZE_MAX / 2) {
    ::close(fd);
    return nullptr;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  // Zeros first, for the whole length; the file then takes the front of it,
  // so that the padding after the file is zeros that are always there.
  const std::size_t mapped = size + kMemoryPadding;
  // At a 2 MiB boundary the system can map the file's cached pages as huge
  // pages: a lookup's probes land all over the file, and with small pages
  // most of them would first wait for the page tables.
  constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
  void* reserved =
      ::mmap(nullptr, mapped + kHugePage, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) {
    ::close(fd);
    return nullptr;
  }
  const auto start = reinterpret_cast<std::uintptr_t>(reserved);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(reserved, aligned - start);
  if (start + kHugePage > aligned) {
    ::munmap(reinterpret_cast<void*>(aligned + mapped), start + kHugePage - aligned);
  }
  void* area = reinterpret_cast<void*>(aligned);
  if (::mmap(area, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
    ::munmap(area, mapped);
    ::close(fd);
    return nullptr;
  }
  guard_mapped_reads();
  return std::unique_ptr<MappedFile>(
      new MappedFile(fd, static_cast<const std::uint8_t*>(area), size, mapped, modification_ns(st)));
}

MappedFile::~MappedFile() {
  ::munmap(const_cast<std::uint8_t*>(bytes_), mapped_);
  ::close(fd_);
}

bool MappedFile::changed() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return true;
  return static_cast<std::uint64_t>(st.st_size) != size_ || modification_ns(st) != mtime_ns_;
}

std::int64_t MappedFile::read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  if (offset >= size_) return 0;
  const std::size_t n = std::min<std::size_t>(size, size_ - static_cast<std::size_t>(offset));
  std::memcpy(out, bytes_ + offset, n);
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
