#!/usr/bin/env bash
# Installs what Brisquel needs to build, test and run, from Debian's packages.
# Used by the scripts beside it; does nothing when everything is there already.
#   install-deps.sh windows   also the Windows cross-builds (64- and 32-bit) and Wine, with a
#                             Chinese locale
#   install-deps.sh windows32 also 32-bit Wine (wine32:i386), where this machine runs 32-bit
#                             x86 programs; elsewhere it says so and installs nothing for it
#   install-deps.sh fuzz      also clang and libFuzzer
#   install-deps.sh package   also what makes and checks the releases
#   install-deps.sh root      also debootstrap, for the check in a fresh Debian root
#   install-deps.sh --runs-32bit   installs nothing: exits 0 where this machine runs 32-bit x86
#                             Linux programs, 1 where it does not
set -euo pipefail

# Whether the kernel runs 32-bit x86 programs (some 64-bit kernels and virtual machines do
# not), without installing anything: a static i386 program of 93 bytes, made here, that only
# exits with status 0. An ELF header, one program header loading the whole file at 0x08048000,
# then the code: mov eax, 1 (exit); xor ebx, ebx (status 0); int 0x80.
runs_32bit() {
    local elf=(
        '\x7fELF\x01\x01\x01\x00' '\x00\x00\x00\x00\x00\x00\x00\x00'   # 32-bit, little-endian, version 1
        '\x02\x00' '\x03\x00' '\x01\x00\x00\x00'                            # executable, i386, version 1
        '\x54\x80\x04\x08'                                                    # entry: the code, at 0x08048054
        '\x34\x00\x00\x00' '\x00\x00\x00\x00' '\x00\x00\x00\x00'            # program headers at 52, no sections
        '\x34\x00' '\x20\x00' '\x01\x00' '\x28\x00' '\x00\x00' '\x00\x00'    # sizes; one program header
        '\x01\x00\x00\x00' '\x00\x00\x00\x00' '\x00\x80\x04\x08' '\x00\x80\x04\x08' # load from 0 at 0x08048000
        '\x5d\x00\x00\x00' '\x5d\x00\x00\x00' '\x05\x00\x00\x00' '\x00\x10\x00\x00' # 93 bytes, read and run
        '\xb8\x01\x00\x00\x00' '\x31\xdb' '\xcd\x80'                          # the code
    )
    local folder status
    # A folder that allows running programs: the temporary one, unless it is mounted noexec.
    for folder in "${TMPDIR:-/tmp}" "$(dirname "$0")"; do
        local probe
        probe=$(mktemp -d "$folder/runs-32bit.XXXXXX") || continue
        printf '#!/bin/sh\nexit 0\n' >"$probe/script"
        # shellcheck disable=SC2059 # the bytes are the format
        printf "$(printf '%s' "${elf[@]}")" >"$probe/program"
        chmod +x "$probe/script" "$probe/program"
        if "$probe/script" 2>/dev/null; then
            status=0
            "$probe/program" 2>/dev/null || status=1
            rm -rf "$probe"
            return "$status"
        fi
        rm -rf "$probe"
    done
    echo "install-deps.sh: found no folder to run a program in" >&2
    return 1
}

if [ "${1:-}" = --runs-32bit ]; then
    runs_32bit
    exit
fi

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
i386=
for extra in "$@"; do
    case "$extra" in
    windows)
        packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev googletest wine64 wine
            locales)
        ;;
    windows32)
        if runs_32bit; then
            i386=yes
            packages+=(wine32:i386)
        else
            echo "install-deps.sh: this machine cannot run 32-bit x86 programs; not installing 32-bit Wine" >&2
        fi
        ;;
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
    # 32-bit Wine is a package of Debian's i386 architecture, beside the machine's own.
    if [ -n "$i386" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y "${packages[@]}"
fi

if need_locale "$@"; then
    "${sudo[@]}" sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    "${sudo[@]}" locale-gen
fi
