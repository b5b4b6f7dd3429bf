#!/usr/bin/env bash
# Cross-builds the engine, the Windows window (brisquel.exe) and their tests for Windows
# x86-64 with MinGW-w64 and runs them under Wine in code page 936, the ANSI code page of a
# Chinese Windows, on a virtual display (Xvfb) for the window's tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows

build=build-windows
gtest="$PWD/$build/googletest"
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "== GoogleTest for Windows, from Debian's sources"
    cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/install"
    cmake --build "$gtest/build" --parallel "$(nproc)"
    cmake --install "$gtest/build"
fi

# Wine takes its ANSI code page from the Linux locale: zh_CN.UTF-8 gives code page 936.
# A fresh prefix for every run, and one Wine server kept up for all the test programs
# (the build runs them too, to list their tests), instead of one start for each.
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEARCH=win64
wine_home="$(mktemp -d)"
export WINEPREFIX="$wine_home/prefix"
xvfb_pid=
trap 'wineserver -k 2>/dev/null || true; [ -z "$xvfb_pid" ] || kill "$xvfb_pid"; rm -rf "$wine_home"' EXIT

# The window's tests create real windows: a virtual display at 96 dots per inch, unless
# there is a display already. Wine must see it from its first start.
if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$wine_home/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$wine_home/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$wine_home/display")"
fi

mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init

echo "== the engine, the window and their tests for Windows"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_BENCH=OFF -DBRISQUEL_BUILD_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest"
cmake --build "$build" --parallel "$(nproc)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
