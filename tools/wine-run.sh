#!/usr/bin/env bash
# Runs a Windows program under Wine of its own width, the way the tests
# need it: a private prefix (KOWAKI_WINEPREFIX, default `wineprefix` at the
# top of the program's build tree), no Mono/Gecko installers, a Japanese
# locale so the ANSI code page is 932 (KOWAKI_WINE_LOCALE names another:
# C.UTF-8 gives English and code page 1252), Wine's own chatter silenced.
# The width comes from the program's PE header, or from KOWAKI_WINEARCH
# (win32 or win64) for Wine's own programs such as `reg`.
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail

exe=$1
here=$(dirname "$(realpath "$0")")
arch=${KOWAKI_WINEARCH:-$("$here/pe-machine.sh" "$exe")}
case $arch in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run: cannot tell whether $exe is a 32- or 64-bit program" >&2; exit 2 ;;
esac
# Other distributions put the loaders on the PATH.
[[ -x $loader ]] || loader=$(command -v "$(basename "$loader")" || echo "$loader")

if [[ -z ${KOWAKI_WINEPREFIX:-} ]]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  # The prefix lives at the top of the build tree (the folder with CMakeCache.txt).
  while [[ $dir != / && ! -f $dir/CMakeCache.txt ]]; do dir=$(dirname "$dir"); done
  [[ $dir == / ]] && dir=$(cd "$(dirname "$exe")" && pwd)
  KOWAKI_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX=$KOWAKI_WINEPREFIX
export WINEARCH=$arch WINELOADER=$loader
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Wine takes the locale's name even where the system lacks the locale, so
# it is handed to Wine alone (this shell would complain about it).
locale=${KOWAKI_WINE_LOCALE:-ja_JP.UTF-8}

if [[ ! -f $WINEPREFIX/.kowaki-ready ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f $WINEPREFIX/.kowaki-ready ]]; then
      LC_ALL=$locale LANG=$locale "$loader" wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
      [[ -f $WINEPREFIX/system.reg ]] ||
        { echo "wine-run: could not create the $arch prefix $WINEPREFIX" >&2; exit 1; }
      touch "$WINEPREFIX/.kowaki-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# The first program of a session starts Wine's server and services, which
# inherit its output and keep it open while they linger after it ends: whoever
# reads that output to its end would wait seconds after every run. So when no
# server is up, one is started here with a throwaway program, detached from
# our output; it lingers as long but holds nothing of ours.
server=$(dirname "$loader")/wineserver
[[ -x $server ]] || server=$(command -v wineserver || echo "$server")
if "$server" -p3 </dev/null >/dev/null 2>&1; then
  LC_ALL=$locale LANG=$locale "$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec env LC_ALL="$locale" LANG="$locale" "$loader" "$@"
