#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Fast when
# everything is already there: it only asks dpkg, and touches apt only for
# what is missing.
#   tools/install-deps.sh native   compilers, libraries, test tools
#   tools/install-deps.sh win32    also mingw-w64, 32-bit Wine, Xvfb, ja_JP locale
set -euo pipefail

want=${1:-native}
native_pkgs=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
             libogg-dev libvorbis-dev googletest libgtest-dev libgmock-dev
             libbenchmark-dev python3 libsdl2-dev sox libsox-fmt-all)
win32_pkgs=(mingw-w64 dpkg-dev wine wine32:i386 xvfb xauth x11-utils locales
            fonts-wine fonts-ipafont-gothic imagemagick xdotool)

pkgs=("${native_pkgs[@]}")
[[ $want == win32 ]] && pkgs+=("${win32_pkgs[@]}")

as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [[ $want == win32 ]]; then
  # 32-bit Wine lives in the i386 architecture; the libogg/libvorbis sources
  # come from deb-src lines.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing+=(__update__)
  fi
  src=/etc/apt/sources.list.d/kowaki-deb-src.sources
  if [[ ! -f $src ]]; then
    as_root tee "$src" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    missing+=(__update__)
  fi
fi

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]/__update__/}" >&2
  as_root apt-get update -qq
  real=()
  for p in "${missing[@]}"; do [[ $p == __update__ ]] || real+=("$p"); done
  ((${#real[@]})) && DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${real[@]}" >/dev/null
fi

if [[ $want == win32 ]] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
exit 0
