#!/usr/bin/env bash
# Makes docs/window-windows.png, the README's picture of brisquel.exe: builds it, then runs
# it under Wine on a virtual display (Xvfb, 96 dots per inch) in code page 936, in a Wine
# desktop that draws the window's frame, with "AR PL UMing CN" standing in for 宋体 (Wine's
# font replacements). window_shot imports the sample sheet in tests/ui/data (rows ended by
# CR LF, as a Windows spreadsheet copies them), counts it, and says where the window is.
#   screenshot-windows.sh [PICTURE.png]   docs/window-windows.png unless named; built in
#       build-windows by scripts/build-windows.sh, or in the folder BRISQUEL_WINDOWS_BUILD
#       names, configured already for 64-bit Windows (cmake/mingw-w64-x86_64.cmake)
# Needs, besides scripts/install-deps.sh windows: ImageMagick (import and convert).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BRISQUEL_WINDOWS_BUILD:-build-windows}"
picture="${1:-docs/window-windows.png}"
[ "$build" != build-windows ] || bash scripts/build-windows.sh
if ! command -v convert >/dev/null || ! command -v import >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends imagemagick
fi
cmake --build "$build" --parallel "$(nproc)" --target brisquel_windows window_shot_windows

# 64-bit Wine's own loader: /usr/bin/wine starts 32-bit Wine whenever that is installed, which
# fails on a machine that cannot run 32-bit programs.
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
work="$(mktemp -d)"
export WINEPREFIX="$work/prefix"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# regedit reads a registry file in UTF-16 with its byte-order mark.
{
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"宋体"="AR PL UMing CN"\r\n"SimSun"="AR PL UMing CN"\r\n"NSimSun"="AR PL UMing CN"\r\n' |
        iconv -f UTF-8 -t UTF-16LE
} >"$work/fonts.reg"

mkdir -p "$(dirname "$picture")"
xvfb-run -a -s "-screen 0 1024x600x24 -dpi 96" bash -c '
    set -euo pipefail
    "$WINELOADER" wineboot --init 2>/dev/null
    "$WINELOADER" regedit "$1/fonts.reg"
    wineserver -w
    "$WINELOADER" explorer /desktop=Brisquel,800x420 "$2/tools/window_shot_windows.exe" "$2/win32/brisquel.exe" \
        tests/ui/data/calc-whole-sheet.utf8.txt "$1/rect.txt" 2>/dev/null &
    for _ in $(seq 300); do
        [ -s "$1/rect.txt" ] && break
        sleep 0.1
    done
    read -r x y width height <"$1/rect.txt"
    import -window root "$1/root.png"
    convert "$1/root.png" -crop "${width}x${height}+${x}+${y}" +repage "$3"
' shot "$work" "$build" "$picture"
echo "wrote $picture"
