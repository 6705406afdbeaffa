#!/usr/bin/env bash
# Runs every benchmark of a native build and prints the ratios.
#   bench/run.sh [BUILD_DIR]   (default build/native)
set -euo pipefail
build=${1:-build/native}
out=$build/bench/results
mkdir -p "$out"
files=()
for exe in "$build"/bench/*_bench; do
  [[ -x $exe ]] || continue
  name=$(basename "$exe")
  "$exe" --benchmark_format=console --benchmark_out="$out/$name.json" \
         --benchmark_out_format=json >&2
  files+=("$out/$name.json")
done
python3 "$(dirname "$0")/report.py" "${files[@]}"
