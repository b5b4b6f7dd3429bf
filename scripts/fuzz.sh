#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them for the given seconds in all (60 unless
# told), shared equally among them, each from its seeds in fuzz/corpus/NAME. What they find
# is kept in build-fuzz/.
#   bash scripts/fuzz.sh 3600
#   bash scripts/fuzz.sh 600 xlsx     (one target alone)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

bash scripts/install-deps.sh fuzz

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISQUEL_BUILD_FUZZ=ON \
    -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_TESTS=OFF -DBRISQUEL_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for program in "$build"/fuzz/*_fuzz; do
        name="$(basename "$program")"
        targets+=("${name%_fuzz}")
    done
fi
share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1

# New inputs go to build-fuzz/corpus/NAME, and anything that fails to build-fuzz/NAME-crash-*;
# replay one with: build-fuzz/fuzz/NAME_fuzz FILE
for name in "${targets[@]}"; do
    echo "== fuzzing $name for $share seconds"
    options=()
    [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
    mkdir -p "$build/corpus/$name" "fuzz/corpus/$name"
    "$build/fuzz/${name}_fuzz" "${options[@]}" -max_total_time="$share" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/$name-" "$build/corpus/$name" "fuzz/corpus/$name"
done
