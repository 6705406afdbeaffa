// The player's event, heap and clock from the kernel.

#include <windows.h>

#include <new>

#include "audio/wave_device.h"

namespace kowaki {

static_assert(WaveEvent::kForever == INFINITE);

std::unique_ptr<WaveEvent> WaveEvent::Create() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset, not signalled
  if (!event) return nullptr;
  std::unique_ptr<WaveEvent> wrapper(new (std::nothrow) WaveEvent(event));
  if (!wrapper) CloseHandle(event);
  return wrapper;
}

WaveEvent::~WaveEvent() { CloseHandle(native_); }

void WaveEvent::Set() { SetEvent(native_); }

bool WaveEvent::Wait(uint32_t milliseconds) {
  return WaitForSingleObject(native_, milliseconds) == WAIT_OBJECT_0;
}

std::unique_ptr<BufferHeap> BufferHeap::Create(size_t initial_size) {
  HANDLE heap = HeapCreate(0, initial_size, 0);
  if (!heap) return nullptr;
  std::unique_ptr<BufferHeap> wrapper(new (std::nothrow) BufferHeap(heap));
  if (!wrapper) HeapDestroy(heap);
  return wrapper;
}

BufferHeap::~BufferHeap() { HeapDestroy(native_); }

void* BufferHeap::Alloc(size_t size) { return HeapAlloc(native_, 0, size); }

void BufferHeap::Free(void* block) {
  if (block) HeapFree(native_, 0, block);
}

uint32_t TickCount() { return GetTickCount(); }

}  // namespace kowaki
