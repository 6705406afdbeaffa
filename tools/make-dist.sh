#!/usr/bin/env bash
# Writes the release packages from the builds in BUILD (native, win32,
# win64) into DIST:
#   kowaki-VERSION-win32.zip, kowaki-VERSION-win64.zip
#       kowaki.exe, kowaki-cli.exe (stripped), README.md, LICENSE
#   kowaki-VERSION-linux-x86_64.tar.gz
#       kowaki-cli (stripped), its man page kowaki-cli.1, its bash and zsh
#       completions kowaki-cli.bash and _kowaki-cli, README.md, LICENSE
# each under a folder of the package's name. VERSION is the CMake project's.
# The packages are reproducible: their files carry the time of the last
# commit (SOURCE_DATE_EPOCH when set), which strip also writes into the
# programs' headers, and are stored in a fixed order.
#   tools/make-dist.sh [BUILD [DIST]]   (default build dist)
set -euo pipefail

root=$(dirname "$(dirname "$(realpath "$0")")")
build=$(realpath "${1:-$root/build}")
dist=$(realpath -m "${2:-$root/dist}")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/native/CMakeCache.txt")
[[ -n $version ]] || { echo "make-dist: no configured native build in $build" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
epoch=$SOURCE_DATE_EPOCH

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"

# stage NAME STRIP PROGRAM... : the package's folder with the stripped programs and the texts.
stage() {
  local name=$1 strip=$2; shift 2
  local dir=$stage/$name
  mkdir -p "$dir"
  for program in "$@"; do "$strip" -o "$dir/$(basename "$program")" "$program"; done
  cp "$root/README.md" "$root/LICENSE" "$dir/"
  find "$dir" -exec touch -h -d "@$epoch" {} +
}

for arch in win32 win64; do
  case $arch in win32) host=i686-w64-mingw32 ;; win64) host=x86_64-w64-mingw32 ;; esac
  name=kowaki-$version-$arch
  stage "$name" "$host-strip" "$build/$arch/app/kowaki.exe" "$build/$arch/cli/kowaki-cli.exe"
  rm -f "$dist/$name.zip"
  (cd "$stage" && find "$name" | LC_ALL=C sort | zip -X -q -@ "$dist/$name.zip")
  echo "$dist/$name.zip"
done

name=kowaki-$version-linux-$(uname -m)
stage "$name" strip "$build/native/cli/kowaki-cli"
cp "$root/cli/share/"{kowaki-cli.1,kowaki-cli.bash,_kowaki-cli} "$stage/$name/"
find "$stage/$name" -exec touch -h -d "@$epoch" {} +
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
    -cf - "$name" | gzip -n -9 > "$dist/$name.tar.gz"
echo "$dist/$name.tar.gz"
