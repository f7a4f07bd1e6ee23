#include "dict/windowed_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "dict/file_source.h"

namespace lexvia {
namespace {

constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();

std::vector<std::uint8_t> random_bytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

std::vector<std::uint8_t> bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

int as_signed(std::uint8_t b) { return static_cast<std::int8_t>(b); }

// Counts the reads, so that a test can tell a hit (no read) from a refill, and
// can be told to fail every read from a given offset on.
class CountingFile : public FileSource {
 public:
  explicit CountingFile(std::vector<std::uint8_t> bytes) : file_(std::move(bytes)) {}
  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override {
    ++reads;
    last_offset = offset;
    last_size = size;
    if (offset >= fail_from) return -1;
    return file_.read_at(offset, out, size);
  }
  const std::vector<std::uint8_t>& bytes() const { return file_.bytes(); }

  int reads = 0;
  std::uint64_t last_offset = 0;
  std::size_t last_size = 0;
  std::uint64_t fail_from = kTop;

 private:
  MemoryFile file_;
};

// A file of any size up to 2^64 - 1 whose bytes are worked out from their
// offsets. With `endless`, every read is filled completely, as if the file had
// bytes at every offset (the offsets wrap past 2^64 - 1).
class SyntheticFile : public FileSource {
 public:
  SyntheticFile(std::uint64_t size, std::function<std::uint8_t(std::uint64_t)> byte,
                bool endless = false)
      : size_(size), byte_(std::move(byte)), endless_(endless) {}
  std::int64_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t size) override {
    ++reads;
    std::size_t n = size;
    if (!endless_) {
      if (offset >= size_) return 0;
      if (size_ - offset < n) n = static_cast<std::size_t>(size_ - offset);
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = byte_(offset + i);
    return static_cast<std::int64_t>(n);
  }
  int reads = 0;

 private:
  std::uint64_t size_;
  std::function<std::uint8_t(std::uint64_t)> byte_;
  bool endless_;
};

// Mixes all eight bytes of the offset, so that a position cut to 32 bits or
// off by 2^32 reads a different byte.
std::uint8_t mixed_byte(std::uint64_t offset) {
  std::uint64_t x = offset * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint8_t>((x >> 56) ^ (offset >> 32) ^ offset);
}

// ---------------------------------------------------------------------------
// Refill placement and the hit test.

TEST(WindowedReaderRefill, NothingIsReadOrAllocatedBeforeTheFirstAccess) {
  CountingFile file(random_bytes(100, 1));
  WindowedReader reader(&file);
  EXPECT_EQ(reader.window(), 2048u);
  EXPECT_EQ(reader.capacity(), 0u);
  EXPECT_EQ(file.reads, 0);
  WindowedReader small(&file, 100);
  EXPECT_EQ(small.window(), 100u);
  ASSERT_NE(small.pointer_at(0), nullptr);
  EXPECT_EQ(small.capacity(), 2148u);
}

TEST(WindowedReaderRefill, OffsetsUpTo1024StartTheBufferAtZero) {
  for (std::uint64_t x : {0u, 1u, 700u, 1023u, 1024u, 1025u, 1026u, 5000u}) {
    SCOPED_TRACE(x);
    CountingFile file(random_bytes(10000, 2));
    WindowedReader reader(&file);
    ASSERT_EQ(reader.byte_at(x), as_signed(file.bytes()[x]));
    EXPECT_EQ(file.reads, 1);
    const std::uint64_t start = x <= 1024 ? 0 : x - 1024;
    EXPECT_EQ(reader.buffer_start(), start);
    EXPECT_EQ(file.last_offset, start);
    EXPECT_EQ(file.last_size, 4096u);
    EXPECT_EQ(reader.valid_count(), 4096u);
  }
}

TEST(WindowedReaderRefill, HitsCover1024BeforeTo1024AfterTheRefilledOffset) {
  const std::uint64_t x = 5000;
  CountingFile file(random_bytes(x + 2048 + 1024 + 10, 3));
  WindowedReader reader(&file);
  ASSERT_NE(reader.pointer_at(x), nullptr);
  ASSERT_EQ(file.reads, 1);
  for (std::uint64_t o = x - 1024; o <= x + 1024; ++o) {
    ASSERT_EQ(reader.byte_at(o), as_signed(file.bytes()[o])) << o;
    const std::uint8_t* p = reader.pointer_at(o);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p[2047], file.bytes()[o + 2047]) << o;
    ASSERT_EQ(reader.span_at(o).size(), 2048u);
    ASSERT_EQ(file.reads, 1) << "offset " << o << " should have been a hit";
  }
  EXPECT_EQ(reader.byte_at(x + 1025), as_signed(file.bytes()[x + 1025]));
  EXPECT_EQ(file.reads, 2);
  EXPECT_EQ(reader.buffer_start(), x + 1);
  // And one below the buffer is a miss as well.
  EXPECT_EQ(reader.byte_at(x - 1024), as_signed(file.bytes()[x - 1024]));
  EXPECT_EQ(file.reads, 3);
}

TEST(WindowedReaderRefill, AnyChangeOfWindowReplacesTheBufferAndRefills) {
  const std::uint64_t x = 5000;
  CountingFile file(random_bytes(10000, 4));
  WindowedReader reader(&file);
  ASSERT_NE(reader.pointer_at(x), nullptr);
  ASSERT_EQ(reader.capacity(), 4096u);

  // x is buffered, yet the smaller window costs a new buffer and a read.
  const std::uint8_t* p = reader.pointer_at(x, 72);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reader.window(), 72u);
  EXPECT_EQ(reader.capacity(), 72u + 2048u);
  EXPECT_EQ(file.reads, 2);
  EXPECT_EQ(reader.buffer_start(), x - 1024);
  EXPECT_EQ(std::vector<std::uint8_t>(p, p + 72),
            std::vector<std::uint8_t>(file.bytes().begin() + x, file.bytes().begin() + x + 72));

