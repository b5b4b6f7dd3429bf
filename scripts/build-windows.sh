#!/usr/bin/env bash
# Builds brisquel.exe, the tool's native Windows program, with MinGW-w64 on Debian:
# one statically linked file, written to build-windows/win32/brisquel.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows

build=build-windows
# The folder is shared with scripts/test-windows.sh, which adds the tests; a fresh one gets
# the program alone.
options=()
if [ ! -f "$build/CMakeCache.txt" ]; then
    options+=(-DBRISQUEL_BUILD_TESTS=OFF)
fi
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_BENCH=OFF "${options[@]}"
cmake --build "$build" --parallel "$(nproc)" --target brisquel_windows
echo "wrote $build/win32/brisquel.exe"
