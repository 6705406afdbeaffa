#pragma once
// The listing's facts of every entry, read in the background while the
// rows are already shown: kowaki-cli browse lists the rows first. The
// facts come in entry order; those of the entries below known() are in
// and stay as they are, so any thread reads them without a lock.

#include <atomic>
#include <cstdint>
#include <span>
#include <thread>
#include <vector>

#include "archive/archive_index.h"
#include "jobs/listing_job.h"

namespace kowaki::cli {

class FactsLoader {
 public:
  // Starts reading the entries of `index` on `threads` threads; where no
  // thread can be started, reads them all before it returns.
  FactsLoader(const ArchiveIndex* index, int32_t threads);
  // Stops the reading and waits for it.
  ~FactsLoader();
  FactsLoader(const FactsLoader&) = delete;
  FactsLoader& operator=(const FactsLoader&) = delete;

  // The entries whose facts are in: 0 to this. Any thread.
  int32_t known() const { return known_.load(std::memory_order_acquire); }
  // Every entry's place; read only those below known().
  std::span<const EntryFacts> facts() const { return facts_; }

 private:
  void Read(const ArchiveIndex* index, int32_t threads);

  std::vector<EntryFacts> facts_;
  std::atomic<int32_t> known_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kowaki::cli
