#!/usr/bin/env bash
# Makes the releases into dist/: the Windows zips (64-bit x64 and 32-bit x86), the Debian
# package and SHA256SUMS, the same bytes on every build of one commit, wherever and whenever
# it is built.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows package

root=$PWD
build=build-package
dist=dist
umask 022
export LC_ALL=C.UTF-8 TZ=UTC

# Every time stamp in the output is the last commit's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -c safe.directory="$root" -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
day=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)

rm -rf "$build" "$dist"
mkdir -p "$build" "$dist"

# Debian's hardening flags, without debug information (the program is stripped anyway); the
# source folder is mapped away, so the folder a build runs in leaves no trace.
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed 's/\(^\| \)-g\( \|$\)/ /'
}
map="-ffile-prefix-map=$root=."

echo "== the Linux program"
cmake -S . -B "$build/linux" -DCMAKE_BUILD_TYPE=Release -DBRISQUEL_BUILD_TESTS=OFF -DBRISQUEL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS) $map" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build "$build/linux" --parallel "$(nproc)" --target brisquel
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/linux/CMakeCache.txt")

echo "== the Windows programs, 64-bit (x64) and 32-bit (x86)"
for arch in x64 x86; do
    toolchain=cmake/mingw-w64-x86_64.cmake
    [ "$arch" = x64 ] || toolchain=cmake/mingw-w64-i686.cmake
    cmake -S . -B "$build/windows-$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_TESTS=OFF -DBRISQUEL_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$map"
    cmake --build "$build/windows-$arch" --parallel "$(nproc)" --target brisquel_windows
done

