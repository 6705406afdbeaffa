#!/usr/bin/env bash
# Prints win32 or win64 for a Windows program, read from its PE header
# (the machine word after the "PE\0\0" signature); fails for anything else.
#   tools/pe-machine.sh PROGRAM.exe
set -euo pipefail
exe=${1:?usage: pe-machine.sh PROGRAM.exe}
[[ -f $exe && $(head -c 2 "$exe" 2>/dev/null) == MZ ]] || exit 1
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
[[ $(od -An -c -j"$pe" -N2 "$exe" | tr -d ' ') == PE ]] || exit 1
case $(od -An -tx2 -j$((pe + 4)) -N2 "$exe" | tr -d ' ') in
  014c) echo win32 ;;
  8664) echo win64 ;;
  *) exit 1 ;;
esac
