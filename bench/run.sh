#!/usr/bin/env bash
# Runs every benchmark of the builds given and prints the ratios; Windows
# builds' benchmarks run under Wine, their rows marked with the build's name.
#   bench/run.sh [BUILD_DIR...]   (default build/native)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
builds=("$@")
[[ ${#builds[@]} -gt 0 ]] || builds=(build/native)
files=()
for build in "${builds[@]}"; do
  out=$build/bench/results
  mkdir -p "$out"
  for exe in "$build"/bench/*_bench "$build"/bench/*_bench.exe; do
    [[ -x $exe ]] || continue
    name=$(basename "$exe" .exe)
    run=("$exe")
    mark=
    if [[ $exe == *.exe ]]; then
      run=("$here/../tools/wine-run.sh" "$exe")
      mark=@$(basename "$build")
    fi
    # Repetitions in shuffled order: a drifting machine slows baseline and
    # case alike.
    "${run[@]}" --benchmark_enable_random_interleaving=true --benchmark_format=console --benchmark_out="$out/$name.json" \
                --benchmark_out_format=json >&2
    files+=("$out/$name.json$mark")
  done
done
python3 "$here/report.py" "${files[@]}"
