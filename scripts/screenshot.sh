#!/usr/bin/env bash
# Makes docs/window.png, the README's picture of the window: builds tools/ui/window_shot,
# then runs it on a virtual display (Xvfb, 96 dots per inch) with a window manager, so the
# picture shows the title bar. window_shot imports the sample sheet in tests/ui/data (as
# copied from LibreOffice Calc), counts it and saves the window with its frame.
#   screenshot.sh [PICTURE.png]   docs/window.png unless named; built in build, or in the
#                                 folder BRISQUEL_BUILD names
# Needs, besides scripts/install-deps.sh: openbox (the window manager).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if ! command -v openbox >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends openbox
fi
build="${BRISQUEL_BUILD:-build}"
picture="${1:-docs/window.png}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)" --target window_shot

mkdir -p "$(dirname "$picture")"
xvfb-run -a -s "-screen 0 1024x600x24 -dpi 96" bash -c '
    openbox >/dev/null 2>&1 &
    sleep 1
    QT_QPA_PLATFORM=xcb "$1/tools/window_shot" "$2"
' shot "$build" "$picture"
echo "wrote $picture"
