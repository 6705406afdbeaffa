#!/usr/bin/env bash
# How fast the window lists: kowaki.exe under 64-bit Wine (the 32-bit one
# with KOWAKI_BENCH_ARCH=win32) opens archives of the given numbers of
# entries (each the bytes of one short demo clip) from its command line,
# and the time from its start until its title reads こわき again is taken
# from the X server. Each count's seconds, and the rows per second beyond
# the first count's time (the program's start), are printed. Needs the
# native build (for kowaki-cli and the demo) and the Windows one.
#   bench/window-listing.sh [BUILD_DIR] [COUNT...]   (default build 12 2000 20000)
set -euo pipefail
[[ -n ${DISPLAY:-} ]] || exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
build=$(realpath "${1:-build}")
shift || true
counts=("$@")
[[ ${#counts[@]} -gt 0 ]] || counts=(12 2000 20000)
here=$(dirname "$(realpath "$0")")
cli=$build/native/cli/kowaki-cli
arch=${KOWAKI_BENCH_ARCH:-win64}
exe=$build/$arch/app/kowaki.exe
work=$build/bench-window
export KOWAKI_WINEPREFIX=$build/bench-wineprefix-$arch KOWAKI_WINEARCH=$arch

# Archives whose entries all hold the bytes of one short clip, stored once:
# any count up to the format's 1,048,576 entries fits in a small file.
if [[ ! -f $work/clip.ogg ]]; then
  mkdir -p "$work/demo"
  "$cli" export "$build/native/demo/voice.arc" v_0001 --to "$work/demo" -q
  mv "$work/demo/v_0001.ogg" "$work/clip.ogg"
fi
archive_of() {
  local count=$1 arc=$work/shared-$1.arc
  [[ -f $arc ]] || python3 - "$work/clip.ogg" "$count" "$arc" <<'PY'
import struct, sys
clip = open(sys.argv[1], "rb").read()
count = int(sys.argv[2])
data = 16 + 17 * count
with open(sys.argv[3], "wb") as out:
    out.write(struct.pack("<IIII", 1, 0, count, 16))
    out.write(b"".join(b"c%07d\0" % i + struct.pack("<II", len(clip), data) for i in range(count)))
    out.write(clip)
PY
  echo "$arc"
}

# Seconds from the start of kowaki.exe on ARCHIVE until a shown window of
# its is titled こわき after its listing. The title reads こわき before the
# listing shows in it too, so without a listing title seen (a listing too
# short to see), the time counts from when こわき began once it held 2 s.
listing_seconds() {
  local start=${EPOCHREALTIME/./} now name since= listed=
  "$here/../tools/wine-run.sh" "$exe" "$(winepath_of "$1")" >/dev/null 2>&1 &
  local program=$!
  while :; do
    name=$(xdotool search --onlyvisible --name 'こわき' getwindowname %@ 2>/dev/null || true)
    now=${EPOCHREALTIME/./}
    if [[ $name == *リスト更新中* ]]; then
      listed=1 since=
    elif [[ $name != こわき ]]; then
      since=
    elif [[ -n $listed ]]; then
      since=$now && break
    elif [[ -z $since ]]; then
      since=$now
    elif ((now - since > 2000000)); then
      break
    fi
    sleep 0.03
  done
  # The server stays up for the next run; only the program goes.
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  echo "($since - $start) / 1000000" | bc -l
}
winepath_of() { echo "Z:${1//\//\\}"; }

run() {
  "$here/../tools/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true  # the prefix and its server
  local first=
  for count in "${counts[@]}"; do
    local arc seconds
    arc=$(archive_of "$count")
    seconds=$(listing_seconds "$arc")
    if [[ -z $first ]]; then
      first=$seconds
      printf '%8d entries  %7.2f s  (the program starting)\n' "$count" "$seconds"
    else
      printf '%8d entries  %7.2f s  %9.0f rows/s beyond the first\n' "$count" "$seconds" \
        "$(echo "($count - ${counts[0]}) / ($seconds - $first)" | bc -l)"
    fi
  done
}

run
