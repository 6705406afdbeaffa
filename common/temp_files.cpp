#include "common/temp_files.h"

#include <atomic>
#include <cstddef>
#include <cstring>

namespace kowaki {

namespace {

// One export, convert or pack has one temporary at a time; the settings
// another.
constexpr int kSlots = 16;
constexpr size_t kPathSize = 4096;
// How long a removal waits for creations under way to be entered.
constexpr int kCreationWaitMs = 1000;

enum SlotState : int { kFree, kFilling, kLive };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathSize];
};

Slot g_slots[kSlots];
std::atomic<int> g_creating{0};
std::atomic<bool> g_ending{false};

}  // namespace

TempCreation::TempCreation() {
  platform::HoldSignals();
  g_creating.fetch_add(1);
  allowed_ = !g_ending.load();
}

TempCreation::~TempCreation() {
  g_creating.fetch_sub(1);
  platform::ReleaseSignals();
}

int EnterTemporary(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= kPathSize) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(g_slots[i].path, path, length + 1);
    g_slots[i].state.store(kLive);
    return i;
  }
  return -1;
}

void LeaveTemporary(int slot) {
  if (slot >= 0 && slot < kSlots) g_slots[slot].state.store(kFree);
}

// Once g_ending is set no creation starts, so after the wait the table
// only shrinks while it is read.
void RemoveTemporaryFiles() {
  g_ending.store(true);
  for (int waited = 0; g_creating.load() > 0 && waited < kCreationWaitMs; ++waited) {
    platform::PauseBriefly();
  }
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kLive) platform::RemoveFileNow(slot.path);
  }
}

}  // namespace kowaki