  // The window stays in force, also for the hit test.
  for (std::uint64_t o = x - 1024; o <= x + 1024; ++o) ASSERT_NE(reader.pointer_at(o), nullptr);
  ASSERT_NE(reader.pointer_at(x, 72), nullptr);
  EXPECT_EQ(file.reads, 2);
  EXPECT_EQ(reader.byte_at(x + 1025), as_signed(file.bytes()[x + 1025]));
  EXPECT_EQ(file.reads, 3);

  ASSERT_NE(reader.pointer_at(x + 1025, 2048), nullptr);
  EXPECT_EQ(reader.capacity(), 4096u);
  EXPECT_EQ(file.reads, 4);
}

TEST(WindowedReaderRefill, AWindowTooLargeForABufferFailsAndKeepsNoBuffer) {
  CountingFile file(random_bytes(100, 5));
  WindowedReader reader(&file);
  ASSERT_NE(reader.pointer_at(0), nullptr);
  EXPECT_EQ(reader.pointer_at(0, std::numeric_limits<std::uint32_t>::max()), nullptr);
  EXPECT_EQ(reader.capacity(), 0u);
  EXPECT_EQ(reader.byte_at(0), -1);
  const std::uint8_t* p = reader.pointer_at(3, 2048);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, file.bytes()[3]);
}

// ---------------------------------------------------------------------------
// The end of the file.

