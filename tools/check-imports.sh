#!/usr/bin/env bash
# check-imports.sh ARCH [--late DLL,DLL...] EXE...: fails when a program imports a DLL
# that is not part of Windows, or one of the --late DLLs, which the program takes
# from their DLL only when it first calls them (platform/LateBound.h).
set -euo pipefail
arch=$1; shift
late='^$'
if [ "${1:-}" = --late ]; then
  late="^($(tr ',' '|' <<<"$2"))\.dll$"
  shift 2
fi
allowed='^(kernel32|user32|gdi32|msimg32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|wtsapi32|uxtheme|version|shlwapi|rpcrt4|imm32|winmm|msvcrt|ntdll|ws2_32|setupapi|psapi)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$arch-w64-mingw32-objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || { echo "$exe: no imports found" >&2; status=1; continue; }
  for dll in $dlls; do
    if ! grep -Eq "$allowed" <<<"$dll"; then echo "$exe imports $dll" >&2; status=1; fi
    if grep -Eq "$late" <<<"$dll"; then echo "$exe imports $dll, which it should load on first use" >&2; status=1; fi
  done
  echo "$(basename "$exe"): $(echo $dlls)"
done
exit $status
