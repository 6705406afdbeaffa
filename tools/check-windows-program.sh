#!/usr/bin/env bash
# Checks Windows programs as they ship: each of the machine type asked for,
# and importing only DLLs that every Windows has, so the .exe is all a user
# needs.
#   tools/check-windows-program.sh win32|win64 PROGRAM.exe...
set -euo pipefail

here=$(dirname "$(realpath "$0")")
arch=${1:?usage: check-windows-program.sh win32|win64 PROGRAM.exe...}
shift
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msacm32.dll msvcrt.dll "
system_dlls+="ole32.dll shell32.dll user32.dll winmm.dll "
failed=0
for exe in "$@"; do
  machine=$("$here/pe-machine.sh" "$exe" || echo "not a Windows program")
  [[ $machine == "$arch" ]] || { echo "$exe: $machine, not $arch" >&2; failed=1; continue; }
  while read -r dll; do
    [[ $system_dlls == *" ${dll,,} "* ]] || { echo "$exe imports $dll, outside the system DLLs it may use" >&2; failed=1; }
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
done
exit "$failed"
