#!/usr/bin/env bash
# Installs the dependencies, builds Brisquel and opens its window. Without a display
# it opens on a virtual one (Xvfb), which is only useful for screenshots and checks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)" --target brisquel
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a build/ui/brisquel
fi
exec build/ui/brisquel
