#include "convert/byte_buffer.h"

#include <cstring>
#include <limits>
#include <new>

namespace kowaki {

namespace {

constexpr int64_t kGrain = 8192;
constexpr int64_t kLargest = std::numeric_limits<int32_t>::max() / kGrain * kGrain;

// The capacity a buffer grows to for `need` bytes; 0 when its sizes, in
// 32 bits, cannot say it.
int64_t GrownCapacity(int64_t need, ByteBuffer::Growth growth) {
  if (growth == ByteBuffer::Growth::kTwice) {
    return need > ByteBuffer::kMaxTwiceNeed ? 0 : 2 * need;
  }
  if (need > kLargest) return 0;
  const int64_t capacity = growth == ByteBuffer::Growth::kStep ? need + kGrain : need * 2 + kGrain;
  return capacity > kLargest ? kLargest : capacity / kGrain * kGrain;
}

}  // namespace

bool ByteBuffer::Allocate() {
  Release();
  data_ = new (std::nothrow) uint8_t[kGrain];
  if (!data_) return false;
  capacity_ = static_cast<int32_t>(kGrain);
  return true;
}

void ByteBuffer::Release() {
  delete[] data_;
  data_ = nullptr;
  len_ = 0;
  capacity_ = 0;
}

uint8_t* ByteBuffer::Grow(int64_t need) {
  const int64_t capacity = GrownCapacity(need, growth_);
  if (capacity == 0) return nullptr;
  auto* grown = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
  if (!grown) return nullptr;
  if (len_ > 0) std::memcpy(grown, data_, static_cast<size_t>(len_));
  delete[] data_;
  data_ = grown;
  capacity_ = static_cast<int32_t>(capacity);
  return data_ + len_;
}

bool ByteBuffer::Append(const uint8_t* bytes, int32_t count) {
  if (count <= 0) return true;
  uint8_t* room = Reserve(count);
  if (!room) return false;
  std::memcpy(room, bytes, static_cast<size_t>(count));
  Commit(count);
  return true;
}

bool ByteBuffer::Assign(const uint8_t* bytes, int32_t count) {
  const int32_t held = len_;
  len_ = 0;
  if (Append(bytes, count)) return true;
  len_ = held;
  return false;
}

PcmSpan ByteBuffer::Take() {
  if (len_ == 0) return {};
  const PcmSpan held{data_, len_};
  len_ = 0;
  return held;
}

}  // namespace kowaki