TEST(WindowedReaderEnd, BytesPastTheEndReadAsZeroNeverAsAnEarlierFilesBytes) {
  MemoryFile full(std::vector<std::uint8_t>(10000, 0xAA));
  MemoryFile short_file(std::vector<std::uint8_t>(3000, 0x11));
  WindowedReader reader(&full);
  ASSERT_NE(reader.pointer_at(0), nullptr);
  reader.attach(&short_file);
  const std::uint8_t* p = reader.pointer_at(2500);
  ASSERT_NE(p, nullptr);
  for (std::uint32_t i = 0; i < 500; ++i) ASSERT_EQ(p[i], 0x11) << i;
  for (std::uint32_t i = 500; i < 2048; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_EQ(reader.span_at(2500).size(), 500u);
  EXPECT_EQ(reader.span_at(2999).size(), 1u);
}

TEST(WindowedReaderEnd, ScansInTheLastWindowOfTheFileStayInMemory) {
  CountingFile file(random_bytes(3000, 6));
  WindowedReader reader(&file);
  ASSERT_EQ(reader.byte_at(2500), as_signed(file.bytes()[2500]));
  ASSERT_EQ(file.reads, 1);
  for (std::uint64_t o = 1476; o < 3000; ++o) {
    ASSERT_EQ(reader.byte_at(o), as_signed(file.bytes()[o])) << o;
  }
  EXPECT_EQ(file.reads, 1);
  EXPECT_EQ(reader.byte_at(1475), as_signed(file.bytes()[1475]));
  EXPECT_EQ(file.reads, 2);
}

TEST(WindowedReaderEnd, OffsetsAtOrPastTheEndFail) {
  CountingFile file(random_bytes(3000, 7));
  WindowedReader reader(&file);
  for (std::uint64_t o : {3000ull, 3001ull, 4000ull, 100000ull, 1ull << 40}) {
    EXPECT_EQ(reader.pointer_at(o), nullptr) << o;
    EXPECT_TRUE(reader.span_at(o).empty()) << o;
    EXPECT_EQ(reader.byte_at(o), -1) << o;
  }
  // A failed access does not spoil the next one.
  EXPECT_EQ(reader.byte_at(2999), as_signed(file.bytes()[2999]));
  MemoryFile empty({});
  reader.attach(&empty);
  EXPECT_EQ(reader.byte_at(0), -1);
}

// A pointer is valid for a whole window, and bytes of the window past the end
// of the file read as 0. That must hold also when the access was served from a
// buffer that already runs to the end of the file.
TEST(WindowedReaderEnd, AWindowNearTheEndLiesInsideTheBuffer) {
  std::vector<std::uint8_t> bytes(3000, 0x5A);
  MemoryFile file(bytes);
  WindowedReader reader(&file);
  ASSERT_NE(reader.pointer_at(0), nullptr);
  for (std::uint64_t o : {2000ull, 2048ull, 2049ull, 2500ull, 2999ull}) {
    SCOPED_TRACE(o);
    const std::uint8_t* p = reader.pointer_at(o);
    ASSERT_NE(p, nullptr);
    ASSERT_LE(o - reader.buffer_start() + reader.window(), reader.capacity())
        << "the window runs past the end of the buffer";
    for (std::uint64_t i = 0; i < reader.window(); ++i) {
      ASSERT_EQ(p[i], o + i < 3000 ? 0x5A : 0) << i;
    }
  }
}

// ---------------------------------------------------------------------------
// Byte access and lines.

TEST(WindowedReaderBytes, ByteAtIsSignedSoTheMarkerReadsAsMinusOne) {
  MemoryFile file({0x00, 0x41, 0x7F, 0x80, 0xC9, 0xFE, 0xFF});
  WindowedReader reader(&file);
  EXPECT_EQ(reader.byte_at(0), 0);
  EXPECT_EQ(reader.byte_at(1), 0x41);
  EXPECT_EQ(reader.byte_at(2), 127);
  EXPECT_EQ(reader.byte_at(3), -128);
  EXPECT_EQ(reader.byte_at(4), 0xC9 - 256);
  EXPECT_EQ(reader.byte_at(5), -2);
  EXPECT_EQ(reader.byte_at(6), -1);
  EXPECT_EQ(reader.byte_at(7), -1);
}

TEST(WindowedReaderLines, LineLength) {
  MemoryFile file(bytes_of("abc\r\nd\xFF\x80\n\nlast"));
  WindowedReader reader(&file);
  EXPECT_EQ(reader.line_length(0), 3u);
  EXPECT_EQ(reader.line_length(1), 2u);
  EXPECT_EQ(reader.line_length(3), 0u);   // at the CR
  EXPECT_EQ(reader.line_length(4), 0u);   // at the LF
  EXPECT_EQ(reader.line_length(5), 3u);   // 0xFF and 0x80 are ordinary bytes here
  EXPECT_EQ(reader.line_length(10), 4u);  // last line, no break: up to the end
  EXPECT_EQ(reader.line_length(13), 1u);
  EXPECT_EQ(reader.line_length(14), 0u);  // at the end of the file
  EXPECT_EQ(reader.line_length(1000), 0u);
}

TEST(WindowedReaderLines, NextLineSkipsEveryMixOfBreaks) {
  MemoryFile file(bytes_of("a\r\n\r\nb"));
  WindowedReader reader(&file);
  EXPECT_EQ(reader.next_line(0), 5);
  EXPECT_EQ(reader.next_line(1), 5);  // inside the run of breaks
  EXPECT_EQ(reader.next_line(3), 5);
  EXPECT_EQ(reader.next_line(5), -1);  // last line without a break
  EXPECT_EQ(reader.next_line(6), -1);

  MemoryFile more(bytes_of("x\xFFy\n\r\n\n\rz\r\n"));
  reader.attach(&more);
  EXPECT_EQ(reader.next_line(0), 8);   // 0xFF does not end the line
  EXPECT_EQ(reader.next_line(8), -1);  // the file ends in line breaks
  MemoryFile leading(bytes_of("\n\nq"));
  reader.attach(&leading);
  EXPECT_EQ(reader.next_line(0), 2);
}

TEST(WindowedReaderLines, LinesLongerThanTheBufferAreFollowedAcrossRefills) {
  CountingFile file(bytes_of(std::string(9000, 'x') + "\r\n\nyy"));
  WindowedReader reader(&file);
  // A refill moves the buffer on by at least 1024 bytes, so a scan costs a
  // read per 1024 bytes, not one per byte (the last lines of the file included).
  auto reads_during = [&file](auto scan) {
    const int before = file.reads;
    scan();
    return file.reads - before;
  };
  EXPECT_LE(reads_during([&] { EXPECT_EQ(reader.line_length(0), 9000u); }), 9001 / 1024 + 2);
  EXPECT_LE(reads_during([&] { EXPECT_EQ(reader.line_length(100), 8900u); }), 8901 / 1024 + 2);
  EXPECT_LE(reads_during([&] { EXPECT_EQ(reader.next_line(0), 9003); }), 9004 / 1024 + 2);
  EXPECT_LE(reads_during([&] { EXPECT_EQ(reader.line_length(9003), 2u); }), 2);
  EXPECT_LE(reads_during([&] { EXPECT_EQ(reader.line_length(7000), 2000u); }), 2001 / 1024 + 2);
}

// ---------------------------------------------------------------------------
// Attaching, releasing and failing reads.

TEST(WindowedReaderAttach, AttachMakesTheNextAccessReadTheNewFile) {
  CountingFile a(std::vector<std::uint8_t>(5000, 'a'));
  CountingFile b(std::vector<std::uint8_t>(5000, 'b'));
  WindowedReader reader(&a, 72);
  ASSERT_EQ(reader.byte_at(10), 'a');
  reader.attach(&b);
  EXPECT_EQ(reader.window(), 72u);
  EXPECT_EQ(reader.capacity(), 72u + 2048u);
  EXPECT_EQ(reader.buffer_start(), 0u);
  EXPECT_EQ(reader.valid_count(), 0u);
  EXPECT_EQ(reader.byte_at(10), 'b');
  EXPECT_EQ(b.reads, 1);
  EXPECT_EQ(a.reads, 1);
  reader.attach(nullptr);
  EXPECT_EQ(reader.byte_at(10), -1);
  EXPECT_EQ(reader.pointer_at(10), nullptr);
}

TEST(WindowedReaderAttach, ReleaseFreesTheBufferAndKeepsTheFile) {
  CountingFile file(random_bytes(5000, 8));
  WindowedReader reader(&file);
  ASSERT_EQ(reader.byte_at(10), as_signed(file.bytes()[10]));
  reader.release();
  EXPECT_EQ(reader.capacity(), 0u);
  EXPECT_EQ(reader.byte_at(10), as_signed(file.bytes()[10]));
  EXPECT_EQ(reader.capacity(), 4096u);
  EXPECT_EQ(file.reads, 2);
}

TEST(WindowedReaderFailure, AFailedReadFailsEveryAccessAndServesNoOldBytes) {
  CountingFile file(random_bytes(10000, 9));
  WindowedReader reader(&file);
  ASSERT_EQ(reader.byte_at(0), as_signed(file.bytes()[0]));
  file.fail_from = 0;
  EXPECT_EQ(reader.pointer_at(6000), nullptr);
  EXPECT_TRUE(reader.span_at(6000).empty());
  EXPECT_EQ(reader.byte_at(6000), -1);
  EXPECT_EQ(reader.line_length(6000), 0u);
  EXPECT_EQ(reader.next_line(6000), -1);
  // Offset 0 was buffered before the failure; it must be read again.
  const int reads = file.reads;
  EXPECT_EQ(reader.byte_at(0), -1);
  EXPECT_EQ(file.reads, reads + 1);
  file.fail_from = kTop;
  EXPECT_EQ(reader.byte_at(0), as_signed(file.bytes()[0]));
}

TEST(WindowedReaderFailure, LineScansStopAtTheFailedRead) {
  CountingFile file(std::vector<std::uint8_t>(10000, 'x'));
  WindowedReader reader(&file);
  file.fail_from = 1;  // the first refill (at 0) works, every later one fails
  // Offsets 0 to 2048 are hits of the first refill; 2049 needs a new read.
  EXPECT_EQ(reader.line_length(0), 2049u);
  EXPECT_EQ(reader.next_line(0), -1);
}

// ---------------------------------------------------------------------------
// Offsets beyond 32 bits: a miss and a failed read, or the right bytes.

TEST(WindowedReaderLargeOffsets, AroundFourGigabytes) {
  const std::uint64_t g4 = 1ull << 32;
  SyntheticFile file(g4 + 5000, mixed_byte);
  WindowedReader reader(&file);
  for (std::uint64_t o : {g4 - 2048, g4 - 1, g4, g4 + 1, g4 + 1025, g4 + 4999}) {
    SCOPED_TRACE(o);
    ASSERT_EQ(reader.byte_at(o), as_signed(mixed_byte(o)));
    std::span<const std::uint8_t> s = reader.span_at(o);
    ASSERT_EQ(s.size(), std::min<std::uint64_t>(2048, g4 + 5000 - o));
    for (std::size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], mixed_byte(o + i)) << i;
  }
  // The low offsets that the same bits would give are other bytes, read anew.
  ASSERT_NE(reader.pointer_at(g4 + 10), nullptr);
  const int reads = file.reads;
  EXPECT_EQ(reader.byte_at(10), as_signed(mixed_byte(10)));
  EXPECT_EQ(file.reads, reads + 1);
  EXPECT_EQ(reader.byte_at(g4 + 5000), -1);
  EXPECT_EQ(reader.pointer_at(g4 + 5000), nullptr);
}

