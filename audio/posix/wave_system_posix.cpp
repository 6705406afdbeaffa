// The player's event, heap and clock from the standard library.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#include "audio/wave_device.h"

namespace kowaki {

namespace {

struct Event {
  std::mutex mutex;
  std::condition_variable signalled_cv;
  bool signalled = false;
};

// Each block of the heap starts with its links in the heap's ring.
struct alignas(std::max_align_t) BlockHead {
  BlockHead* prev;
  BlockHead* next;
};

struct Heap {
  BlockHead ring{&ring, &ring};
};

Event& EventOf(void* native) { return *static_cast<Event*>(native); }
Heap& HeapOf(void* native) { return *static_cast<Heap*>(native); }

}  // namespace

std::unique_ptr<WaveEvent> WaveEvent::Create() {
  auto* event = new (std::nothrow) Event();
  if (!event) return nullptr;
  std::unique_ptr<WaveEvent> wrapper(new (std::nothrow) WaveEvent(event));
  if (!wrapper) delete event;
  return wrapper;
}

WaveEvent::~WaveEvent() { delete static_cast<Event*>(native_); }

void WaveEvent::Set() {
  Event& event = EventOf(native_);
  {
    std::lock_guard<std::mutex> lock(event.mutex);
    event.signalled = true;
  }
  event.signalled_cv.notify_one();
}

bool WaveEvent::Wait(uint32_t milliseconds) {
  Event& event = EventOf(native_);
  std::unique_lock<std::mutex> lock(event.mutex);
  const auto signalled = [&] { return event.signalled; };
  if (milliseconds == kForever) {
    event.signalled_cv.wait(lock, signalled);
  } else if (!event.signalled_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                          signalled)) {
    return false;
  }
  event.signalled = false;  // auto-reset: one wait takes the signal
  return true;
}

std::unique_ptr<BufferHeap> BufferHeap::Create(size_t) {
  auto* heap = new (std::nothrow) Heap();
  if (!heap) return nullptr;
  std::unique_ptr<BufferHeap> wrapper(new (std::nothrow) BufferHeap(heap));
  if (!wrapper) delete heap;
  return wrapper;
}

BufferHeap::~BufferHeap() {
  Heap* heap = static_cast<Heap*>(native_);
  for (BlockHead* block = heap->ring.next; block != &heap->ring;) {
    BlockHead* next = block->next;
    std::free(block);
    block = next;
  }
  delete heap;
}

void* BufferHeap::Alloc(size_t size) {
  if (size > SIZE_MAX - sizeof(BlockHead)) return nullptr;
  auto* block = static_cast<BlockHead*>(std::malloc(sizeof(BlockHead) + size));
  if (!block) return nullptr;
  BlockHead& ring = HeapOf(native_).ring;
  block->prev = &ring;
  block->next = ring.next;
  ring.next->prev = block;
  ring.next = block;
  return block + 1;
}

void BufferHeap::Free(void* data) {
  if (!data) return;
  BlockHead* block = static_cast<BlockHead*>(data) - 1;
  block->prev->next = block->next;
  block->next->prev = block->prev;
  std::free(block);
}

uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace kowaki
