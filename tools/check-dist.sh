#!/usr/bin/env bash
# Checks the release packages that make-dist.sh wrote: each holds exactly
# its files, each program is of its machine type, and each packaged
# kowaki-cli answers --version with the project's version: natively, and
# under Wine of the program's width (the 32-bit one where this machine
# runs 32-bit programs; where it cannot, says so).
#   tools/check-dist.sh [BUILD [DIST]]   (default build dist)
set -euo pipefail

here=$(dirname "$(realpath "$0")")
root=$(dirname "$here")
build=$(realpath "${1:-$root/build}")
dist=$(realpath "${2:-$root/dist}")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/native/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "check-dist: $*" >&2; failed=1; }

# expect_files NAME LISTING FILE... : the package holds its folder and these files, nothing else.
expect_files() {
  local name=$1 listing=$2; shift 2
  local want
  want=$(printf '%s\n' "$name/" "${@/#/$name/}" | LC_ALL=C sort)
  [[ $(printf '%s\n' "$listing" | LC_ALL=C sort) == "$want" ]] ||
    fail "$name holds $(echo $listing), not $(echo $want)"
}

# expect_version OUTPUT : what `kowaki-cli --version` printed.
expect_version() {
  [[ $1 == "kowaki-cli $version" ]] || fail "$2 --version printed '$1', not 'kowaki-cli $version'"
}

for arch in win32 win64; do
  name=kowaki-$version-$arch
  zip=$dist/$name.zip
  [[ -f $zip ]] || { fail "$zip is missing"; continue; }
  expect_files "$name" "$(unzip -Z1 "$zip")" kowaki.exe kowaki-cli.exe README.md LICENSE
  unzip -q -o "$zip" -d "$work"
  for exe in kowaki.exe kowaki-cli.exe; do
    [[ $("$here/pe-machine.sh" "$work/$name/$exe" || true) == "$arch" ]] ||
      fail "$name/$exe is not a $arch program"
  done
  if [[ $arch == win32 ]] && ! why=$("$here/wine32-probe.sh"); then
    echo "check-dist: $name/kowaki-cli.exe --version not run: $why"
    continue
  fi
  out=$(KOWAKI_WINEPREFIX=$build/$arch/wineprefix "$here/wine-run.sh" "$work/$name/kowaki-cli.exe" --version |
        tr -d '\r')
  expect_version "$out" "$name/kowaki-cli.exe"
done

name=kowaki-$version-linux-$(uname -m)
tarball=$dist/$name.tar.gz
if [[ -f $tarball ]]; then
  expect_files "$name" "$(tar -tzf "$tarball")" kowaki-cli kowaki-cli.1 kowaki-cli.bash _kowaki-cli \
    README.md LICENSE
  tar -xzf "$tarball" -C "$work"
  expect_version "$("$work/$name/kowaki-cli" --version)" "$name/kowaki-cli"
else
  fail "$tarball is missing"
fi

((failed == 0)) && echo "check-dist: the three packages of $version hold what they should"
exit "$failed"
