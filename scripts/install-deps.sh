#!/usr/bin/env bash
# Installs what Brisquel needs to build, test and run, from Debian's packages.
# Used by the scripts beside it; does nothing when everything is there already.
#   install-deps.sh windows   also the Windows cross-build and Wine, with a Chinese locale
#   install-deps.sh fuzz      also clang and libFuzzer
#   install-deps.sh package   also what makes and checks the releases
#   install-deps.sh root      also debootstrap, for the check in a fresh Debian root
set -euo pipefail

packages=(
    cmake g++ make                       # the build
    zlib1g-dev                           # the file readers
    libgtest-dev libgmock-dev            # the engine's tests
    qt6-base-dev libgl-dev               # the window and its tests
    qt6-translations-l10n                # Qt's own Chinese texts, for the fields' context menus
    fonts-arphic-uming fonts-noto-cjk    # Chinese faces for the labels and the window
    xvfb xauth                           # a virtual display for machines without one
    clang-format                         # the format check
)
for extra in "$@"; do
    case "$extra" in
    windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 wine locales) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    package) packages+=(git dpkg-dev lintian desktop-file-utils appstream python3) ;;
    root) packages+=(debootstrap) ;;
    *) echo "install-deps.sh: unknown group: $extra" >&2 && exit 2 ;;
    esac
done

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

# Wine takes its ANSI code page from the Linux locale, and only from a generated one.
need_locale() {
    [[ " $* " == *" windows "* ]] && ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'
}

if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y "${packages[@]}"
fi

if need_locale "$@"; then
    "${sudo[@]}" sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    "${sudo[@]}" locale-gen
fi
