// Reading a Wine prefix's registry file, whose keys and values come by the
// tens of thousands, against splitting the same text into its lines. Each
// shape is measured at two sizes: a parse that keeps its ratio to the
// baseline from 2 to 32 MiB takes time in proportion to the file.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "settings/reg_file.h"

namespace {

// `bytes` of registry text: every value in one key, a key per value, or one
// binary value running over continuation lines.
enum Shape { kValuesInOneKey, kKeys, kLongBinary };

std::string RegistryText(Shape shape, size_t bytes) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0\n\n";
  if (shape == kLongBinary) text += "[Software\\\\Blob] 1700000000\n\"Data\"=hex:00";
  if (shape == kValuesInOneKey) text += "[Software\\\\Wine\\\\Many] 1700000000\n";
  char line[128];
  for (unsigned i = 0; text.size() < bytes; ++i) {
    if (shape == kLongBinary) {
      text += ",01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\n  18";
      continue;
    }
    if (shape == kKeys) {
      std::snprintf(line, sizeof line, "\n[Software\\\\Wine\\\\Key%08u] 1700000000\n", i);
      text += line;
    }
    std::snprintf(line, sizeof line, "\"Value%08u\"=\"C:\\\\Program Files\\\\Game%u\"\n", i, i);
    text += line;
  }
  return text + "\n";
}

size_t Megabytes(const benchmark::State& state) {
  return static_cast<size_t>(state.range(1)) << 20;
}

void RegParse_Baseline(benchmark::State& state) {
  const std::string text = RegistryText(static_cast<Shape>(state.range(0)), Megabytes(state));
  for (auto _ : state) {
    size_t lines = 0;
    std::string line;
    for (std::string_view rest = text; !rest.empty(); ++lines) {
      const size_t end = rest.find('\n');
      line.assign(rest.substr(0, end));
      benchmark::DoNotOptimize(line.data());
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void RegParse_Parse(benchmark::State& state) {
  const std::string text = RegistryText(static_cast<Shape>(state.range(0)), Megabytes(state));
  for (auto _ : state) {
    const kowaki::RegFile file = kowaki::RegFile::Parse(text);
    benchmark::DoNotOptimize(file.Find("Software\\Wine\\Many", "Value00000000"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["goal_ratio"] = 120;
}

// Shapes by number (values in one key, keys, a long binary value), then MiB.
void Sizes(benchmark::internal::Benchmark* bench) {
  for (int shape : {kValuesInOneKey, kKeys, kLongBinary}) {
    for (int megabytes : {2, 32}) bench->Args({shape, megabytes});
  }
  bench->Unit(benchmark::kMillisecond);
}

BENCHMARK(RegParse_Baseline)->Apply(Sizes);
BENCHMARK(RegParse_Parse)->Apply(Sizes)->Iterations(1);

}  // namespace