# Files as an archive holds them: fixed times, no group or other write, folders searchable.
settle() {
    find "$1" -type d -exec chmod 0755 {} +
    find "$1" -type f ! -perm /0100 -exec chmod 0644 {} +
    find "$1" -type f -perm /0100 -exec chmod 0755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

echo "== the Windows zips"
# For Notepad: a byte-order mark and CR LF line ends.
{
    printf '\xEF\xBB\xBF'
    sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/使用说明.txt
} >"$build/使用说明.txt"
zip_names=()
for arch in x64 x86; do
    zip_stage="$build/zip-$arch"
    mkdir -p "$zip_stage"
    cp "$build/windows-$arch/win32/brisquel.exe" "$build/使用说明.txt" "$zip_stage/"
    settle "$zip_stage"
    zip_name="brisquel-$version-windows-$arch.zip"
    zip_names+=("$zip_name")
    # Python's zipfile rather than zip: zip does not set the flag that marks a name as UTF-8,
    # and without it Windows reads 使用说明.txt in the OEM code page. Members in name order,
    # each with the commit's time and its mode, no owners, no extra fields.
    python3 - "$zip_stage" "$dist/$zip_name" "$SOURCE_DATE_EPOCH" <<'PYTHON'
import os, sys, time, zipfile
folder, target, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(target, "w") as archive:
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        member = zipfile.ZipInfo(name, time.gmtime(epoch)[:6])
        member.create_system = 3
        member.external_attr = (os.stat(path).st_mode & 0o100777) << 16
        with open(path, "rb") as f:
            archive.writestr(member, f.read(), zipfile.ZIP_DEFLATED, 9)
PYTHON
done

echo "== the Debian package"
stage="$build/deb"
share="$stage/usr/share"
install -D -m 0755 "$build/linux/ui/brisquel" "$stage/usr/bin/brisquel"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/brisquel"
install -D -m 0644 packaging/org.brisquel.Brisquel.desktop "$share/applications/org.brisquel.Brisquel.desktop"
mkdir -p "$share/metainfo" "$share/man/man1" "$share/doc/brisquel"
sed "s/@VERSION@/$version/g; s/@DATE@/$day/g" packaging/org.brisquel.Brisquel.metainfo.xml \
    >"$share/metainfo/org.brisquel.Brisquel.metainfo.xml"
python3 packaging/render_icons.py "$share/icons/hicolor"
sed "s/@VERSION@/$version/g; s/@DATE@/$day/g" packaging/brisquel.1 | gzip -9n >"$share/man/man1/brisquel.1.gz"
cp packaging/copyright "$share/doc/brisquel/copyright"
maintainer=$(sed -n 's/^Maintainer: //p' packaging/control)
printf 'brisquel (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$version" "$version" "$maintainer" "$(date -u -R -d "@$SOURCE_DATE_EPOCH")" |
    gzip -9n >"$share/doc/brisquel/changelog.gz"

# The dependencies are the libraries the program links, as dpkg-shlibdeps finds them; it
# reads the package's name from a control file of the source's kind.
mkdir -p "$build/shlibs/debian"
printf 'Source: brisquel\n\nPackage: brisquel\nArchitecture: amd64\n' >"$build/shlibs/debian/control"
depends=$(cd "$build/shlibs" && dpkg-shlibdeps -O "$root/$stage/usr/bin/brisquel" | sed -n 's/^shlibs:Depends=//p')
# Kibibytes of the files, each rounded up, as dpkg counts them; folders' sizes differ by file system.
size=$(find "$stage" -type f -printf '%s\n' | awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
mkdir -p "$stage/DEBIAN"
sed "s/@VERSION@/$version/; s/@SIZE@/$size/; s/@DEPENDS@/$depends/" packaging/control >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | sort | xargs md5sum) >"$stage/DEBIAN/md5sums"
settle "$stage"
deb_name="brisquel_${version}_amd64.deb"
# One compressor thread: xz splits its stream by the threads it is given.
dpkg-deb --root-owner-group --threads-max=1 -Zxz --build "$stage" "$dist/$deb_name"

(cd "$dist" && sha256sum "${zip_names[@]}" "$deb_name" >SHA256SUMS)

echo "== checks"
# Each brisquel.exe: built for its processor (the 32-bit one large-address-aware, so that it
# has 4 GB on a 64-bit Windows), no link time in its header, the project's version in its
# version resource, and nothing imported that Windows 7 SP1 lacks.
for arch in x64 x86; do
    python3 - "$build/zip-$arch/brisquel.exe" "$arch" "$version" <<'PYTHON'
import struct, sys
program, arch, version = open(sys.argv[1], "rb").read(), sys.argv[2], sys.argv[3]
header = struct.unpack_from("<I", program, 0x3C)[0]
assert program[header:header + 4] == b"PE\0\0", "brisquel.exe is not a Windows program"
machine = struct.unpack_from("<H", program, header + 4)[0]
characteristics = struct.unpack_from("<H", program, header + 22)[0]
assert machine == {"x64": 0x8664, "x86": 0x14C}[arch], f"brisquel.exe is built for machine {machine:#x}"
assert arch == "x64" or characteristics & 0x20, "the 32-bit brisquel.exe is not large-address-aware"
assert struct.unpack_from("<I", program, header + 8)[0] == 0, "brisquel.exe carries its link time"
for key in ("FileVersion", "ProductVersion"):
    entry = (key + "\0").encode("utf-16-le")
    start = program.find(entry) + len(entry)
    start += start % 4  # the value is aligned to 32 bits
    value = program[start:program.find(b"\0\0", start) + 1].decode("utf-16-le")
    assert value == version, f"{key} is {value!r}, not {version!r}"
print(f"brisquel.exe ({arch}): no link time, version", version)
PYTHON
done
bash scripts/check-windows-imports.sh "$build/zip-x64/brisquel.exe" "$build/zip-x86/brisquel.exe"
desktop-file-validate "$share/applications/org.brisquel.Brisquel.desktop"
appstreamcli validate --no-net "$share/metainfo/org.brisquel.Brisquel.metainfo.xml"
lintian_root=()
if [ "$(id -u)" -eq 0 ]; then
    lintian_root=(--allow-root)
fi
lintian "${lintian_root[@]}" --fail-on error,warning --display-info "$dist/$deb_name"
echo "wrote $dist/:"
cat "$dist/SHA256SUMS"
