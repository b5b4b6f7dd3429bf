#!/usr/bin/env bash
# Builds the releases of the current commit twice, in two clones in different folders, at
# different times, with a different umask and time zone, and checks that dist/ is the same
# byte for byte. Uncommitted changes are not part of a release and are not built.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh package

work=build-reproduce
rm -rf "$work"
mkdir -p "$work"
unset SOURCE_DATE_EPOCH
git -c safe.directory="$PWD" clone --quiet --shared . "$work/first"
git -c safe.directory="$PWD" clone --quiet --shared . "$work/second/deeper"
# The second tree's files as if checked out a day earlier.
find "$work/second/deeper" -path '*/.git' -prune -o -exec touch -h -d yesterday {} +

echo "== first build"
(umask 022 && TZ=UTC bash "$work/first/scripts/package.sh")
echo "== second build"
(umask 077 && TZ=Asia/Shanghai bash "$work/second/deeper/scripts/package.sh")

first="$work/first/dist"
second="$work/second/deeper/dist"
status=0
diff <(ls "$first") <(ls "$second") || status=1
for file in "$first"/*; do
    name=$(basename "$file")
    if cmp "$file" "$second/$name"; then
        echo "same: $name"
    else
        status=1
    fi
done
exit "$status"
