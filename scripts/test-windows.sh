#!/usr/bin/env bash
# Cross-builds the engine, the Windows window (brisquel.exe) and their tests for Windows with
# MinGW-w64, 64-bit (x64, in build-windows) and 32-bit (x86, in build-windows-x86), checks
# that every program imports nothing Windows 7 SP1 lacks (scripts/check-windows-imports.sh),
# and runs the tests under Wine in code page 936, the ANSI code page of a Chinese Windows, on
# a virtual display (Xvfb) for the window's tests: the 64-bit ones under 64-bit Wine, the
# 32-bit ones under 32-bit Wine where this machine runs 32-bit x86 programs (some 64-bit
# kernels do not: there they are built and checked, not run).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows windows32
runs_32bit=yes
bash scripts/install-deps.sh --runs-32bit || runs_32bit=

# Wine's own loaders, each for its kind of program. Not /usr/bin/wine: it starts 32-bit Wine
# whenever that is installed, which on a machine that cannot run it fails for every program.
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

# GoogleTest for Windows, from Debian's sources, built by the toolchain of the architecture.
googletest() {
    local gtest="$PWD/$1/googletest"
    if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
        echo "== GoogleTest for Windows $3, from Debian's sources"
        cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/$2" \
            -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/install"
        cmake --build "$gtest/build" --parallel "$(nproc)"
        cmake --install "$gtest/build"
    fi
}

# build FOLDER TOOLCHAIN ARCHITECTURE EMULATOR DISCOVERY: the programs and their tests. The
# build lists each test program's tests by running it (POST_BUILD), or leaves that to ctest
# (PRE_TEST).
build() {
    googletest "$1" "$2" "$3"
    echo "== the engine, the window and their tests for Windows $3"
    cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=Release \
        -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_BENCH=OFF -DBRISQUEL_BUILD_TESTS=ON \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$4" -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE="$5" \
        -DGTest_DIR="$PWD/$1/googletest/install/lib/cmake/GTest"
    cmake --build "$1" --parallel "$(nproc)"
}

# The program and every test program built.
check_imports() {
    echo "== what the programs for Windows $2 import"
    local programs
    mapfile -t programs < <(find "$1/win32" "$1/tests" -name '*.exe' -not -path '*/CMakeFiles/*' | sort)
    bash scripts/check-windows-imports.sh "${programs[@]}"
}

# Wine takes its ANSI code page from the Linux locale: zh_CN.UTF-8 gives code page 936.
# A fresh prefix for each architecture on every run, and one Wine server kept up for all of
# its test programs (the build runs them too, to list their tests), instead of one start for
# each.
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
wine_home="$(mktemp -d)"
xvfb_pid=
stop() {
    local prefix
    for prefix in "$wine_home"/win*; do
        [ ! -d "$prefix" ] || WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    done
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid"
    rm -rf "$wine_home"
}
trap stop EXIT

# start_wine ARCH LOADER: a fresh prefix of that kind (win64 or win32), with its server up.
start_wine() {
    export WINEARCH="$1" WINEPREFIX="$wine_home/$1" WINELOADER="$2"
    mkdir -p "$WINEPREFIX"
    wineserver -p
    "$2" wineboot --init
}

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

start_wine win64 "$wine64"
build build-windows cmake/mingw-w64-x86_64.cmake x64 "$wine64" POST_BUILD
check_imports build-windows x64
ctest --test-dir build-windows --output-on-failure --parallel "$(nproc)"

# The 32-bit tests are listed by ctest, so that the build needs no 32-bit Wine.
build build-windows-x86 cmake/mingw-w64-i686.cmake x86 "$wine32" PRE_TEST
check_imports build-windows-x86 x86
if [ -n "$runs_32bit" ]; then
    start_wine win32 "$wine32"
    ctest --test-dir build-windows-x86 --output-on-failure --parallel "$(nproc)"
else
    echo "x86: the 32-bit programs and tests were built and their imports checked, but not run: this machine cannot run 32-bit x86 programs"
fi
