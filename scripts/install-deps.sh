#!/usr/bin/env bash
# Installs what Brisquel needs to build, test and run, from Debian's packages.
# Used by run.sh and test.sh; does nothing when everything is there already.
set -euo pipefail

packages=(
    cmake g++ make                       # the build
    libgtest-dev libgmock-dev            # the engine's tests
    qt6-base-dev libgl-dev               # the window and its tests
    fonts-arphic-uming fonts-noto-cjk    # Chinese faces for the labels and the window
    xvfb xauth                           # a virtual display for machines without one
    clang-format                         # the format check
)

if dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y "${packages[@]}"
