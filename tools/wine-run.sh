#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine, the way the tests need it:
# a private prefix (KOWAKI_WINEPREFIX, default build/win32/wineprefix beside
# the program), no Mono/Gecko installers, Japanese locale so the ANSI code
# page is 932, Wine's own chatter silenced.
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail

exe=$1
if [[ -z ${KOWAKI_WINEPREFIX:-} ]]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  # The prefix lives at the top of the build tree (the folder with CMakeCache.txt).
  while [[ $dir != / && ! -f $dir/CMakeCache.txt ]]; do dir=$(dirname "$dir"); done
  [[ $dir == / ]] && dir=$(cd "$(dirname "$exe")" && pwd)
  KOWAKI_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX=$KOWAKI_WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8

if [[ ! -f $WINEPREFIX/.kowaki-ready ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f $WINEPREFIX/.kowaki-ready ]]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
      [[ -f $WINEPREFIX/system.reg ]] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
      touch "$WINEPREFIX/.kowaki-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
