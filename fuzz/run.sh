#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a while.
#   fuzz/run.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_archive fuzz_entry_vorbis fuzz_wav make_fuzz_seeds
build=build/fuzz
mkdir -p "$build/seeds/archive" "$build/seeds/clip" "$build/seeds/wav" "$build/corpus/archive" \
         "$build/corpus/clip" "$build/corpus/wav" "$build/findings"
"$build/fuzz/make_fuzz_seeds" "$build/seeds/archive" "$build/seeds/clip"
# A short file in each codec, mono and stereo.
for encoding in signed-integer unsigned-integer ima-adpcm ms-adpcm u-law a-law; do
  for channels in 1 2; do
    sox -V1 -n -r 8000 -c "$channels" -e "$encoding" "$build/seeds/wav/$encoding-$channels.wav" \
        synth 0.1 sine 300-900
  done
done
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
for target in archive:fuzz_archive clip:fuzz_entry_vorbis wav:fuzz_wav; do
  corpus=${target%%:*} exe=${target#*:}
  log=$build/findings/$exe.log
  echo "== $exe for ${seconds}s"
  if ! "$build/fuzz/$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        -artifact_prefix="$build/findings/$exe-" \
        "$build/corpus/$corpus" "$build/seeds/$corpus" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz: $exe found a fault; the input is in $build/findings/" >&2
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || tail -n 3 "$log"
done
