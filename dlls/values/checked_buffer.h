// A growable array for the buffers whose size the values file decides.
//
// The plugin is built without exceptions, so std::vector cannot tell its
// caller that memory ran out.  These buffers take their memory from malloc
// and report a failed growth as false, leaving their contents as they were;
// a file too large for memory then fails its load cleanly.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

template <typename T>
class CheckedBuffer {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memcpy");

 public:
  CheckedBuffer() = default;
  ~CheckedBuffer() { std::free(data_); }
  CheckedBuffer(const CheckedBuffer&) = delete;
  CheckedBuffer& operator=(const CheckedBuffer&) = delete;
  CheckedBuffer(CheckedBuffer&& other) noexcept { Swap(other); }
  CheckedBuffer& operator=(CheckedBuffer&& other) noexcept {
    Swap(other);
    return *this;
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

  // Room for at least `count` elements; false (and nothing changed) when the
  // memory cannot be had.
  bool Reserve(std::size_t count) {
    if (count <= capacity_) return true;
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) return false;
    void* grown = std::realloc(data_, count * sizeof(T));
    if (grown == nullptr) return false;
    data_ = static_cast<T*>(grown);
    capacity_ = count;
    return true;
  }
  // Appends `count` elements, growing the room geometrically; false (and
  // nothing appended) when the memory cannot be had.
  bool Append(const T* items, std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() - size_) return false;
    const std::size_t needed = size_ + count;
    if (needed > capacity_ && !Reserve(std::max(needed, capacity_ + capacity_ / 2))) {
      // The generous growth failed; the exact size may still fit.
      if (!Reserve(needed)) return false;
    }
    if (count > 0) std::memcpy(data_ + size_, items, count * sizeof(T));
    size_ = needed;
    return true;
  }
  // Exactly `count` elements, each `fill`; false (and nothing changed) when
  // the memory cannot be had.
  bool Assign(std::size_t count, const T& fill) {
    if (!Reserve(count)) return false;
    for (std::size_t i = 0; i < count; ++i) data_[i] = fill;
    size_ = count;
    return true;
  }
  // The first `count` elements only (all of them when there are fewer); the
  // memory is kept for reuse.
  void Truncate(std::size_t count) { size_ = std::min(size_, count); }
  void Clear() { size_ = 0; }
  // No elements and no memory.
  void Release() {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }
  void Swap(CheckedBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};
