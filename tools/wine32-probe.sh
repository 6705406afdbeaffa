#!/usr/bin/env bash
# Tells whether 32-bit Windows programs can run here, by starting 32-bit
# Wine's loader: some kernels run no 32-bit programs at all, and nothing
# but trying tells them apart. Exit 0 when it starts; otherwise exit 1 and
# print why on stdout, as one line.
# KOWAKI_WINE32=off answers no without trying, to rehearse that case.
#   tools/wine32-probe.sh
set -uo pipefail

loader=/usr/lib/wine/wine
[[ -x $loader ]] || loader=$(command -v wine || true)
if [[ ${KOWAKI_WINE32:-} == off ]]; then
  echo "KOWAKI_WINE32=off is set"
  exit 1
fi
if [[ -z $loader || ! -x $loader ]]; then
  echo "32-bit Wine is not installed"
  exit 1
fi
if ! out=$("$loader" --version 2>&1); then
  # The shell's complaint, such as "cannot execute binary file: Exec format error".
  why=$(printf '%s\n' "$out" | tail -n 1)
  echo "32-bit Wine's loader cannot start on this machine (${why##*: })"
  exit 1
fi
exit 0
