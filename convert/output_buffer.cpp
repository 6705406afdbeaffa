#include "convert/output_buffer.h"

#include <cstring>
#include <limits>
#include <new>

namespace kowaki {

namespace {
constexpr int64_t kGrain = 8192;
constexpr int64_t kLargest = std::numeric_limits<int32_t>::max() / kGrain * kGrain;
}  // namespace

bool OutputBuffer::Allocate() {
  Release();
  data_ = new (std::nothrow) uint8_t[kGrain];
  if (!data_) return false;
  capacity_ = static_cast<int32_t>(kGrain);
  return true;
}

void OutputBuffer::Release() {
  delete[] data_;
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

uint8_t* OutputBuffer::Reserve(int64_t bytes, Growth growth) {
  const int64_t need = length_ + bytes;
  if (data_ && need <= capacity_) return data_ + length_;
  if (need > kLargest) return nullptr;
  int64_t capacity = growth == Growth::kStep ? need + kGrain : need * 2 + kGrain;
  capacity = capacity > kLargest ? kLargest : capacity / kGrain * kGrain;
  auto* grown = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
  if (!grown) return nullptr;
  if (length_ > 0) std::memcpy(grown, data_, static_cast<size_t>(length_));
  delete[] data_;
  data_ = grown;
  capacity_ = static_cast<int32_t>(capacity);
  return data_ + length_;
}

bool OutputBuffer::Append(const uint8_t* data, int32_t length, Growth growth) {
  if (length <= 0) return true;
  uint8_t* room = Reserve(length, growth);
  if (!room) return false;
  std::memcpy(room, data, static_cast<size_t>(length));
  Commit(length);
  return true;
}

PcmSpan OutputBuffer::Take() {
  if (length_ == 0) return {};
  const PcmSpan pending{data_, length_};
  length_ = 0;
  return pending;
}

}  // namespace kowaki
