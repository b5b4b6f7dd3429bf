#!/usr/bin/env bash
# Builds the engine's fuzz target with clang and runs it for the given seconds (60 unless
# told), starting from the seeds in fuzz/corpus. What it finds is kept in build-fuzz/.
#   bash scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/install-deps.sh fuzz

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISQUEL_BUILD_FUZZ=ON \
    -DBRISQUEL_BUILD_UI=OFF -DBRISQUEL_BUILD_TESTS=OFF -DBRISQUEL_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"

# New inputs go to build-fuzz/corpus, and anything that fails to build-fuzz/crash-*;
# replay one with: build-fuzz/fuzz/tally_fuzz FILE
mkdir -p "$build/corpus"
"$build/fuzz/tally_fuzz" -dict=fuzz/tally.dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/" "$build/corpus" fuzz/corpus