TEST(WindowedReaderLargeOffsets, AFileThatEndsAtFourGigabytes) {
  const std::uint64_t g4 = 1ull << 32;
  SyntheticFile file(g4, mixed_byte);
  WindowedReader reader(&file);
  EXPECT_EQ(reader.byte_at(g4 - 1), as_signed(mixed_byte(g4 - 1)));
  EXPECT_EQ(reader.span_at(g4 - 1).size(), 1u);
  EXPECT_EQ(reader.byte_at(g4), -1);
  EXPECT_EQ(reader.pointer_at(g4), nullptr);
  EXPECT_EQ(reader.byte_at(0), as_signed(mixed_byte(0)));
}

TEST(WindowedReaderLargeOffsets, LinesAcrossFourGigabytes) {
  const std::uint64_t g4 = 1ull << 32;
  SyntheticFile file(g4 + 100, [g4](std::uint64_t o) -> std::uint8_t {
    return o == g4 + 2 || o == g4 + 3 ? '\n' : 'x';
  });
  WindowedReader reader(&file);
  EXPECT_EQ(reader.line_length(g4 - 3), 5u);
  EXPECT_EQ(reader.next_line(g4 - 3), static_cast<std::int64_t>(g4 + 4));
  EXPECT_EQ(reader.line_length(g4 + 4), 96u);
  EXPECT_EQ(reader.next_line(g4 + 4), -1);
}

