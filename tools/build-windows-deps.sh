#!/usr/bin/env bash
# Cross-builds libogg, libvorbis, libFLAC and libebur128 for Windows from
# Debian's source packages into PREFIX as static libraries. Does nothing when PREFIX already
# holds the same versions. With `benchmark`, Google Benchmark as well (for
# the Windows benchmarks only).
#   tools/build-windows-deps.sh HOST PREFIX [benchmark]
#   HOST: i686-w64-mingw32 (32-bit) or x86_64-w64-mingw32 (64-bit)
set -euo pipefail

usage="usage: build-windows-deps.sh HOST PREFIX [benchmark]"
host=${1:?$usage}
prefix=$(realpath -m "${2:?$usage}")
work=$(dirname "$prefix")/src
stamp=$prefix/.versions
here=$(cd "$(dirname "$0")" && pwd)

if [[ ${3:-} == benchmark ]]; then
  "$0" "$host" "$prefix"
  bench_stamp=$prefix/.benchmark-version
  version=$(apt-cache showsrc benchmark 2>/dev/null | awk '/^Version:/{print $2; exit}')
  [[ -f $bench_stamp && "$(cat "$bench_stamp")" == "$version" ]] && exit 0
  echo "build-windows-deps: building Google Benchmark for $host" >&2
  rm -rf "$work/benchmark"
  mkdir -p "$work/benchmark"
  cd "$work/benchmark"
  apt-get source -qq benchmark >/dev/null 2>&1 || apt-get source benchmark
  # Debian's source has no git tags to read the version from.
  { cmake -S benchmark-*/ -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-${host%%-*}-w64-mingw32.cmake" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DGIT_VERSION="${version%%-*}" \
      -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_WERROR=OFF \
      -DBENCHMARK_INSTALL_DOCS=OFF && cmake --build build --target install; } \
    >"$work/benchmark/build.log" 2>&1 || { tail -n 40 "$work/benchmark/build.log" >&2; exit 1; }
  echo "$version" > "$bench_stamp"
  exit 0
fi

sources=(libogg libvorbis flac libebur128)
versions="$host $(apt-cache showsrc "${sources[@]}" 2>/dev/null |
           awk '/^Package:/{p=$2} /^Version:/{print p "=" $2}' | sort -u | tr '\n' ' ')"
if [[ -f $stamp && "$(cat "$stamp")" == "$versions" && -f $prefix/lib/libebur128.a ]]; then
  exit 0
fi

echo "build-windows-deps: building ${sources[*]} for $host" >&2
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
# A mirror may serve a package's upstream tarball without Debian's own
# (which holds only packaging here): unpack the upstream one then.
for source in "${sources[@]}"; do
  apt-get source -qq "$source" >/dev/null 2>&1 || apt-get source "$source" >/dev/null 2>&1 || true
  if ! compgen -G "$source-[0-9]*/" >/dev/null; then
    orig=$(compgen -G "${source}_*.orig.tar.*" | head -n 1) ||
      { echo "build-windows-deps: no source of $source" >&2; exit 1; }
    tar xf "$orig"
  fi
done

export CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib
export CFLAGS="-O2 -g0"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

build() {
  local dir=$1; shift
  (cd "$dir"
   # Debian's patches may touch the autotools inputs; keep the shipped
   # configure and Makefile.in. All get one time: touched one after another,
   # aclocal.m4 could come out newer than config.h.in, which asks make for
   # autoheader.
   local now
   now=$(date +%Y%m%d%H%M.%S)
   find . -name 'Makefile.in' -o -name configure -o -name aclocal.m4 -o -name config.h.in |
     xargs touch -t "$now"
   { ./configure --host="$host" --prefix="$prefix" --disable-shared --enable-static "$@" &&
     make -j"$(nproc)" && make install; } >"$work/build.log" 2>&1 ||
     { tail -n 40 "$work/build.log" >&2; exit 1; })
}
build libogg-*/
build libvorbis-*/ --with-ogg="$prefix" --disable-docs --disable-examples
build flac-*/ --disable-ogg --disable-programs --disable-examples --disable-cpplibs \
  --disable-doxygen-docs --disable-stack-smash-protection --disable-fortify-source
{ cmake -S libebur128-*/ -B libebur128-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-${host%%-*}-w64-mingw32.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DENABLE_INTERNAL_QUEUE_H=ON &&
  cmake --build libebur128-build --target install; } >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log" >&2; exit 1; }
echo "$versions" > "$stamp"
