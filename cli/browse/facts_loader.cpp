#include "cli/browse/facts_loader.h"

#include <system_error>

namespace kowaki::cli {

FactsLoader::FactsLoader(const ArchiveIndex* index, int32_t threads)
    : facts_(index ? static_cast<size_t>(index->count) : 0) {
  // std::thread reports a thread it cannot make only by throwing.
  try {
    thread_ = std::thread([this, index, threads] { Read(index, threads); });
  } catch (const std::system_error&) {
    Read(index, 1);
  }
}

FactsLoader::~FactsLoader() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void FactsLoader::Read(const ArchiveIndex* index, int32_t threads) {
  ListEntries(
      index, threads, [this] { return !stop_.load(); },
      [this](int32_t entry, const EntryFacts& facts) {
        facts_[static_cast<size_t>(entry)] = facts;
        known_.store(entry + 1, std::memory_order_release);
      });
}

}  // namespace kowaki::cli