TEST(WindowedReaderLargeOffsets, AtTheTopOfThe64BitRange) {
  SyntheticFile file(kTop, mixed_byte);  // last byte at 2^64 - 2
  WindowedReader reader(&file);
  for (std::uint64_t o : {kTop - 5000, kTop - 2049, kTop - 2048, kTop - 1025, kTop - 2}) {
    SCOPED_TRACE(o);
    ASSERT_EQ(reader.byte_at(o), as_signed(mixed_byte(o)));
    std::span<const std::uint8_t> s = reader.span_at(o);
    ASSERT_EQ(s.size(), std::min<std::uint64_t>(2048, kTop - o));
    for (std::size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], mixed_byte(o + i)) << i;
    const std::uint8_t* p = reader.pointer_at(o);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, mixed_byte(o));
  }
  EXPECT_EQ(reader.pointer_at(kTop), nullptr);
  EXPECT_TRUE(reader.span_at(kTop).empty());
  EXPECT_EQ(reader.byte_at(kTop), -1);
  EXPECT_EQ(reader.line_length(kTop), 0u);
  EXPECT_EQ(reader.next_line(kTop), -1);
  // After a refill at the top, small offsets are misses, not wrapped hits.
  ASSERT_NE(reader.pointer_at(kTop - 2), nullptr);
  const int reads = file.reads;
  for (std::uint64_t o : {0ull, 1ull, 1000ull}) {
    EXPECT_EQ(reader.byte_at(o), as_signed(mixed_byte(o))) << o;
  }
  EXPECT_GT(file.reads, reads);
}

