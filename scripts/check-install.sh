#!/usr/bin/env bash
# Installs dist/brisquel_VERSION_amd64.deb (or the one in the folder given) on a fresh Debian 12 root as a user would, checks
# that its libraries are all there, that the menu entry and icons are where a desktop looks,
# and that brisquel opens its window (on a virtual display), then removes it and checks that
# none of its files are left. Needs root; Debian's packages are kept in build-root/cache.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh root

# The package from dist/, or from the folder given.
dist=${1:-dist}
debs=("$dist"/brisquel_*_amd64.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "check-install.sh: want one $dist/brisquel_*_amd64.deb; run scripts/package.sh first" >&2
    exit 2
fi
deb=$(basename "${debs[0]}")
# No maintainer scripts: nothing but the files the package lists can come from it.
if [ "$(dpkg-deb --ctrl-tarfile "$dist/$deb" | tar -t | sort | tr '\n' ' ')" != "./ ./control ./md5sums " ]; then
    echo "check-install.sh: the package has more than a control file and md5sums" >&2
    exit 1
fi

work="$PWD/build-root"
target="$work/root"
mkdir -p "$work/cache/debootstrap" "$work/cache/apt"

# The root goes when the check ends; its mounts first, and never across one.
release() {
    for mount in "$target/var/cache/apt/archives" "$target/dev/shm" "$target/proc"; do
        if mountpoint -q "$mount"; then umount "$mount"; fi
    done
    rm -rf --one-file-system "$target"
}
trap release EXIT
release

echo "== a fresh Debian 12 root"
debootstrap --variant=minbase --cache-dir="$work/cache/debootstrap" bookworm "$target" http://deb.debian.org/debian \
    >"$work/debootstrap.log" || {
    tail -20 "$work/debootstrap.log"
    exit 1
}
mount -t proc proc "$target/proc"
mount -t tmpfs shm "$target/dev/shm"
mount --bind "$work/cache/apt" "$target/var/cache/apt/archives"
cp "$dist/$deb" "$target/tmp/"
inside() {
    chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
inside apt-get update -q >/dev/null

echo "== apt-get install ./$deb"
inside apt-get install -y -q "/tmp/$deb" >"$work/install.log" 2>&1
echo "$(grep -c '^Setting up ' "$work/install.log") packages set up (the list is in build-root/install.log)"
inside dpkg -L brisquel | grep -vx '/\.' | sort >"$work/package-files"

echo "== the libraries of the program and of its display plugin"
for binary in /usr/bin/brisquel /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so; do
    if inside ldd "$binary" | grep 'not found'; then
        echo "missing libraries for $binary" >&2
        exit 1
    fi
done
echo "all found"

echo "== the menu entry and the icons"
for path in /usr/share/applications/org.brisquel.Brisquel.desktop /usr/share/metainfo/org.brisquel.Brisquel.metainfo.xml \
    /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/brisquel.png; do
    [ -f "$target$path" ] || {
        echo "missing: $path" >&2
        exit 1
    }
done
grep -qx 'Exec=brisquel %F' "$target/usr/share/applications/org.brisquel.Brisquel.desktop"
grep -qx 'Icon=brisquel' "$target/usr/share/applications/org.brisquel.Brisquel.desktop"
echo "in place"

echo "== brisquel opens its window"
inside apt-get install -y -q --no-install-recommends xvfb xauth xdotool >/dev/null
cat >"$target/tmp/open-window.sh" <<'EOF'
brisquel 2>/tmp/brisquel.err &
pid=$!
for _ in $(seq 40); do
    window=$(xdotool search --name '^Brisquel v' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.25
done
[ -n "$window" ] || { echo "no window"; cat /tmp/brisquel.err; exit 1; }
echo "window: $(xdotool getwindowname "$window")"
sleep 3
kill -0 "$pid" || { echo "brisquel ended"; cat /tmp/brisquel.err; exit 1; }
kill "$pid"
EOF
inside xvfb-run -a sh /tmp/open-window.sh

echo "== apt-get remove brisquel leaves nothing behind"
# Everything but what changes by itself: the kernel's, apt's and dpkg's records, logs, /tmp,
# and the caches that the icon theme's and the menu's triggers write again or remove.
files() {
    (cd "$target" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./tmp -o -path ./run -o -path ./var/cache \
        -o -path ./var/lib/apt -o -path ./var/lib/dpkg -o -path ./var/log \) -prune \
        -o ! -name icon-theme.cache ! -name mimeinfo.cache -print | sed 's/^\.//' | sort)
}
files >"$work/installed"
inside apt-get remove -y -q brisquel >/dev/null
files >"$work/removed"
status=0
if comm -13 "$work/installed" "$work/removed" | grep .; then
    echo "new after the removal: the lines above" >&2
    status=1
fi
# What went must be the package's own; what stayed of it must be a folder another package owns.
if comm -23 "$work/installed" "$work/removed" | comm -23 - "$work/package-files" | grep .; then
    echo "removed but not the package's: the lines above" >&2
    status=1
fi
while read -r path; do
    if [ -e "$target$path" ] && ! { [ -d "$target$path" ] && inside dpkg -S "$path" >/dev/null 2>&1; }; then
        echo "left behind: $path" >&2
        status=1
    fi
done <"$work/package-files"
[ "$status" -ne 0 ] || echo "nothing left"
exit "$status"
