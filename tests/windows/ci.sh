#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64, checks that tolvar.exe
# needs no DLL beyond Windows' own, runs the Windows tests under wine in a
# fresh prefix, and compares the Windows build's results with those of the
# POSIX build.
#   tests/windows/ci.sh [NATIVE_TOLVAR]   (default: build/tolvar)
# Needs: g++-mingw-w64-x86-64, googletest (sources), wine, wine64.
set -euo pipefail
cd "$(dirname "$0")/../.."
native=${1:-build/tolvar}

export WINEDEBUG=-all
# Neither Mono nor Gecko is wanted: no prompt to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d /tmp/tolvar-wine.XXXXXX)
export WINEPREFIX
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

step() { echo "== $1 (${SECONDS}s)"; }
source tests/windows/wine-prefix.sh

SECONDS=0
step "creating the wine prefix"
make_wine_prefix
step "wine prefix ready"

cmake --workflow --preset windows
step "Windows build and tests done"

# Only DLLs that every Windows has (and that wine provides).
system_dlls='^(kernel32|msvcrt|user32|advapi32|ntdll|shell32|ws2_32)\.dll$'
for exe in build-windows/tolvar.exe build-windows/tolvar_tests.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  echo "$exe imports: $(echo $dlls)"
  if echo "$dlls" | tr 'A-Z' 'a-z' | grep -Evq "$system_dlls"; then
    echo "$exe needs a DLL that Windows does not have" >&2
    exit 1
  fi
done

# The wineserver of the tests may still be shutting down, and a program
# started meanwhile can fail without a word: wait for it to end, then keep
# one server up for the whole comparison.
wineserver --wait
wineserver -p
bash tests/windows/compare-builds.sh "$native" build-windows/tolvar.exe
step "builds compared"