// A source that claims bytes at every offset up to 2^64 - 1 and beyond: the
// reader must still hand out only the bytes it asked for, and the line scans
// must not wrap around to offset 0.
TEST(WindowedReaderLargeOffsets, ASourceWithoutAnEndDoesNotMakePositionsWrap) {
  SyntheticFile file(
      0, [](std::uint64_t o) -> std::uint8_t { return o == 1 ? '\n' : 'x'; },
      /*endless=*/true);
  WindowedReader reader(&file);
  EXPECT_EQ(reader.byte_at(kTop), 'x');
  const int reads = file.reads;
  EXPECT_EQ(reader.byte_at(1), '\n');
  EXPECT_EQ(file.reads, reads + 1);
  EXPECT_EQ(reader.line_length(kTop - 4), 5u);
  // The line holding 2^64 - 5 has no break before the end of the range.
  EXPECT_EQ(reader.next_line(kTop - 4), -1);
}

// ---------------------------------------------------------------------------
// A real file on disk.

class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& bytes) {
    path_ = std::filesystem::temp_directory_path() /
            ("lexvia_reader_test_" + std::to_string(::getpid()) + ".bin");
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(WindowedReaderPosixFile, ReadsARealFileLikeMemory) {
  const std::vector<std::uint8_t> bytes = random_bytes(10000, 10);
  TempFile temp(bytes);
  auto file = PosixFile::open(temp.path());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size(), 10000);
  WindowedReader reader(file.get());
  for (std::uint64_t o : {0ull, 1ull, 1025ull, 5000ull, 7952ull, 9999ull, 3ull}) {
    ASSERT_EQ(reader.byte_at(o), as_signed(bytes[o])) << o;
  }
  std::span<const std::uint8_t> s = reader.span_at(9000);
  ASSERT_EQ(s.size(), 1000u);
  EXPECT_TRUE(std::equal(s.begin(), s.end(), bytes.begin() + 9000));
  EXPECT_EQ(reader.byte_at(10000), -1);
  EXPECT_EQ(reader.pointer_at(1ull << 62), nullptr);
  EXPECT_EQ(reader.pointer_at(1ull << 63), nullptr);
  EXPECT_EQ(reader.pointer_at(kTop), nullptr);
  EXPECT_EQ(reader.byte_at(5), as_signed(bytes[5]));

  auto whole = read_whole_file(temp.path());
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(*whole, bytes);
}

// A mapped file reads as the file does, with zeros after its end; when
// another program cuts it short, the lost pages read as zeros rather than
// ending the process, and the mapping says that the file changed.
TEST(WindowedReaderPosixFile, AMappedFileSurvivesBeingCutShort) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::vector<std::uint8_t> bytes = random_bytes(8 * page + 100, 11);
  TempFile temp(bytes);
  auto mapped = MappedFile::map(temp.path(), bytes.size());
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(MappedFile::map(temp.path(), bytes.size() - 1), nullptr);
  EXPECT_EQ(MappedFile::map(std::filesystem::temp_directory_path().string(), 1 << 20), nullptr);
  WindowedReader reader(mapped.get());
  ASSERT_EQ(reader.memory().size(), bytes.size());
  std::span<const std::uint8_t> tail = reader.span_at(bytes.size() - 10);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - 10));
  const std::uint8_t* end = reader.pointer_at(bytes.size() - 1);
  ASSERT_NE(end, nullptr);
  EXPECT_TRUE(std::all_of(end + 1, end + reader.window(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_FALSE(mapped->changed());

  std::filesystem::resize_file(temp.path(), page);
  EXPECT_TRUE(mapped->changed());
  const std::span<const std::uint8_t> memory = reader.memory();
  EXPECT_EQ(memory[10], bytes[10]);
  EXPECT_EQ(memory[3 * page + 5], 0);
  EXPECT_EQ(memory[bytes.size() - 1], 0);
}

TEST(WindowedReaderPosixFile, MissingFilesAndFoldersDoNotOpen) {
  EXPECT_EQ(PosixFile::open("/nonexistent/lexvia/none.dic"), nullptr);
  EXPECT_EQ(PosixFile::open(std::filesystem::temp_directory_path().string()), nullptr);
  EXPECT_EQ(read_whole_file("/nonexistent/lexvia/none.dic"), nullptr);
}

}  // namespace
}  // namespace lexvia
