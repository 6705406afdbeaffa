// kowaki-cli browse's rows without a terminal, on 100,000 entries and on
// the 1,048,576 an index holds at most: the first screen (index loaded,
// facts started in the background, rows and the screen's texts made),
// against loading the index alone; and a filter keystroke, against finding
// the typed text in every name once, the least a keystroke can do; and a
// keystroke of a pattern.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_index.h"
#include "bench/bench_archives.h"
#include "cli/browse/browse_model.h"
#include "cli/browse/facts_loader.h"
#include "jobs/listing_job.h"

namespace {

using kowaki::ArchiveIndexPtr;
using kowaki::cli::BrowseModel;
using kowaki::cli::FactsLoader;

constexpr int kScreenRows = 36;
// A name typed a key at a time, then taken back.
const char* const kTyped[] = {"v", "v0", "v00", "v001", "v0012", "v001", "v00", "v0"};

// `count` empty entries named v0000000, v0000001, ...: the rows cost what
// they cost whatever the entries hold, and no facts are read here.
const std::string& ManyEntries(int count) {
  static std::map<int, std::string> paths;
  std::string& path = paths[count];
  if (path.empty()) {
    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(static_cast<size_t>(count));
    char name[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(name, sizeof name, "v%07d", i);
      entries.emplace_back(name, "");
    }
    path = kowaki::bench::MakeArchive("browse-" + std::to_string(count) + ".arc", entries);
  }
  return path;
}

ArchiveIndexPtr Load(const std::string& path) {
  return kowaki::LoadArchiveIndex(path.c_str()).value_or(nullptr);
}

void Open_Baseline(benchmark::State& state) {
  const std::string& path = ManyEntries(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Load(path));
}
BENCHMARK(Open_Baseline)->Arg(100000)->Arg(1048576)->Unit(benchmark::kMillisecond);

// What browse does before it draws: the facts started, the rows made, the
// texts of a screen of them.
void Open_FirstScreen(benchmark::State& state) {
  const std::string& path = ManyEntries(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ArchiveIndexPtr index = Load(path);
    FactsLoader facts(index.get(), 1);
    BrowseModel model(*index, facts.facts(), false);
    model.SetPage(kScreenRows);
    std::string screen;
    for (int32_t row = model.top(); row < model.top() + kScreenRows; ++row) {
      const int32_t entry = model.RowEntry(row);
      screen += std::string(model.NameText(entry)) +
                kowaki::ColumnText(1, index->entries[entry].size, {}) + "\n";
    }
    benchmark::DoNotOptimize(screen);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(Open_FirstScreen)
    ->Arg(100000)
    ->Arg(1048576)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void Filter_Baseline(benchmark::State& state) {
  const ArchiveIndexPtr index = Load(ManyEntries(static_cast<int>(state.range(0))));
  const std::vector<kowaki::EntryFacts> facts(static_cast<size_t>(index->count));
  const BrowseModel model(*index, facts, false);
  size_t key = 0;
  for (auto _ : state) {
    const std::string_view typed = kTyped[key++ % std::size(kTyped)];
    int32_t found = 0;
    for (int32_t entry = 0; entry < index->count; ++entry) {
      found += model.NameText(entry).find(typed) != std::string_view::npos ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(Filter_Baseline)->Arg(100000)->Arg(1048576)->Unit(benchmark::kMillisecond);

// Keys of the filter line, one after another: the rows narrowed (or
// widened) at once.
void TypeKeys(benchmark::State& state, std::span<const char* const> typed) {
  const ArchiveIndexPtr index = Load(ManyEntries(static_cast<int>(state.range(0))));
  const std::vector<kowaki::EntryFacts> facts(static_cast<size_t>(index->count));
  BrowseModel model(*index, facts, false);
  size_t key = 0;
  for (auto _ : state) {
    model.SetFilter(typed[key++ % typed.size()]);
    benchmark::DoNotOptimize(model.rows());
  }
  state.counters["goal_ms"] = 50;
}

void Filter_Keystroke(benchmark::State& state) { TypeKeys(state, kTyped); }
BENCHMARK(Filter_Keystroke)->Arg(100000)->Arg(1048576)->Unit(benchmark::kMillisecond);

// A pattern, matched a character at a time as ENTRY's are.
void Filter_Pattern(benchmark::State& state) {
  static const char* const kPattern[] = {"v00[0-4]?1", "v00[0-4]?1*"};
  TypeKeys(state, kPattern);
}
BENCHMARK(Filter_Pattern)->Arg(100000)->Arg(1048576)->Unit(benchmark::kMillisecond);

}  // namespace
