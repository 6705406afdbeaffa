#!/usr/bin/env bash
# Cross-builds libogg and libvorbis for Windows from Debian's source
# packages into PREFIX as static libraries. Does nothing when PREFIX already
# holds the same versions.
#   tools/build-windows-deps.sh HOST PREFIX
#   HOST: i686-w64-mingw32 (32-bit) or x86_64-w64-mingw32 (64-bit)
set -euo pipefail

host=${1:?usage: build-windows-deps.sh HOST PREFIX}
prefix=$(realpath -m "${2:?usage: build-windows-deps.sh HOST PREFIX}")
work=$(dirname "$prefix")/src
stamp=$prefix/.versions

versions="$host $(apt-cache showsrc libogg libvorbis 2>/dev/null |
           awk '/^Package:/{p=$2} /^Version:/{print p "=" $2}' | sort -u | tr '\n' ' ')"
if [[ -f $stamp && "$(cat "$stamp")" == "$versions" && -f $prefix/lib/libvorbisfile.a ]]; then
  exit 0
fi

echo "build-windows-deps: building libogg and libvorbis for $host" >&2
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
apt-get source -qq libogg libvorbis >/dev/null 2>&1 || apt-get source libogg libvorbis

export CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib
export CFLAGS="-O2 -g0"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

build() {
  local dir=$1; shift
  (cd "$dir"
   # Debian's patches may touch the autotools inputs; keep the shipped
   # configure and Makefile.in.
   find . -name 'Makefile.in' -o -name configure -o -name aclocal.m4 -o -name config.h.in |
     xargs touch
   { ./configure --host="$host" --prefix="$prefix" --disable-shared --enable-static "$@" &&
     make -j"$(nproc)" && make install; } >"$work/build.log" 2>&1 ||
     { tail -n 40 "$work/build.log" >&2; exit 1; })
}
build libogg-*/
build libvorbis-*/ --with-ogg="$prefix" --disable-docs --disable-examples
echo "$versions" > "$stamp"
