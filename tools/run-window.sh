#!/usr/bin/env bash
# Starts kowaki.exe under Wine the way a player starts it: the game's
# install folder, recorded in the registry, holds the demo archive. The
# 32-bit program where this machine runs 32-bit programs, the 64-bit twin
# elsewhere; it says which. With no display it runs under Xvfb, saves a
# screenshot of the window once the archive is listed, and says where;
# with --settings it also opens the settings dialog and takes that. With
# --english Wine runs under an English locale (code page 1252) and the
# screenshot is main-window-english.png. The game's folder is shown as
# D:\Games\mizukage, a drive of the prefix leading to the demo archive.
#   tools/run-window.sh [--settings] [--english] [BUILD_DIR]   (default build)
set -euo pipefail
settings=0 suffix=
[[ ${1:-} == --settings ]] && { settings=1; shift; }
[[ ${1:-} == --english ]] && { export KOWAKI_WINE_LOCALE=C.UTF-8; suffix=-english; shift; }
build=$(realpath "${1:-build}")
here=$(dirname "$(realpath "$0")")
if why=$("$here/wine32-probe.sh"); then
  arch=win32 bits=32
else
  arch=win64 bits=64
  echo "run-window: the 64-bit kowaki.exe, since 32-bit programs cannot run here ($why)"
fi
exe=$build/$arch/app/kowaki.exe
demo=$build/native/demo
export KOWAKI_WINEARCH=$arch KOWAKI_WINEPREFIX=$build/run-wineprefix-$arch

"$here/wine-run.sh" reg add 'HKCU\Software\Kestrel\mizukage' /v InstallDir /t REG_SZ \
    /d 'D:\Games\mizukage' /f >/dev/null 2>&1
# Drive D: of the prefix (made by the line above) holds Games\mizukage,
# which is the demo folder.
drive=$build/run-drive
mkdir -p "$drive/Games"
ln -sfn "$demo" "$drive/Games/mizukage"
ln -sfn "$drive" "$KOWAKI_WINEPREFIX/dosdevices/d:"

# Wine draws the title bar's buttons with Marlett, which Debian keeps apart.
fonts=$KOWAKI_WINEPREFIX/drive_c/windows/Fonts
[[ -f $fonts/marlett.ttf || ! -f /usr/share/wine/fonts/marlett.ttf ]] ||
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"

if [[ -n ${DISPLAY:-} ]]; then
  echo "run-window: opening the $bits-bit kowaki.exe"
  exec "$here/wine-run.sh" "$exe"
fi

shots=$build/screenshots
shot=$shots/main-window$suffix.png
mkdir -p "$shots"
export shots shot exe here settings suffix
# Wine's virtual desktop draws the window's frame and title, which a bare
# X server has nobody to draw.
xvfb-run -a -s "-screen 0 640x760x24" bash -c '
  "$here/wine-run.sh" explorer /desktop=kowaki,580x700 "$exe" >/dev/null 2>&1 &
  for i in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "Wine" && break
    sleep 0.2
  done
  sleep 4  # the window opens and the listing runs
  import -window root -crop 580x700+0+0 "$shot"
  if [[ $settings == 1 ]]; then
    xdotool mousemove 473 624 click 1  # the Settings button
    sleep 2
    import -window root -crop 580x700+0+0 "$shots/settings-dialog$suffix.png"
  fi
  WINEPREFIX=$KOWAKI_WINEPREFIX wineserver -k 2>/dev/null || true
'
echo "The $bits-bit kowaki.exe ran under Xvfb; screenshot of its window: $shot"
