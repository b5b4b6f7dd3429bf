#!/usr/bin/env bash
# Builds brisquel.exe, the tool's native Windows program, with MinGW-w64 on Debian: one
# statically linked file.
#   build-windows.sh       64-bit (x64), written to build-windows/win32/brisquel.exe
#   build-windows.sh x86   32-bit (x86), written to build-windows-x86/win32/brisquel.exe
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-x64}" in
x64) build=build-windows toolchain=cmake/mingw-w64-x86_64.cmake ;;
x86) build=build-windows-x86 toolchain=cmake/mingw-w64-i686.cmake ;;
*) echo "usage: build-windows.sh [x64|x86]" >&2 && exit 2 ;;
esac

bash scripts/install-deps.sh windows

# The folder is shared with scripts/test-windows.sh, which adds the tests; a fresh one gets
# the program alone.
options=()
if [ ! -f "$build/CMakeCache.txt" ]; then
    options+=(-DBRISQUEL_BUILD_TESTS=OFF)
fi
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_BENCH=OFF "${options[@]}"
cmake --build "$build" --parallel "$(nproc)" --target brisquel_windows
echo "wrote $build/win32/brisquel.exe"
