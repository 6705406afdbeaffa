#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Fast when
# everything is already there: it only asks dpkg, and touches apt only for
# what is missing.
#   tools/install-deps.sh native    compilers, libraries, test tools
#   tools/install-deps.sh windows   also mingw-w64, 64- and 32-bit Wine, Xvfb,
#                                   the ja_JP locale, and the deb-src entries
#                                   that libogg/libvorbis are built from
set -euo pipefail

want=${1:-native}
[[ $want == win32 ]] && want=windows
native_pkgs=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
             libogg-dev libvorbis-dev libflac-dev flac libebur128-dev ffmpeg googletest libgtest-dev libgmock-dev
             libbenchmark-dev python3 libsdl2-dev sox libsox-fmt-all vorbis-tools clang-format zip unzip
             man-db groff-base nlohmann-json3-dev libncurses-dev tmux)
# 64-bit Wine runs everywhere; 32-bit Wine is installed too, and used where
# the kernel runs 32-bit programs.
windows_pkgs=(mingw-w64 dpkg-dev wine wine64 wine32:i386 xvfb xauth x11-utils locales
              fonts-wine fonts-ipafont-gothic imagemagick xdotool)

pkgs=("${native_pkgs[@]}")
[[ $want == windows ]] && pkgs+=("${windows_pkgs[@]}")

as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

# deb-src twins of the machine's own Debian sources, whichever mirror they
# name and whichever form they are written in: the stanza of a deb822
# .sources file with its type changed, or the one-line entry of a .list
# file with `deb-src` for `deb`. Only sources whose Release says Origin
# Debian are copied; other archives seldom serve sources.
derive_deb_src() {
  local entry file n
  apt-get indextargets --format '$(SOURCESENTRY)' 'Origin: Debian' 'Target-Of: deb' | sort -u |
    while IFS= read -r entry; do
      file=${entry%:*} n=${entry##*:}
      [[ -f $file ]] || continue
      if [[ $file == *.sources ]]; then
        # n counts stanzas; comments neither start nor end one.
        awk -v n="$n" '
          /^#/ { next }
          /^[ \t]*$/ { if (in_stanza) { in_stanza = 0; k++ } ; next }
          { in_stanza = 1 }
          k == n - 1 { if ($0 ~ /^Types:/) print "Types: deb-src"; else print }
          END {}' "$file"
        echo
      else
        sed -n "${n}s/^[ \t]*deb[ \t]/deb-src /p" "$file" >>"$list_out"
      fi
    done
}

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [[ $want == windows ]]; then
  # 32-bit Wine lives in the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing+=(__update__)
  fi
  # The sources of libogg and libvorbis come from deb-src entries.
  if [[ -z $(apt-cache showsrc libvorbis 2>/dev/null) ]]; then
    [[ -n $(apt-get indextargets 'Origin: Debian' 2>/dev/null) ]] || as_root apt-get update -qq
    list_out=$(mktemp)
    sources=$(derive_deb_src)
    [[ -n $sources ]] && printf '%s\n' "$sources" |
      as_root tee /etc/apt/sources.list.d/kowaki-deb-src.sources >/dev/null
    [[ -s $list_out ]] && as_root cp "$list_out" /etc/apt/sources.list.d/kowaki-deb-src.list
    rm -f "$list_out"
    [[ -n $sources || -s /etc/apt/sources.list.d/kowaki-deb-src.list ]] ||
      { echo "install-deps: no Debian archive among the apt sources to take deb-src entries from" >&2; exit 1; }
    missing+=(__update__)
  fi
fi

if ((${#missing[@]})); then
  as_root apt-get update -qq
  real=()
  for p in "${missing[@]}"; do [[ $p == __update__ ]] || real+=("$p"); done
  if ((${#real[@]})); then
    echo "install-deps: installing ${real[*]}" >&2
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${real[@]}" >/dev/null
  fi
fi

if [[ $want == windows ]] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
exit 0
