#include "dict/windowed_reader.h"

#include <cstring>
#include <new>

namespace lexvia {

WindowedReader::WindowedReader(FileSource* file, std::uint32_t window)
    : file_(nullptr), window_(window == 0 ? kDefaultWindow : window) {
  attach(file);
}

void WindowedReader::attach(FileSource* file) {
  file_ = file;
  buffer_start_ = 0;
  valid_ = 0;
  at_end_ = false;
  memory_ = file != nullptr ? file->in_memory() : std::span<const std::uint8_t>();
  if (memory_.size() > UINT32_MAX - FileSource::kMemoryPadding) memory_ = {};
}

void WindowedReader::release() {
  buffer_.reset();
  data_ = nullptr;
  capacity_ = 0;
  buffer_start_ = 0;
  valid_ = 0;
  at_end_ = false;
}

bool WindowedReader::ensure(std::uint64_t offset) {
  const std::uint64_t needed = std::uint64_t{window_} + kSlack;
  if (!memory().empty()) {
    // The whole file is one buffer, and the padding the window past its end.
    data_ = memory_.data();
    buffer_start_ = 0;
    valid_ = static_cast<std::uint32_t>(memory_.size());
    capacity_ = valid_ + static_cast<std::uint32_t>(FileSource::kMemoryPadding);
    at_end_ = true;
    return offset < valid_;
  }
  if (data_ != buffer_.get()) {
    // Back from a file in memory: the buffer is made anew.
    capacity_ = 0;
    valid_ = 0;
  }
  if (capacity_ != needed || !buffer_) {
    // Any change of window, larger or smaller, costs a new buffer.
    release();
    if (needed > UINT32_MAX) return false;
    buffer_.reset(new (std::nothrow) std::uint8_t[needed]);
    if (!buffer_) return false;
    data_ = buffer_.get();
    capacity_ = static_cast<std::uint32_t>(needed);
  }
  if (hit(offset)) return true;

  buffer_start_ = offset >= kKeepBefore ? offset - kKeepBefore : 0;
  valid_ = 0;
  at_end_ = false;
  if (file_ == nullptr) return false;
  std::int64_t n = file_->read_at(buffer_start_, buffer_.get(), capacity_);
  if (n < 0) return false;
  valid_ = static_cast<std::uint32_t>(n);
  at_end_ = valid_ < capacity_;
  // Callers may look at a whole window; past the end of the file they see
  // zeros, never the bytes of an earlier refill.
  std::memset(buffer_.get() + valid_, 0, capacity_ - valid_);
  return offset - buffer_start_ < valid_;
}

const std::uint8_t* WindowedReader::pointer_at(std::uint64_t offset, std::uint32_t window) {
  if (window != 0) window_ = window;
  if (!ensure(offset)) return nullptr;
  return data_ + (offset - buffer_start_);
}

std::span<const std::uint8_t> WindowedReader::span_at(std::uint64_t offset, std::uint32_t window) {
  const std::uint8_t* p = pointer_at(offset, window);
  if (p == nullptr) return {};
  std::uint64_t rel = offset - buffer_start_;
  std::uint64_t in_file = valid_ - rel;
  return {p, static_cast<std::size_t>(in_file < window_ ? in_file : window_)};
}

int WindowedReader::raw_byte(std::uint64_t offset) {
  if (hit(offset)) return data_[offset - buffer_start_];
  const std::uint8_t* p = pointer_at(offset);
  return p ? *p : -1;
}

std::uint32_t WindowedReader::line_length(std::uint64_t offset) {
  std::uint32_t count = 0;
  for (std::uint64_t pos = offset; pos >= offset; ++pos) {  // stops if pos wraps
    int b = raw_byte(pos);
    if (b < 0 || b == '\r' || b == '\n' || count == UINT32_MAX) break;
    ++count;
  }
  return count;
}

std::int64_t WindowedReader::next_line(std::uint64_t offset) {
  // Positions past INT64_MAX cannot be returned, so the scan stops there
  // rather than wrapping around to the start of the file.
  constexpr std::uint64_t kLast = INT64_MAX;
  std::uint64_t pos = offset;
  for (;;) {
    int b = pos <= kLast ? raw_byte(pos) : -1;
    if (b < 0) return -1;
    ++pos;
    if (b == '\r' || b == '\n') break;
  }
  for (;;) {
    int b = pos <= kLast ? raw_byte(pos) : -1;
    if (b < 0) return -1;
    if (b != '\r' && b != '\n') break;
    ++pos;
  }
  return static_cast<std::int64_t>(pos);
}

}  // namespace lexvia
